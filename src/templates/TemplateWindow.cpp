#include "templates/TemplateWindow.h"

#include "platform/NamedImage.h"
#include "platform/Storyboard.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"

#include <QStackedWidget>

namespace quillary {

TemplateWindow::TemplateWindow(QWidget* parent)
    : QMainWindow(parent)
    , pages(new QStackedWidget(this))
    , main(new MainViewController(pages))
{
    setWindowTitle(tr("Quillary"));
    setWindowIcon(namedImage(QStringLiteral("quillary")));
    setAccessibleName(tr("Templates"));
    pages->addWidget(main);
    setCentralWidget(pages);
    resize(1120, 720);
    setMinimumSize(980, 640);
}

void TemplateWindow::showInPlaceOfMainView(QWidget* screen)
{
    pages->addWidget(screen);
    pages->setCurrentWidget(screen);
}

void registerTemplateScenes()
{
    Storyboard::registerScene(QStringLiteral("template"), [] { return new TemplateWindow; });
    Storyboard::registerScene(QStringLiteral("configController"), [] { return new ConfigurationAssistantController; });
}

} // namespace quillary
