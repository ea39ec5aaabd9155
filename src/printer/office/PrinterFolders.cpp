#include "printer/office/PrinterFolders.h"

#include "pdf/TaskManager.h"
#include "printer/letterhead/QueueSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillary::office {

namespace {

const char* const kFiles[3] = {letterhead::kStartFile, letterhead::kContinuationFile, letterhead::kTermsFile};
const char* const kLabels[3] = {"start page", "continuation page", "terms page"};

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray local(const QString& name)
{
    return QFile::encodeName(name);
}

} // namespace

QString printersRoot()
{
    const QByteArray configured = qgetenv("QUILLARY_PRINTERS_ROOT");
    return configured.isEmpty() ? QStringLiteral("/var/lib/quillary/printers") : QDir::cleanPath(QFile::decodeName(configured));
}

ValueResult<std::shared_ptr<PrinterFolders>> PrinterFolders::open(const QString& root)
{
    if (!QDir::isAbsolutePath(root))
        return Result::failure(ErrorCode::InvalidInput, QStringLiteral("%1: the printers' folder must be an absolute name").arg(root));
    // Folders on the way are made root's and open to read, as /var/lib's are.
    const mode_t previous = ::umask(022);
    const bool made = QDir().mkpath(root);
    ::umask(previous);
    if (!made)
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: cannot be made").arg(root));
    const int fd = ::open(local(root).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return Result::failure(ErrorCode::Unreadable, QStringLiteral("%1: %2").arg(root, systemError()));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH))) {
        ::close(fd);
        return Result::failure(ErrorCode::Refused, QStringLiteral("%1: others than its owner may change it; no stationery is kept there").arg(root));
    }
    // Readable by the filter user.
    ::fchmod(fd, 0755);
    return ValueResult<std::shared_ptr<PrinterFolders>>::of(std::shared_ptr<PrinterFolders>(new PrinterFolders(fd, QDir::cleanPath(root))));
}

PrinterFolders::~PrinterFolders()
{
    ::close(rootFd);
}

bool PrinterFolders::exists(const QString& name) const
{
    struct stat st {};
    return ::fstatat(rootFd, local(name).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

QStringList PrinterFolders::filesOf(const QString& name) const
{
    QStringList found;
    const int fd = ::openat(rootFd, local(name).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return found;
    for (int i = 0; i < 3; ++i) {
        struct stat st {};
        if (::fstatat(fd, kFiles[i], &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            found << QString::fromLatin1(kLabels[i]).section(u' ', 0, 0);
    }
    ::close(fd);
    return found;
}

ValueResult<QString> PrinterFolders::stage(const QString& name, const Stationery& stationery)
{
    const QString staged = QStringLiteral(".%1.new-%2").arg(name).arg(::getpid());
    remove(staged); // one left by an earlier run of the same process id
    if (::mkdirat(rootFd, local(staged).constData(), 0755) != 0)
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: %2").arg(folderOf(staged), systemError()));
    ::fchmodat(rootFd, local(staged).constData(), 0755, 0);

    // The files as read go to a folder of root's alone; only page 1 of each,
    // rewritten by the engine as the store does, reaches the printer's folder.
    QTemporaryDir scratch;
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        if (!stationery.pages[i])
            continue;
        const QString raw = scratch.filePath(QString::fromLatin1(kFiles[i]));
        QFile file(raw);
        const QByteArray& bytes = *stationery.pages[i];
        if (!scratch.isValid() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
            remove(staged);
            return Result::failure(ErrorCode::WriteFailed, QStringLiteral("the %1 could not be copied for checking").arg(kLabels[i]));
        }
        file.close();
        const QString target = folderOf(staged) + QLatin1Char('/') + QString::fromLatin1(kFiles[i]);
        const Result written = TaskManager::writeFirstPage(raw, target);
        if (!written) {
            remove(staged);
            return Result::failure(written.code, QStringLiteral("%1 (%2): %3").arg(QString::fromLatin1(kLabels[i]),
                                                                                  stationery.origins[i], written.error));
        }
        ::chmod(local(target).constData(), 0644);
        any = true;
    }
    if (!any) {
        remove(staged);
        return Result::failure(ErrorCode::InvalidInput, QStringLiteral("no stationery page was named"));
    }
    return ValueResult<QString>::of(staged);
}

Result PrinterFolders::install(const QString& staged, const QString& name)
{
    if (::renameat2(rootFd, local(staged).constData(), rootFd, local(name).constData(), RENAME_NOREPLACE) == 0)
        return Result::success();
    if (errno != EEXIST)
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: %2").arg(folderOf(name), systemError()));
    if (::renameat2(rootFd, local(staged).constData(), rootFd, local(name).constData(), RENAME_EXCHANGE) != 0)
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: %2").arg(folderOf(name), systemError()));
    return remove(staged); // the old set, now under the staging name
}

Result PrinterFolders::remove(const QString& name)
{
    const int fd = ::openat(rootFd, local(name).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return Result::success();
        // Not ours to empty (a link, a file): take the entry itself away.
        if (::unlinkat(rootFd, local(name).constData(), 0) == 0)
            return Result::success();
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: %2").arg(folderOf(name), systemError()));
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: %2").arg(folderOf(name), systemError()));
    }
    QList<QByteArray> entries;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray entryName(entry->d_name);
        if (entryName != "." && entryName != "..")
            entries << entryName;
    }
    for (const QByteArray& entry : std::as_const(entries))
        ::unlinkat(fd, entry.constData(), 0);
    ::closedir(dir);
    if (::unlinkat(rootFd, local(name).constData(), AT_REMOVEDIR) != 0)
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: %2").arg(folderOf(name), systemError()));
    return Result::success();
}

} // namespace quillary::office
