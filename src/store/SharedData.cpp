#include "store/SharedData.h"

namespace quillary {

void SharedData::reset()
{
    templateName.clear();
    isNewTemplate = true;
    startPagePath.clear();
    continualPagePath.clear();
    agbPagePath.clear();
    startCircle = nullptr;
    continualCircle = nullptr;
    agbCircle = nullptr;
    configureButtonRef = nullptr;
}

} // namespace quillary
