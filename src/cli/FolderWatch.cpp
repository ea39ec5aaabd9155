#include "cli/FolderWatch.h"

#include "cli/BatchRun.h"
#include "cli/InboxFiles.h"
#include "cli/RunReport.h"
#include "cli/StampWorkers.h"
#include "cli/WorkNote.h"
#include "fs/SafeFs.h"
#include "pdf/Stationery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

namespace quillary::cli {

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// A file without the end marker is taken after this many settle times.
constexpr int kPatience = 10;
// Longest wait before an output that could not be written is tried again.
constexpr double kLongestRetrySeconds = 60;
// Why a document goes to failed/ that a process died on twice.
const char* const kStoppedOnIt = "the stamper stopped while working on this document";

QString doneFolder(const QString& inbox)
{
    return QDir(inbox).filePath(QStringLiteral("done"));
}

QString failedFolder(const QString& inbox)
{
    return QDir(inbox).filePath(QStringLiteral("failed"));
}

FileStamp stampOf(const QString& path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return stampFrom(info);
}

std::string local(const QString& name)
{
    return QFile::encodeName(name).toStdString();
}

QString fromLocal(const std::string& text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
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
        : settings(settings), makePlan(makePlan), report(report), out(out), stop(stop), notes(settings.inbox),
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
        int startedBefore = 0;        // a process died reading it: tried first and alone

        static Candidate seen(const FileStamp& stamp, Clock::time_point now)
        {
            Candidate candidate;
            candidate.stamp = stamp;
            candidate.since = candidate.notBefore = now;
            return candidate;
        }
    };

    int checkFolders();
    bool holdFolders(bool atStart);
    bool inboxStillHeld();
    FileStamp entryStamp(const QString& name) const;
    bool loadPlan(bool atStart);
    void takeLeftovers(Clock::time_point now);
    void scan(Clock::time_point now);
    void handOut(Clock::time_point now);
    void finish(const StampWorkers::Outcome& outcome, Clock::time_point now);
    bool moveToDone(const QString& name, Candidate& candidate, const QString& output);
    bool moveToFailed(const QString& name, Candidate& candidate, const QString& reason);
    QString moveOut(const QString& name, const fs::Fd& folder, const char* folderName, QString* why);

    const WatchSettings& settings;
    const PlanMaker& makePlan;
    RunReport& report;
    QTextStream& out;
    const std::atomic<bool>& stop;
    WorkNotes notes; // of the documents the workers read, in the inbox
    const Seconds settle;
    const std::chrono::milliseconds tick;

    std::shared_ptr<const StampPlan> plan;
    std::shared_ptr<const StationeryFiles> stationery;
    QString settingsFile; // the store's settings file; empty without a template
    FileStamp settingsStamp;
    bool planBroken = false;
    bool inboxMissing = false;
    std::map<QString, Candidate> candidates; // by file name
    // Held from the start: every look, read and move in the inbox is relative
    // to these, so names swapped for links meanwhile lead nowhere.
    fs::Fd inboxFolder, doneHeld, failedHeld;
    const uid_t me = ::geteuid();
    std::set<QString> leftAlone; // entries that are no regular files, told once
    std::set<std::string> unnamable; // names that do not survive decoding, told once
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
    if (!holdFolders(true))
        return ExitFailure;
    // Told once at the start: a shared folder is what the colleague can use.
    struct stat info {};
    if (::fstat(inboxFolder.get(), &info) == 0 && fs::writableByOthers(info))
        report.warning(QStringLiteral("%1: other users can write to this folder; only regular files are taken "
                                      "from it, links and anything else are left alone")
                           .arg(settings.inbox));
    if (::stat(QFile::encodeName(settings.outbox).constData(), &info) == 0 && fs::writableByOthers(info))
        report.warning(QStringLiteral("%1: other users can write to this folder; they can read, replace or remove "
                                      "the stamped documents")
                           .arg(settings.outbox));
    return ExitSuccess;
}

// Opens the inbox once and its done/ and failed/ folders, made by the watch
// itself: one that is a link, or belongs to someone else, is refused.
bool Watch::holdFolders(bool atStart)
{
    fs::Fd inbox, done, failed;
    fs::Status s = fs::openNamedFolder(local(settings.inbox), &inbox);
    if (s)
        s = fs::makeOwnFolder(inbox.get(), "done", 0777, me, &done, local(doneFolder(settings.inbox)));
    if (s)
        s = fs::makeOwnFolder(inbox.get(), "failed", 0777, me, &failed, local(failedFolder(settings.inbox)));
    if (!s) {
        report.line(atStart ? fromLocal(s.message) : fromLocal(s.message) + QStringLiteral("; waiting"));
        return false;
    }
    inboxFolder = std::move(inbox);
    doneHeld = std::move(done);
    failedHeld = std::move(failed);
    notes.hold(inboxFolder.get());
    return true;
}

// Whether the inbox's name still leads to the folder held; one made anew
// under that name is taken up (its done/ and failed/ checked again).
bool Watch::inboxStillHeld()
{
    struct stat named {}, held {};
    const bool there = ::stat(QFile::encodeName(settings.inbox).constData(), &named) == 0 && S_ISDIR(named.st_mode);
    if (there && ::fstat(inboxFolder.get(), &held) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
        return true;
    if (there && holdFolders(false))
        return true;
    return false;
}

FileStamp Watch::entryStamp(const QString& name) const
{
    struct stat info {};
    if (!fs::statEntry(inboxFolder.get(), local(name), &info) || !S_ISREG(info.st_mode))
        return {};
    return stampFrom(info);
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

// The notes left by a process that died while its workers read documents:
// a document named once is tried again, one named after a second start is
// set aside. Only the user's own notes are read (see WorkNotes).
void Watch::takeLeftovers(Clock::time_point now)
{
    QStringList told;
    const QList<NotedDocument> documents = notes.takeLeftovers(me, &told);
    for (const QString& line : told)
        report.line(line);
    // Complete when it was first read: taken at once.
    const Clock::time_point longAgo = now - std::chrono::duration_cast<Clock::duration>(settle * kPatience);
    for (const NotedDocument& document : documents) {
        Candidate candidate = Candidate::seen(document.file, longAgo);
        const QString path = QDir(settings.inbox).filePath(document.name);
        if (document.starts >= 2) {
            ++failed;
            const QString line = failureLine(path, QString::fromLatin1(kStoppedOnIt));
            report.line(line);
            if (!moveToFailed(document.name, candidate, line))
                candidates.emplace(document.name, candidate); // the move is tried again
            continue;
        }
        report.line(QStringLiteral("%1: %2; trying it once more").arg(path, QString::fromLatin1(kStoppedOnIt)));
        candidate.startedBefore = document.starts;
        candidates.emplace(document.name, candidate);
    }
}

void Watch::scan(Clock::time_point now)
{
    std::vector<std::string> names;
    if (!inboxStillHeld() || !fs::listFolder(inboxFolder.get(), &names)) {
        if (!inboxMissing)
            report.line(QStringLiteral("%1: the watched folder is gone; waiting for it").arg(settings.inbox));
        inboxMissing = true;
        return;
    }
    inboxMissing = false;
    // Hidden files are left out: copying programs write into those first.
    std::map<QString, Candidate> seen;
    std::set<QString> odd;
    std::set<std::string> undecodable;
    for (const std::string& entry : names) {
        const QString name = fromLocal(entry);
        if (name.startsWith(QLatin1Char('.')) || !name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            continue;
        if (local(name) != entry) {
            // Not UTF-8: its decoded name leads to another file, or to none,
            // and two such names would be taken for one. Never opened.
            if (!unnamable.contains(entry))
                report.line(QStringLiteral("%1: a name that is not valid UTF-8; left alone")
                                .arg(QDir(settings.inbox).filePath(name)));
            undecodable.insert(entry);
            continue;
        }
        struct stat info {};
        if (!fs::statEntry(inboxFolder.get(), entry, &info))
            continue;
        if (!S_ISREG(info.st_mode)) {
            // Never opened, never moved: a link could lead into someone's
            // private files, a pipe would hang the reader.
            if (!leftAlone.contains(name))
                report.line(QStringLiteral("%1: %2; left alone")
                                .arg(QDir(settings.inbox).filePath(name),
                                     S_ISLNK(info.st_mode) ? QStringLiteral("a symbolic link, which is not followed")
                                     : S_ISDIR(info.st_mode) ? QStringLiteral("a folder, not a document")
                                                             : QStringLiteral("not a regular file")));
            odd.insert(name);
            continue;
        }
        const FileStamp stamp = stampFrom(info);
        auto it = candidates.find(name);
        Candidate candidate = it != candidates.end() ? it->second : Candidate::seen(stamp, now);
        if (!(candidate.stamp == stamp)) {
            // Still being written (or replaced): start waiting again.
            candidate.stamp = stamp;
            candidate.since = now;
            candidate.stampedInto.clear();
            candidate.failedBecause.clear();
            if (candidate.startedBefore > 0 && !candidate.inHand) {
                candidate.startedBefore = 0; // another document now: its note is no longer about it
                notes.remove(name);
            }
        }
        seen.emplace(name, candidate);
    }
    leftAlone.swap(odd);
    unnamable.swap(undecodable);
    // Files that went away (moved by someone else) are forgotten, except
    // those a worker holds: their outcome still comes.
    for (auto& [name, candidate] : candidates) {
        if (candidate.inHand && !seen.contains(name))
            seen.emplace(name, candidate);
        else if (candidate.startedBefore > 0 && !seen.contains(name))
            notes.remove(name);
    }
    candidates.swap(seen);
}

void Watch::handOut(Clock::time_point now)
{
    // Each document handed out holds its file open: a folder of thousands
    // is handed out a few dozen at a time, within the open-file limit.
    const int mostInHand = std::max(64, settings.jobs * 4);
    // Documents a process died on go first, one at a time and alone: should
    // one end the process again, the note left is about it alone.
    const bool suspects = std::any_of(candidates.cbegin(), candidates.cend(),
                                      [](const auto& entry) { return entry.second.startedBefore > 0; });
    if (suspects && workers->pending() > 0)
        return;
    for (auto& [name, candidate] : candidates) {
        if (workers->pending() >= mostInHand)
            break;
        if (candidate.inHand || now < candidate.notBefore || (suspects && candidate.startedBefore == 0))
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
        // Opened here, as the regular file that was seen: what the worker
        // reads is this file, whatever the name leads to meanwhile.
        auto opened = std::make_shared<fs::Fd>();
        struct stat info {};
        if (!fs::openRegularForReading(inboxFolder.get(), local(name), opened.get()) || ::fstat(opened->get(), &info) != 0
            || !(stampFrom(info) == candidate.stamp)) {
            if (candidate.startedBefore > 0 && !opened->valid()) {
                candidate.startedBefore = 0; // cannot be read now: no reason to hold the others back
                notes.remove(name);
            }
            continue; // changed since it was seen: the next scan tells
        }
        if (unchanged < settle * kPatience && !endsLikePdf(opened->get(), candidate.stamp.size))
            continue;
        if (!plan)
            continue; // the template cannot be read: documents wait
        candidate.inHand = true;
        candidate.handedOut = candidate.stamp;
        workers->add({path, QDir(settings.outbox).filePath(outputFileName(name, settings.suffix)), plan, stationery,
                      std::move(opened), candidate.startedBefore});
        if (suspects)
            break;
    }
}

// Moves name out of the inbox into done/ or failed/ after checking that the
// folder held is still there under its name and still the watch's own.
QString Watch::moveOut(const QString& name, const fs::Fd& folder, const char* folderName, QString* why)
{
    const QString folderPath = QDir(settings.inbox).filePath(QLatin1String(folderName));
    if (const fs::Status same = fs::checkStillOwnFolder(inboxFolder.get(), folderName, folder.get(), me,
                                                        local(folderPath));
        !same) {
        *why = fromLocal(same.message);
        return {};
    }
    struct stat info {};
    if (fs::statEntry(inboxFolder.get(), local(name), &info) && !S_ISREG(info.st_mode)) {
        *why = QStringLiteral("it is no longer a regular file");
        return {};
    }
    return moveInto(inboxFolder.get(), name, folder.get(), folderPath, why);
}

bool Watch::moveToDone(const QString& name, Candidate& candidate, const QString& output)
{
    const QString path = QDir(settings.inbox).filePath(name);
    QString why;
    const QString moved = moveOut(name, doneHeld, "done", &why);
    if (moved.isEmpty()) {
        if (!entryStamp(name).exists)
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
    const QString moved = moveOut(name, failedHeld, "failed", &why);
    if (moved.isEmpty()) {
        if (!entryStamp(name).exists)
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
    notes.remove(name); // a leftover note of a document set aside at the start
    // The note beside it, in the folder held; its text is one line however
    // the name was made up.
    const qsizetype dot = moved.lastIndexOf(QLatin1Char('.'));
    const QString note = (dot > 0 ? moved.left(dot) : moved) + QStringLiteral(".txt");
    const QByteArray text = (printableLine(reason) + QLatin1Char('\n')).toUtf8();
    if (const fs::Status written = fs::writeFileAt(failedHeld.get(), local(note), text.toStdString(), 0666); !written)
        report.line(QDir(failedFolder(settings.inbox)).filePath(fromLocal(written.message)));
    return true;
}

void Watch::finish(const StampWorkers::Outcome& outcome, Clock::time_point now)
{
    const QString name = QFileInfo(outcome.job.documentPath).fileName();
    auto it = candidates.find(name);
    if (it == candidates.end())
        it = candidates.emplace(name, Candidate::seen(entryStamp(name), now)).first;
    Candidate& candidate = it->second;
    candidate.inHand = false;
    candidate.startedBefore = 0; // it did not end the process: an ordinary document again
    const Result& result = outcome.result;
    for (const QString& warning : result.warnings)
        report.warning(warning);
    if (result.ok()) {
        candidate.failedWrites = 0;
        if (!(entryStamp(name) == candidate.handedOut))
            return; // replaced while it was stamped: the new one is stamped in turn
        ++stamped;
        if (moveToDone(name, candidate, outcome.job.outputPath))
            candidates.erase(it);
        return;
    }
    if (result.code == ErrorCode::Cancelled)
        return; // stays in the inbox for the next start
    if (!entryStamp(name).exists) {
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
    workers = std::make_unique<StampWorkers>(settings.jobs, &stop, notes.keeping());
    out << "quillary-stamp: "
        << printableLine(QStringLiteral("watching %1; stamped documents go to %2").arg(settings.inbox, settings.outbox))
        << '\n';
    out.flush();
    takeLeftovers(Clock::now());

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
        for (const QString& line : notes.takeTold())
            report.line(line);
    }
    // Stopped: the merges in hand end without writing; what finished first
    // is moved as usual.
    while (workers->pending() > 0) {
        for (const StampWorkers::Outcome& outcome : workers->take(tick))
            finish(outcome, Clock::now());
    }
    workers.reset();
    for (const QString& line : notes.takeTold())
        report.line(line);
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
