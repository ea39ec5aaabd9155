#pragma once

// The application of management mode: the splash, then the menu bar and the
// template window; About, reopen, removing the print service, resetting the
// store, the update commands, and the road from a confirmed assistant through
// the loading screen to a fresh template window.

#include "platform/Updater.h"
#include "store/CustomFileManager.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class QMenuBar;
class QWidget;

namespace quillary {

class TemplateWindow;

// The splash while it is shown, then the latest template window.
QWidget* currentWindow();

class AppDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr int SplashMilliseconds = 4000;

    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    Updater suUpdater;

    // Starts the background update check and shows the splash.
    void applicationDidFinishLaunching();
    // Dock click or a second start: brings a minimized window back (true when
    // there was none and a new template window was opened).
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // The same, asked by the platform (a second start, the Dock).
    void reopen();

    void showSplash();
    // The splash's end: closes it, builds the menu bar, opens the template window.
    void hideSplashscreen();
    void buildMainMenu();
    // Opens a fresh template window; on the first start of all, the tour.
    TemplateWindow* showMainWindow();

    // Menu commands.
    void aboutWindow();
    void searchUpdates();
    void deletePrinter();
    void reset();
    void showHelp();

    // The menu bar of management mode, filled into bar (on macOS the
    // application's one menu bar, elsewhere each template window's own).
    void fillMenuBar(QMenuBar* bar);

    // The segue "check" from the window's assistant: saves through the
    // loading screen, or tells why not and leaves the assistant as it was.
    void performCheck(TemplateWindow* window, const TemplateEdit& edit);

    QTimer splashTimer;

private:
    bool menuBuilt = false;
    QMenuBar* applicationMenuBar = nullptr;
};

// Centres a window on its screen.
void centreOnScreen(QWidget* window);

// Registers the scenes "Splash" and "About" (a dialog).
void registerAppScenes();

} // namespace quillary
