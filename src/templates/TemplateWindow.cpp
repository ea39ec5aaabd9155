#include "templates/TemplateWindow.h"

#include "platform/NamedImage.h"
#include "platform/Storyboard.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"

#include <QCloseEvent>
#include <QStackedWidget>

namespace quillary {

TemplateWindow::TemplateWindow(QWidget* parent)
    : QMainWindow(parent)
    , pages(new QStackedWidget(this))
    , main(new MainViewController(pages))
{
    setWindowTitle(tr("Quillary"));
    setWindowIcon(namedImage(QStringLiteral("quillary")));
    pages->addWidget(main);
    setCentralWidget(pages);
    resize(1140, 700);
    setMinimumSize(1060, 640);
}

void TemplateWindow::showInPlaceOfMainView(QWidget* screen)
{
    pages->addWidget(screen);
    pages->setCurrentWidget(screen);
}

void TemplateWindow::closeEvent(QCloseEvent* event)
{
    // While the loading screen saves, the assistant's input is being stored.
    if (pages->currentWidget() == main && !main->templateViewControllerMayLeaveCurrentTemplate()) {
        // "Save": the loading screen stores the edit, then the window goes.
        closeAfterSave = main->savingBeforeLeaving();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void registerTemplateScenes()
{
    Storyboard::registerScene(QStringLiteral("template"), [] { return new TemplateWindow; });
    Storyboard::registerScene(QStringLiteral("configController"), [] { return new ConfigurationAssistantController; });
}

} // namespace quillary
