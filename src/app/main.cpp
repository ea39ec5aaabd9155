#include "app/AppController.h"
#include "app/AppDelegate.h"
#include "app/PrintAgentMain.h"
#include "app/ProcessEntry.h"
#include "controls/Appearance.h"
#include "guides/Guides.h"
#include "platform/FileDialogChoice.h"
#include "platform/InstanceGuard.h"
#include "platform/NamedImage.h"
#include "platform/Translations.h"
#include "preview/PreviewScenes.h"
#include "store/CustomFileManager.h"
#include "templates/TemplateWindow.h"

#include <QApplication>
#include <QTimer>

#include <cstring>

using namespace quillary;

int main(int argc, char* argv[])
{
    // The print agent opens no window of its own: it branches off before the
    // application object, the store and the argument echo.
    if (argc >= 2 && std::strcmp(argv[1], "--agent") == 0)
        return runPrintAgent(argc, argv);

    // Taken before QApplication strips its own options, so the echo is complete.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    // The desktop's own file dialog where it offers one: chosen before Qt
    // picks its platform theme.
    chooseFileDialog();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillary"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLARY_VERSION));
    QApplication::setOrganizationDomain(QStringLiteral("quillary.app"));
    // Desktops match windows to the installed desktop entry (icon, name) by this.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER));
    appearance::apply(app);

    // Translations first: the store names its default template in the user's language.
    const Translations translations;

    const RunMode mode = prepareProcess(arguments);
    QApplication::setWindowIcon(namedImage(QStringLiteral("quillary")));
    QApplication::setQuitOnLastWindowClosed(true);
    // Both modes open "About" through the scene registry.
    registerTemplateScenes();
    registerAppScenes();
    registerGuideScenes();

    if (mode == RunMode::Management) {
        InstanceGuard guard(sharedStore().storeDirectory() + QStringLiteral("/.management"));
        if (guard.handOver())
            return 0; // the running instance shows its window
        AppDelegate delegate;
        guard.listen();
        QObject::connect(&guard, &InstanceGuard::reopenRequested, &delegate, &AppDelegate::reopen);
        delegate.applicationDidFinishLaunching();
        app.exec();
        return 0;
    }

    if (mode == RunMode::NoDocument) {
        // The alert is the only window; the status, not its closing, ends the run.
        QApplication::setQuitOnLastWindowClosed(false);
        QTimer::singleShot(0, &app, [&arguments] { refuseDocument(arguments.at(1)); });
        return app.exec();
    }

    // Print-service mode: one window for the printed document.
    registerPreviewScenes();
    AppController controller(arguments.at(1));
    controller.applicationDidFinishLaunching();
    return app.exec();
}
