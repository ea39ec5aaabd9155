#include "guides/GuideController.h"

#include "guides/Segues.h"
#include "guides/WindowGuide.h"
#include "platform/NotificationHub.h"
#include "platform/Storyboard.h"

namespace quillary {

GuideController::GuideController(QWidget* parent)
    : QWidget(parent)
{
    viewDidLoad();
}

void GuideController::viewDidLoad()
{
    connect(&NotificationHub::instance(), &NotificationHub::posted, this, [this](const QString& name) {
        if (name == QLatin1String("tourTrigger"))
            segueStart();
    });
}

void GuideController::segueStart()
{
    performSegue(QStringLiteral("trigger"));
}

bool GuideController::performSegue(const QString& identifier)
{
    if (identifier != QLatin1String("trigger") || triggerDestination.isEmpty())
        return false;
    auto* destination = Storyboard::instantiateAs<QWidget>(triggerDestination);
    if (!destination || !TriggerSegue::perform(this, destination))
        return false;
    emit seguePerformed(identifier);
    return true;
}

void GuideController::dissmisSheetWithSender(QObject*)
{
    if (WindowGuide* window = WindowGuide::of(this))
        window->close();
}

} // namespace quillary
