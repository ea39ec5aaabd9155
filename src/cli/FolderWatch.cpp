#include "cli/FolderWatch.h"

#include "cli/BatchRun.h"
#include "cli/RunReport.h"
#include "cli/StampWorkers.h"
#include "pdf/AtomicFile.h"
#include "pdf/Stationery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>

#include <sys/stat.h>

namespace quillary::cli {

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// A file without the end marker is taken after this many settle times.
constexpr int kPatience = 10;
// Longest wait before an output that could not be written is tried again.
constexpr double kLongestRetrySeconds = 60;
// Where a PDF's "%%EOF" is looked for.
constexpr qint64 kTailBytes = 1024;

QString doneFolder(const QString& inbox)
{
    return QDir(inbox).filePath(QStringLiteral("done"));
}

QString failedFolder(const QString& inbox)
{
    return QDir(inbox).filePath(QStringLiteral("failed"));
}

// What says that a file changed: a new file renamed over the settings file
// keeps neither its inode nor, usually, its time stamp.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp stampOf(const QString& path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {true, qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            quint64(info.st_ino)};
}

// Whether the last bytes of the file hold a PDF's end marker.
bool endsLikePdf(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true; // let the stamp say why it cannot be read
    if (size > kTailBytes && !file.seek(size - kTailBytes))
        return true;
    return file.read(kTailBytes).contains("%%EOF");
}

// Moves file into folder under its own name, or with a number when that is
// taken: an original is never replaced. Returns the new path, or empty
// (with *why) when it could not be moved.
QString moveInto(const QString& file, const QString& folder, QString* why)
{
    const QFileInfo info(file);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1; n < 10000; ++n) {
        const QString numbered = QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(extension);
        const QString target = QDir(folder).filePath(n == 1 ? name : numbered);
        if (QFileInfo::exists(target))
            continue;
        QFile original(file);
        if (original.rename(target))
            return target;
        if (!QFileInfo::exists(target)) { // not a race for the name: a real failure
            *why = original.errorString();
            return {};
        }
    }
    *why = QStringLiteral("no free name in %1").arg(folder);
    return {};
}

// An output that could not be written (a full disk, a missing or read-only
// OUT_DIR) is not the document's fault: it stays and is tried again.
bool outputAtFault(const StampWorkers::Outcome& outcome)
{
    const Result& r = outcome.result;
    return r.code == ErrorCode::NoSpace || r.code == ErrorCode::WriteFailed
        || r.error.startsWith(outcome.job.outputPath + QStringLiteral(": "));
}

// Whether two plans lay the same stationery the same way.
bool stampsAlike(const StampPlan& a, const StationeryFiles& aFiles, const StampPlan& b, const StationeryFiles& bFiles)
{
    const MergeRequest &x = a.base, &y = b.base;
    if (x.startPagePath != y.startPagePath || x.continuationPagePath != y.continuationPagePath
        || x.termsPagePath != y.termsPagePath || x.useStartPage != y.useStartPage
        || x.useContinuationPage != y.useContinuationPage || x.useTermsPage != y.useTermsPage
        || x.stationeryIsOverlay != y.stationeryIsOverlay || aFiles.paths() != bFiles.paths())
        return false;
    for (const QString& path : aFiles.paths()) {
        if (*aFiles.bytes(path) != *bFiles.bytes(path))
            return false;
    }
    return true;
}

class Watch {
public:
    Watch(const WatchSettings& settings, const PlanMaker& makePlan, RunReport& report, QTextStream& out,
          const std::atomic<bool>& stop)
        : settings(settings), makePlan(makePlan), report(report), out(out), stop(stop),
          settle(settings.settleSeconds),
          tick(std::chrono::milliseconds(std::clamp(int(settings.settleSeconds * 250), 20, 250)))
    {
    }

    int run();

private:
    // A PDF seen in the inbox.
    struct Candidate {
        FileStamp stamp;
        FileStamp handedOut;          // the file as it was when a worker took it
        Clock::time_point since;      // when it was last seen changing (or first seen)
        Clock::time_point notBefore;  // an output failed: not again before this
        int failedWrites = 0;
        bool inHand = false;          // with a worker
        QString stampedInto;          // stamped, but the original could not be moved to done/ yet
        QString failedBecause;        // failed, but the original could not be moved to failed/ yet

        static Candidate seen(const FileStamp& stamp, Clock::time_point now)
        {
            Candidate candidate;
            candidate.stamp = stamp;
            candidate.since = candidate.notBefore = now;
            return candidate;
        }
    };

    int checkFolders();
    bool loadPlan(bool atStart);
    void scan(Clock::time_point now);
    void handOut(Clock::time_point now);
    void finish(const StampWorkers::Outcome& outcome, Clock::time_point now);
    bool moveToDone(const QString& name, Candidate& candidate, const QString& output);
    bool moveToFailed(const QString& name, Candidate& candidate, const QString& reason);

    const WatchSettings& settings;
    const PlanMaker& makePlan;
    RunReport& report;
    QTextStream& out;
    const std::atomic<bool>& stop;
    const Seconds settle;
    const std::chrono::milliseconds tick;

    std::shared_ptr<const StampPlan> plan;
    std::shared_ptr<const StationeryFiles> stationery;
    QString settingsFile; // the store's settings file; empty without a template
    FileStamp settingsStamp;
    bool planBroken = false;
    bool inboxMissing = false;
    std::map<QString, Candidate> candidates; // by file name
    std::unique_ptr<StampWorkers> workers;
    int stamped = 0;
    int failed = 0;
};

int Watch::checkFolders()
{
    const QFileInfo inbox(settings.inbox);
    if (!inbox.isDir()) {
        report.line(QStringLiteral("%1: no such folder").arg(settings.inbox));
        return ExitFailure;
    }
    const QString in = inbox.canonicalFilePath();
    const QString outbox = QFileInfo(settings.outbox).canonicalFilePath();
    for (const QString& own : {in, doneFolder(in), failedFolder(in)}) {
        if (!outbox.isEmpty() && outbox == own) {
            report.line(QStringLiteral("%1: the output folder must not be the watched folder or one of its "
                                       "done and failed folders")
                            .arg(settings.outbox));
            return ExitUsage;
        }
    }
    const QFileInfo outInfo(settings.outbox);
    if (!outInfo.isDir()) {
        report.line(QStringLiteral("%1: no such folder").arg(settings.outbox));
        return ExitFailure;
    }
    for (const QString& folder : {doneFolder(settings.inbox), failedFolder(settings.inbox)}) {
        if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
            report.line(QStringLiteral("%1: cannot make the folder").arg(folder));
            return ExitFailure;
        }
    }
    return ExitSuccess;
}

// Reads the plan and its stationery. At the start a failure ends the watch;
// later the old plan is dropped and documents wait until it can be read.
bool Watch::loadPlan(bool atStart)
{
    const PlanResolution resolved = makePlan();
    QString why = resolved.error;
    std::shared_ptr<const StationeryFiles> files;
    if (resolved.plan) {
        auto read = StationeryFiles::read(resolved.plan->stationeryPaths());
        if (read)
            files = *read.value;
        else
            why = read.error;
    }
    if (!files) {
        if (atStart || !planBroken)
            report.line(atStart ? why : why + QStringLiteral("; new documents wait until this is mended"));
        planBroken = true;
        plan.reset();
        return false;
    }
    if (atStart) {
        for (const QString& warning : resolved.plan->warnings)
            report.warning(warning);
    } else if (!plan || !stampsAlike(*plan, *stationery, *resolved.plan, *files)) {
        out << "quillary-stamp: "
            << printableLine(QStringLiteral("template \"%1\" changed; documents from now on are stamped with it")
                                 .arg(resolved.plan->record ? resolved.plan->record->name : QString()))
            << '\n';
        out.flush();
    }
    plan = std::make_shared<const StampPlan>(*resolved.plan);
    stationery = std::move(files);
    if (atStart) {
        settingsFile = plan->settingsPath;
        settingsStamp = stampOf(settingsFile);
    }
    planBroken = false;
    return true;
}

void Watch::scan(Clock::time_point now)
{
    QDir inbox(settings.inbox);
    if (!inbox.exists()) {
        if (!inboxMissing)
            report.line(QStringLiteral("%1: the watched folder is gone; waiting for it").arg(settings.inbox));
        inboxMissing = true;
        return;
    }
    inboxMissing = false;
    // Hidden files are left out: copying programs write into those first.
    std::map<QString, Candidate> seen;
    for (const QString& name : inbox.entryList(QDir::Files | QDir::NoDotAndDotDot)) {
        if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            continue;
        const FileStamp stamp = stampOf(inbox.filePath(name));
        if (!stamp.exists)
            continue;
        auto it = candidates.find(name);
        Candidate candidate = it != candidates.end() ? it->second : Candidate::seen(stamp, now);
        if (!(candidate.stamp == stamp)) {
            // Still being written (or replaced): start waiting again.
            candidate.stamp = stamp;
            candidate.since = now;
            candidate.stampedInto.clear();
            candidate.failedBecause.clear();
        }
        seen.emplace(name, candidate);
    }
    // Files that went away (moved by someone else) are forgotten, except
    // those a worker holds: their outcome still comes.
    for (auto& [name, candidate] : candidates) {
        if (candidate.inHand && !seen.contains(name))
            seen.emplace(name, candidate);
    }
    candidates.swap(seen);
}

void Watch::handOut(Clock::time_point now)
{
    for (auto& [name, candidate] : candidates) {
        if (candidate.inHand || now < candidate.notBefore)
            continue;
        const Seconds unchanged = now - candidate.since;
        if (unchanged < settle)
            continue;
        const QString path = QDir(settings.inbox).filePath(name);
        // Stamped or failed before: only the move is owed.
        if (!candidate.stampedInto.isEmpty()) {
            moveToDone(name, candidate, candidate.stampedInto);
            continue;
        }
        if (!candidate.failedBecause.isEmpty()) {
            moveToFailed(name, candidate, candidate.failedBecause);
            continue;
        }
        if (unchanged < settle * kPatience && !endsLikePdf(path, candidate.stamp.size))
            continue;
        if (!plan)
            continue; // the template cannot be read: documents wait
        candidate.inHand = true;
        candidate.handedOut = candidate.stamp;
        workers->add({path, QDir(settings.outbox).filePath(outputFileName(name, settings.suffix)), plan, stationery});
    }
}

bool Watch::moveToDone(const QString& name, Candidate& candidate, const QString& output)
{
    const QString path = QDir(settings.inbox).filePath(name);
    QString why;
    const QString moved = moveInto(path, doneFolder(settings.inbox), &why);
    if (moved.isEmpty()) {
        if (!QFileInfo::exists(path))
            return true; // taken away meanwhile: the output is written all the same
        // Kept in the inbox, and not stamped again until it can be moved.
        if (candidate.stampedInto.isEmpty())
            report.line(QStringLiteral("%1: stamped into %2, but cannot be moved to %3 (%4); trying again")
                            .arg(path, output, doneFolder(settings.inbox), why));
        candidate.stampedInto = output;
        candidate.notBefore = Clock::now() + std::chrono::duration_cast<Clock::duration>(settle * 4);
        return false;
    }
    candidate.stampedInto.clear();
    out << "quillary-stamp: " << printableLine(QStringLiteral("%1: stamped into %2").arg(path, output)) << '\n';
    out.flush();
    return true;
}

bool Watch::moveToFailed(const QString& name, Candidate& candidate, const QString& reason)
{
    const QString path = QDir(settings.inbox).filePath(name);
    QString why;
    const QString moved = moveInto(path, failedFolder(settings.inbox), &why);
    if (moved.isEmpty()) {
        if (!QFileInfo::exists(path))
            return true;
        // Kept in the inbox, and not stamped again until it can be moved.
        if (candidate.failedBecause.isEmpty())
            report.line(QStringLiteral("%1: cannot be moved to %2 (%3); trying again")
                            .arg(path, failedFolder(settings.inbox), why));
        candidate.failedBecause = reason;
        candidate.notBefore = Clock::now() + std::chrono::duration_cast<Clock::duration>(settle * 4);
        return false;
    }
    candidate.failedBecause.clear();
    const QFileInfo info(moved);
    const QString note = info.dir().filePath(info.completeBaseName() + QStringLiteral(".txt"));
    const Result written = writeFileAtomically(note, (reason + QLatin1Char('\n')).toUtf8());
    if (!written)
        report.line(written.error);
    return true;
}

void Watch::finish(const StampWorkers::Outcome& outcome, Clock::time_point now)
{
    const QString name = QFileInfo(outcome.job.documentPath).fileName();
    auto it = candidates.find(name);
    if (it == candidates.end())
        it = candidates.emplace(name, Candidate::seen(stampOf(outcome.job.documentPath), now)).first;
    Candidate& candidate = it->second;
    candidate.inHand = false;
    const Result& result = outcome.result;
    for (const QString& warning : result.warnings)
        report.warning(warning);
    if (result.ok()) {
        candidate.failedWrites = 0;
        if (!(stampOf(outcome.job.documentPath) == candidate.handedOut))
            return; // replaced while it was stamped: the new one is stamped in turn
        ++stamped;
        if (moveToDone(name, candidate, outcome.job.outputPath))
            candidates.erase(it);
        return;
    }
    if (result.code == ErrorCode::Cancelled)
        return; // stays in the inbox for the next start
    if (!QFileInfo::exists(outcome.job.documentPath)) {
        candidates.erase(it); // taken away while it was stamped
        return;
    }
    if (outputAtFault(outcome)) {
        // Nothing is lost: the original stays and is tried again, first soon,
        // then less often, so a full disk is not hammered.
        ++candidate.failedWrites;
        const double wait = std::min(kLongestRetrySeconds,
                                     std::max(1.0, settle.count() * 4) * std::pow(2.0, candidate.failedWrites - 1));
        candidate.notBefore = now + std::chrono::duration_cast<Clock::duration>(Seconds(wait));
        report.line(QStringLiteral("%1; trying again in %2 s")
                        .arg(failureLine(outcome.job.documentPath, result.error))
                        .arg(wait, 0, 'f', wait < 10 ? 1 : 0));
        return;
    }
    ++failed;
    const QString line = failureLine(outcome.job.documentPath, result.error);
    report.line(line);
    if (moveToFailed(name, candidate, line))
        candidates.erase(it);
}

int Watch::run()
{
    if (const int status = checkFolders(); status != ExitSuccess)
        return status;
    if (!loadPlan(true))
        return ExitFailure;
    workers = std::make_unique<StampWorkers>(settings.jobs, &stop);
    out << "quillary-stamp: "
        << printableLine(QStringLiteral("watching %1; stamped documents go to %2").arg(settings.inbox, settings.outbox))
        << '\n';
    out.flush();

    while (!stop.load(std::memory_order_relaxed)) {
        const Clock::time_point now = Clock::now();
        // Before anything is handed out, so that a document that arrives
        // after the template changed gets the new one.
        if (!settingsFile.isEmpty()) {
            const FileStamp current = stampOf(settingsFile);
            if (!(current == settingsStamp)) {
                settingsStamp = current;
                loadPlan(false);
            }
        }
        scan(now);
        handOut(now);
        for (const StampWorkers::Outcome& outcome : workers->take(tick))
            finish(outcome, Clock::now());
    }
    // Stopped: the merges in hand end without writing; what finished first
    // is moved as usual.
    while (workers->pending() > 0) {
        for (const StampWorkers::Outcome& outcome : workers->take(tick))
            finish(outcome, Clock::now());
    }
    workers.reset();
    report.summary(stamped, failed, QStringLiteral(", stopped"));
    return ExitSuccess;
}

} // namespace

int runWatch(const WatchSettings& settings, const PlanMaker& makePlan, RunReport& report, QTextStream& out,
             const std::atomic<bool>& stop)
{
    return Watch(settings, makePlan, report, out, stop).run();
}

} // namespace quillary::cli
