// The print-service shell: one fixed, centred window with the preview of the
// document given, its About item that needs an "About" scene, and the end of
// the process.

#include "../preview/PreviewFixture.h"
#include "app/AppController.h"
#include "support/RecordingUi.h"

#include <QMainWindow>
#include <QMenu>
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

    void oneFixedWindowWithThePreviewAndCloseEndsTheProcess()
    {
        RecordingUi ui;
        // The path as the command line gave it, relative here.
        QVERIFY(QDir::setCurrent(home().path()));
        const QString relative = QFileInfo(document(2)).fileName();
        AppController controller(relative);
        controller.applicationDidFinishLaunching();
        QMainWindow* window = controller.window();
        QVERIFY(window && window->isVisible());
        QCOMPARE(controller.preview()->path, relative);
        QVERIFY(window->windowTitle().contains(relative));
        QCOMPARE(window->centralWidget()->size(), QSize(600, 518));
        QCOMPARE(window->minimumSize(), window->maximumSize()); // no resizing
        const Qt::WindowFlags buttons = Qt::WindowCloseButtonHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint
                                        | Qt::WindowMaximizeButtonHint;
        QCOMPARE(window->windowFlags() & buttons, Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
        QVERIFY(waitForPreview(*controller.preview()));
        QCOMPARE(controller.preview()->pages().count(), 2);
        const QPoint off = window->frameGeometry().center() - window->screen()->availableGeometry().center();
        QVERIFY2(off.manhattanLength() <= 4, qPrintable(QStringLiteral("off centre by %1, %2").arg(off.x()).arg(off.y())));
        QStringList menus; // the short menu: the application's and Edit
        for (QAction* menu : window->menuBar()->actions()) {
            QStringList items;
            for (QAction* item : menu->menu()->actions())
                items << (item->isSeparator() ? QStringLiteral("-") : item->text());
            menus << menu->text() + ": " + items.join(", ");
        }
        QCOMPARE(menus, (QStringList{"Quillary: About Quillary, -, Close Quillary", "Edit: Copy, Paste"}));
        QVERIFY(!controller.aboutAction()->isEnabled()); // no "About" scene in this process
        controller.quitAction()->trigger(); // "Close Quillary"
        QCOMPARE(ui.exitStatus, std::optional<int>(0));
    }

    void closingTheWindowEndsTheEventLoop()
    {
        AppController controller(document(1));
        controller.applicationDidFinishLaunching();
        QTimer::singleShot(0, controller.window(), &QWidget::close);
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(TestAppController)
#include "tst_appcontroller.moc"
