#include "printer/letterhead/LetterheadFilter.h"

#include "fs/SafeFs.h"
#include "pdf/PlainLines.h"
#include "pdf/Stationery.h"
#include "pdf/TaskManager.h"
#include "printer/letterhead/QueueSettings.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <memory>

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

using fs::Fd;

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

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString mebibytes(qint64 bytes)
{
    return QString::number(bytes / (1024 * 1024));
}

// The job as the engine gets it: its bytes, or a scratch folder holding it
// as job.pdf when it is larger than the environment lets a job be in memory.
struct JobRead {
    QByteArray bytes;
    std::unique_ptr<QTemporaryDir> spooled;
    QString error;
};

JobRead readJob(int fd, const FilterEnvironment& environment)
{
    JobRead job;
    const QString tooLarge = QStringLiteral("the job is larger than %1 MiB; nothing was printed").arg(mebibytes(environment.maxJobBytes));
    const qint64 memoryLimit = std::min(environment.memoryJobBytes, environment.maxJobBytes);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        // A spool file says how long it is: no need to read a job that is refused.
        if (st.st_size > environment.maxJobBytes) {
            job.error = tooLarge;
            return job;
        }
        if (st.st_size <= memoryLimit)
            job.bytes.reserve(qsizetype(st.st_size) + 1);
    }

    Fd spooledFile;
    qint64 total = 0;
    QByteArray chunk;
    for (;;) {
        QByteArray& target = spooledFile.valid() ? chunk : job.bytes;
        const qsizetype had = target.size();
        target.resize(had + kChunk);
        const ssize_t n = ::read(fd, target.data() + had, size_t(kChunk));
        if (n < 0 && errno == EINTR) {
            target.resize(had);
            continue;
        }
        if (n < 0) {
            job.error = QStringLiteral("the job could not be read: %1").arg(systemError());
            return job;
        }
        target.resize(had + n);
        total += n;
        if (total > environment.maxJobBytes) {
            job.error = tooLarge;
            return job;
        }
        if (!spooledFile.valid() && total > memoryLimit) {
            // Too long to keep in memory: what came so far and the rest go
            // to a scratch file.
            job.spooled = std::make_unique<QTemporaryDir>(environment.tempDir + QStringLiteral("/quillary-letterhead-XXXXXX"));
            if (!job.spooled->isValid()) {
                job.error = QStringLiteral("no room for the job in %1: %2").arg(environment.tempDir, job.spooled->errorString());
                return job;
            }
            spooledFile = Fd(::open(QFile::encodeName(job.spooled->filePath(QStringLiteral("job.pdf"))).constData(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (!spooledFile.valid()) {
                job.error = QStringLiteral("no room for the job in %1: %2").arg(environment.tempDir, systemError());
                return job;
            }
            chunk.swap(job.bytes);
            job.bytes = QByteArray();
        }
        if (spooledFile.valid() && !chunk.isEmpty()) {
            if (!writeAll(spooledFile.get(), chunk.constData(), chunk.size())) {
                job.error = QStringLiteral("no room for the job in %1: %2").arg(environment.tempDir, systemError());
                return job;
            }
            chunk.resize(0);
        }
        if (n == 0)
            return job;
    }
}

// Where the engine writes the stamped document: memory up to the
// environment's bound, then an unnamed scratch file that vanishes with the
// process. Nothing of it reaches the next filter until the merge is whole.
class StampedOutput {
public:
    explicit StampedOutput(const FilterEnvironment& environment) : environment(environment) {}

    bool write(const char* data, qint64 size)
    {
        if (!problem.isEmpty())
            return false;
        if (!scratch.valid() && memory.size() + size <= environment.memoryOutputBytes) {
            memory.append(data, qsizetype(size));
            return true;
        }
        if (!scratch.valid()) {
            fs::Fd folder;
            if (fs::Status opened = fs::openFolder(QFile::encodeName(environment.tempDir).toStdString(), &folder); !opened) {
                problem = QStringLiteral("no room for the stamped job: %1").arg(QString::fromStdString(opened.message));
                return false;
            }
            if (fs::Status created = fs::createScratch(folder.get(), &scratch); !created) {
                problem = QStringLiteral("no room for the stamped job in %1: %2").arg(environment.tempDir, QString::fromStdString(created.message));
                return false;
            }
            if (!writeAll(scratch.get(), memory.constData(), memory.size())) {
                problem = QStringLiteral("no room for the stamped job in %1: %2").arg(environment.tempDir, systemError());
                return false;
            }
            memory = QByteArray();
        }
        if (!writeAll(scratch.get(), data, qsizetype(size))) {
            problem = QStringLiteral("no room for the stamped job in %1: %2").arg(environment.tempDir, systemError());
            return false;
        }
        return true;
    }
    // Why a write was refused; empty while all went well.
    const QString& error() const { return problem; }
    bool inScratchFile() const { return scratch.valid(); }

    // The whole stamped document to out; an error line, or empty.
    QString sendTo(int out)
    {
        if (!scratch.valid()) {
            if (!writeAll(out, memory.constData(), memory.size()))
                return QStringLiteral("the stamped document could not be passed on: %1").arg(systemError());
            return {};
        }
        if (::lseek(scratch.get(), 0, SEEK_SET) != 0)
            return QStringLiteral("the stamped document could not be read back: %1").arg(systemError());
        return copyStream(scratch.get(), out, -1, QStringLiteral("the stamped document"));
    }

private:
    const FilterEnvironment& environment;
    QByteArray memory;
    fs::Fd scratch;
    QString problem;
};

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
    const FilterArguments& jobArguments = *parsed.arguments;

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
    const ChoiceResult chosen = chooseForJob(*queue.settings, jobArguments.options);
    if (!chosen.choice)
        return fail(err, chosen.error);

    Fd input(jobArguments.file ? ::open(QFile::encodeName(*jobArguments.file).constData(), O_RDONLY | O_CLOEXEC) : ::dup(in));
    if (!input.valid())
        return fail(err, QStringLiteral("the job's document cannot be opened: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));

    if (!chosen.choice->letterhead && !chosen.choice->terms) {
        // The plain document, passed on as it came.
        const QString copied = copyStream(input.get(), out, -1, QStringLiteral("the job"));
        return copied.isEmpty() ? 0 : fail(err, copied);
    }

    const QueueSettings& settings = *queue.settings;
    Fd folder(::open(QFile::encodeName(settings.folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat folderInfo {};
    if (!folder.valid() || ::fstat(folder.get(), &folderInfo) != 0)
        return fail(err, QStringLiteral("the stationery folder %1 cannot be opened: %2").arg(settings.folder, QString::fromLocal8Bit(std::strerror(errno))));
    if (folderInfo.st_uid != 0 || (folderInfo.st_mode & (S_IWGRP | S_IWOTH)))
        return fail(err, QStringLiteral("the stationery folder %1 may be changed by others than root; it is not used").arg(settings.folder));

    // The stationery, read out of the queue's folder at once: an update of
    // the queue while this job prints does not mix old and new pages. It
    // stays in memory; the engine parses it from there.
    std::map<QString, QByteArray> stationeryBytes;
    std::optional<QString> stationery[3];
    const char* names[3] = {kStartFile, kContinuationFile, kTermsFile};
    for (int i = 0; i < 3; ++i) {
        FileRead read = readAt(folder.get(), names[i], kMaxStationeryBytes);
        if (!read.error.isEmpty())
            return fail(err, QStringLiteral("stationery %1: %2").arg(settings.folder, read.error));
        if (!read.present)
            continue;
        stationery[i] = settings.folder + u'/' + QString::fromLatin1(names[i]);
        stationeryBytes.emplace(*stationery[i], std::move(read.bytes));
    }
    if (!stationery[0] && !stationery[1] && !stationery[2])
        return fail(err, QStringLiteral("the queue's stationery folder %1 holds no stationery").arg(settings.folder));

    // The job: in memory when it is small, as nearly every job is; a larger
    // one is spooled to a scratch file, its size bounded, for qpdf reads it
    // by position.
    JobRead job = readJob(input.get(), environment);
    if (!job.error.isEmpty())
        return fail(err, job.error);
    const QString documentPath = job.spooled ? job.spooled->filePath(QStringLiteral("job.pdf")) : QStringLiteral("job.pdf");

    MergeRequest request;
    request.documentPath = documentPath;
    if (!job.spooled)
        request.documentBytes = std::move(job.bytes);
    request.outputPath = QStringLiteral("the stamped job");
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
    StationeryCache stationeryCache(StationeryFiles::of(std::move(stationeryBytes)),
                                    StationeryCache::Preparation::AsStored);
    StampedOutput stamped(environment);
    const Result merged = TaskManager::mergeToSink(request, control, stationeryCache,
                                                   [&stamped](const char* data, qint64 size) { return stamped.write(data, size); });
    ::alarm(0);
    if (!stamped.error().isEmpty())
        return fail(err, stamped.error());
    if (!merged)
        return fail(err, reasonFor(merged, documentPath));
    for (const QString& warning : merged.warnings)
        std::fprintf(err, "DEBUG: %s\n", warning.toUtf8().constData());

    // Only a complete stamped document is passed on.
    if (const QString sent = stamped.sendTo(out); !sent.isEmpty())
        return fail(err, sent);
    std::fprintf(err, "INFO: Letterhead laid on job %s\n", jobArguments.jobId.toUtf8().constData());
    return 0;
}

} // namespace quillary::letterhead
