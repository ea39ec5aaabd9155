#include "guides/Guides.h"

#include "guides/GuideController.h"
#include "guides/GuideSheet.h"
#include "guides/TourGuide.h"
#include "platform/Storyboard.h"
#include "templates/MainViewController.h"

namespace quillary {

void registerGuideScenes()
{
    MainViewController::setTourTipFactory(&createTourTip);
    Storyboard::registerScene(QStringLiteral("guide"), [] { return makeGuideScene(); });
    Storyboard::registerScene(QStringLiteral("guideDone"), [] { return makeGuideDoneScene(); });
}

} // namespace quillary
