#include "app/AppDelegate.h"

#include "app/AboutWindow.h"
#include "app/ApplicationMenu.h"
#include "app/LoadingScreenViewController.h"
#include "app/ManualWindow.h"
#include "app/PrintService.h"
#include "app/SplashScreenViewController.h"
#include "guides/GuideSheet.h"
#include "platform/FailureText.h"
#include "platform/PrintServiceLocation.h"
#include "platform/Storyboard.h"
#include "platform/Ui.h"
#include "store/SharedData.h"
#include "store/StoreKey.h"
#include "templates/ConfigurationAssistantController.h"
#include "templates/MainViewController.h"
#include "templates/TemplateWindow.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include <algorithm>

namespace quillary {

namespace {

QPointer<QWidget>& currentWindowRef()
{
    static QPointer<QWidget> window;
    return window;
}

// Copy and Paste act on the focused text field, as the platform's own would.
void sendToFocus(const char* action)
{
    if (QWidget* focus = QApplication::focusWidget())
        QMetaObject::invokeMethod(focus, action);
}

// Command+D and Command+U on macOS. Elsewhere Ctrl+D and Ctrl+U edit text
// (delete a character, clear the line) in every field of the window, which
// would take the key first: those commands have no key there.
QKeySequence textSafeShortcut(const QString& macKey)
{
#ifdef Q_OS_MACOS
    return QKeySequence(macKey);
#else
    Q_UNUSED(macKey);
    return {};
#endif
}

} // namespace

QWidget* currentWindow()
{
    return currentWindowRef();
}

void centreOnScreen(QWidget* window)
{
    QScreen* screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize size = window->frameGeometry().size();
    window->move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

void registerAppScenes()
{
    Storyboard::registerScene(QStringLiteral("Splash"), [] { return new SplashScreenViewController; });
    Storyboard::registerScene(QStringLiteral("About"), [] { return new AboutWindow; });
}

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent)
{
    splashTimer.setSingleShot(true);
    splashTimer.setInterval(SplashMilliseconds);
    connect(&splashTimer, &QTimer::timeout, this, &AppDelegate::hideSplashscreen);
#ifdef Q_OS_MACOS
    // A click on the Dock icon activates the application: the reopen request there.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive && menuBuilt)
            reopen();
    });
#endif
}

AppDelegate::~AppDelegate()
{
    delete applicationMenuBar;
}

void AppDelegate::applicationDidFinishLaunching()
{
    suUpdater.checkForUpdatesInBackground();
    showSplash();
}

void AppDelegate::showSplash()
{
    auto* splash = Storyboard::instantiateAs<QWidget>(QStringLiteral("Splash"));
    if (!splash)
        splash = new SplashScreenViewController;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->resize(SplashScreenViewController::WindowSize);
    splashTimer.start();
    currentWindowRef() = splash;
    splash->show();
    centreOnScreen(splash);
    splash->raise();
}

void AppDelegate::hideSplashscreen()
{
    QPointer<QWidget> splash = currentWindowRef();
    // Printing works without a new login after installing or re-enabling.
    startPrintAgentIfEnabled();
    buildMainMenu();
    // The template window opens before the splash closes, so that the
    // application never sits without a window (it ends with its last one).
    showMainWindow();
    if (splash)
        splash->close();
}

void AppDelegate::buildMainMenu()
{
    menuBuilt = true;
#ifdef Q_OS_MACOS
    // One menu bar for the whole application.
    if (!applicationMenuBar) {
        applicationMenuBar = new QMenuBar(nullptr);
        fillMenuBar(applicationMenuBar);
    }
#endif
}

void AppDelegate::fillMenuBar(QMenuBar* bar)
{
    bar->clear();

    auto* about = new QAction(tr("About Quillary"), bar);
    connect(about, &QAction::triggered, this, &AppDelegate::aboutWindow);
    auto* quit = new QAction(tr("Close Quillary"), bar);
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);
    addApplicationMenu(bar, about, quit);

    QMenu* edit = bar->addMenu(tr("Edit"));
    edit->setObjectName(QStringLiteral("Edit"));
    edit->addAction(tr("Copy"), QKeySequence::Copy, this, [] { sendToFocus("copy"); });
    edit->addAction(tr("Paste"), QKeySequence::Paste, this, [] { sendToFocus("paste"); });

    QMenu* configuration = bar->addMenu(tr("Configuration"));
    configuration->setObjectName(QStringLiteral("Konfiguration"));
    configuration->addAction(tr("Delete printer"), textSafeShortcut(QStringLiteral("Ctrl+D")), this,
                             &AppDelegate::deletePrinter);
    configuration->addAction(tr("Reset settings"), this, &AppDelegate::reset);

    QMenu* update = bar->addMenu(QStringLiteral("Update"));
    update->setObjectName(QStringLiteral("Update"));
    update->addAction(tr("Search updates"), textSafeShortcut(QStringLiteral("Ctrl+U")), this, &AppDelegate::searchUpdates);

    QMenu* help = bar->addMenu(tr("Help"));
    help->setObjectName(QStringLiteral("Help"));
    help->addAction(tr("Manual"), QKeySequence::HelpContents, this, &AppDelegate::showHelp);
}

TemplateWindow* AppDelegate::showMainWindow()
{
    auto* window = Storyboard::instantiateAs<TemplateWindow>(QStringLiteral("template"));
    if (!window)
        window = new TemplateWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
#ifndef Q_OS_MACOS
    if (menuBuilt)
        fillMenuBar(window->menuBar());
#endif
    QPointer<TemplateWindow> guarded = window;
    connect(window->mainView(), &MainViewController::templateConfirmed, this,
            [this, guarded](const TemplateEdit& edit) {
                if (guarded)
                    performCheck(guarded, edit);
            });
    // The assistant's help button plays the video guide; the Help menu has the manual.
    connect(window->mainView(), &MainViewController::helpRequested, window, [window] { showGuideSheet(window); });
    suUpdater.setDelegate(window);

    currentWindowRef() = window;
    window->show();
    centreOnScreen(window);
    window->raise();
    window->activateWindow();

    // The first template window of a fresh installation starts the tour, once.
    const QStringList firstStart = sharedStore().pagePaths(StoreKey::FirstStart);
    if (!firstStart.isEmpty() && firstStart.first() == QLatin1String("Y")) {
        MainViewController* main = window->mainView();
        const QList<QWidget*> children = main->childViewControllers();
        if (children.size() >= 2 && qobject_cast<ConfigurationAssistantController*>(children.at(1))) {
            main->createTourTip();
            sharedStore().setPagePaths(StoreKey::FirstStart, {QStringLiteral("N")});
        }
    }
    return window;
}

void AppDelegate::reopen()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    applicationShouldHandleReopen(
        std::any_of(windows.cbegin(), windows.cend(), [](const QWidget* w) { return w->isVisible(); }));
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (!hasVisibleWindows) {
        showMainWindow();
        return true;
    }
    if (QWidget* window = currentWindowRef(); window && window->isMinimized()) {
        window->showNormal();
        window->raise();
        window->activateWindow();
    } else if (window) {
        window->raise();
        window->activateWindow();
    }
    return false;
}

void AppDelegate::aboutWindow()
{
    auto* about = Storyboard::instantiateAs<QDialog>(QStringLiteral("About"));
    if (!about)
        about = new AboutWindow;
    about->setAttribute(Qt::WA_DeleteOnClose);
    // Application-modal, without blocking the caller.
    about->setWindowModality(Qt::ApplicationModal);
    about->open();
}

void AppDelegate::searchUpdates()
{
    suUpdater.checkForUpdates(this);
}

void AppDelegate::deletePrinter()
{
    if (!Ui::instance().confirm(currentWindowRef(), tr("Delete printer?"),
                                tr("The printer Quillary stays on this computer for other users. Quillary will no "
                                   "longer open your print jobs: what you print to it is refused until you save a "
                                   "template again."),
                                tr("Delete printer"), tr("Cancel")))
        return;
    const Result deleted = deletePrintService();
    if (!deleted)
        Ui::instance().alert(currentWindowRef(), tr("Printer not deleted"),
                             tr("Quillary could not be turned off for you: %1")
                                 .arg(FailureText::sentence(deleted, {printServiceLocation().entry})));
}

void AppDelegate::reset()
{
    if (!Ui::instance().confirm(currentWindowRef(), tr("Reset settings?"),
                                tr("Every template and its pages will be deleted, and Quillary will quit."),
                                tr("Reset"), tr("Cancel")))
        return;
    const Result reset = sharedStore().resetStore();
    if (!reset) {
        // Nothing to start afresh from: the templates are (partly) still there.
        Ui::instance().alert(currentWindowRef(), tr("Settings not reset"),
                             tr("The template store could not be removed: %1")
                                 .arg(FailureText::sentence(reset, {sharedStore().settingsPath()})),
                             AlertKind::Error);
        return;
    }
    Ui::instance().exitProcess(0);
}

void AppDelegate::showHelp()
{
    auto* manual = new ManualWindow(currentWindowRef());
    manual->setAttribute(Qt::WA_DeleteOnClose);
    manual->show();
    manual->raise();
}

void AppDelegate::performCheck(TemplateWindow* window, const TemplateEdit& edit)
{
    auto* loading = new LoadingScreenViewController(edit);
    const Result saved = loading->viewDidLoad();
    if (!saved && saved.code != ErrorCode::Missing) {
        // Nothing was stored; the assistant keeps what the user entered.
        delete loading;
        // The chosen PDF files ("existing" keeps a stored page: no file of the user's).
        QStringList files{sharedStore().settingsPath()};
        for (const QString& source : edit.sources)
            if (source != SharedData::existing)
                files << source;
        Ui::instance().alert(window, tr("Template not saved"),
                             tr("The template \"%1\" could not be saved: %2")
                                 .arg(edit.typedName, FailureText::sentence(saved, files)),
                             AlertKind::Error);
        return;
    }
    if (!saved)
        Ui::instance().alert(window, tr("Template not saved"),
                             tr("The template \"%1\" no longer exists.").arg(edit.editedName), AlertKind::Error);
    // Saved, but a PDF/A e-invoice stamped with it would lose its claim.
    if (saved && !saved.warnings.isEmpty())
        Ui::instance().alert(window, tr("Fonts cannot be embedded"),
                             tr("The template \"%1\" was saved, but its stationery uses fonts that cannot be embedded. "
                                "PDF/A e-invoices stamped with it will no longer be valid PDF/A:\n%2")
                                 .arg(edit.typedName, saved.warnings.join(QLatin1Char('\n'))),
                             AlertKind::Warning);
    QPointer<TemplateWindow> guarded = window;
    connect(loading, &LoadingScreenViewController::finished, this, [this, guarded] {
        // Saved on the way out: the window closes, none opens.
        if (!guarded || !guarded->closesAfterSaving())
            showMainWindow();
        if (guarded)
            guarded->close();
    });
    window->showInPlaceOfMainView(loading);
}

} // namespace quillary
