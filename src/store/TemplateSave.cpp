// The save procedure of the assistant, as one transaction.
//
// Importing and deleting slot by slot would leave the store half-changed when
// the second of two chosen files cannot be read, or the disk fills up on the
// way. So every chosen file is first copied into a one-page file in a
// temporary directory; only when all of them could be read does the store
// change, and it changes in one go under the store's lock: new pages are
// recorded, pages replaced in place keep their old content until the settings
// are written, emptied pages are deleted after that. When anything fails the
// settings file, the page files and the lists stay as they were.

#include "store/CustomFileManager.h"

#include "pdf/TaskManager.h"
#include "store/SharedData.h"

#include <QTemporaryDir>

namespace quillary {

namespace {

bool isChosenFile(const QString& source)
{
    return !source.isEmpty() && source != SharedData::existing;
}

Result pageNotStored(const Result& why)
{
    return Result::failure(why.code, QStringLiteral("The page could not be stored: %1").arg(why.error));
}

} // namespace

Result CustomFileManager::saveTemplate(const QString& typedName)
{
    TemplateEdit edit;
    edit.typedName = typedName;
    edit.editedName = SharedData::templateName;
    edit.isNew = SharedData::isNewTemplate;
    edit.source(PageKind::Start) = SharedData::startPagePath;
    edit.source(PageKind::Continuation) = SharedData::continualPagePath;
    edit.source(PageKind::Terms) = SharedData::agbPagePath;
    return saveTemplate(edit);
}

Result CustomFileManager::saveTemplate(const TemplateEdit& edit)
{
    if (directory.isEmpty() || !path)
        return Result::failure(ErrorCode::NotFound, QStringLiteral("there is no template store"));

    QTemporaryDir prepared;
    if (!prepared.isValid())
        return Result::failure(ErrorCode::WriteFailed,
                               QStringLiteral("No temporary directory could be created: %1")
                                   .arg(prepared.errorString()));
    std::array<QString, 3> pages; // one-page copies of the chosen files, by page kind
    QStringList unembeddable;     // what the copies could not be given for PDF/A outputs
    for (const PageKindInfo& info : kPageKinds) {
        const QString& source = edit.source(info.kind);
        if (!isChosenFile(source))
            continue;
        const QString copy = prepared.filePath(QStringLiteral("page%1.pdf").arg(static_cast<int>(info.kind)));
        const Result read = TaskManager::writeFirstPage(source, copy);
        if (!read)
            return Result::failure(read.code, QStringLiteral("The page could not be read: %1")
                                                  .arg(read.error));
        for (const QString& warning : read.warnings)
            if (warning.contains(QLatin1String(" cannot be embedded")))
                unembeddable << warning;
        pages[static_cast<int>(info.kind)] = copy;
    }

    Result saved = changeSettings([&] {
        return edit.isNew ? saveNewTemplate(edit, pages) : saveExistingTemplate(edit, pages);
    });
    if (saved && !edit.isNew)
        SharedData::templateName = edit.typedName;
    if (saved)
        saved.warnings << unembeddable;
    return saved;
}

Result CustomFileManager::saveNewTemplate(const TemplateEdit& edit, const std::array<QString, 3>& pages)
{
    // A new template has no stored page to keep: "existing" means none here.
    TemplateRecord record = TemplateRecord::created(edit.typedName, changeLabel(true));
    for (const PageKindInfo& info : kPageKinds) {
        const QString& page = pages[static_cast<int>(info.kind)];
        if (page.isEmpty())
            continue;
        const ValueResult<int> imported = importPageInChange(info.storeKey, page, std::nullopt);
        if (!imported)
            return pageNotStored(imported);
        record.setPageIndex(info.kind, *imported.value);
    }
    record.setDocFormat(docFormatFor(record));

    auto list = loadTemplateList();
    if (!list)
        return Result::failure(ErrorCode::Damaged,
                               QStringLiteral("The settings file holds no template list: %1")
                                   .arg(settingsPath()));
    list->prepend(record);
    storeTemplates(*list);
    return Result::success();
}

bool CustomFileManager::pageSharedWith(const QString& name, PageKind kind, int index) const
{
    bool skippedEdited = false;
    for (const TemplateRecord& record : loadTemplateList().value_or(QList<TemplateRecord>())) {
        if (record.name == name && !skippedEdited) {
            skippedEdited = true;
            continue;
        }
        if (record.pageIndex(kind) == index)
            return true;
    }
    return false;
}

Result CustomFileManager::saveExistingTemplate(const TemplateEdit& edit, const std::array<QString, 3>& pages)
{
    // The template as the settings file holds it now: another process may
    // have changed or removed it since the assistant opened it.
    const auto named = templateNamed(edit.editedName);
    if (!named)
        return Result::failure(ErrorCode::Missing, QStringLiteral("The template \"%1\" no longer exists.")
                                                       .arg(edit.editedName));
    TemplateRecord record = *named;

    // Chosen files first: new pages, and pages replaced in place.
    for (const PageKindInfo& info : kPageKinds) {
        const QString& page = pages[static_cast<int>(info.kind)];
        if (page.isEmpty())
            continue;
        const auto index = record.pageIndex(info.kind);
        const auto stored = index ? pagePath(info.kind, *index) : std::nullopt;
        // A page another template uses as well stays as it is for that one.
        if (stored && !pageSharedWith(edit.editedName, info.kind, *index)) {
            if (const ValueResult<int> replaced = importPageInChange(info.storeKey, page, *stored); !replaced)
                return pageNotStored(replaced);
            continue;
        }
        // "X" (or a reference to a page that is gone): a new page. Its index is
        // stored as an integer, as older versions wrote it; every reader
        // accepts both forms.
        const ValueResult<int> imported = importPageInChange(info.storeKey, page, std::nullopt);
        if (!imported)
            return pageNotStored(imported);
        record.setPageIndex(info.kind, *imported.value, true);
    }

    // Emptied slots: the template's page leaves the store, unless another
    // template still uses it.
    for (const PageKindInfo& info : kPageKinds) {
        if (!edit.source(info.kind).isEmpty() || record.lacksPage(info.kind))
            continue;
        const auto index = record.pageIndex(info.kind);
        if (index && !pageSharedWith(edit.editedName, info.kind, *index))
            dropPage(info.storeKey, *index); // an index past the list only prints its line
        record.clearPage(info.kind);
    }

    record.setLastActivityWithDate(changeLabel(false));
    record.setDocFormat(docFormatFor(record));
    return renameTemplate(edit.editedName, edit.typedName, record);
}

} // namespace quillary
