// Stored pages: the three lists of one-page stationery files, importing a
// page into them and dropping one.

#include "store/CustomFileManager.h"

#include "pdf/PlainLines.h"
#include "pdf/TaskManager.h"
#include "store/SettingsFile.h"
#include "store/StoreSupport.h"

#include <QDir>
#include <QTemporaryFile>

#include <memory>

#include <unistd.h>

namespace quillary {

using namespace storesupport;

QString storesupport::describe(const QVariant& value)
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

namespace {

// A list of strings the way the settings file gives it back, so that the
// dictionary in memory compares equal to the file once written.
QVariantList asStored(const QStringList& paths)
{
    QVariantList list;
    list.reserve(paths.size());
    for (const QString& entry : paths)
        list << entry;
    return list;
}

} // namespace

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

// A page list names its files by full path; an entry without one (a file
// written by hand, or moved from another machine) lies in the store
// directory, whatever the current directory of the process is.
QString CustomFileManager::resolvedPagePath(const QString& stored) const
{
    if (stored.isEmpty() || QDir::isAbsolutePath(stored) || directory.isEmpty())
        return stored;
    return QDir::cleanPath(directory + QLatin1Char('/') + stored);
}

bool CustomFileManager::ownsPageFile(const QString& path) const
{
    if (directory.isEmpty() || path.isEmpty())
        return false;
    const QString clean = QDir::cleanPath(QDir::isAbsolutePath(path) ? path : directory + QLatin1Char('/') + path);
    const qsizetype slash = clean.lastIndexOf(QLatin1Char('/'));
    return slash > 0 && clean.left(slash) == QDir::cleanPath(directory) && clean.mid(slash + 1) != QLatin1String("..");
}

void CustomFileManager::adoptOutsidePages()
{
    for (const PageKindInfo& info : kPageKinds) {
        auto paths = storedPaths(info.storeKey);
        if (!paths)
            continue;
        bool changed = false;
        for (QString& entry : *paths) {
            const QString page = resolvedPagePath(entry);
            if (page.isEmpty() || ownsPageFile(page))
                continue;
            const QString copy = freePageName(info.storeKey, *paths + pending.created);
            if (const Result read = TaskManager::writeFirstPage(page, copy); !read) {
                printPlainLine(read.error); // kept as it is: read, never written
                continue;
            }
            QFile::setPermissions(copy, ownerOnlyFile);
            pending.created.append(copy);
            entry = copy;
            changed = true;
        }
        if (changed)
            (*dic)[QString(info.settingsKey)] = asStored(*paths);
    }
}

// The lowest "%02d.pdf" name of the kind with no file there and no list entry
// naming it: a listed page whose file went missing keeps its name, so that a
// new page never answers for an old reference.
QString CustomFileManager::freePageName(StoreKey kind, const QStringList& listed) const
{
    QStringList taken;
    for (const QString& entry : listed)
        taken << resolvedPagePath(entry);
    const QString prefix = directory + pathSuffix(kind);
    for (int i = 0;; ++i) {
        const QString candidate = prefix + QString::asprintf("%02d.pdf", i);
        if (!itemExists(candidate) && !taken.contains(candidate))
            return candidate;
    }
}

ValueResult<int> CustomFileManager::importPageInChange(StoreKey kind, const QString& source,
                                                       const std::optional<QString>& overwritePath)
{
    if (!isPageKind(kind))
        return Result::failure(ErrorCode::InvalidInput, QStringLiteral("not a kind of stored page: %1").arg(static_cast<int>(kind)));
    const QString key = rawValue(kind);
    const auto stored = storedPaths(kind);
    if (!stored && dic->contains(key) && !overwritePath) {
        // Rewriting it would lose the pages the templates refer to by index.
        return Result::failure(ErrorCode::Damaged, QStringLiteral("%1: \"%2\" holds no list of page files").arg(settingsPath(), key));
    }
    QStringList paths = stored.value_or(QStringList());
    const int n = static_cast<int>(paths.size());
    QString destination = overwritePath ? resolvedPagePath(*overwritePath) : freePageName(kind, paths);
    // A listed page outside the store is never written: the new page goes
    // into the store and the entry is pointed at it.
    QString outside;
    if (overwritePath && !ownsPageFile(destination)) {
        outside = destination;
        destination = freePageName(kind, paths);
    }

    // qpdf reads files only; a page among the Qt resources is taken out first.
    QString readable = source;
    std::unique_ptr<QTemporaryFile> extracted;
    if (source.startsWith(QLatin1Char(':'))) {
        extracted.reset(QTemporaryFile::createNativeFile(source));
        if (!extracted)
            return Result::failure(ErrorCode::NotFound, QStringLiteral("%1: no such file").arg(source));
        readable = extracted->fileName();
    }

    // A page replaced in place keeps its old content under a second name
    // until the change is written, so that a change that fails later puts it
    // back. A hard link costs no space, which matters on a full disk.
    QString backup;
    if (overwritePath && outside.isEmpty() && itemExists(destination)) {
        backup = settingsfile::asideName(destination, QStringLiteral("previous"), now());
        const bool kept = ::link(QFile::encodeName(destination).constData(), QFile::encodeName(backup).constData()) == 0
                          || QFile::copy(destination, backup);
        if (!kept)
            return Result::failure(ErrorCode::WriteFailed,
                                   QStringLiteral("%1: the stored page could not be kept while it is replaced").arg(destination));
    }

    // Written through the atomic writer: a source that cannot be read (not a
    // PDF, a password, no page 1) or a full disk leaves no file behind and
    // the previous page as it was.
    Result written = TaskManager::writeFirstPage(readable, destination);
    if (!written) {
        if (!backup.isEmpty())
            QFile::remove(backup);
        if (extracted)
            written.error.replace(readable, source);
        return written;
    }
    // Stationery is as private as the documents it is printed on.
    QFile::setPermissions(destination, ownerOnlyFile);
    printPlainLine(destination);
    if (!outside.isEmpty()) {
        pending.created.append(destination);
        qsizetype at = -1;
        for (qsizetype i = 0; i < paths.size() && at < 0; ++i)
            if (resolvedPagePath(paths.at(i)) == outside)
                at = i;
        if (at < 0)
            paths.append(destination);
        else
            paths[at] = destination;
        (*dic)[key] = asStored(paths);
        return ValueResult<int>::of(static_cast<int>(at < 0 ? n : at));
    }
    if (overwritePath) {
        if (!backup.isEmpty())
            pending.backups.append({destination, backup});
        // The list is as it was; only the file changed.
        for (qsizetype i = 0; i < paths.size(); ++i)
            if (resolvedPagePath(paths.at(i)) == destination)
                return ValueResult<int>::of(static_cast<int>(i));
        return ValueResult<int>::of(n);
    }
    pending.created.append(destination);
    paths.append(destination);
    (*dic)[key] = asStored(paths);
    return ValueResult<int>::of(n);
}

ValueResult<int> CustomFileManager::importPage(StoreKey kind, const QString& source,
                                               const std::optional<QString>& overwritePath)
{
    ValueResult<int> imported;
    const Result changed = changeSettings([&]() -> Result {
        imported = importPageInChange(kind, source, overwritePath);
        return imported;
    });
    if (!changed)
        return changed;
    return imported;
}

std::optional<QString> CustomFileManager::pagePath(StoreKey kind, int index) const
{
    const auto paths = storedPaths(kind);
    if (!paths || index < 0 || index >= paths->size())
        return std::nullopt;
    return resolvedPagePath(paths->at(index));
}

QStringList CustomFileManager::pagePaths(StoreKey key)
{
    printPlainLine(QStringLiteral("any ") + describe(dic ? dic->value(rawValue(key)) : QVariant()));
    QStringList paths = storedPaths(key).value_or(QStringList());
    if (isPageKind(key))
        for (QString& entry : paths)
            entry = resolvedPagePath(entry);
    return paths;
}

Result CustomFileManager::setPagePaths(StoreKey key, const QStringList& paths)
{
    return changeSettings([&] {
        (*dic)[rawValue(key)] = asStored(paths);
        return Result::success();
    });
}

Result CustomFileManager::deletePage(StoreKey kind, int index)
{
    return changeSettings([&] { return dropPage(kind, index); });
}

// Drops page index of the kind from its list; its file goes when the change
// is written. References of every template to later pages move down by one;
// references to the dropped page itself become "X" (a template sharing a
// page, from an older version, must not take over the next page instead).
Result CustomFileManager::dropPage(StoreKey kind, int index)
{
    const auto pageKind = pageKindOf(kind);
    if (!pageKind)
        return Result::failure(ErrorCode::InvalidInput, QStringLiteral("not a kind of stored page: %1").arg(static_cast<int>(kind)));
    auto paths = storedPaths(kind);
    if (!paths)
        return Result::success(); // no list: nothing to drop
    if (index < 0 || index >= paths->size()) {
        printPlainLine(QStringLiteral("The.Row.%1.doesnt.Exist").arg(index));
        return Result::failure(ErrorCode::Missing, QStringLiteral("there is no stored %1 number %2")
                                                       .arg(QLatin1String(pageKindInfo(*pageKind).label))
                                                       .arg(index));
    }
    // Its file goes with it only when it is one of the store's own.
    if (const QString page = resolvedPagePath(paths->at(index)); ownsPageFile(page))
        pending.dropped.append(page);
    paths->removeAt(index);
    (*dic)[rawValue(kind)] = asStored(*paths);

    auto templates = loadTemplateList();
    if (!templates)
        return Result::success();
    bool renumbered = false;
    for (TemplateRecord& record : *templates) {
        const auto reference = record.pageIndex(*pageKind);
        if (!reference || *reference < index)
            continue;
        if (*reference == index)
            record.clearPage(*pageKind);
        else
            record.setPageIndex(*pageKind, *reference - 1);
        renumbered = true;
    }
    if (renumbered)
        storeTemplates(*templates);
    return Result::success();
}

} // namespace quillary
