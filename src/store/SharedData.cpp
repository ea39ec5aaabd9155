#include "store/SharedData.h"

namespace quillary {

void SharedData::reset()
{
    templateName.clear();
    isNewTemplate = true;
    startPagePath.clear();
    continualPagePath.clear();
    agbPagePath.clear();
}

} // namespace quillary
