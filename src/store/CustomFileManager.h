#pragma once

#include "pdf/Result.h"
#include "store/PageKinds.h"
#include "store/StoreKey.h"
#include "store/TemplateRecord.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <atomic>
#include <functional>
#include <optional>

namespace quillary {

// Where the store lives and what it starts from. Tests inject a temporary
// directory and a fixed clock; the application uses the defaults. The store's
// plain lines ("File exists", ...) go through printPlainLine; tests collect
// them with a ScopedPlainLineSink.
struct StoreConfig {
    // Store directory; empty means GenericDataLocation + bundle identifier
    // (refused when HOME is unset, rather than a folder under "/").
    QString directory;
    // Default settings file the store starts from at first start.
    QString defaultSettingsPath = QStringLiteral(":/quillary/settings.plist");
    // One-page letterhead imported as the default template's start page when the
    // default settings name none.
    QString sampleLetterheadPath = QStringLiteral(":/quillary/sample-letterhead.pdf");
    // Clock for the change labels ("Created dd.MM.yy"); empty means the system clock.
    std::function<QDateTime()> clock;
    // How long a change waits for another process to finish its own change.
    int lockTimeoutMs = 10000;
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

// The template store: the settings file (an XML property list), the stored
// one-page stationery files and the scratch file names. One instance per
// process, sharedStore(); every reader and writer of templates goes through it.
//
// Several processes may use one store at once (the print dialog starts one per
// printed document while the management window is open). Every change
// therefore runs under a lock file in the store directory, re-reads the
// settings file first and applies itself to what it finds there; the
// dictionary in memory follows the file, it is no longer the truth on its own.
// A change made by another process is kept, not overwritten; a template the
// caller holds may be gone by the time it saves (ErrorCode::Missing). When the
// settings file has vanished (the store was reset), the change finds the
// store as a first start leaves it.
//
// Every file the store writes (settings, stored pages, the sample page at first
// start) goes through the atomic writer: a failed write leaves the previous
// file as it was and reports the file and the reason. A change either happens
// whole (settings written, new pages recorded, emptied pages deleted) or not
// at all (new pages removed, pages replaced in place restored).
//
// Main thread only, except scratchPath(), which any thread may call.
class CustomFileManager {
public:
    explicit CustomFileManager(StoreConfig config = {});
    CustomFileManager(const CustomFileManager&) = delete;
    CustomFileManager& operator=(const CustomFileManager&) = delete;

    // --- the settings file and the directory ---
    // The store directory (links resolved once at start-up); creates it when it
    // is missing. Empty when there is no place for a store: then the store stays
    // empty and writes nothing.
    QString storeDirectory();
    QString settingsPath() const { return path.value_or(QString()); }
    // The letterhead the default template is made with.
    QString sampleLetterheadPath() const { return config.sampleLetterheadPath; }
    // The settings as last read or written; nothing when unreadable.
    const std::optional<QVariantMap>& dictionary() const { return dic; }
    // Re-reads the settings file under the lock (another process may have changed it).
    Result reload();
    // "Reset settings": removes every file of the store and the directory,
    // under the lock, so that a save of another process either lands before
    // (and is removed) or after (and starts a new store). A folder the store
    // reaches through a link of the user's is the user's: only the store's own
    // files leave it, and the folder stays for the link to point at.
    Result resetStore();
    // True for the settings file, the lock, a stored page, a scratch file: any
    // file inside the store directory or named in its page lists. Outputs must
    // never be one of them.
    bool isStoreFile(const QString& filePath) const;

    // --- templates ---
    std::optional<QList<TemplateRecord>> loadTemplateList() const;
    std::optional<QList<TemplateRecord>> templatesNamed(const QString& name) const;
    bool templateExists(const QString& name) const;
    // Inserts the template at the front of the list.
    Result addTemplate(const TemplateRecord& record);
    // Replaces the first template named oldName by record's properties under
    // newName, at the same place, and sets SharedData::templateName to newName.
    Result replaceTemplate(const QString& oldName, const QString& newName, const TemplateRecord& record);
    // Removes every template of that name; its page files stay in the store.
    Result deleteTemplate(const QString& name);
    Result convertLegacyPatterns();
    Result createDefaultTemplate();

    // The save procedure of the assistant, reading the edit from SharedData.
    Result saveTemplate(const QString& typedName);

    // --- typed access, as the windows use it ---
    // The template list; nothing when the settings hold none.
    std::optional<QList<TemplateRecord>> templateRecords() const { return loadTemplateList(); }
    // The first template of that name.
    std::optional<TemplateRecord> templateNamed(const QString& name) const;
    // Writes a changed record in place under its own name (the list's
    // switches). Unlike replaceTemplate it leaves SharedData alone.
    Result updateTemplate(const TemplateRecord& record);
    // deleteTemplate, under the name the windows use.
    Result removeTemplate(const QString& name) { return deleteTemplate(name); }
    // The save procedure for an edit handed over as a value. Either the whole
    // edit is stored or nothing changes; the failure names the file and why.
    Result saveTemplate(const TemplateEdit& edit);
    std::optional<QString> pagePath(PageKind kind, int index) const
    {
        return pagePath(pageKindInfo(kind).storeKey, index);
    }

    // --- stored pages ---
    // Stores page 1 of source as a one-page file of that kind and records it;
    // the value is its index in the kind's list. With overwritePath the stored
    // file is replaced in place and the list stays as it is.
    ValueResult<int> importPage(StoreKey kind, const QString& source,
                                const std::optional<QString>& overwritePath = std::nullopt);
    // The stored page at that index (a relative entry resolved against the
    // store directory); nothing when out of range or the list is absent.
    std::optional<QString> pagePath(StoreKey kind, int index) const;
    // The list stored under the key (page lists with their entries resolved);
    // prints "any " and the stored value.
    QStringList pagePaths(StoreKey key);
    Result setPagePaths(StoreKey key, const QStringList& paths);
    // Drops a stored page: its file goes, later references of every template
    // move down by one, and references to the page itself become "X".
    Result deletePage(StoreKey kind, int index);

    // --- files ---
    // A fresh scratch name (tmpN.pdf, prevN.pdf) in the store directory; never
    // the same twice, also across processes sharing the store: the name is
    // claimed with an empty file, which whoever asked deletes with the rest.
    // Empty when there is no store directory.
    QString scratchPath(StoreKey kind);
    Result deleteFile(const QString& filePath);
    void removeIfReadable(const QString& itemPath);
    Result copyFile(const QString& source, const QString& destination);

    // "Created dd.MM.yy" / "Updated dd.MM.yy" with the localized prefix.
    QString changeLabel(bool created) const;

private:
    // How the settings are read: at start-up (defaults, recovery, legacy
    // conversion, default template) or before a change (only what is there).
    enum class Load { StartUp, BeforeChange };

    // Files a running change has touched, so that it can be undone whole or
    // finished once the settings are written.
    struct PendingFiles {
        QStringList created;                    // new page files: removed on failure
        QList<QPair<QString, QString>> backups; // (page, its old content): put back on failure
        QStringList dropped;                    // pages no longer listed: deleted on success
    };

    // --- start-up and recovery (StoreStartup.cpp) ---
    static QString defaultDirectory();
    ValueResult<QString> resolveDirectory() const;
    Result loadSettings(Load mode);
    void startFromDefaults();
    void keepDamagedTemplateList();
    QDateTime now() const;

    // --- settings I/O (SettingsIo.cpp) ---
    // Runs edit on the settings as the file holds them, under the lock, and
    // writes the result when it changed anything. Nested changes join the
    // outer one, which writes once.
    Result changeSettings(const std::function<Result()>& edit, Load mode = Load::BeforeChange);
    Result writeSettings();
    void finishChange(bool succeeded);

    // --- template operations (TemplateOperations.cpp) ---
    void storeTemplates(const QList<TemplateRecord>& records);
    // replaceTemplate without touching SharedData.
    Result renameTemplate(const QString& oldName, const QString& newName, const TemplateRecord& record);
    QString docFormatFor(const TemplateRecord& record) const;

    // --- legacy conversion (LegacyPatterns.cpp) ---
    void upgradeLegacyPatterns();
    void convertLegacyPatternsInMemory();

    // --- page import (PageImport.cpp) ---
    std::optional<QStringList> storedPaths(StoreKey key) const;
    QString resolvedPagePath(const QString& stored) const;
    // Whether path names a file directly in the store directory: only those
    // are ever written, re-moded or deleted. A page list brought from
    // elsewhere may name files outside (absolute, or climbing with "..").
    bool ownsPageFile(const QString& path) const;
    // Copies every listed page that lies outside the store into it and points
    // its list entry at the copy; an outside file that cannot be read stays
    // listed as it was. Part of a change that is about to be written.
    void adoptOutsidePages();
    QString freePageName(StoreKey kind, const QStringList& listed) const;
    ValueResult<int> importPageInChange(StoreKey kind, const QString& source,
                                        const std::optional<QString>& overwritePath);
    Result dropPage(StoreKey kind, int index);
    // True when a template other than the first one named name uses the page.
    bool pageSharedWith(const QString& name, PageKind kind, int index) const;

    // --- the transactional save (TemplateSave.cpp) ---
    Result saveNewTemplate(const TemplateEdit& edit, const std::array<QString, 3>& pages);
    Result saveExistingTemplate(const TemplateEdit& edit, const std::array<QString, 3>& pages);

    StoreConfig config;
    QString directory; // resolved once; empty when there is no store
    bool linkedDirectory = false; // reached through a symbolic link the user made
    std::optional<QVariantMap> dic;
    std::optional<QString> path;
    std::atomic<int> cnt{0};
    QList<TemplateRecord> templateProperties;
    std::optional<QVariantMap> onDisk; // what the settings file held when last read or written
    bool changing = false;
    PendingFiles pending;
};

// The process-wide store, created on first use.
CustomFileManager& sharedStore();
// Settings for sharedStore(); only effective before its first use.
void configureSharedStore(StoreConfig config);

} // namespace quillary
