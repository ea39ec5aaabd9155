#include "app/PrintService.h"

#include "platform/PrintServiceLocation.h"
#include "store/CustomFileManager.h"

#include <QDir>

namespace quillary {

void installPrintService()
{
    const PrintServiceLocation location = printServiceLocation();
    QDir().mkpath(location.folder); // an existing folder is fine
    sharedStore().copyFile(location.resource, location.entry);
}

void deletePrintService()
{
    sharedStore().removeIfReadable(printServiceLocation().entry);
}

} // namespace quillary
