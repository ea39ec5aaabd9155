#include "store/SettingsFile.h"

#include "pdf/AtomicFile.h"
#include "store/PropertyList.h"

#include <QFile>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace quillary::settingsfile {

namespace {

// True when something (also a dangling symbolic link) is at the path.
bool itemExists(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

Contents read(const QString& path)
{
    Contents contents;
    if (const QFileInfo info(path); info.exists() && !info.isFile()) {
        contents.state = State::Unreadable;
        contents.reason = QStringLiteral("not a regular file");
        return contents;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const int error = errno;
        if (!itemExists(path))
            return contents; // Missing
        contents.state = State::Unreadable;
        contents.reason = QString::fromLocal8Bit(std::strerror(error ? error : EACCES));
        return contents;
    }
    // Refused by its size before a byte is read; and never more than the
    // limit and one byte read, so that a file that grows meanwhile is refused
    // all the same.
    contents.size = file.size();
    QByteArray bytes;
    if (contents.size <= kMaxSize) {
        bytes = file.read(kMaxSize + 1);
        contents.size = qMax<qint64>(contents.size, bytes.size());
    }
    if (contents.size > kMaxSize) {
        contents.state = State::TooLarge;
        contents.reason = QStringLiteral("%1 bytes, more than %2").arg(contents.size).arg(kMaxSize);
        return contents;
    }
    if (auto dictionary = readPropertyListDictionary(bytes)) {
        contents.state = State::Read;
        contents.dictionary = std::move(*dictionary);
    } else {
        contents.state = State::Damaged;
        contents.reason = QStringLiteral("not a property list with a dictionary");
    }
    return contents;
}

Result write(const QString& path, const QVariantMap& dictionary)
{
    const QByteArray xml = writePropertyListXml(dictionary);
    if (xml.isEmpty())
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: the settings could not be put into a property list").arg(path));
    return writeFileAtomically(path, xml, AtomicFile::Access::Private);
}

QString asideName(const QString& path, const QString& tag, const QDateTime& when)
{
    const QString base = path + QLatin1Char('.') + tag + QLatin1Char('-') + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString candidate = base;
    for (int i = 1; itemExists(candidate); ++i)
        candidate = base + QStringLiteral("-%1").arg(i);
    return candidate;
}

std::optional<QString> moveAside(const QString& path, const QString& tag, const QDateTime& when)
{
    // rename() replaces an existing target; link() + unlink() never does, so a
    // file moved aside earlier (perhaps in the same second) is never lost.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString aside = asideName(path, tag, when);
        const QByteArray from = QFile::encodeName(path);
        const QByteArray to = QFile::encodeName(aside);
        if (::link(from.constData(), to.constData()) == 0) {
            if (::unlink(from.constData()) == 0)
                return aside;
            ::unlink(to.constData());
            return std::nullopt;
        }
        if (errno == EEXIST)
            continue; // taken meanwhile: the next free name
        // No hard links here (some network and FAT file systems): a rename,
        // with the name checked just before.
        if (QFile::rename(path, aside))
            return aside;
        return std::nullopt;
    }
    return std::nullopt;
}

Lock::Lock(const QString& directory)
    : file(std::make_unique<QLockFile>(fileName(directory)))
{
}

QString Lock::fileName(const QString& directory)
{
    return directory + QStringLiteral("/settings.plist.lock");
}

Result Lock::acquire(int timeoutMs)
{
    // Polled in short steps rather than with QLockFile's own waiting, which
    // doubles its pauses from 100 ms: a change takes milliseconds, and a
    // process waiting behind two others should not sit idle for most of a second.
    QDeadlineTimer deadline(qMax(0, timeoutMs));
    for (int pause = 2;; pause = qMin(pause * 2, 25)) {
        if (file->tryLock(0))
            return Result::success();
        if (file->error() != QLockFile::LockFailedError || deadline.hasExpired())
            break;
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(pause, qMax<qint64>(1, deadline.remainingTime()))));
    }
    const QString name = file->fileName();
    switch (file->error()) {
    case QLockFile::LockFailedError: {
        qint64 pid = 0;
        QString host, application;
        const bool known = file->getLockInfo(&pid, &host, &application);
        return Result::failure(ErrorCode::Locked,
                               known ? QStringLiteral("%1: the template store is in use by another program (process %2)")
                                           .arg(name)
                                           .arg(pid)
                                     : QStringLiteral("%1: the template store is in use by another program").arg(name));
    }
    case QLockFile::PermissionError:
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: no permission to lock the template store").arg(name));
    default:
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: the template store could not be locked").arg(name));
    }
}

void Lock::release()
{
    file->unlock();
}

} // namespace quillary::settingsfile
