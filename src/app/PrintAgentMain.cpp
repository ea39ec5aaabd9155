#include "app/PrintAgentMain.h"

#include "platform/DesktopNotification.h"
#include "platform/PrintServiceLocation.h"
#include "platform/Translations.h"
#include "printer/agent/PrintAgent.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillary {

namespace {

void printLine(const char* text)
{
    std::puts(text);
    std::fflush(stdout);
}

// A request to end (SIGTERM, SIGHUP, SIGINT: mostly the session ending)
// reaches the event loop through a pipe; the handler does nothing else.
int endRequests[2] = {-1, -1};

extern "C" void requestEnd(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(endRequests[1], &byte, 1);
    errno = saved;
}

// Takes the signals from here on; a second one ends the process as usual
// (SA_RESETHAND). False when the pipe or a handler cannot be set up.
bool takeEndRequests()
{
    if (::pipe2(endRequests, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = requestEnd;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    return true;
}

// Calls ended, in the event loop, once a request taken above arrived (or
// had arrived before).
void onEndRequest(QObject* context, const std::function<void()>& ended)
{
    auto* notifier = new QSocketNotifier(endRequests[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier, ended] {
        char byte;
        while (::read(endRequests[0], &byte, 1) == 1) {
        }
        notifier->setEnabled(false);
        ended();
    });
}

} // namespace

bool printAgentRunning()
{
    const QString path = printAgentLockPath();
    if (path.isEmpty())
        return false; // no agent can run either
    QLockFile lock(path);
    lock.setStaleLockTime(0);
    return !lock.tryLock(0); // released again at once
}

QString privateFolderProblem(const QString& folder)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0)
        return QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("%1 is a symbolic link").arg(folder);
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is not a folder").arg(folder);
    if (info.st_uid != ::getuid())
        return QStringLiteral("%1 belongs to someone else").arg(folder);
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("%1 is writable by others").arg(folder);
    return {};
}

QString printAgentLockPath(QString* problem)
{
    // Only a folder of this user's own: in a shared one (the temporary
    // folder) anyone could hold the lock first and keep the agent away.
    QStringList tried;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        const QString why = privateFolderProblem(runtime);
        if (why.isEmpty())
            return runtime + QStringLiteral("/" QUILLARY_BUNDLE_IDENTIFIER "-agent.lock");
        tried << why;
    }
    // Without a runtime folder: the user's cache folder, made private.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty() && cache.startsWith(QLatin1Char('/'))) {
        const QString folder = cache + QStringLiteral("/quillary");
        QDir().mkpath(cache);
        ::mkdir(QFile::encodeName(folder).constData(), 0700);
        QString why = privateFolderProblem(cache);
        if (why.isEmpty())
            why = privateFolderProblem(folder);
        if (why.isEmpty())
            return folder + QStringLiteral("/agent.lock");
        tried << why;
    }
    if (problem)
        *problem = tried.isEmpty() ? QStringLiteral("neither XDG_RUNTIME_DIR nor a home folder is set") : tried.join(QStringLiteral("; "));
    return {};
}

int runPrintAgent(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillary"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLARY_VERSION));

    QString problem;
    const QString lockPath = printAgentLockPath(&problem);
    if (lockPath.isEmpty()) {
        std::fprintf(stderr, "Quillary agent not started: no private folder for its lock (%s)\n", qPrintable(problem));
        return 1;
    }
    // Taken before the lock, so that an agent seen running takes them.
    // Without them the previews open when a session ends would count as
    // deaths of their documents at the next login.
    const bool endRequestsTaken = takeEndRequests();
    if (!endRequestsTaken)
        std::fprintf(stderr, "Quillary agent: cannot take requests to end (%s); previews open when the session ends may "
                             "count as failed at the next login\n", std::strerror(errno));
    QLockFile lock(lockPath);
    lock.setStaleLockTime(0); // stale only when its process is gone
    if (!lock.tryLock(0)) {
        printLine("Quillary agent already running");
        return 0;
    }
    // The autostart entry that starts the agent, the system's or the
    // user's own; once it is gone or turned off ("Delete printer") the agent
    // stops.
    const PrintServiceLocation location = printServiceLocation();
    switch (printer::printServiceState(location.entry, location.systemEntries)) {
    case printer::ServiceState::On:
        break;
    case printer::ServiceState::NotInstalled:
        printLine("Quillary print service not installed");
        return 0;
    case printer::ServiceState::TurnedOff:
        printLine("Quillary print service turned off for this user");
        return 0;
    }
    // What the agent tells the user, in the user's language.
    const Translations translations;
    printer::PrintAgent::Settings settings{.spoolFolder = printer::userSpoolFolder(),
                                           .program = QCoreApplication::applicationFilePath(),
                                           .entry = location.entry,
                                           .systemEntries = location.systemEntries};
    settings.tell = [](const QString& summary, const QString& text) {
        QString problem;
        if (!showDesktopNotification(summary, text, &problem))
            std::printf("Cannot show a desktop notification (%s): %s\n", qPrintable(problem), qPrintable(text));
        std::fflush(stdout);
    };
    printer::PrintAgent agent(std::move(settings));
    QObject::connect(&agent, &printer::PrintAgent::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (endRequestsTaken)
        onEndRequest(&agent, [&agent] {
            printLine("Quillary agent asked to end");
            agent.sessionEnds();
        });
    agent.start();
    return app.exec();
}

} // namespace quillary
