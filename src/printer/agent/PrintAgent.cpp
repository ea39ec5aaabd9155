#include "printer/agent/PrintAgent.h"

#include "printer/SpoolLayout.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>

#include <pwd.h>
#include <unistd.h>

namespace quillary::printer {

namespace {

void printLine(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// The job number the backend puts in front of the title ("42-Invoice.pdf").
qint64 jobNumber(const QString& name)
{
    const qsizetype dash = name.indexOf(QLatin1Char('-'));
    bool ok = false;
    const qint64 number = dash > 0 ? name.left(dash).toLongLong(&ok) : 0;
    return ok ? number : 0;
}

} // namespace

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
    // "<job id>-<title>.pdf", a retried job's name with " (2)" and so on.
    static const QRegularExpression name(QStringLiteral("^[0-9]+-(.+?)(?: \\([0-9]+\\))?\\.pdf$"));
    const QRegularExpressionMatch match = name.match(job.fileName());
    if (!match.hasMatch() || match.captured(1) == QLatin1String("document"))
        return std::nullopt;
    return match.captured(1);
}

QStringList completeJobs(const QString& folder)
{
    QFileInfoList found = QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::NoSort);
    const QString suffix = QString::fromLatin1(kJobSuffix.data(), kJobSuffix.size());
    found.erase(std::remove_if(found.begin(), found.end(),
                               [&](const QFileInfo& info) {
                                   return !info.isFile() || info.fileName().startsWith(QLatin1Char(kHiddenPrefix))
                                       || !info.fileName().endsWith(suffix);
                               }),
                found.end());
    // Arrival order: when the job became complete (its file is renamed into
    // place after its last write), then the job number for files of the
    // same instant.
    std::sort(found.begin(), found.end(), [](const QFileInfo& a, const QFileInfo& b) {
        const qint64 ta = a.lastModified().toMSecsSinceEpoch(), tb = b.lastModified().toMSecsSinceEpoch();
        if (ta != tb)
            return ta < tb;
        const qint64 na = jobNumber(a.fileName()), nb = jobNumber(b.fileName());
        return na != nb ? na < nb : a.fileName() < b.fileName();
    });
    QStringList paths;
    for (const QFileInfo& info : found)
        paths << info.absoluteFilePath();
    return paths;
}

PrintAgent::PrintAgent(Settings s, QObject* parent) : QObject(parent), settings(std::move(s))
{
    settings.spoolFolder = QDir(settings.spoolFolder).absolutePath();
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, &PrintAgent::rescan);
    connect(&watcher, &QFileSystemWatcher::fileChanged, this, &PrintAgent::rescan);
    rescanTimer.setInterval(settings.rescanMs);
    connect(&rescanTimer, &QTimer::timeout, this, &PrintAgent::rescan);
}

PrintAgent::~PrintAgent()
{
    // A QProcess ends its process when it is destroyed, and an open preview
    // is the user's window: the objects are let go, not destroyed.
    for (QProcess* process : std::as_const(previews)) {
        process->disconnect(this);
        process->setParent(nullptr);
    }
}

void PrintAgent::start()
{
    rescanTimer.start();
    rescan();
}

void PrintAgent::stop()
{
    if (stopping)
        return;
    stopping = true;
    rescanTimer.stop();
    watcher.disconnect(this);
    waiting.clear(); // they stay on disk for the next agent
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

void PrintAgent::rescan()
{
    if (stopping)
        return;
    if (!settings.entry.isEmpty() && !QFileInfo::exists(settings.entry)) {
        printLine(QStringLiteral("Quillary print service removed: no more printed documents are opened"));
        stop();
        return;
    }
    watch();
    const QStringList open = openJobs();
    waiting.removeIf([](const QString& job) { return !QFileInfo::exists(job); });
    for (const QString& job : completeJobs(settings.spoolFolder)) {
        if (!waiting.contains(job) && !open.contains(job) && !failed.contains(job))
            waiting.append(job);
    }
    openWaiting();
    emit scanned();
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
    if (!settings.entry.isEmpty() && !watcher.files().contains(settings.entry) && QFileInfo::exists(settings.entry))
        watcher.addPath(settings.entry);
}

void PrintAgent::openWaiting()
{
    while (!stopping && previews.size() < settings.maxOpenPreviews && !waiting.isEmpty()) {
        const QString job = waiting.takeFirst();
        if (QFileInfo::exists(job))
            launch(job);
    }
}

void PrintAgent::launch(const QString& job)
{
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
        failed.insert(job);
        process->disconnect(this);
        process->kill();
        process->deleteLater();
        emit previewFailed(job, process->errorString());
        return;
    }
    previews.append(process);
    jobOf.insert(process, job);
    emit previewStarted(job);
}

void PrintAgent::ended(QProcess* process)
{
    if (!previews.removeOne(process))
        return;
    const QString job = jobOf.take(process);
    process->deleteLater();
    QFile::remove(job);
    emit previewEnded(job);
    if (stopping && previews.isEmpty())
        emit finished();
    else
        openWaiting();
}

} // namespace quillary::printer
