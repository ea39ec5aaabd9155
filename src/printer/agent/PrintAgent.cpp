#include "printer/agent/PrintAgent.h"

#include "fs/NameText.h"
#include "printer/AutostartEntry.h"
#include "printer/SpoolLayout.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillary::printer {

namespace {

// A step of a look holds the event loop for about this long; what is left
// waits for the next step.
constexpr qint64 kStepBudgetNs = 10'000'000;

void printLine(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

bool isJobName(const char* name)
{
    const std::string_view n(name);
    return !n.empty() && n.front() != kHiddenPrefix && n.size() > kJobSuffix.size() && n.ends_with(kJobSuffix);
}

// "<job id>-<title>.pdf", a retried job's name with " (2)" and so on.
const QRegularExpression& jobNamePattern()
{
    static const QRegularExpression name(QStringLiteral("^[0-9]+-(.+?)(?: \\([0-9]+\\))?\\.pdf$"));
    return name;
}

// A job as the user is told about it: its title, or its file name when it
// has no usable one, with characters that are invisible, break the line or
// turn the text around shown as blanks, and not longer than a line.
QString shownJobTitle(const QString& name)
{
    const QRegularExpressionMatch match = jobNamePattern().match(name);
    const QString title = match.hasMatch() && match.captured(1) != QLatin1String("document") ? match.captured(1) : name;
    QString shown;
    for (const char32_t c : title.toUcs4()) {
        if (fs::isHiddenOrControl(c))
            shown += QLatin1Char(' ');
        else
            shown += QString::fromUcs4(&c, 1);
    }
    shown = shown.simplified();
    constexpr qsizetype kMost = 120;
    if (shown.size() > kMost)
        shown = shown.left(shown.at(kMost - 1).isHighSurrogate() ? kMost - 1 : kMost) + QChar(0x2026);
    return shown;
}

// A preview asked to end (the user's session ending, a "kill" typed by the
// user) did not die of its document.
bool askedToEnd(int signal)
{
    return signal == SIGTERM || signal == SIGHUP || signal == SIGINT;
}

} // namespace

qint64 jobNumber(const QString& name)
{
    const qsizetype dash = name.indexOf(QLatin1Char('-'));
    bool ok = false;
    const qint64 number = dash > 0 ? name.left(dash).toLongLong(&ok) : 0;
    return ok && number > 0 ? number : 0;
}

ServiceState printServiceState(const QString& userEntry, const QStringList& systemEntries)
{
    const QFileInfo own(userEntry);
    if (own.exists()) {
        QFile file(userEntry);
        // Something other than a small file of the user's is no entry that
        // could turn anything off; the user's own entry still decides.
        if (!own.isFile() || own.size() > qint64(kAutostartEntryMaxBytes) || !file.open(QIODevice::ReadOnly))
            return ServiceState::On;
        const QByteArray text = file.read(qint64(kAutostartEntryMaxBytes));
        return autostartEntryTurnsOff(std::string_view(text.constData(), size_t(text.size()))) ? ServiceState::TurnedOff
                                                                                               : ServiceState::On;
    }
    for (const QString& entry : systemEntries)
        if (QFileInfo(entry).isFile())
            return ServiceState::On;
    return ServiceState::NotInstalled;
}

QString userSpoolFolder()
{
    QString root = qEnvironmentVariable("QUILLARY_SPOOL_ROOT");
    if (root.isEmpty())
        root = QString::fromUtf8(kDefaultSpoolRoot.data(), kDefaultSpoolRoot.size());
    const passwd* account = ::getpwuid(::getuid());
    const QString user = account ? QFile::decodeName(account->pw_name) : QString::number(::getuid());
    return root + QLatin1Char('/') + user;
}

std::optional<QString> printJobTitle(const QString& jobFile)
{
    const QFileInfo job(jobFile);
    const QFileInfo spool(userSpoolFolder());
    if (!spool.isDir() || job.dir().canonicalPath() != spool.canonicalFilePath())
        return std::nullopt;
    const QRegularExpressionMatch match = jobNamePattern().match(job.fileName());
    if (!match.hasMatch() || match.captured(1) == QLatin1String("document"))
        return std::nullopt;
    return match.captured(1);
}

PrintAgent::PrintAgent(Settings s, QObject* parent) : QObject(parent), settings(std::move(s))
{
    settings.spoolFolder = QDir(settings.spoolFolder).absolutePath();
    // A burst of changes (many jobs arriving) makes one look, not one each.
    soon.setSingleShot(true);
    soon.setInterval(0);
    connect(&soon, &QTimer::timeout, this, &PrintAgent::rescan);
    const auto later = [this] {
        if (!soon.isActive())
            soon.start();
    };
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, later);
    connect(&watcher, &QFileSystemWatcher::fileChanged, this, later);
    nextStep.setSingleShot(true);
    nextStep.setInterval(0);
    connect(&nextStep, &QTimer::timeout, this, &PrintAgent::step);
    connect(&entryWatcher, &QFileSystemWatcher::fileChanged, this, later);
    connect(&entryWatcher, &QFileSystemWatcher::directoryChanged, this, later);
    rescanTimer.setInterval(settings.rescanMs);
    connect(&rescanTimer, &QTimer::timeout, this, &PrintAgent::rescan);
}

PrintAgent::~PrintAgent()
{
    if (reading)
        ::closedir(reading);
    // A QProcess ends its process when it is destroyed, and an open preview
    // is the user's window: the objects are let go, not destroyed.
    for (QProcess* process : std::as_const(previews)) {
        process->disconnect(this);
        process->setParent(nullptr);
    }
}

void PrintAgent::start()
{
    // What earlier agents counted and never saw end: died with them.
    fs::Fd folder;
    if (openSpoolFolder(settings.spoolFolder, &folder)) {
        QString problem;
        starts = readStartsNote(folder.get(), &problem);
        if (!problem.isEmpty())
            printLine(QStringLiteral("Ignored the note of started previews: %1").arg(problem));
    }
    rescanTimer.start();
    rescan();
}

void PrintAgent::stop()
{
    if (stopping)
        return;
    stopping = true;
    rescanTimer.stop();
    soon.stop();
    nextStep.stop();
    watcher.disconnect(this);
    entryWatcher.disconnect(this);
    if (reading)
        ::closedir(reading);
    reading = nullptr;
    seen.clear();
    pending.clear();
    waiting.clear(); // they stay on disk for the next agent
    waitingByName.clear();
    if (previews.isEmpty())
        emit finished();
}

QStringList PrintAgent::openJobs() const
{
    QStringList jobs;
    for (QProcess* process : previews)
        jobs << jobOf.value(process);
    return jobs;
}

int PrintAgent::waitingCount() const
{
    return int(waiting.size());
}

QStringList PrintAgent::waitingJobs() const
{
    QStringList jobs;
    for (const Arrival& job : waiting)
        jobs << settings.spoolFolder + QLatin1Char('/') + std::get<2>(job);
    return jobs;
}

void PrintAgent::rescan()
{
    if (stopping)
        return;
    if (!settings.entry.isEmpty()) {
        switch (printServiceState(settings.entry, settings.systemEntries)) {
        case ServiceState::On:
            break;
        case ServiceState::NotInstalled:
            printLine(QStringLiteral("Quillary print service removed: no more printed documents are opened"));
            stop();
            return;
        case ServiceState::TurnedOff:
            printLine(QStringLiteral("Quillary print service turned off: no more printed documents are opened"));
            stop();
            return;
        }
    }
    watch();
    if (reading) { // the look under way ends first, then another follows
        lookAgain = true;
        return;
    }
    seen.clear();
    reading = ::opendir(QFile::encodeName(settings.spoolFolder).constData());
    if (!reading)
        finishReading(); // no folder (yet): nothing waits
    step();
}

void PrintAgent::step()
{
    if (stopping)
        return;
    QElapsedTimer clock;
    clock.start();
    while (reading && clock.nsecsElapsed() < kStepBudgetNs) {
        for (int i = 0; i < 256; ++i) {
            const dirent* entry = ::readdir(reading);
            if (!entry) {
                finishReading();
                break;
            }
            // Links and folders are told apart by their entry, without a look at the file.
            if ((entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN) && isJobName(entry->d_name))
                seen.insert(QFile::decodeName(entry->d_name));
        }
    }
    if (!reading && !pending.empty()) {
        const QByteArray folder = QFile::encodeName(settings.spoolFolder);
        const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int examined = 0; folderFd >= 0 && !pending.empty() && examined < kScanBatch
             && clock.nsecsElapsed() < kStepBudgetNs;
             ++examined) {
            std::pop_heap(pending.begin(), pending.end(), std::greater<>());
            const auto [number, name] = std::move(pending.back());
            pending.pop_back();
            struct stat info {};
            if (::fstatat(folderFd, QFile::encodeName(name).constData(), &info, AT_SYMLINK_NOFOLLOW) != 0
                || !S_ISREG(info.st_mode))
                continue; // gone, a link or not a file: never a job
            // When it became complete: it is renamed into place after its last write.
            const Arrival arrival{qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1'000'000, number, name};
            waiting.insert(arrival);
            waitingByName.insert(name, arrival);
        }
        if (folderFd >= 0)
            ::close(folderFd);
        else
            pending.clear();
    }
    openWaiting();
    if (stopping)
        return;
    if (reading || !pending.empty()) {
        nextStep.start();
        return;
    }
    emit scanned();
    if (lookAgain) {
        lookAgain = false;
        soon.start();
    }
}

void PrintAgent::finishReading()
{
    if (reading)
        ::closedir(reading);
    reading = nullptr;
    // Jobs removed meanwhile (by the user, or the backend's clean-up) go.
    for (auto it = waitingByName.begin(); it != waitingByName.end();) {
        if (seen.contains(it.key())) {
            ++it;
        } else {
            waiting.erase(it.value());
            it = waitingByName.erase(it);
        }
    }
    failed.intersect(seen);
    // Counts of jobs that are gone (opened and removed, or removed by the
    // user) go too.
    StartCounts kept = starts;
    kept.removeIf([this](const StartCounts::iterator& it) { return !seen.contains(it.key()) && !openNames.contains(it.key()); });
    if (kept.size() != starts.size()) {
        QString problem;
        if (!keepStarts(kept, &problem))
            printLine(QStringLiteral("Cannot update the note of started previews: %1").arg(problem));
    }
    pending.clear();
    pending.reserve(std::size_t(seen.size()));
    for (const QString& name : std::as_const(seen)) {
        if (!waitingByName.contains(name) && !openNames.contains(name) && !failed.contains(name))
            pending.emplace_back(jobNumber(name), name);
    }
    // A heap, not a sorted list: only what the next steps take is ordered.
    std::make_heap(pending.begin(), pending.end(), std::greater<>());
    seen.clear();
}

void PrintAgent::watch()
{
    // The backend creates the user's folder with the first job; until then
    // the spool root is watched for it.
    const QString folder = settings.spoolFolder;
    const QString target = QFileInfo(folder).isDir() ? folder : QFileInfo(folder).absolutePath();
    const QStringList watched = watcher.directories();
    // The old watch goes only once the new one holds, so that a folder this
    // user cannot watch (yet) leaves the root watched.
    if (!watched.contains(target) && QFileInfo(target).isDir() && watcher.addPath(target)) {
        for (const QString& old : watched)
            watcher.removePath(old);
    }
    // "Delete printer" writes the user's entry in one step (a new file in
    // its folder): the folder is watched so that this is seen at once.
    if (settings.entry.isEmpty())
        return;
    // Until the folder exists, its parent is watched for it.
    const QString entryFolder = QFileInfo(settings.entry).absolutePath();
    const QString folderToWatch = QFileInfo(entryFolder).isDir() ? entryFolder : QFileInfo(entryFolder).absolutePath();
    if (!entryWatcher.directories().contains(folderToWatch) && QFileInfo(folderToWatch).isDir())
        entryWatcher.addPath(folderToWatch);
    if (!entryWatcher.files().contains(settings.entry) && QFileInfo::exists(settings.entry))
        entryWatcher.addPath(settings.entry);
}

void PrintAgent::openWaiting()
{
    while (!stopping && previews.size() < settings.maxOpenPreviews && !waiting.empty()) {
        const Arrival first = *waiting.begin();
        waiting.erase(waiting.begin());
        const QString& name = std::get<2>(first);
        waitingByName.remove(name);
        const QString job = settings.spoolFolder + QLatin1Char('/') + name;
        if (!QFileInfo::exists(job))
            continue;
        const int started = starts.value(name);
        if (started >= kMaxStarts) {
            setAside(job);
            continue;
        }
        // Counted before it starts: a preview that takes the agent or the
        // session down with it is still counted at the next start.
        StartCounts counted = starts;
        counted.insert(name, started + 1);
        QString problem;
        if (!keepStarts(counted, &problem)) {
            refuse(job, QStringLiteral("its start cannot be counted: %1").arg(problem));
            continue;
        }
        launch(job);
    }
}

void PrintAgent::refuse(const QString& job, const QString& reason)
{
    printLine(QStringLiteral("Cannot open the preview for %1: %2").arg(job, reason));
    failed.insert(QFileInfo(job).fileName());
    emit previewFailed(job, reason);
}

void PrintAgent::forgetStarts(const QSet<QString>& names)
{
    StartCounts counts = starts;
    for (const QString& name : names)
        counts.remove(name);
    if (counts.size() == starts.size())
        return;
    QString problem;
    if (!keepStarts(counts, &problem))
        printLine(QStringLiteral("Cannot update the note of started previews: %1").arg(problem));
}

void PrintAgent::sessionEnds()
{
    // The previews still open end with the session, not because of their
    // documents: their jobs stay for the next session, uncounted, even when
    // this agent is gone before they are.
    sessionEnding = true;
    forgetStarts(openNames);
    stop();
}

bool PrintAgent::keepStarts(const StartCounts& counts, QString* problem)
{
    fs::Fd folder;
    fs::Status kept = openSpoolFolder(settings.spoolFolder, &folder);
    if (kept)
        kept = writeStartsNote(folder.get(), counts);
    if (!kept) {
        *problem = QString::fromLocal8Bit(kept.message);
        return false;
    }
    starts = counts;
    return true;
}

void PrintAgent::setAside(const QString& job)
{
    const QString name = QFileInfo(job).fileName();
    fs::Fd folder;
    fs::Status moved = openSpoolFolder(settings.spoolFolder, &folder);
    QString keptName;
    if (moved)
        moved = setJobAside(folder.get(), name, &keptName);
    if (!moved) {
        const QString why = QString::fromLocal8Bit(moved.message);
        printLine(QStringLiteral("Cannot set %1 aside after its preview stopped twice: %2").arg(job, why));
        failed.insert(name); // counted still: the next agent tries again
        emit previewFailed(job, why);
        return;
    }
    forgetStarts({name}); // should the note stay, the job is gone: the next look forgets it anyway
    const QString keptFolder = settings.spoolFolder + QLatin1Char('/') + QLatin1String(kSetAsideFolder);
    const QString kept = keptFolder + QLatin1Char('/') + keptName;
    printLine(QStringLiteral("Set %1 aside as %2: its preview stopped twice while opening it").arg(job, kept));
    // Once: the job has left the folder the agent opens jobs from.
    const QString text = tr("Quillary could not show the printed document “%1”: the preview stopped twice while opening "
                            "it. The document was kept in %2.")
                             .arg(shownJobTitle(name), keptFolder);
    if (settings.tell)
        settings.tell(tr("A printed document could not be shown"), text);
    else
        printLine(text);
    emit jobSetAside(job, kept);
}

void PrintAgent::launch(const QString& job)
{
    const QString name = QFileInfo(job).fileName();
    auto* process = new QProcess(this);
    process->setProgram(settings.program);
    process->setArguments({job});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, this, [this, process] { ended(process); });
    process->start();
    // Waiting for the start keeps the previews in arrival order.
    if (!process->waitForStarted(30000)) {
        printLine(QStringLiteral("Cannot open the preview for %1: %2").arg(job, process->errorString()));
        failed.insert(name);
        // Never started, so it did not die either.
        StartCounts counts = starts;
        if (counts.value(name) <= 1)
            counts.remove(name);
        else
            counts[name] -= 1;
        QString problem;
        if (!keepStarts(counts, &problem))
            printLine(QStringLiteral("Cannot update the note of started previews: %1").arg(problem));
        process->disconnect(this);
        process->kill();
        process->deleteLater();
        emit previewFailed(job, process->errorString());
        return;
    }
    previews.append(process);
    jobOf.insert(process, job);
    openNames.insert(name);
    emit previewStarted(job);
}

void PrintAgent::ended(QProcess* process)
{
    if (!previews.removeOne(process))
        return;
    const QString job = jobOf.take(process);
    const QString name = QFileInfo(job).fileName();
    openNames.remove(name);
    process->deleteLater();
    const bool signalled = process->exitStatus() == QProcess::CrashExit;
    if (signalled && !askedToEnd(process->exitCode())) {
        // Died (the signal is its exit code): the job stays, counted, and the
        // next look opens it once more or sets it aside.
        printLine(QStringLiteral("The preview for %1 stopped unexpectedly (signal %2)").arg(job).arg(process->exitCode()));
        if (!stopping && !soon.isActive())
            soon.start();
    } else {
        if (signalled && sessionEnding) {
            // The session takes the preview with it before the user decided
            // anything: the job stays for the next session.
            failed.insert(name);
        } else {
            QFile::remove(job);
        }
        forgetStarts({name});
    }
    emit previewEnded(job);
    if (stopping && previews.isEmpty())
        emit finished();
    else
        openWaiting();
}

} // namespace quillary::printer
