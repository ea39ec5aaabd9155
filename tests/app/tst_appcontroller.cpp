// The print-service shell: one fixed window with the preview of the document
// given, its menu, the About item that follows the scenes the application
// has, and the end of the process.

#include "../preview/PreviewFixture.h"
#include "app/AppController.h"
#include "platform/Storyboard.h"
#include "support/RecordingUi.h"

#include <QAction>
#include <QDialog>
#include <QMainWindow>
#include <QMenuBar>

using namespace quillary;
using namespace previewtests;

class TestAppController : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initStore();
        setTemplates({makeTemplate("T", "0", true, false, false)});
    }

    void oneFixedWindowWithThePreview()
    {
        // The path as the command line gave it, relative here.
        QVERIFY(QDir::setCurrent(home().path()));
        const QString relative = QFileInfo(document(2)).fileName();
        AppController controller(relative);
        controller.applicationDidFinishLaunching();
        QMainWindow* window = controller.window();
        QVERIFY(window && window->isVisible());
        QCOMPARE(controller.preview()->path, relative);
        QCOMPARE(window->centralWidget()->size(), QSize(600, 518));
        QCOMPARE(window->minimumSize(), window->maximumSize()); // no resizing
        const Qt::WindowFlags flags = window->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(flags & Qt::WindowTitleHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(window->windowTitle().contains(relative));
        QVERIFY(waitForPreview(*controller.preview()));
        QCOMPARE(controller.preview()->pages().count(), 2);
        // Centred on its screen.
        const QRect area = window->screen()->availableGeometry();
        QVERIFY(qAbs(window->frameGeometry().center().x() - area.center().x()) <= 2);
        QVERIFY(qAbs(window->frameGeometry().center().y() - area.center().y()) <= 2);
    }

    void aboutFollowsTheScenes()
    {
        AppController controller(document(1));
        controller.applicationDidFinishLaunching();
        QVERIFY(!controller.aboutAction()->isEnabled()); // no "About" scene yet

        Storyboard::registerScene("About", [] {
            auto* about = new QDialog;
            about->setObjectName("about");
            return about;
        });
        for (QMenu* menu : controller.window()->menuBar()->findChildren<QMenu*>())
            if (menu->actions().contains(controller.aboutAction()))
                emit menu->aboutToShow();
        QVERIFY(controller.aboutAction()->isEnabled());
        controller.aboutAction()->trigger();
        auto* about = controller.window()->findChild<QDialog*>("about");
        QVERIFY(about && about->isVisible());
        about->close();
        Storyboard::registerScene("About", [] { return nullptr; });
    }

    void closingEndsTheProcess()
    {
        RecordingUi ui;
        {
            AppController controller(document(1));
            controller.applicationDidFinishLaunching();
            controller.quitAction()->trigger(); // "Close Quillary"
            QCOMPARE(ui.exitStatus, std::optional<int>(0));
        }
        // Closing the window ends the event loop, as it ends the application.
        AppController controller(document(1));
        controller.applicationDidFinishLaunching();
        QTimer::singleShot(0, controller.window(), &QWidget::close);
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(TestAppController)
#include "tst_appcontroller.moc"
