#include "guides/Segues.h"

#include "guides/WindowGuide.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"
#include "templates/TemplateWindow.h"

namespace quillary {

bool TriggerSegue::perform(QWidget* source, QWidget* destination)
{
    WindowGuide* window = source && destination ? WindowGuide::of(source) : nullptr;
    if (!window) {
        delete destination;
        return false;
    }
    window->setContentViewController(destination);
    return true;
}

bool ReplaceSegue::perform(QWidget* source, QWidget* destination)
{
    auto* assistant = qobject_cast<ConfigurationAssistantController*>(destination);
    auto* window = source ? qobject_cast<TemplateWindow*>(source->window()) : nullptr;
    MainViewController* main = window ? window->mainView() : nullptr;
    if (!assistant || !main) {
        delete destination;
        return false;
    }
    main->replaceConfigurationAssistant(assistant);
    return true;
}

} // namespace quillary
