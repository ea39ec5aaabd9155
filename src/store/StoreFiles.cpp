// Files of the store that are no settings: scratch names, deleting and
// copying single items, and removing the whole store.

#include "store/CustomFileManager.h"

#include "pdf/PlainLines.h"
#include "store/SettingsFile.h"
#include "store/StoreSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace quillary {

using namespace storesupport;
namespace fs = std::filesystem;

namespace {

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
    QDirIterator it(source, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
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

// Names the store gives its files: the settings file and what is kept beside
// it, stored pages, scratch files, and the atomic writer's temporary files.
bool isOwnFileName(const QString& name)
{
    static const QRegularExpression own(QStringLiteral("^\\.?(settings\\.plist|(tempf|tempb|temp|tmp|prev)\\d+\\.pdf)"));
    return own.match(name).hasMatch();
}

// The path with every symbolic link and "..", as far as it exists, resolved.
QString canonicalOf(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : folder + QLatin1Char('/') + info.fileName();
}

} // namespace

QString CustomFileManager::scratchPath(StoreKey kind)
{
    if (directory.isEmpty())
        return {};
    const QString prefix = storeDirectory() + pathSuffix(kind);
    for (;;) {
        // fetch_add: two threads asking at once get two different numbers.
        const int number = cnt.fetch_add(1, std::memory_order_relaxed) + 1;
        const QString candidate = prefix + QString::number(number) + QStringLiteral(".pdf");
        // The name is claimed with an empty private file: another process
        // counting from 1 in the same store (a second preview window) skips
        // it instead of writing over or deleting this process's scratch file.
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST)
            return candidate; // the write that follows reports why the folder refuses it
    }
}

Result CustomFileManager::deleteFile(const QString& filePath)
{
    // Files only: a page list naming a folder ("..", the store itself) must not
    // take that folder with it.
    struct stat info {};
    const bool present = !filePath.isEmpty() && ::lstat(QFile::encodeName(filePath).constData(), &info) == 0;
    const bool deletable = present && !S_ISDIR(info.st_mode) && QFileInfo(QFileInfo(filePath).absolutePath()).isWritable();
    if (!deletable) {
        printPlainLine(QStringLiteral("No deletable File"));
        return Result::failure(present ? ErrorCode::Refused : ErrorCode::NotFound,
                               QStringLiteral("%1: cannot be deleted").arg(filePath));
    }
    if (::unlink(QFile::encodeName(filePath).constData()) != 0) {
        const int error = errno;
        printPlainLine(QStringLiteral("Can't delete File ") + filePath);
        return Result::failure(errorCodeForErrno(error), QStringLiteral("%1: %2").arg(filePath, QString::fromLocal8Bit(std::strerror(error))));
    }
    return Result::success();
}

void CustomFileManager::removeIfReadable(const QString& itemPath)
{
    if (itemPath.isEmpty() || !QFileInfo(itemPath).isReadable())
        return;
    std::error_code ec;
    fs::remove_all(fsPath(itemPath), ec); // a failure is dropped
}

Result CustomFileManager::copyFile(const QString& source, const QString& destination)
{
    const QFileInfo info(source);
    if (source.isEmpty() || !info.exists() || !info.isReadable()) {
        printPlainLine(QStringLiteral("No Readable File"));
        return Result::failure(ErrorCode::Unreadable, QStringLiteral("%1: cannot be read").arg(source));
    }
    // Never into or over something that is there: the destination stays as it was.
    bool ok = !destination.isEmpty() && !itemExists(destination);
    if (ok) {
        if (source.startsWith(QLatin1Char(':'))) {
            ok = copyResourceItem(source, destination);
        } else {
            std::error_code ec;
            fs::copy(fsPath(source), fsPath(destination), fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
            ok = !ec;
        }
        if (!ok) {
            std::error_code ignored;
            fs::remove_all(fsPath(destination), ignored); // what a failed copy left behind
        }
    }
    if (!ok) {
        printPlainLine(QStringLiteral("cant copy File ") + source);
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: cannot be copied to %2").arg(source, destination));
    }
    return Result::success();
}

Result CustomFileManager::resetStore()
{
    if (directory.isEmpty())
        return Result::failure(ErrorCode::NotFound, QStringLiteral("there is no template store"));
    if (!itemExists(directory))
        return Result::success();
    settingsfile::Lock lock(directory);
    if (Result locked = lock.acquire(config.lockTimeoutMs); !locked)
        return locked;

    // Everything but the lock, while it is held; the folder itself after, when
    // no other process has started a new store in it meanwhile.
    const QString lockName = QFileInfo(settingsfile::Lock::fileName(directory)).fileName();
    QString failed;
    const QFileInfoList items = QDir(directory).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& item : items) {
        if (item.fileName() == lockName || (linkedDirectory && !isOwnFileName(item.fileName())))
            continue;
        std::error_code ec;
        fs::remove_all(fsPath(item.absoluteFilePath()), ec);
        if (ec && failed.isEmpty())
            failed = QStringLiteral("%1: %2").arg(item.absoluteFilePath(), QString::fromStdString(ec.message()));
    }
    dic.reset();
    onDisk.reset();
    templateProperties.clear();
    lock.release();
    if (!linkedDirectory)
        ::rmdir(QFile::encodeName(directory).constData());
    if (!failed.isEmpty())
        return Result::failure(ErrorCode::WriteFailed, failed);
    return Result::success();
}

bool CustomFileManager::isStoreFile(const QString& filePath) const
{
    if (directory.isEmpty() || filePath.isEmpty())
        return false;
    const QString file = canonicalOf(filePath);
    const QString store = canonicalOf(directory);
    if (file == store || file.startsWith(store + QLatin1Char('/')))
        return true;
    for (const PageKindInfo& info : kPageKinds)
        for (const QString& stored : storedPaths(info.storeKey).value_or(QStringList()))
            if (canonicalOf(resolvedPagePath(stored)) == file)
                return true;
    return false;
}

} // namespace quillary
