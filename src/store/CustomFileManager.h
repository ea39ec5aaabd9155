#pragma once

#include "store/StoreKey.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

namespace quillary {

// Where the store lives and what it starts from. Tests inject a temporary
// directory and a fixed clock; the application uses the defaults.
struct StoreConfig {
    // Store directory; empty means GenericDataLocation + bundle identifier.
    QString directory;
    // Default settings file copied in at first start.
    QString defaultSettingsPath = QStringLiteral(":/quillary/settings.plist");
    // One-page letterhead imported as the default template's start page when the
    // default settings name none.
    QString sampleLetterheadPath = QStringLiteral(":/quillary/sample-letterhead.pdf");
    // Clock for the change labels ("Created dd.MM.yy"); empty means the system clock.
    std::function<QDateTime()> clock;
    // Receives the store's plain output lines ("File exists", ...) without the
    // line end; empty means standard output.
    std::function<void(const QString&)> print;
};

// Outcome of importPage: the index of the page in its kind's list, or why the
// page could not be stored (nothing was written then).
struct ImportResult {
    std::optional<int> index;
    QString error;
    explicit operator bool() const { return index.has_value(); }
};

// The template store: the settings file (an XML property list), the stored
// one-page stationery files and the scratch file names. One instance per
// process, sharedStore(); every reader and writer of templates goes through it.
// Main thread only.
class CustomFileManager {
public:
    explicit CustomFileManager(StoreConfig config = {});

    // --- the settings file and the directory ---
    QString storeDirectory();
    QString settingsPath() const { return path.value_or(QString()); }
    // Writes dic whole and atomically; false (and the old file intact) on failure.
    bool save();
    const std::optional<QVariantMap>& dictionary() const { return dic; }

    // --- templates ---
    std::optional<QVariantList> loadTemplateList() const;
    std::optional<QVariantList> templatesNamed(const QString& name) const;
    bool templateExists(const QString& name) const;
    void addTemplate(const QVariantMap& entry);
    void replaceTemplate(const QString& oldName, const QString& newName, const QVariantMap& entry);
    void deleteTemplate(const QString& name);
    void convertLegacyPatterns();
    void createDefaultTemplate();

    // The save procedure of the assistant, from SharedData and the typed name.
    // Returns true when something was saved (the caller then installs the
    // print-service workflow); false when the edited template is gone or a page
    // could not be imported, in which case error says why and nothing changed.
    bool saveTemplate(const QString& typedName, QString* error = nullptr);

    // --- stored pages ---
    ImportResult importPage(StoreKey kind, const QString& source,
                            const std::optional<QString>& overwritePath = std::nullopt);
    std::optional<QString> pagePath(StoreKey kind, int index) const;
    QStringList pagePaths(StoreKey key);
    void setPagePaths(StoreKey key, const QStringList& paths);
    void deletePage(StoreKey kind, int index);

    // --- files ---
    QString scratchPath(StoreKey kind);
    void deleteFile(const QString& filePath);
    void removeIfReadable(const QString& itemPath);
    void copyFile(const QString& source, const QString& destination);

    // "Created dd.MM.yy" / "Updated dd.MM.yy" with the localized prefix.
    QString changeLabel(bool created) const;

private:
    void printLine(const QString& line) const;
    QDateTime now() const;
    // A free name beside the settings file: settings.plist.corrupt-<yyyyMMdd-HHmmss>.
    QString corruptCopyPath() const;
    std::optional<QStringList> storedPaths(StoreKey key) const;
    void upgradeLegacyPatterns();
    // "docFormat" for a record's "frontPage" reference: "0" A4, "1" US Letter,
    // "99" otherwise (no page, no file, another size).
    QString docFormatFor(const QVariant& frontPage) const;
    bool saveNewTemplate(const QString& typedName, QString* error);
    bool saveExistingTemplate(const QString& typedName, QString* error);
    bool abandonSave(const QVariantMap& snapshot, const QStringList& createdFiles, const QString& why,
                     QString* error);

    StoreConfig config;
    std::optional<QVariantMap> dic;
    std::optional<QString> path;
    int cnt = 0;
    QVariantList templateProperties;
    // Set when a save failed since it was last cleared (saveTemplate reports it).
    bool saveFailed = false;
};

// The process-wide store, created on first use.
CustomFileManager& sharedStore();
// Settings for sharedStore(); only effective before its first use.
void configureSharedStore(StoreConfig config);

// Page references are "X" or a decimal index, stored as text or as an integer.
// referenceText gives any value of a record as text, the way every reader of a
// record compares it: text as is, integers in decimal, booleans "1" or "0".
QString referenceText(const QVariant& value);
// The index a reference names: decimal digits only (or an integer that is not
// negative); nothing for "X", "-1", " 1", "1.5", "abc" and the like.
std::optional<int> referenceIndex(const QVariant& value);

} // namespace quillary
