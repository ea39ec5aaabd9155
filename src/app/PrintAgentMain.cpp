#include "app/PrintAgentMain.h"

#include "platform/PrintServiceLocation.h"
#include "printer/agent/PrintAgent.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <cstdio>

namespace quillary {

namespace {

void printLine(const char* text)
{
    std::puts(text);
    std::fflush(stdout);
}

} // namespace

bool printAgentRunning()
{
    QLockFile lock(printAgentLockPath());
    lock.setStaleLockTime(0);
    return !lock.tryLock(0); // released again at once
}

QString printAgentLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/" QUILLARY_BUNDLE_IDENTIFIER "-agent.lock");
}

int runPrintAgent(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillary"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLARY_VERSION));

    QLockFile lock(printAgentLockPath());
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
    printer::PrintAgent agent({.spoolFolder = printer::userSpoolFolder(),
                               .program = QCoreApplication::applicationFilePath(),
                               .entry = location.entry,
                               .systemEntries = location.systemEntries});
    QObject::connect(&agent, &printer::PrintAgent::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    agent.start();
    return app.exec();
}

} // namespace quillary
