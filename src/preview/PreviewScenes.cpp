#include "preview/PreviewScenes.h"

#include "platform/Storyboard.h"
#include "preview/EditViewcontroller.h"

namespace quillary {

void registerPreviewScenes()
{
    Storyboard::registerScene(QStringLiteral("Edit"), [] { return new EditViewcontroller; });
}

} // namespace quillary
