#include "app/PrintService.h"

#include "app/PrintAgentMain.h"
#include "pdf/PlainLines.h"
#include "platform/PrintServiceLocation.h"
#include "platform/Ui.h"
#include "printer/agent/PrintAgent.h"
#include "store/CustomFileManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace quillary {

namespace {

#ifndef Q_OS_MACOS
bool systemEntryInstalled(const PrintServiceLocation& location)
{
    return std::any_of(location.systemEntries.cbegin(), location.systemEntries.cend(),
                       [](const QString& entry) { return QFileInfo(entry).isFile(); });
}

printer::ServiceState serviceState(const PrintServiceLocation& location)
{
    return printer::printServiceState(location.entry, location.systemEntries);
}

// What "Delete printer" leaves in the user's autostart folder: the entry of
// the same name, hidden. Exec and Name keep it a valid entry for desktops
// that check.
constexpr char kTurnedOffEntry[] = "[Desktop Entry]\n"
                                   "Type=Application\n"
                                   "Name=Quillary print service\n"
                                   "Exec=quillary --agent\n"
                                   "Hidden=true\n";
#endif

} // namespace

void installPrintService()
{
    const PrintServiceLocation location = printServiceLocation();
#ifndef Q_OS_MACOS
    const bool turnedOff = serviceState(location) == printer::ServiceState::TurnedOff;
    if (turnedOff)
        QFile::remove(location.entry); // the user's "Delete printer" goes
    if (systemEntryInstalled(location) && !QFileInfo::exists(location.entry)) {
        // The system's entry is in force now. One that was in force already
        // is an installed entry, which a copy never replaces: said as the
        // failed copy says it.
        if (!turnedOff)
            printPlainLine(QStringLiteral("cant copy File ") + location.resource);
        startPrintAgentIfEnabled();
        return;
    }
#endif
    QDir().mkpath(location.folder); // an existing folder is fine
    sharedStore().copyFile(location.resource, location.entry);
    startPrintAgentIfEnabled();
}

Result deletePrintService()
{
    const PrintServiceLocation location = printServiceLocation();
#ifdef Q_OS_MACOS
    sharedStore().removeIfReadable(location.entry);
    return Result::success();
#else
    if (!QDir().mkpath(location.folder))
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: cannot be created").arg(location.folder));
    QSaveFile file(location.entry);
    // Written whole or not at all: an entry half-written could turn nothing off.
    if (!file.open(QIODevice::WriteOnly) || file.write(kTurnedOffEntry) != qint64(sizeof kTurnedOffEntry - 1)
        || !file.commit())
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("%1: %2").arg(location.entry, file.errorString()));
    return Result::success();
#endif
}

void startPrintAgentIfEnabled()
{
#ifndef Q_OS_MACOS
    if (serviceState(printServiceLocation()) == printer::ServiceState::On && !printAgentRunning())
        Ui::instance().startDetached(QCoreApplication::applicationFilePath(), {QStringLiteral("--agent")});
#endif
}

} // namespace quillary
