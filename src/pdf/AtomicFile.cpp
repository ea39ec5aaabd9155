#include "pdf/AtomicFile.h"

#include <QFile>

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

QString fromLocal(const std::string& text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
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
    discard();
    if (requested.isEmpty())
        return Result::failure(ErrorCode::InvalidInput, QStringLiteral("no file name given"));
    std::string resolved;
    const fs::Status followed =
        fs::followOutputLinks(QFile::encodeName(requested).toStdString(), &folder, &finalName, &resolved);
    if (!followed) {
        const ErrorCode code = followed.refused ? ErrorCode::Refused
                             : followed.error == EISDIR || followed.error == EINVAL ? ErrorCode::NotAFile
                                                                                     : errorCodeForErrno(followed.error);
        return Result::failure(code, fromLocal(followed.message));
    }
    target = fromLocal(resolved);
    struct stat existing {}, folderInfo {};
    const bool existed = fs::statEntry(folder.get(), finalName, &existing);
    const bool privateFolder = ::fstat(folder.get(), &folderInfo) == 0 && (folderInfo.st_mode & (S_IRWXG | S_IRWXO)) == 0;

    // A new file gets the usual permissions (0666 less the umask, applied by
    // the kernel); everything else starts private and is opened up after.
    const bool usual = access == Access::Inherit && !existed && !privateFolder;
    std::string shownFolder, ignored;
    fs::splitPath(resolved, &shownFolder, &ignored);
    const fs::Status created = fs::createUnique(folder.get(), "." + finalName + ".", usual ? 0666 : 0600, &file, &scratch);
    if (!created) {
        const int error = created.error;
        folder.reset();
        return Result::failure(errorCodeForErrno(error), QStringLiteral("%1: cannot write in %2: %3")
                                                             .arg(requested, fromLocal(shownFolder), reasonOf(error)));
    }
    if (access == Access::Inherit && existed)
        ::fchmod(file.get(), existing.st_mode & 07777);
    written = 0;
    buffer.clear();
    buffer.reserve(BufferSize);
    firstError = {};
    committed = false;
    return Result::success();
}

bool AtomicFile::write(const char* data, qint64 size)
{
    if (!file.valid() || !firstError.ok())
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
        const ssize_t n = ::write(file.get(), buffer.constData() + done, size_t(buffer.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
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
    if (!file.valid())
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: the file was not opened").arg(requested));
    if (!writeBuffer())
        return firstError;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return failWith(errno, reasonOf(errno));
    if (info.st_size != written)
        return failWith(EIO, QStringLiteral("only %1 of %2 bytes were written").arg(qint64(info.st_size)).arg(written));
    if (::fsync(file.get()) != 0) {
        const int error = errno;
        if (error != EINVAL && error != EROFS) // not supported here: nothing to wait for
            return failWith(error, reasonOf(error));
    }
    if (::close(file.release()) != 0 && errno != EINTR)
        return failWith(errno, reasonOf(errno));
    // What sits at the name now is replaced, never written through: a link
    // planted there since open() is itself replaced.
    struct stat now {};
    if (fs::statEntry(folder.get(), finalName, &now) && S_ISDIR(now.st_mode))
        return failWith(EISDIR, QStringLiteral("is a folder"));
    if (const fs::Status renamed = fs::renameAt(folder.get(), scratch, folder.get(), finalName, false); !renamed)
        return failWith(renamed.error, reasonOf(renamed.error));
    scratch.clear();
    folder.reset();
    committed = true;
    return Result::success();
}

void AtomicFile::discard()
{
    file.reset();
    if (folder.valid() && !scratch.empty())
        ::unlinkat(folder.get(), scratch.c_str(), 0); // the temporary file only
    scratch.clear();
    folder.reset();
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
