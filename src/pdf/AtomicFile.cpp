#include "pdf/AtomicFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace quillary {

ErrorCode errorCodeForErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ErrorCode::NoSpace;
    case ENOENT:
    case ENOTDIR:
        return ErrorCode::NotFound;
    case EISDIR:
        return ErrorCode::NotAFile;
    default:
        return ErrorCode::WriteFailed;
    }
}

namespace {

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// True when nobody but the owner may enter the folder.
bool folderIsPrivate(const QString& folder)
{
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    return (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// Where a write to path lands: through symbolic links to the file they name.
QString followLinks(const QString& path)
{
    QString resolved = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < 40; ++depth) {
        const QFileInfo info(resolved);
        if (!info.isSymLink())
            break;
        const QString next = info.symLinkTarget();
        if (next.isEmpty())
            break;
        resolved = QFileInfo(next).absoluteFilePath();
    }
    return resolved;
}

} // namespace

AtomicFile::AtomicFile(QString path, Access a)
    : requested(std::move(path)), access(a)
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

Result AtomicFile::failWith(int error, const QString& what)
{
    Result r = Result::failure(errorCodeForErrno(error), QStringLiteral("%1: %2").arg(requested, what));
    if (firstError.ok())
        firstError = r;
    discard();
    return r;
}

Result AtomicFile::open()
{
    if (requested.isEmpty())
        return Result::failure(ErrorCode::InvalidInput, QStringLiteral("no file name given"));
    target = followLinks(requested);
    struct stat info {};
    if (::lstat(QFile::encodeName(target).constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return Result::failure(ErrorCode::NotAFile, S_ISDIR(info.st_mode)
                                                        ? QStringLiteral("%1: is a folder").arg(requested)
                                                        : QStringLiteral("%1: is not a regular file").arg(requested));
    }
    const QFileInfo targetInfo(target);
    const bool existed = targetInfo.exists();
    if (!targetInfo.absoluteDir().exists())
        return Result::failure(ErrorCode::NotFound, QStringLiteral("%1: the folder %2 does not exist")
                                                        .arg(requested, targetInfo.absolutePath()));

    file = std::make_unique<QSaveFile>(target);
    // Without the rename there is no promise to keep: never write in place.
    file->setDirectWriteFallback(false);
    errno = 0;
    // Unbuffered: each write reaches the file at once, so its error (and errno)
    // belongs to it; AtomicFile buffers by itself.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const int error = errno ? errno : EACCES;
        const QString why = file->errorString();
        file.reset();
        return Result::failure(errorCodeForErrno(error),
                               QStringLiteral("%1: cannot write in %2: %3")
                                   .arg(requested, targetInfo.absolutePath(), why));
    }
    if (access == Access::Private || (!existed && folderIsPrivate(targetInfo.absolutePath())))
        file->setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    written = 0;
    buffer.clear();
    buffer.reserve(BufferSize);
    firstError = {};
    committed = false;
    return Result::success();
}

bool AtomicFile::write(const char* data, qint64 size)
{
    if (!file || !firstError.ok())
        return false;
    if (size <= 0)
        return true;
    buffer.append(data, size);
    written += size;
    return buffer.size() < BufferSize || writeBuffer();
}

bool AtomicFile::writeBuffer()
{
    qint64 done = 0;
    while (done < buffer.size()) {
        errno = 0;
        const qint64 n = file->write(buffer.constData() + done, buffer.size() - done);
        if (n <= 0) {
            const int error = errno ? errno : EIO;
            failWith(error, reasonOf(error));
            return false;
        }
        done += n;
    }
    buffer.clear();
    return true;
}

Result AtomicFile::commit()
{
    if (!firstError.ok())
        return firstError;
    if (!file)
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: the file was not opened").arg(requested));
    // QSaveFile's own commit ignores a failing flush of its buffer and a
    // failing sync, and would rename a short file into place.
    if (!writeBuffer())
        return firstError;
    if (file->size() != written)
        return failWith(EIO, QStringLiteral("only %1 of %2 bytes were written").arg(file->size()).arg(written));
    if (::fsync(file->handle()) != 0) {
        const int error = errno;
        if (error != EINVAL && error != EROFS) // not supported here: nothing to wait for
            return failWith(error, reasonOf(error));
    }
    errno = 0;
    if (!file->commit()) {
        const int error = errno ? errno : EIO;
        const QString why = file->errorString();
        file.reset();
        Result r = Result::failure(errorCodeForErrno(error), QStringLiteral("%1: %2").arg(requested, why));
        firstError = r;
        return r;
    }
    file.reset();
    committed = true;
    return Result::success();
}

void AtomicFile::discard()
{
    if (file) {
        file->cancelWriting();
        file.reset(); // removes the temporary file
    }
}

Result writeFileAtomically(const QString& path, const QByteArray& bytes, AtomicFile::Access access)
{
    AtomicFile file(path, access);
    if (Result opened = file.open(); !opened)
        return opened;
    file.write(bytes);
    return file.commit();
}

} // namespace quillary
