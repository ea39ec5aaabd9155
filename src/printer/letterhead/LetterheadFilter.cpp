#include "printer/letterhead/LetterheadFilter.h"

#include "pdf/PlainLines.h"
#include "pdf/TaskManager.h"
#include "printer/letterhead/QueueSettings.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillary::letterhead {

namespace {

// A stationery page is one normalised page; anything near this size is not.
constexpr qint64 kMaxStationeryBytes = 64 * 1024 * 1024;
constexpr qsizetype kChunk = 256 * 1024;

std::atomic<bool> stopRequested{false};

extern "C" void stopOnAlarm(int)
{
    stopRequested.store(true);
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd(fd) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd; }
    bool valid() const { return fd >= 0; }

private:
    int fd;
};

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// Copies from one descriptor to another, at most limit bytes (negative: no
// limit). An error line, or empty when all was copied.
QString copyStream(int from, int to, qint64 limit, const QString& what)
{
    QByteArray buffer(kChunk, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return QStringLiteral("%1 could not be read: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
        if (n == 0)
            return {};
        total += n;
        if (limit >= 0 && total > limit)
            return QStringLiteral("%1 is larger than %2 MiB; nothing was printed").arg(what).arg(limit / (1024 * 1024));
        if (!writeAll(to, buffer.constData(), n))
            return QStringLiteral("%1 could not be passed on: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
    }
}

// Reads a whole file, at most limit bytes; regular files only, links not
// followed. Nothing when it is absent.
struct FileRead {
    bool present = false;
    QByteArray bytes;
    QString error;
};

FileRead readAt(int dirFd, const char* name, qint64 limit)
{
    FileRead r;
    Fd fd(::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno != ENOENT)
            r.error = QStringLiteral("%1: %2").arg(QString::fromLatin1(name), QString::fromLocal8Bit(std::strerror(errno)));
        return r;
    }
    r.present = true;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        r.error = QStringLiteral("%1 is no regular file").arg(QString::fromLatin1(name));
        return r;
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) || st.st_uid != 0) {
        r.error = QStringLiteral("%1 may be changed by others than root; it is not used").arg(QString::fromLatin1(name));
        return r;
    }
    if (st.st_size > limit) {
        r.error = QStringLiteral("%1 is larger than %2 MiB").arg(QString::fromLatin1(name)).arg(limit / (1024 * 1024));
        return r;
    }
    r.bytes.resize(st.st_size);
    qint64 done = 0;
    while (done < st.st_size) {
        const ssize_t n = ::read(fd.get(), r.bytes.data() + done, size_t(st.st_size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    if (done != st.st_size)
        r.error = QStringLiteral("%1 could not be read whole").arg(QString::fromLatin1(name));
    return r;
}

int fail(std::FILE* err, const QString& message)
{
    // cupsd shows the last ERROR line as the job's and the printer's state.
    std::fprintf(err, "ERROR: Letterhead: %s\n", message.toUtf8().constData());
    std::fflush(err);
    return 1;
}

// The reason for the queue's message, without the job's scratch file name.
QString reasonFor(const Result& result, const QString& documentPath)
{
    const QString why = QString(result.error).replace(documentPath + QStringLiteral(": "), QString()).replace(documentPath, QStringLiteral("the job"));
    switch (result.code) {
    case ErrorCode::Damaged:
        return QStringLiteral("the job is no readable PDF document (%1); nothing was printed").arg(why);
    case ErrorCode::PasswordProtected:
        return QStringLiteral("the job's PDF is protected by a password; nothing was printed");
    case ErrorCode::NoPages:
        return QStringLiteral("the job's PDF has no pages; nothing was printed");
    case ErrorCode::Cancelled:
        return QStringLiteral("stamping took longer than the time allowed; nothing was printed");
    default:
        return QStringLiteral("the job could not be stamped (%1); nothing was printed").arg(why);
    }
}

} // namespace

ArgumentsResult parseFilterArguments(const QStringList& arguments)
{
    const QString usage = QStringLiteral("usage: quillary-letterhead job-id user title copies options [file]");
    if (arguments.size() < 5 || arguments.size() > 6)
        return {std::nullopt, usage};
    FilterArguments a;
    a.jobId = arguments[0];
    a.user = arguments[1];
    a.title = arguments[2];
    bool ok = false;
    a.copies = arguments[3].toInt(&ok);
    if (!ok || a.copies < 1)
        return {std::nullopt, QStringLiteral("copies \"%1\" is no positive number; %2").arg(arguments[3].left(20), usage)};
    a.options = arguments[4];
    if (arguments.size() == 6) {
        if (arguments[5].isEmpty())
            return {std::nullopt, QStringLiteral("the file argument is empty; %1").arg(usage)};
        a.file = arguments[5];
    }
    return {a, {}};
}

int runFilter(const QStringList& arguments, const FilterEnvironment& environment, int in, int out, std::FILE* err)
{
    // The engine's plain lines must not reach standard output: it carries the job.
    const ScopedPlainLineSink quiet([err](const QString& line) {
        std::fprintf(err, "DEBUG: %s\n", line.toUtf8().constData());
    });

    const ArgumentsResult parsed = parseFilterArguments(arguments);
    if (!parsed.arguments)
        return fail(err, parsed.error);
    const FilterArguments& job = *parsed.arguments;

    if (environment.ppdPath.isEmpty())
        return fail(err, QStringLiteral("no PPD for this queue (the PPD variable is not set)"));
    QByteArray ppdText;
    {
        Fd ppd(::open(QFile::encodeName(environment.ppdPath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        struct stat st {};
        if (!ppd.valid() || ::fstat(ppd.get(), &st) != 0 || !S_ISREG(st.st_mode))
            return fail(err, QStringLiteral("the queue's PPD %1 cannot be read").arg(environment.ppdPath));
        if (st.st_size > kMaxPpdSize)
            return fail(err, QStringLiteral("the queue's PPD is larger than %1 bytes").arg(kMaxPpdSize));
        ppdText.resize(st.st_size);
        if (::read(ppd.get(), ppdText.data(), size_t(st.st_size)) != st.st_size)
            return fail(err, QStringLiteral("the queue's PPD %1 cannot be read").arg(environment.ppdPath));
    }
    const SettingsResult queue = readQueuePpd(ppdText);
    if (!queue.settings)
        return fail(err, queue.error);
    const ChoiceResult chosen = chooseForJob(*queue.settings, job.options);
    if (!chosen.choice)
        return fail(err, chosen.error);

    Fd input(job.file ? ::open(QFile::encodeName(*job.file).constData(), O_RDONLY | O_CLOEXEC) : ::dup(in));
    if (!input.valid())
        return fail(err, QStringLiteral("the job's document cannot be opened: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));

    if (!chosen.choice->letterhead && !chosen.choice->terms) {
        // The plain document, passed on as it came.
        const QString copied = copyStream(input.get(), out, -1, QStringLiteral("the job"));
        return copied.isEmpty() ? 0 : fail(err, copied);
    }

    // The stationery, copied out of the queue's folder at once: an update of
    // the queue while this job prints does not mix old and new pages.
    const QueueSettings& settings = *queue.settings;
    Fd folder(::open(QFile::encodeName(settings.folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat folderInfo {};
    if (!folder.valid() || ::fstat(folder.get(), &folderInfo) != 0)
        return fail(err, QStringLiteral("the stationery folder %1 cannot be opened: %2").arg(settings.folder, QString::fromLocal8Bit(std::strerror(errno))));
    if (folderInfo.st_uid != 0 || (folderInfo.st_mode & (S_IWGRP | S_IWOTH)))
        return fail(err, QStringLiteral("the stationery folder %1 may be changed by others than root; it is not used").arg(settings.folder));

    QTemporaryDir work(environment.tempDir + QStringLiteral("/quillary-letterhead-XXXXXX"));
    if (!work.isValid())
        return fail(err, QStringLiteral("no room for the job in %1: %2").arg(environment.tempDir, work.errorString()));

    std::optional<QString> stationery[3];
    const char* names[3] = {kStartFile, kContinuationFile, kTermsFile};
    for (int i = 0; i < 3; ++i) {
        const FileRead read = readAt(folder.get(), names[i], kMaxStationeryBytes);
        if (!read.error.isEmpty())
            return fail(err, QStringLiteral("stationery %1: %2").arg(settings.folder, read.error));
        if (!read.present)
            continue;
        const QString copy = work.filePath(QString::fromLatin1(names[i]));
        QFile file(copy);
        if (!file.open(QIODevice::WriteOnly) || file.write(read.bytes) != read.bytes.size() || !file.flush())
            return fail(err, QStringLiteral("the stationery could not be copied to %1").arg(environment.tempDir));
        stationery[i] = copy;
    }
    if (!stationery[0] && !stationery[1] && !stationery[2])
        return fail(err, QStringLiteral("the queue's stationery folder %1 holds no stationery").arg(settings.folder));

    // The job, spooled with its size bounded: qpdf reads it by position.
    const QString documentPath = work.filePath(QStringLiteral("job.pdf"));
    {
        Fd spooled(::open(QFile::encodeName(documentPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!spooled.valid())
            return fail(err, QStringLiteral("no room for the job in %1").arg(environment.tempDir));
        const QString copied = copyStream(input.get(), spooled.get(), environment.maxJobBytes, QStringLiteral("the job"));
        if (!copied.isEmpty())
            return fail(err, copied);
    }

    MergeRequest request;
    request.documentPath = documentPath;
    request.outputPath = work.filePath(QStringLiteral("stamped.pdf"));
    request.startPagePath = stationery[0];
    request.continuationPagePath = stationery[1];
    request.termsPagePath = stationery[2];
    request.options = {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false},
                       {SaveOptions::AUTHOR, QString()}, {SaveOptions::TITLE, QString()},
                       {SaveOptions::PASSWORD, QString()}, {SaveOptions::OWNER_PASSWORD, QString()}};
    request.useStartPage = chosen.choice->letterhead;
    request.useContinuationPage = chosen.choice->letterhead;
    request.useTermsPage = chosen.choice->terms;
    request.stationeryIsOverlay = settings.stationeryOver;
    request.firstPageOffsetX = settings.firstOffsetX;
    request.firstPageOffsetY = settings.firstOffsetY;
    request.continuationOffsetX = settings.offsetX;
    request.continuationOffsetY = settings.offsetY;
    request.documentFormat = MergeRequest::FormatOfDocument;
    request.compact = false; // read once by the next filter: writing speed counts

    stopRequested.store(false);
    struct sigaction alarmAction {};
    alarmAction.sa_handler = stopOnAlarm;
    ::sigaction(SIGALRM, &alarmAction, nullptr);
    ::alarm(unsigned(environment.deadlineSeconds));
    const MergeControl control{.stop = &stopRequested, .progress = {}};
    const Result merged = TaskManager::mergeDocument(request, control);
    ::alarm(0);
    if (!merged)
        return fail(err, reasonFor(merged, documentPath));
    for (const QString& warning : merged.warnings)
        std::fprintf(err, "DEBUG: %s\n", warning.toUtf8().constData());

    // Only a complete stamped document is passed on.
    Fd stamped(::open(QFile::encodeName(request.outputPath).constData(), O_RDONLY | O_CLOEXEC));
    if (!stamped.valid())
        return fail(err, QStringLiteral("the stamped document vanished from %1").arg(environment.tempDir));
    const QString sent = copyStream(stamped.get(), out, -1, QStringLiteral("the stamped document"));
    if (!sent.isEmpty())
        return fail(err, sent);
    std::fprintf(err, "INFO: Letterhead laid on job %s\n", job.jobId.toUtf8().constData());
    return 0;
}

} // namespace quillary::letterhead
