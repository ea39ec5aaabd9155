// Template operations: the template list read as typed records, and the
// changes of single templates.

#include "store/CustomFileManager.h"
#include "store/PlaceholderPage.h"

#include "pdf/TaskManager.h"
#include "store/SharedData.h"
#include "store/StoreSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace quillary {

std::optional<QVariantList> storesupport::templateEntries(const QVariant& value, bool* dropped)
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

namespace {

Result noTemplateList(const QString& settings)
{
    return Result::failure(ErrorCode::Damaged, QStringLiteral("%1: the settings file holds no template list").arg(settings));
}

Result noSuchTemplate(const QString& name)
{
    return Result::failure(ErrorCode::Missing, QStringLiteral("the template \"%1\" no longer exists").arg(name));
}

} // namespace

std::optional<QList<TemplateRecord>> CustomFileManager::loadTemplateList() const
{
    if (!dic)
        return std::nullopt;
    const auto entries = storesupport::templateEntries(dic->value(rawValue(StoreKey::TemplateProperties)));
    if (!entries)
        return std::nullopt;
    QList<TemplateRecord> records;
    records.reserve(entries->size());
    for (const QVariant& entry : *entries)
        if (auto record = TemplateRecord::fromEntry(entry))
            records << std::move(*record);
    return records;
}

void CustomFileManager::storeTemplates(const QList<TemplateRecord>& records)
{
    QVariantList entries;
    entries.reserve(records.size());
    for (const TemplateRecord& record : records)
        entries << record.toEntry();
    (*dic)[rawValue(StoreKey::TemplateProperties)] = entries;
}

std::optional<QList<TemplateRecord>> CustomFileManager::templatesNamed(const QString& name) const
{
    auto list = loadTemplateList();
    if (list)
        list->removeIf([&](const TemplateRecord& record) { return record.name != name; });
    return list;
}

bool CustomFileManager::templateExists(const QString& name) const
{
    const auto named = templatesNamed(name);
    return named && !named->isEmpty();
}

std::optional<TemplateRecord> CustomFileManager::templateNamed(const QString& name) const
{
    const auto named = templatesNamed(name);
    if (!named || named->isEmpty())
        return std::nullopt;
    return named->constFirst();
}

Result CustomFileManager::addTemplate(const TemplateRecord& record)
{
    return changeSettings([&] {
        auto list = loadTemplateList();
        if (!list)
            return noTemplateList(settingsPath());
        list->prepend(record);
        storeTemplates(*list);
        return Result::success();
    });
}

Result CustomFileManager::renameTemplate(const QString& oldName, const QString& newName, const TemplateRecord& record)
{
    return changeSettings([&] {
        auto list = loadTemplateList();
        if (!list)
            return noTemplateList(settingsPath());
        for (TemplateRecord& stored : *list) {
            if (stored.name != oldName)
                continue;
            stored = TemplateRecord{newName, record.properties};
            storeTemplates(*list);
            return Result::success();
        }
        return noSuchTemplate(oldName);
    });
}

Result CustomFileManager::replaceTemplate(const QString& oldName, const QString& newName, const TemplateRecord& record)
{
    Result result = renameTemplate(oldName, newName, record);
    if (result)
        SharedData::templateName = newName;
    return result;
}

Result CustomFileManager::updateTemplate(const TemplateRecord& record)
{
    return renameTemplate(record.name, record.name, record);
}

Result CustomFileManager::deleteTemplate(const QString& name)
{
    return changeSettings([&] {
        auto list = loadTemplateList();
        if (!list)
            return Result::success(); // nothing to delete
        if (list->removeIf([&](const TemplateRecord& record) { return record.name == name; }) > 0)
            storeTemplates(*list);
        return Result::success();
    });
}

QString placeholderPageIn(const QString& path)
{
    // The placeholder speaks the user's language where a page of it exists
    // beside the English one ("sample-letterhead_de.pdf").
    //: The placeholder start page of the first template in this language: the
    //: file name beside the English "sample-letterhead.pdf" (German:
    //: "sample-letterhead_de.pdf"). Leave it as it is where there is none.
    const QString localized = QCoreApplication::translate("CustomFileManager", "sample-letterhead.pdf");
    const QFileInfo english(path);
    const QString candidate = english.dir().filePath(QFileInfo(localized).fileName());
    return localized != english.fileName() && QFileInfo::exists(candidate) ? candidate : path;
}

Result CustomFileManager::createDefaultTemplate()
{
    return changeSettings([&] {
        TemplateRecord record = TemplateRecord::created(
            QCoreApplication::translate("CustomFileManager", "Meine Vorlage") + QStringLiteral(" 1"), changeLabel(true));
        // The default settings may name a start page; ours name none, so the
        // sample letterhead becomes start page 0. Without it the template has
        // no start page rather than none at all.
        const auto starts = storedPaths(StoreKey::TemplateFirst);
        if (starts && !starts->isEmpty()) {
            record.setPageIndex(PageKind::Start, 0);
        } else if (!config.sampleLetterheadPath.isEmpty()) {
            const ValueResult<int> imported =
                importPageInChange(StoreKey::TemplateFirst, placeholderPageIn(config.sampleLetterheadPath), std::nullopt);
            if (imported)
                record.setPageIndex(PageKind::Start, *imported.value);
        }
        record.setDocFormat(docFormatFor(record));
        storeTemplates({record});
        return Result::success();
    });
}

QString CustomFileManager::docFormatFor(const TemplateRecord& record) const
{
    const auto index = record.pageIndex(PageKind::Start);
    if (!index)
        return QStringLiteral("99");
    const PageSize size = TaskManager::pageSize(pagePath(PageKind::Start, *index));
    return quillary::docFormatFor(TaskManager::pageFormat(size.width, size.height).formatCode);
}

QString CustomFileManager::changeLabel(bool created) const
{
    const QString date = QLocale().toString(now().date(), QStringLiteral("dd.MM.yy"));
    // Stored in English whatever the user's language: the files already out
    // there hold it so, and the list translates it when it shows it.
    return (created ? QStringLiteral("Created ") : QStringLiteral("Updated ")) + date;
}

} // namespace quillary
