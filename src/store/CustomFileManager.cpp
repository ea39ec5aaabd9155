#include "store/CustomFileManager.h"

#include "pdf/PlainLines.h"
#include "pdf/TaskManager.h"
#include "store/PropertyList.h"
#include "store/SharedData.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace quillary {

namespace {

namespace fs = std::filesystem;

// Keys of a template property record.
const QString kFrontPage = QStringLiteral("frontPage");
const QString kSecondaryPage = QStringLiteral("secondaryPage");
const QString kTermsOfConditions = QStringLiteral("termsOfConditions");
const QString kLastActivityWithDate = QStringLiteral("lastActivityWithDate");
const QString kIsActive = QStringLiteral("isActive");
const QString kDocFormat = QStringLiteral("docFormat");
const QString kIsOverlay = QStringLiteral("isOverlay");

const QString kNoPage = QStringLiteral("X");

constexpr QFile::Permissions ownerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions ownerOnlyDirectory = ownerOnlyFile | QFile::ExeOwner;

fs::path fsPath(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

// True when something (also a dangling symbolic link) is at the path.
bool itemExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The record key of a page kind's reference.
QString referenceKey(StoreKey kind)
{
    switch (kind) {
    case StoreKey::TemplateFirst: return kFrontPage;
    case StoreKey::Template: return kSecondaryPage;
    case StoreKey::TemplateBack: return kTermsOfConditions;
    default: return {};
    }
}

// One page slot of the save procedure. Start, continuation, terms: the order
// in which the assistant shows them and the save procedure handles them.
struct Slot {
    StoreKey kind;
    QString key;
    QString source;
};

QList<Slot> slotsFromSharedData()
{
    return {
        {StoreKey::TemplateFirst, kFrontPage, SharedData::startPagePath},
        {StoreKey::Template, kSecondaryPage, SharedData::continualPagePath},
        {StoreKey::TemplateBack, kTermsOfConditions, SharedData::agbPagePath},
    };
}

bool isChosenFile(const QString& source)
{
    return !source.isEmpty() && source != SharedData::existing;
}

// The template entries of a "templateproperties" value: one one-key entry
// (name -> record) per template. Nothing when the value is no list at all.
// An element holding several templates yields each of them, in key order, so
// that renaming or deleting one of them cannot drop the others; an element that
// holds no record (text, a name with a value that is no record) is skipped and
// *dropped is set.
std::optional<QVariantList> templateEntries(const QVariant& value, bool* dropped = nullptr)
{
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QVariantList entries;
    for (const QVariant& element : value.toList()) {
        if (element.typeId() != QMetaType::QVariantMap) {
            if (dropped)
                *dropped = true;
            continue;
        }
        const QVariantMap entry = element.toMap();
        for (auto it = entry.cbegin(); it != entry.cend(); ++it) {
            if (it.value().typeId() == QMetaType::QVariantMap)
                entries.append(QVariantMap{{it.key(), it.value()}});
            else if (dropped)
                *dropped = true;
        }
    }
    return entries;
}

// Description of a stored value on one line, for the "any " line of pagePaths.
QString describe(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("nil");
    if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList) {
        QStringList parts;
        for (const QVariant& item : value.toList())
            parts << describe(item);
        return QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        QStringList parts;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            parts << it.key() + QStringLiteral(" = ") + describe(it.value());
        return QLatin1Char('{') + parts.join(QStringLiteral("; ")) + QLatin1Char('}');
    }
    if (value.typeId() == QMetaType::QString)
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    return referenceText(value);
}

// Copies a file or a directory tree out of the Qt resources (which
// std::filesystem cannot see). The copies are writable by the owner.
bool copyResourceItem(const QString& source, const QString& destination)
{
    const QFileInfo info(source);
    if (!info.isDir()) {
        if (!QFile::copy(source, destination))
            return false;
        QFile::setPermissions(destination, QFile::permissions(destination) | QFile::WriteOwner);
        return true;
    }
    if (!QDir().mkdir(destination))
        return false;
    QDirIterator it(source, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    const QDir root(source);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString to = destination + QLatin1Char('/') + root.relativeFilePath(from);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(to))
                return false;
        } else {
            QDir().mkpath(QFileInfo(to).absolutePath());
            if (!QFile::copy(from, to))
                return false;
            QFile::setPermissions(to, QFile::permissions(to) | QFile::WriteOwner);
        }
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Start-up

CustomFileManager::CustomFileManager(StoreConfig c)
    : config(std::move(c))
{
    const QString directory = storeDirectory();
    if (directory.isEmpty())
        return; // no place for a store: the store stays empty and writes nothing
    // Printed documents and their stationery can be confidential: the store is
    // the user's alone, also when an older version created it with a looser mode.
    QFile::setPermissions(directory, ownerOnlyDirectory);

    path = directory + QStringLiteral("/settings.plist");

    const auto installDefaults = [this] {
        if (QFile::copy(config.defaultSettingsPath, *path))
            QFile::setPermissions(*path, ownerOnlyFile); // resource copies arrive read-only
    };

    if (!itemExists(*path))
        installDefaults();
    else
        printLine(QStringLiteral("File exists"));

    QFile file(*path);
    if (file.open(QIODevice::ReadOnly)) {
        dic = readPropertyListDictionary(file.readAll());
        file.close();
        if (!dic) {
            // Truncated, garbage, or a property list of another shape: the user's
            // templates may still be recoverable from it by hand, so it is never
            // overwritten. It moves aside and the store starts from the defaults;
            // the stored page files stay where they are.
            const QString aside = corruptCopyPath();
            if (QFile::rename(*path, aside)) {
                printLine(QStringLiteral("Unreadable settings file moved to ") + aside);
                installDefaults();
                QFile defaults(*path);
                if (defaults.open(QIODevice::ReadOnly))
                    dic = readPropertyListDictionary(defaults.readAll());
                if (!dic)
                    dic = QVariantMap(); // no usable defaults: an empty store
            } else {
                printLine(QStringLiteral("Unreadable settings file left in place: ") + *path);
            }
        }
    } else if (itemExists(*path)) {
        // There, but not ours to read (permissions, a directory of that name):
        // probably intact, so the store leaves it alone and writes nothing.
        printLine(QStringLiteral("Can't read settings file ") + *path);
    }
    if (!dic)
        return;

    // A template list that is not a list, or holds elements that are no
    // templates, is replaced or cleaned by the next save; keep the file as it
    // was, beside the store, before that happens.
    const auto stored = dic->constFind(rawValue(StoreKey::TemplateProperties));
    bool dropped = false;
    if (stored != dic->cend() && (!templateEntries(*stored, &dropped) || dropped)) {
        const QString copy = corruptCopyPath();
        if (QFile::copy(*path, copy)) {
            QFile::setPermissions(copy, ownerOnlyFile);
            printLine(QStringLiteral("Unreadable template list, settings file kept as ") + copy);
        }
    }

    if (auto list = loadTemplateList())
        templateProperties = *list;

    const QVariant pattern = dic->value(rawValue(StoreKey::TemplatePattern));
    if (pattern.typeId() == QMetaType::QVariantMap && !pattern.toMap().isEmpty()) {
        upgradeLegacyPatterns();
        convertLegacyPatterns();
    }
    // No template at all (also when legacy patterns could not be converted):
    // the default template, so that there is always one to print with.
    const auto list = loadTemplateList();
    if (!list || list->isEmpty())
        createDefaultTemplate();
}

QDateTime CustomFileManager::now() const
{
    return (config.clock ? config.clock() : QDateTime::currentDateTime()).toLocalTime();
}

QString CustomFileManager::corruptCopyPath() const
{
    const QString base = *path + QStringLiteral(".corrupt-")
                         + now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = base;
    for (int i = 1; itemExists(candidate); ++i)
        candidate = base + QStringLiteral("-%1").arg(i);
    return candidate;
}

void CustomFileManager::printLine(const QString& line) const
{
    if (config.print) {
        config.print(line);
        return;
    }
    printPlainLine(line);
}

// ---------------------------------------------------------------------------
// The settings file and the directory

QString CustomFileManager::storeDirectory()
{
    QString directory = config.directory;
    if (directory.isEmpty()) {
        const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (base.isEmpty())
            return {};
        directory = base + QLatin1Char('/') + QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER);
    }
    if (!QFileInfo(directory).isDir() && QDir().mkpath(directory))
        QFile::setPermissions(directory, ownerOnlyDirectory);
    // A directory that cannot be made shows later, when a write into it fails.
    return directory;
}

bool CustomFileManager::save()
{
    if (!dic || !path)
        return false;
    const QByteArray xml = writePropertyListXml(*dic);
    bool ok = !xml.isEmpty();
    if (ok) {
        // Written beside the old file and renamed over it: a failed write leaves
        // the previous settings whole. The new file is the user's alone.
        // commit() alone renames a short file into place when the disk is full
        // (its own flush does not report the failed write), so the bytes are
        // flushed and counted first.
        QSaveFile file(*path);
        ok = file.open(QIODevice::WriteOnly) && file.setPermissions(ownerOnlyFile)
             && file.write(xml) == xml.size() && file.flush() && file.size() == xml.size()
             && file.commit();
    }
    if (!ok) {
        saveFailed = true;
        printLine(QStringLiteral("Can't save settings ") + *path);
    }
    return ok;
}

// ---------------------------------------------------------------------------
// Templates

std::optional<QVariantList> CustomFileManager::loadTemplateList() const
{
    if (!dic)
        return std::nullopt;
    return templateEntries(dic->value(rawValue(StoreKey::TemplateProperties)));
}

std::optional<QVariantList> CustomFileManager::templatesNamed(const QString& name) const
{
    auto list = loadTemplateList();
    if (!list)
        return std::nullopt;
    QVariantList named;
    for (const QVariant& entry : *list)
        if (entry.toMap().contains(name))
            named.append(entry);
    return named;
}

bool CustomFileManager::templateExists(const QString& name) const
{
    const auto named = templatesNamed(name);
    return named && !named->isEmpty();
}

void CustomFileManager::addTemplate(const QVariantMap& entry)
{
    if (auto list = loadTemplateList()) {
        list->prepend(entry);
        (*dic)[rawValue(StoreKey::TemplateProperties)] = *list;
    }
    save();
}

void CustomFileManager::replaceTemplate(const QString& oldName, const QString& newName,
                                        const QVariantMap& entry)
{
    auto list = loadTemplateList();
    if (!list)
        return;
    const QVariant record = entry.value(oldName);
    if (record.typeId() != QMetaType::QVariantMap)
        return;
    for (qsizetype i = 0; i < list->size(); ++i) {
        if (!list->at(i).toMap().contains(oldName))
            continue;
        (*list)[i] = QVariantMap{{newName, record}};
        (*dic)[rawValue(StoreKey::TemplateProperties)] = *list;
        save();
        SharedData::templateName = newName;
        return;
    }
}

void CustomFileManager::deleteTemplate(const QString& name)
{
    auto list = loadTemplateList();
    if (!list)
        return;
    list->removeIf([&](const QVariant& entry) { return entry.toMap().contains(name); });
    (*dic)[rawValue(StoreKey::TemplateProperties)] = *list;
    save();
}

// Brings every legacy pattern to seven fields. Each pattern that lacks a field
// gets it: the patterns an older version wrote all have the same number of
// fields, and a hand-edited file with mixed lengths still ends with seven each.
void CustomFileManager::upgradeLegacyPatterns()
{
    const QString key = rawValue(StoreKey::TemplatePattern);
    const auto step = [&](const std::function<bool(qsizetype)>& needs, const QString& field) {
        if (!dic)
            return;
        const QVariant value = dic->value(key);
        if (value.typeId() != QMetaType::QVariantMap)
            return;
        QVariantMap patterns = value.toMap();
        bool changed = false;
        for (auto it = patterns.begin(); it != patterns.end(); ++it) {
            if (it.value().typeId() != QMetaType::QString)
                continue;
            const QString pattern = it.value().toString();
            if (needs(pattern.split(QLatin1Char('-')).size())) {
                it.value() = pattern + field;
                changed = true;
            }
        }
        if (changed) {
            (*dic)[key] = patterns;
            save();
        }
    };
    step([](qsizetype fields) { return fields < 5; }, QStringLiteral("-1")); // isActive true
    step([](qsizetype fields) { return fields < 6; }, QStringLiteral("-0")); // docFormat A4
    step([](qsizetype fields) { return fields == 6; }, QStringLiteral("-0")); // isOverlay false
}

void CustomFileManager::convertLegacyPatterns()
{
    if (!dic)
        return;
    const QVariant value = dic->value(rawValue(StoreKey::TemplatePattern));
    if (value.typeId() != QMetaType::QVariantMap)
        return;
    const QVariantMap patterns = value.toMap();
    for (const QVariant& pattern : patterns)
        if (pattern.typeId() != QMetaType::QString)
            return; // not a dictionary of string to string

    // Append to the current list, not the one read at start-up: the preview
    // controller calls this again later, and templates made since then (the
    // default template, for one) must stay.
    if (auto current = loadTemplateList())
        templateProperties = *current;

    for (auto it = patterns.cbegin(); it != patterns.cend(); ++it) {
        const QStringList fields = it.value().toString().split(QLatin1Char('-'));
        const auto field = [&](qsizetype i) { return i < fields.size() ? fields.at(i) : QString(); };
        const QVariantMap record{
            {kFrontPage, field(0)},
            {kSecondaryPage, field(1)},
            {kTermsOfConditions, field(2)},
            {kLastActivityWithDate, field(3)},
            {kIsActive, field(4) == QLatin1String("1")},
            {kDocFormat, field(5)},
            {kIsOverlay, field(6) == QLatin1String("1")},
        };
        templateProperties.append(QVariantMap{{it.key(), record}});
    }
    (*dic)[rawValue(StoreKey::TemplateProperties)] = templateProperties;
    (*dic)[rawValue(StoreKey::TemplatePattern)] = QVariantList{};
    save();
}

void CustomFileManager::createDefaultTemplate()
{
    if (!dic)
        return;
    // The default settings may name a start page; ours name none, so the sample
    // letterhead becomes start page 0.
    QString frontPage = QStringLiteral("0");
    const auto starts = storedPaths(StoreKey::TemplateFirst);
    if (!starts || starts->isEmpty()) {
        ImportResult imported;
        if (!config.sampleLetterheadPath.isEmpty())
            imported = importPage(StoreKey::TemplateFirst, config.sampleLetterheadPath);
        frontPage = imported ? QString::number(*imported.index) : kNoPage;
    }
    const QVariantMap record{
        {kFrontPage, frontPage},
        {kSecondaryPage, kNoPage},
        {kTermsOfConditions, kNoPage},
        {kLastActivityWithDate, changeLabel(true)},
        {kIsActive, true},
        {kDocFormat, docFormatFor(frontPage)},
        {kIsOverlay, false},
    };
    const QString name =
        QCoreApplication::translate("CustomFileManager", "Meine Vorlage") + QStringLiteral(" 1");
    (*dic)[rawValue(StoreKey::TemplateProperties)] = QVariantList{QVariantMap{{name, record}}};
    save();
}

QString CustomFileManager::docFormatFor(const QVariant& frontPage) const
{
    const auto index = referenceIndex(frontPage);
    if (!index)
        return QStringLiteral("99");
    const PageSize size = TaskManager::pageSize(pagePath(StoreKey::TemplateFirst, *index));
    return quillary::docFormatFor(TaskManager::pageFormat(size.width, size.height).formatCode);
}

QString CustomFileManager::changeLabel(bool created) const
{
    const QString date = QLocale().toString(now().date(), QStringLiteral("dd.MM.yy"));
    const QString prefix = created ? QCoreApplication::translate("CustomFileManager", "Created ")
                                   : QCoreApplication::translate("CustomFileManager", "Updated ");
    return prefix + date;
}

// ---------------------------------------------------------------------------
// The save procedure
//
// Importing and deleting slot by slot would leave the store half-changed when
// the second of two chosen files cannot be read. So every chosen file is first
// copied into a one-page file in a temporary directory; only when all of them
// could be read does the store change. Deletions come after the imports (each slot is a
// different page kind, so the order does not change the outcome), and when a
// write fails on the way the settings and the new page files are rolled back.

namespace {

struct Prepared {
    QTemporaryDir directory;
    QMap<StoreKey, QString> files; // page kind -> one-page copy of the chosen file
};

bool prepareChosenFiles(const QList<Slot>& pageSlots, Prepared& prepared, QString* error)
{
    if (!prepared.directory.isValid()) {
        if (error)
            *error = QCoreApplication::translate("CustomFileManager", "No temporary directory could be created: %1")
                    .arg(prepared.directory.errorString());
        return false;
    }
    for (const Slot& slot : pageSlots) {
        if (!isChosenFile(slot.source))
            continue;
        const QString copy = prepared.directory.filePath(
            QStringLiteral("page%1.pdf").arg(static_cast<int>(slot.kind)));
        const Result result = TaskManager::writeFirstPage(slot.source, copy);
        if (!result) {
            if (error)
                *error = QCoreApplication::translate("CustomFileManager", "The page could not be read: %1")
                        .arg(result.error);
            return false;
        }
        prepared.files.insert(slot.kind, copy);
    }
    return true;
}

} // namespace

bool CustomFileManager::saveTemplate(const QString& typedName, QString* error)
{
    if (!dic) {
        if (error)
            *error = QCoreApplication::translate("CustomFileManager", "The settings file could not be read: %1")
                    .arg(path.value_or(QString()));
        return false;
    }
    saveFailed = false;
    return SharedData::isNewTemplate ? saveNewTemplate(typedName, error)
                                     : saveExistingTemplate(typedName, error);
}

namespace {

QString pageNotStored(const ImportResult& result)
{
    return QCoreApplication::translate("CustomFileManager", "The page could not be stored: %1").arg(result.error);
}

} // namespace

// Undoes a save procedure that failed half-way: the pages it stored go, the
// settings return to what they were.
bool CustomFileManager::abandonSave(const QVariantMap& snapshot, const QStringList& createdFiles,
                                    const QString& why, QString* error)
{
    for (const QString& file : createdFiles)
        QFile::remove(file);
    dic = snapshot;
    save();
    if (error)
        *error = why;
    return false;
}

bool CustomFileManager::saveNewTemplate(const QString& typedName, QString* error)
{
    const QList<Slot> pageSlots = slotsFromSharedData();
    Prepared prepared;
    if (!prepareChosenFiles(pageSlots, prepared, error))
        return false;

    const QVariantMap snapshot = *dic;
    QStringList created;
    const auto rollBack = [&](const QString& why) {
        return abandonSave(snapshot, created, why, error);
    };

    QVariantMap record;
    for (const Slot& slot : pageSlots) {
        // A new template has no stored page to keep: "existing" means none here.
        if (!isChosenFile(slot.source)) {
            record.insert(slot.key, kNoPage);
            continue;
        }
        const ImportResult imported = importPage(slot.kind, prepared.files.value(slot.kind));
        if (!imported)
            return rollBack(pageNotStored(imported));
        created << *pagePath(slot.kind, *imported.index);
        record.insert(slot.key, QString::number(*imported.index));
    }
    record.insert(kLastActivityWithDate, changeLabel(true));
    record.insert(kIsActive, true);
    record.insert(kDocFormat, docFormatFor(record.value(kFrontPage)));
    record.insert(kIsOverlay, false);

    if (!loadTemplateList())
        return rollBack(QCoreApplication::translate("CustomFileManager", "The settings file holds no template list: %1")
                .arg(*path));
    addTemplate(QVariantMap{{typedName, record}});
    if (saveFailed)
        return rollBack(QCoreApplication::translate("CustomFileManager", "The settings file could not be written: %1")
                .arg(*path));
    return true;
}

bool CustomFileManager::saveExistingTemplate(const QString& typedName, QString* error)
{
    const QString name = SharedData::templateName;
    const auto named = templatesNamed(name);
    if (!named || named->isEmpty()) {
        if (error)
            *error = QCoreApplication::translate("CustomFileManager", "The template \"%1\" no longer exists.")
                    .arg(name);
        return false;
    }
    QVariantMap record = named->first().toMap().value(name).toMap();

    const QList<Slot> pageSlots = slotsFromSharedData();
    Prepared prepared;
    if (!prepareChosenFiles(pageSlots, prepared, error))
        return false;

    const QVariantMap snapshot = *dic;
    QStringList created;
    const auto rollBack = [&](const QString& why) {
        SharedData::templateName = name; // replaceTemplate may have set the new name
        return abandonSave(snapshot, created, why, error);
    };

    // Chosen files first: new pages and pages replaced in place.
    for (const Slot& slot : pageSlots) {
        if (!isChosenFile(slot.source))
            continue;
        const QVariant reference = record.value(slot.key);
        const auto index = referenceIndex(reference);
        const auto stored = index ? pagePath(slot.kind, *index) : std::nullopt;
        if (stored) {
            const ImportResult replaced = importPage(slot.kind, prepared.files.value(slot.kind), *stored);
            if (!replaced)
                return rollBack(pageNotStored(replaced));
            continue;
        }
        // "X" (or a reference to a page that is gone): a new page. Its index is
        // stored as an integer, as older versions wrote it; every reader
        // accepts both forms.
        const ImportResult imported = importPage(slot.kind, prepared.files.value(slot.kind));
        if (!imported)
            return rollBack(pageNotStored(imported));
        created << *pagePath(slot.kind, *imported.index);
        record.insert(slot.key, *imported.index);
    }

    // Emptied slots: the template's page leaves the store.
    for (const Slot& slot : pageSlots) {
        if (!slot.source.isEmpty())
            continue;
        const QVariant reference = record.value(slot.key);
        if (referenceText(reference) == kNoPage)
            continue;
        if (const auto index = referenceIndex(reference))
            deletePage(slot.kind, *index);
        record.insert(slot.key, kNoPage);
    }

    record.insert(kLastActivityWithDate, changeLabel(false));
    record.insert(kDocFormat, docFormatFor(record.value(kFrontPage)));

    replaceTemplate(name, typedName, QVariantMap{{name, record}});
    if (saveFailed)
        return rollBack(QCoreApplication::translate("CustomFileManager", "The settings file could not be written: %1")
                .arg(*path));
    return true;
}

// ---------------------------------------------------------------------------
// Typed access (first cut: over the dictionary operations above)

std::optional<QList<TemplateRecord>> CustomFileManager::templateRecords() const
{
    const auto list = loadTemplateList();
    if (!list)
        return std::nullopt;
    QList<TemplateRecord> records;
    for (const QVariant& entry : *list)
        if (auto record = TemplateRecord::fromEntry(entry))
            records << *record;
    return records;
}

std::optional<TemplateRecord> CustomFileManager::templateNamed(const QString& name) const
{
    const auto named = templatesNamed(name);
    if (!named || named->isEmpty())
        return std::nullopt;
    return TemplateRecord::fromEntry(named->constFirst());
}

Result CustomFileManager::updateTemplate(const TemplateRecord& record)
{
    const QString keep = SharedData::templateName;
    saveFailed = false;
    replaceTemplate(record.name, record.name, record.toEntry());
    SharedData::templateName = keep;
    if (saveFailed)
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: the settings file could not be written")
                                                           .arg(settingsPath()));
    return Result::success();
}

Result CustomFileManager::removeTemplate(const QString& name)
{
    saveFailed = false;
    deleteTemplate(name);
    if (saveFailed)
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: the settings file could not be written")
                                                           .arg(settingsPath()));
    return Result::success();
}

Result CustomFileManager::saveTemplate(const TemplateEdit& edit)
{
    SharedData::isNewTemplate = edit.isNew;
    SharedData::templateName = edit.editedName;
    SharedData::startPagePath = edit.source(PageKind::Start);
    SharedData::continualPagePath = edit.source(PageKind::Continuation);
    SharedData::agbPagePath = edit.source(PageKind::Terms);
    QString error;
    if (!saveTemplate(edit.typedName, &error))
        return Result::failure(edit.isNew || templateExists(edit.editedName) ? ErrorCode::WriteFailed : ErrorCode::Missing,
                               error);
    return Result::success();
}

// ---------------------------------------------------------------------------
// Stored pages

std::optional<QStringList> CustomFileManager::storedPaths(StoreKey key) const
{
    if (!dic)
        return std::nullopt;
    const auto it = dic->constFind(rawValue(key));
    if (it == dic->cend())
        return std::nullopt;
    if (it->typeId() == QMetaType::QStringList)
        return it->toStringList();
    if (it->typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QStringList paths;
    for (const QVariant& item : it->toList()) {
        if (item.typeId() != QMetaType::QString)
            return std::nullopt;
        paths << item.toString();
    }
    return paths;
}

ImportResult CustomFileManager::importPage(StoreKey kind, const QString& source,
                                           const std::optional<QString>& overwritePath)
{
    const auto fail = [](const QString& why) { return ImportResult{std::nullopt, why}; };
    if (!isPageKind(kind))
        return fail(QStringLiteral("not a kind of stored page: %1").arg(static_cast<int>(kind)));
    // A page that no list records would be lost to the user: no settings, no page.
    if (!dic)
        return fail(QStringLiteral("%1: the settings file could not be read").arg(settingsPath()));
    const QString key = rawValue(kind);
    const auto stored = storedPaths(kind);
    if (!stored && dic->contains(key) && !overwritePath) {
        // Rewriting it would lose the pages the templates refer to by index.
        return fail(QStringLiteral("%1: \"%2\" holds no list of page files").arg(settingsPath(), key));
    }
    QStringList paths = stored.value_or(QStringList());
    const int n = static_cast<int>(paths.size());

    QString destination;
    if (overwritePath) {
        destination = *overwritePath;
    } else {
        const QString prefix = storeDirectory() + pathSuffix(kind);
        for (int i = 0;; ++i) {
            destination = prefix + QString::asprintf("%02d.pdf", i);
            if (!itemExists(destination))
                break;
        }
    }

    // qpdf reads files only; a page among the Qt resources is taken out first.
    QString readable = source;
    std::unique_ptr<QTemporaryFile> extracted;
    if (source.startsWith(QLatin1Char(':'))) {
        extracted.reset(QTemporaryFile::createNativeFile(source));
        if (!extracted)
            return fail(QStringLiteral("%1: no such file").arg(source));
        readable = extracted->fileName();
    }

    // Written to a scratch name and renamed into place: a source that cannot
    // be read (not a PDF, a password, no page 1) leaves no file behind.
    const Result written = TaskManager::writeFirstPage(readable, destination);
    if (!written) {
        QString why = written.error;
        if (extracted)
            why.replace(readable, source);
        return fail(why);
    }
    // Stationery is as private as the documents it is printed on.
    QFile::setPermissions(destination, ownerOnlyFile);
    printLine(destination);
    if (overwritePath) {
        // The list is as it was; only the file changed.
        const qsizetype at = paths.indexOf(destination);
        return {at >= 0 ? static_cast<int>(at) : n, {}};
    }

    const QVariant before = dic->value(key);
    paths.append(destination);
    (*dic)[key] = paths;
    if (!save()) {
        // Unrecorded on disk: take the page back out so that memory, settings
        // file and directory agree.
        QFile::remove(destination);
        if (before.isValid())
            (*dic)[key] = before;
        else
            dic->remove(key);
        return fail(QStringLiteral("%1: the settings file could not be written").arg(settingsPath()));
    }
    return {n, {}};
}

std::optional<QString> CustomFileManager::pagePath(StoreKey kind, int index) const
{
    const auto paths = storedPaths(kind);
    if (!paths || index < 0 || index >= paths->size())
        return std::nullopt;
    return paths->at(index);
}

QStringList CustomFileManager::pagePaths(StoreKey key)
{
    printLine(QStringLiteral("any ") + describe(dic ? dic->value(rawValue(key)) : QVariant()));
    return storedPaths(key).value_or(QStringList());
}

void CustomFileManager::setPagePaths(StoreKey key, const QStringList& paths)
{
    if (!dic)
        return;
    (*dic)[rawValue(key)] = paths;
    save();
}

void CustomFileManager::deletePage(StoreKey kind, int index)
{
    if (!isPageKind(kind))
        return;
    auto paths = storedPaths(kind);
    if (!paths)
        return;
    if (index < 0 || index >= paths->size()) {
        printLine(QStringLiteral("The.Row.%1.doesnt.Exist").arg(index));
        return;
    }
    deleteFile(paths->at(index));
    paths->removeAt(index);
    (*dic)[rawValue(kind)] = *paths;

    auto templates = loadTemplateList();
    if (!templates)
        return;
    const QString key = referenceKey(kind);
    for (QVariant& element : *templates) {
        QVariantMap entry = element.toMap();
        for (auto it = entry.begin(); it != entry.end(); ++it) {
            QVariantMap record = it.value().toMap();
            const auto reference = referenceIndex(record.value(key));
            if (reference && *reference > index) {
                record.insert(key, QString::number(*reference - 1));
                it.value() = record;
            }
        }
        element = entry;
    }
    (*dic)[rawValue(StoreKey::TemplateProperties)] = *templates;
}

// ---------------------------------------------------------------------------
// Files

QString CustomFileManager::scratchPath(StoreKey kind)
{
    ++cnt;
    return storeDirectory() + pathSuffix(kind) + QString::number(cnt) + QStringLiteral(".pdf");
}

void CustomFileManager::deleteFile(const QString& filePath)
{
    const QFileInfo info(filePath);
    const bool deletable = !filePath.isEmpty() && itemExists(filePath)
                           && QFileInfo(info.absolutePath()).isWritable();
    if (!deletable) {
        printLine(QStringLiteral("No deletable File"));
        return;
    }
    std::error_code ec;
    if (info.isDir() && !info.isSymLink())
        fs::remove_all(fsPath(filePath), ec);
    else
        fs::remove(fsPath(filePath), ec);
    if (ec)
        printLine(QStringLiteral("Can't delete File ") + filePath);
}

void CustomFileManager::removeIfReadable(const QString& itemPath)
{
    if (itemPath.isEmpty() || !QFileInfo(itemPath).isReadable())
        return;
    std::error_code ec;
    fs::remove_all(fsPath(itemPath), ec); // a failure is dropped
}

void CustomFileManager::copyFile(const QString& source, const QString& destination)
{
    const QFileInfo info(source);
    if (source.isEmpty() || !info.exists() || !info.isReadable()) {
        printLine(QStringLiteral("No Readable File"));
        return;
    }
    // Never into or over something that is there: the destination stays as it was.
    bool ok = !destination.isEmpty() && !itemExists(destination);
    if (ok) {
        if (source.startsWith(QLatin1Char(':'))) {
            ok = copyResourceItem(source, destination);
        } else {
            std::error_code ec;
            fs::copy(fsPath(source), fsPath(destination),
                     fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
            ok = !ec;
        }
        if (!ok) {
            std::error_code ignored;
            fs::remove_all(fsPath(destination), ignored); // what a failed copy left behind
        }
    }
    if (!ok)
        printLine(QStringLiteral("cant copy File ") + source);
}

// ---------------------------------------------------------------------------
// The process-wide store

namespace {

std::atomic<bool> sharedStoreCreated{false};

StoreConfig& pendingSharedStoreConfig()
{
    static StoreConfig config;
    return config;
}

} // namespace

CustomFileManager& sharedStore()
{
    static CustomFileManager store = [] {
        sharedStoreCreated = true;
        return CustomFileManager(pendingSharedStoreConfig());
    }();
    return store;
}

void configureSharedStore(StoreConfig config)
{
    if (!sharedStoreCreated)
        pendingSharedStoreConfig() = std::move(config);
}

} // namespace quillary
