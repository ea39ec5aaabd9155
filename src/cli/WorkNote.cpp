#include "cli/WorkNote.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <climits>
#include <cstring>
#include <optional>

#include <unistd.h>

namespace quillary::cli {

namespace {

const QLatin1String kNotePrefix(".quillary-working-");
// Starts beyond this are no count a watch writes.
constexpr int kMostStarts = 1000;

std::string local(const QString& name)
{
    return QFile::encodeName(name).toStdString();
}

QString fromLocal(const std::string& text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

// Whether a name from a note can be a document of the watch: a PDF's name
// directly in the folder, as the watch's scan takes them (no path, not
// hidden, so neither "." nor "..").
bool documentName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || name.contains(QLatin1Char('/'))
        || name.contains(QChar(0)) || !name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return false;
    const QByteArray bytes = QFile::encodeName(name);
    return bytes.size() <= NAME_MAX && QFile::decodeName(bytes) == name;
}

QByteArray noteText(const NotedDocument& document)
{
    const QJsonObject note{{QStringLiteral("document"), document.name},
                           {QStringLiteral("starts"), document.starts},
                           {QStringLiteral("inode"), qint64(document.file.inode)},
                           {QStringLiteral("size"), document.file.size},
                           {QStringLiteral("modified"), document.file.modifiedNs}};
    return QJsonDocument(note).toJson(QJsonDocument::Compact) + '\n';
}

// The note's document, or nothing (with *why) when the bytes are no note.
std::optional<NotedDocument> parseNote(const QByteArray& bytes, QString* why)
{
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !json.isObject()) {
        *why = QStringLiteral("not a note of this watch");
        return std::nullopt;
    }
    const QJsonObject note = json.object();
    const auto integer = [&](const char* key) -> std::optional<qint64> {
        const QJsonValue value = note.value(QLatin1String(key));
        if (!value.isDouble() || value.toInteger(-1) != value.toDouble())
            return std::nullopt;
        return value.toInteger();
    };
    const auto starts = integer("starts"), inode = integer("inode"), size = integer("size"),
               modified = integer("modified");
    if (!note.value(QLatin1String("document")).isString() || !starts || !inode || !size || !modified
        || *starts < 1 || *starts > kMostStarts || *size < 0) {
        *why = QStringLiteral("not a note of this watch");
        return std::nullopt;
    }
    return NotedDocument{note.value(QLatin1String("document")).toString(), int(*starts),
                         FileStamp{true, *size, *modified, quint64(*inode)}};
}

// Reads the open note, at most kMostNoteBytes; nothing when it is longer.
std::optional<QByteArray> readBounded(int file)
{
    QByteArray bytes(int(kMostNoteBytes + 1), '\0');
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(file, bytes.data() + got, size_t(bytes.size() - got), got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        got += n;
    }
    if (got > kMostNoteBytes)
        return std::nullopt;
    bytes.resize(got);
    return bytes;
}

} // namespace

FileStamp stampFrom(const struct stat& info)
{
    return {true, qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            quint64(info.st_ino)};
}

WorkNotes::WorkNotes(const QString& shownFolder)
    : shownFolder(shownFolder)
{
}

QString WorkNotes::noteName(const QString& document)
{
    const QByteArray digest = QCryptographicHash::hash(document.toUtf8(), QCryptographicHash::Sha256);
    return kNotePrefix + QString::fromLatin1(digest.toHex().left(16));
}

QString WorkNotes::shown(const QString& name) const
{
    return QDir(shownFolder).filePath(name);
}

void WorkNotes::hold(int inbox)
{
    auto own = std::make_shared<const fs::Fd>(::fcntl(inbox, F_DUPFD_CLOEXEC, 0));
    std::lock_guard lock(mutex);
    folder = std::move(own);
}

std::shared_ptr<const fs::Fd> WorkNotes::held()
{
    std::lock_guard lock(mutex);
    return folder && folder->valid() ? folder : nullptr;
}

QList<NotedDocument> WorkNotes::takeLeftovers(uid_t me, QStringList* tellings)
{
    const std::shared_ptr<const fs::Fd> held = this->held();
    std::vector<std::string> names;
    if (!held || !fs::listFolder(held->get(), &names))
        return {};
    const int folder = held->get();
    QList<NotedDocument> documents;
    for (const std::string& entry : names) {
        const QString noteFile = fromLocal(entry);
        struct stat info {};
        // A note's temporary file, left by a watch killed while writing it.
        if (noteFile.startsWith(QLatin1Char('.') + kNotePrefix)) {
            if (fs::statEntry(folder, entry, &info) && S_ISREG(info.st_mode) && info.st_uid == me)
                fs::removeAt(folder, entry);
            continue;
        }
        if (!noteFile.startsWith(kNotePrefix) || !fs::statEntry(folder, entry, &info))
            continue;
        // Only a note this user wrote is read: a colleague who can write to
        // the folder cannot make the watch set a document aside.
        QString refused;
        if (S_ISLNK(info.st_mode))
            refused = QStringLiteral("a symbolic link");
        else if (!S_ISREG(info.st_mode))
            refused = QStringLiteral("not a regular file");
        else if (info.st_uid != me)
            refused = QStringLiteral("a file of another user");
        else if (info.st_nlink != 1)
            refused = QStringLiteral("a file with more than one name");
        else if (info.st_size > kMostNoteBytes)
            refused = QStringLiteral("larger than a note");
        fs::Fd file;
        struct stat opened {};
        std::optional<QByteArray> bytes;
        if (refused.isEmpty()
            && (!fs::openRegularForReading(folder, entry, &file) || ::fstat(file.get(), &opened) != 0
                || opened.st_ino != info.st_ino || opened.st_dev != info.st_dev || !(bytes = readBounded(file.get()))))
            refused = QStringLiteral("not readable as a note");
        if (!refused.isEmpty()) {
            tellings->append(QStringLiteral("%1: %2, not a note of this watch; left alone").arg(shown(noteFile), refused));
            continue;
        }
        // An own note that cannot be used is of no further use: removed.
        QString why;
        std::optional<NotedDocument> document = parseNote(*bytes, &why);
        if (document && !documentName(document->name)) {
            why = QStringLiteral("names \"%1\", which is no document directly in %2").arg(document->name, shownFolder);
            document.reset();
        } else if (document && noteName(document->name) != noteFile) {
            why = QStringLiteral("not a note of this watch"); // copied or renamed: no retry counts from it
            document.reset();
        }
        struct stat named {};
        if (document) {
            if (!fs::statEntry(folder, local(document->name), &named))
                why = QStringLiteral("names %1, which is no longer there").arg(shown(document->name));
            else if (!S_ISREG(named.st_mode))
                why = QStringLiteral("names %1, which is not a regular file").arg(shown(document->name));
            else if (!(stampFrom(named) == document->file))
                why = QStringLiteral("names %1, which has changed since; it is taken as a new document")
                          .arg(shown(document->name));
        }
        if (!why.isEmpty()) {
            tellings->append(QStringLiteral("%1: %2; removed").arg(shown(noteFile), why));
            fs::removeAt(folder, entry);
            continue;
        }
        documents.append(*document);
    }
    return documents;
}

void WorkNotes::write(const NotedDocument& document)
{
    const QByteArray text = noteText(document);
    const QString name = noteName(document.name);
    const std::shared_ptr<const fs::Fd> folder = held();
    if (!folder)
        return;
    const fs::Status written = fs::writeFileAt(folder->get(), local(name), text.toStdString(), 0600, false);
    std::lock_guard lock(mutex);
    if (!written && !writeFailed) {
        told.append(QStringLiteral("%1: cannot write the note of the document in hand (%2); a document that stops "
                                   "the watch will be started again at every start")
                        .arg(shown(name), fromLocal(written.message)));
        writeFailed = true;
    }
}

void WorkNotes::remove(const QString& document)
{
    const QString name = noteName(document);
    const std::shared_ptr<const fs::Fd> folder = held();
    if (!folder || ::unlinkat(folder->get(), local(name).c_str(), 0) == 0 || errno == ENOENT)
        return;
    const int error = errno;
    std::lock_guard lock(mutex);
    if (!removeFailed) {
        told.append(QStringLiteral("%1: cannot remove the note (%2)")
                        .arg(shown(name), QString::fromLocal8Bit(std::strerror(error))));
        removeFailed = true;
    }
}

StampWorkers::Hooks WorkNotes::keeping()
{
    const auto noted = [](const StampWorkers::Job& job, int starts) {
        struct stat info {};
        if (!job.opened || ::fstat(job.opened->get(), &info) != 0)
            return NotedDocument{QFileInfo(job.documentPath).fileName(), starts, {}};
        return NotedDocument{QFileInfo(job.documentPath).fileName(), starts, stampFrom(info)};
    };
    return {[this, noted](const StampWorkers::Job& job) { write(noted(job, job.startedBefore + 1)); },
            [this, noted](const StampWorkers::Job& job, const Result& result) {
                if (result.code == ErrorCode::Cancelled && job.startedBefore > 0)
                    write(noted(job, job.startedBefore));
                else
                    remove(QFileInfo(job.documentPath).fileName());
            }};
}

QStringList WorkNotes::takeTold()
{
    std::lock_guard lock(mutex);
    QStringList taken;
    taken.swap(told);
    return taken;
}

} // namespace quillary::cli
