// Platform pieces of management mode: where the print-service entry goes,
// the hand-over of a second start, and the named images.

#include "pdf/PdfChecks.h"
#include "platform/InstanceGuard.h"
#include "platform/NamedImage.h"
#include "platform/PrintServiceLocation.h"

#include <QTemporaryDir>

using namespace quillary;

namespace {

struct LocationRow {
    QByteArray xdgConfigHome; // "-": unset
    QString folder;           // relative to HOME, or absolute
};

} // namespace

Q_DECLARE_METATYPE(LocationRow)

class TestManagementPlatform : public QObject {
    Q_OBJECT

    QTemporaryDir temp;

private slots:
    void printServiceEntryFollowsXdgConfigHome_data();
    void printServiceEntryFollowsXdgConfigHome();
    void secondStartHandsOverToTheFirst();
    void namedImagesAreThere();
};

void TestManagementPlatform::printServiceEntryFollowsXdgConfigHome_data()
{
    pdfchecks::table<LocationRow>({
        {"unset", {"-", "HOME/.config/autostart/"}},
        {"empty", {"", "HOME/.config/autostart/"}},
        {"relative (invalid)", {"config", "HOME/.config/autostart/"}},
        {"absolute", {"/srv/conf", "/srv/conf/autostart/"}},
    });
}

void TestManagementPlatform::printServiceEntryFollowsXdgConfigHome()
{
#ifdef Q_OS_MACOS
    QSKIP("the workflow goes to the PDF Services folder there");
#endif
    const auto row = pdfchecks::fetch<LocationRow>();
    const QByteArray home = qgetenv("HOME"), before = qgetenv("XDG_CONFIG_HOME");
    const bool hadBefore = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("HOME", temp.path().toLocal8Bit());
    if (row.xdgConfigHome == "-")
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", row.xdgConfigHome);
    const PrintServiceLocation location = printServiceLocation();
    qputenv("HOME", home);
    if (hadBefore)
        qputenv("XDG_CONFIG_HOME", before);
    else
        qunsetenv("XDG_CONFIG_HOME");

    QString folder = row.folder;
    folder.replace("HOME", temp.path());
    QCOMPARE(location.folder, folder);
    QCOMPARE(location.entry, folder + "app.quillary.Quillary-agent.desktop");
    // The entry starts the agent.
    QFile resource(location.resource);
    QVERIFY(resource.open(QIODevice::ReadOnly));
    const QByteArray content = resource.readAll();
    QVERIFY(content.startsWith("[Desktop Entry]"));
    QVERIFY(content.contains("\nExec=quillary --agent\n"));

    // Tests point it elsewhere, and back.
    injectPrintServiceLocation([] { return PrintServiceLocation{"a", "b", "c"}; });
    QCOMPARE(printServiceLocation().entry, QStringLiteral("c"));
    injectPrintServiceLocation({});
    QVERIFY(printServiceLocation().entry.endsWith("app.quillary.Quillary-agent.desktop"));
}

void TestManagementPlatform::secondStartHandsOverToTheFirst()
{
    const QString socket = temp.filePath("management");
    InstanceGuard none(socket);
    QVERIFY(!none.handOver()); // nobody there yet

    // A socket left behind by a process that ended is taken over.
    QFile leftOver(socket);
    QVERIFY(leftOver.open(QIODevice::WriteOnly));
    leftOver.close();
    InstanceGuard first(socket);
    QVERIFY(first.listen());
    QSignalSpy reopened(&first, &InstanceGuard::reopenRequested);

    // The second start runs on another thread, as it would in another process.
    bool handedOver = false;
    QThread* second = QThread::create([&] { handedOver = InstanceGuard(socket).handOver(); });
    second->start();
    QVERIFY(reopened.wait(5000));
    QVERIFY(second->wait(5000));
    delete second;
    QVERIFY(handedOver);
    QCOMPARE(reopened.size(), 1);
}

void TestManagementPlatform::namedImagesAreThere()
{
    for (const char* name : {"kreis_voll", "kreis_leer", "button", "button_plus", "X_button", "quillary"}) {
        const QPixmap pixmap = namedPixmap(name, QSize(32, 32), 2.0);
        QVERIFY2(!pixmap.isNull(), name);
        QCOMPARE(pixmap.size(), QSize(64, 64));
        // Drawn: some pixel is not transparent.
        const QImage image = pixmap.toImage();
        int drawn = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                drawn += image.pixelColor(x, y).alpha() > 0;
        QVERIFY2(drawn > 64, name);
        QVERIFY2(!namedImage(name).isNull(), name);
    }
    QVERIFY(namedImage("no such image").isNull());
    QVERIFY(namedPixmap("no such image", QSize(32, 32), 1).isNull());
}

QTEST_MAIN(TestManagementPlatform)
#include "tst_management_platform.moc"
