#include "app/AppController.h"

#include "app/ApplicationMenu.h"
#include "platform/Storyboard.h"
#include "platform/Ui.h"
#include "preview/FirstTemplateHint.h"
#include "preview/PreviewController.h"
#include "store/CustomFileManager.h"
#include "printer/agent/PrintAgent.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

namespace quillary {

AppController::AppController(const QString& documentPath, QObject* parent)
    : QObject(parent)
    , path(documentPath)
{
}

AppController::~AppController() = default;

void AppController::applicationDidFinishLaunching()
{
    buildServiceWindow();
}

void AppController::buildServiceWindow()
{
    // Titled and closable; no resizing, no minimising: one document, one
    // window of one size.
    mainWindow = std::make_unique<QMainWindow>(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                                                            | Qt::CustomizeWindowHint
                                                            | Qt::MSWindowsFixedSizeDialogHint);
    mainWindow->resize(kWidth, kHeight);
    mainWindow->setWindowTitle(tr("%1 - Quillary").arg(QFileInfo(path).fileName()));
    mainWindow->setAccessibleName(tr("Quillary"));
    buildServiceMenu();

    mainWindow->show();
    mainWindow->raise();
    mainWindow->activateWindow();
}

void AppController::buildServiceMenu()
{
    previewController = new PreviewController(path, mainWindow.get());
    previewController->jobTitle = printer::printJobTitle(path);
    mainWindow->setCentralWidget(previewController);
    // Below the preview, while the user has no template of their own.
    if (QWidget* hint = makeFirstTemplateHint(sharedStore(), mainWindow.get())) {
        mainWindow->statusBar()->setSizeGripEnabled(false);
        mainWindow->statusBar()->addWidget(hint, 1);
    }

    QMenuBar* bar = mainWindow->menuBar();
    bar->setAccessibleName(tr("Menu bar"));
    about = new QAction(tr("About Quillary"), mainWindow.get());
    connect(about, &QAction::triggered, this, &AppController::aboutWindow);
    quit = new QAction(tr("Close Quillary"), mainWindow.get());
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, [] { Ui::instance().exitProcess(0); });
    auto* copyAction = new QAction(tr("Copy"), mainWindow.get());
    copyAction->setShortcut(QKeySequence::Copy);
    connect(copyAction, &QAction::triggered, this, &AppController::copy);
    auto* pasteAction = new QAction(tr("Paste"), mainWindow.get());
    pasteAction->setShortcut(QKeySequence::Paste);
    connect(pasteAction, &QAction::triggered, this, &AppController::paste);

    // The same application menu as the template window's.
    QMenu* application = addApplicationMenu(bar, about, quit);
    QMenu* edit = bar->addMenu(tr("Edit"));
    edit->addAction(copyAction);
    edit->addAction(pasteAction);
    connect(application, &QMenu::aboutToShow, this, &AppController::refreshAbout);
    refreshAbout();

    mainWindow->setFixedSize(mainWindow->sizeHint());

    // Centred on the screen it opens on.
    if (QScreen* screen = mainWindow->screen()) {
        const QRect area = screen->availableGeometry();
        const QSize frame = mainWindow->frameGeometry().size();
        mainWindow->move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
    }
}

void AppController::refreshAbout()
{
    // The application registers an "About" scene or it has none.
    std::unique_ptr<QObject> probe(Storyboard::instantiate(QStringLiteral("About")));
    about->setEnabled(probe != nullptr);
}

void AppController::aboutWindow()
{
    QObject* scene = Storyboard::instantiate(QStringLiteral("About"));
    auto* widget = qobject_cast<QWidget*>(scene);
    if (!widget) {
        delete scene;
        return;
    }
    widget->setParent(mainWindow.get(), widget->windowFlags() | Qt::Dialog);
    widget->setAttribute(Qt::WA_DeleteOnClose);
    if (auto* dialog = qobject_cast<QDialog*>(widget))
        dialog->open();
    else
        widget->show();
}

void AppController::copy()
{
    // To the text field that has the focus, as its own shortcut would.
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->metaObject()->indexOfSlot("copy()") >= 0)
        QMetaObject::invokeMethod(focus, "copy");
}

void AppController::paste()
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->metaObject()->indexOfSlot("paste()") >= 0)
        QMetaObject::invokeMethod(focus, "paste");
}

} // namespace quillary
