#pragma once

#include "pdf/Result.h"
#include "store/StoreKey.h"
#include "store/TemplateRecord.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
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

// What the assistant hands to the save procedure: the name as typed, which
// template it edits, and where each page comes from.
struct TemplateEdit {
    QString typedName;  // the name as typed (not trimmed): the template's new name
    QString editedName; // the template being edited; empty for a new template
    bool isNew = true;
    // Per page kind (PageKind order): "" no page, "existing" keep the stored
    // page, otherwise the path of the chosen PDF file.
    std::array<QString, 3> sources;

    QString& source(PageKind kind) { return sources[static_cast<int>(kind)]; }
    const QString& source(PageKind kind) const { return sources[static_cast<int>(kind)]; }
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

    // --- typed access, as the windows use it ---
    // The template list; nothing when the settings hold none.
    std::optional<QList<TemplateRecord>> templateRecords() const;
    // The first template of that name.
    std::optional<TemplateRecord> templateNamed(const QString& name) const;
    // Writes a changed record in place under its own name (the list's
    // switches). Unlike replaceTemplate it leaves SharedData alone.
    Result updateTemplate(const TemplateRecord& record);
    // deleteTemplate with a result the caller can show.
    Result removeTemplate(const QString& name);
    // The save procedure for an edit handed over as a value.
    Result saveTemplate(const TemplateEdit& edit);
    std::optional<QString> pagePath(PageKind kind, int index) const
    {
        return pagePath(pageKindInfo(kind).storeKey, index);
    }

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


} // namespace quillary
