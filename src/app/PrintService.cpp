#include "app/PrintService.h"

#include "app/PrintAgentMain.h"
#include "platform/PrintServiceLocation.h"
#include "platform/Ui.h"
#include "store/CustomFileManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quillary {

void installPrintService()
{
    const PrintServiceLocation location = printServiceLocation();
    QDir().mkpath(location.folder); // an existing folder is fine
    sharedStore().copyFile(location.resource, location.entry);
#ifndef Q_OS_MACOS
    // The entry starts the agent with the next session; printing should work
    // in this one already.
    if (QFileInfo::exists(location.entry) && !printAgentRunning())
        Ui::instance().startDetached(QCoreApplication::applicationFilePath(), {QStringLiteral("--agent")});
#endif
}

void deletePrintService()
{
    sharedStore().removeIfReadable(printServiceLocation().entry);
}

} // namespace quillary
