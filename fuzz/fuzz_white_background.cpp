// TaskManager::hasWhiteBackground on arbitrary file content.

#include "FuzzSupport.h"

#include "pdf/TaskManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = fuzz::scratchFile("scan.pdf");
    fuzz::writeFile(path, data, size);
    (void)quillary::TaskManager::hasWhiteBackground(path);
    return 0;
}
