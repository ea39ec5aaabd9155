#include "printer/agent/PreviewStarts.h"

#include "printer/SpoolLayout.h"

#include <QFile>
#include <QList>

#include <algorithm>

#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace quillary::printer {

namespace {

QString text(const std::string& s)
{
    return QString::fromLocal8Bit(s);
}

// A name in the note: blanks, controls, line ends and '%' as %XX, so that
// one line holds one name whatever bytes it has.
QByteArray escapedName(const QByteArray& name)
{
    QByteArray out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || byte == '%')
            out += '%' + QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        else
            out += c;
    }
    return out;
}

} // namespace

bool isJobFileName(const QString& name)
{
    const QByteArray bytes = QFile::encodeName(name);
    return bytes.size() > qsizetype(kJobSuffix.size()) && bytes.size() <= NAME_MAX && bytes.front() != kHiddenPrefix
        && bytes.endsWith(QByteArrayView(kJobSuffix.data(), qsizetype(kJobSuffix.size()))) && !bytes.contains('/')
        && !bytes.contains('\0');
}

fs::Status openSpoolFolder(const QString& path, fs::Fd* folder)
{
    const std::string name = QFile::encodeName(path).toStdString();
    fs::Fd held;
    if (fs::Status opened = fs::openFolder(name, &held); !opened)
        return opened;
    struct stat info {};
    if (::fstat(held.get(), &info) != 0)
        return fs::Status::fail(errno, name + ": " + std::strerror(errno));
    if (!fs::ownedAndPrivateToWriting(info, ::getuid()))
        return fs::Status::refuse(EPERM, name + ": is not the user's own folder or others may write to it; refused");
    *folder = std::move(held);
    return fs::Status::ok();
}

QByteArray startsNoteText(const StartCounts& counts)
{
    QList<QString> names = counts.keys();
    std::sort(names.begin(), names.end());
    QByteArray out;
    for (const QString& name : std::as_const(names))
        out += QByteArray::number(counts.value(name)) + ' ' + escapedName(QFile::encodeName(name)) + '\n';
    return out;
}

StartCounts parseStartsNote(QByteArrayView note)
{
    StartCounts counts;
    const QList<QByteArray> lines = note.toByteArray().split('\n');
    for (const QByteArray& line : lines) {
        // "<count> <name>": a count of one or two digits, nothing else.
        const qsizetype blank = line.indexOf(' ');
        if (blank < 1 || blank > 2 || !std::all_of(line.begin(), line.begin() + blank, [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const int count = line.first(blank).toInt();
        if (count < 1 || count > kMaxStarts)
            continue; // never written so

        const QByteArray escaped = line.sliced(blank + 1);
        if (escaped.contains(' ') || escaped.contains('\r'))
            continue;
        const QString name = QFile::decodeName(QByteArray::fromPercentEncoding(escaped));
        if (!isJobFileName(name) || QFile::encodeName(name) != QByteArray::fromPercentEncoding(escaped))
            continue; // no job's name, or bytes that do not survive as a name
        counts.insert(name, count);
    }
    return counts;
}

StartCounts readStartsNote(int folder, QString* problem)
{
    const auto refuse = [&](const QString& why) {
        if (problem)
            *problem = why;
        return StartCounts();
    };
    struct stat info {};
    int error = 0;
    if (!fs::statEntry(folder, kStartsNoteName, &info, &error))
        return error == ENOENT ? StartCounts() : refuse(QStringLiteral("%1: %2").arg(kStartsNoteName, text(std::strerror(error))));
    fs::Fd file;
    if (fs::Status opened = fs::openRegularForReading(folder, kStartsNoteName, &file); !opened)
        return refuse(text(opened.message));
    if (::fstat(file.get(), &info) != 0)
        return refuse(QStringLiteral("%1: %2").arg(kStartsNoteName, text(std::strerror(errno))));
    if (info.st_uid != ::getuid())
        return refuse(QStringLiteral("%1: belongs to another user").arg(kStartsNoteName));
    if (info.st_size > kMaxNoteBytes)
        return refuse(QStringLiteral("%1: larger than %2 bytes").arg(kStartsNoteName).arg(kMaxNoteBytes));
    QByteArray bytes(kMaxNoteBytes + 1, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.get(), bytes.data() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refuse(QStringLiteral("%1: %2").arg(kStartsNoteName, text(std::strerror(errno))));
        if (n == 0)
            break;
        done += n;
    }
    if (done > kMaxNoteBytes) // grew while it was read
        return refuse(QStringLiteral("%1: larger than %2 bytes").arg(kStartsNoteName).arg(kMaxNoteBytes));
    bytes.truncate(done);
    return parseStartsNote(bytes);
}

fs::Status writeStartsNote(int folder, const StartCounts& counts)
{
    if (counts.isEmpty()) {
        struct stat info {};
        if (!fs::statEntry(folder, kStartsNoteName, &info))
            return fs::Status::ok();
        if (S_ISDIR(info.st_mode))
            return fs::Status::fail(EISDIR, std::string(kStartsNoteName) + ": is a folder");
        return fs::removeAt(folder, kStartsNoteName);
    }
    const QByteArray note = startsNoteText(counts);
    if (note.size() > kMaxNoteBytes)
        return fs::Status::fail(EFBIG, std::string(kStartsNoteName) + ": more previews counted than it may hold");
    return fs::writeFileAt(folder, kStartsNoteName, std::string_view(note.constData(), std::size_t(note.size())), 0600);
}

fs::Status setJobAside(int folder, const QString& name, QString* keptName)
{
    const std::string job = QFile::encodeName(name).toStdString();
    struct stat info {};
    int error = 0;
    if (!fs::statEntry(folder, job, &info, &error))
        return fs::Status::fail(error, job + ": " + std::strerror(error));
    if (!S_ISREG(info.st_mode))
        return fs::Status::refuse(EINVAL, job + ": is not a regular file; left where it is");
    fs::Fd kept;
    if (fs::Status made = fs::makeOwnFolder(folder, kSetAsideFolder, 0700, ::getuid(), &kept); !made)
        return made;
    struct stat keptInfo {};
    if (::fstat(kept.get(), &keptInfo) != 0)
        return fs::Status::fail(errno, std::string(kSetAsideFolder) + ": " + std::strerror(errno));
    if (fs::writableByOthers(keptInfo))
        return fs::Status::refuse(EPERM, std::string(kSetAsideFolder) + ": others may write to it; refused");
    const QString stem = name.chopped(qsizetype(kJobSuffix.size()));
    const QString suffix = QString::fromUtf8(kJobSuffix.data(), qsizetype(kJobSuffix.size()));
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString candidate = attempt == 1 ? name : QStringLiteral("%1 (%2)%3").arg(stem).arg(attempt).arg(suffix);
        const QByteArray target = QFile::encodeName(candidate);
        if (target.size() > NAME_MAX)
            break;
        const fs::Status moved = fs::renameAt(folder, job, kept.get(), target.toStdString(), true);
        if (moved) {
            *keptName = candidate;
            return moved;
        }
        if (moved.error != EEXIST)
            return fs::Status::fail(moved.error, job + ": cannot be moved into " + kSetAsideFolder + ": " + moved.message);
    }
    return fs::Status::fail(EEXIST, job + ": " + kSetAsideFolder + " holds too many documents of that name");
}

} // namespace quillary::printer
