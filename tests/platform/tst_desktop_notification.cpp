// Desktop notifications as the service on a private session bus receives
// them: the words as given (escaped only where the service reads markup),
// shown until dismissed; no service, no notification and a reason.

#include "platform/DesktopNotification.h"

#include <QDBusConnection>
#include <QMutex>
#include <QProcess>
#include <QThread>
#include <QtTest>

using namespace quillary;

namespace {

constexpr int kDeadline = 30000;

struct Received {
    QString app, icon, summary, body;
    int timeout = -1;
    QVariantMap hints;
};

// The notification service: answers from a thread of its own, as a desktop's
// would from its process.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit FakeNotifications(QStringList capabilities) : capabilities(std::move(capabilities)) {}
    QList<Received> received() const
    {
        QMutexLocker locked(&mutex);
        return list;
    }

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int timeout)
    {
        QMutexLocker locked(&mutex);
        list << Received{app, icon, summary, body, timeout, hints};
        return uint(list.size());
    }

private:
    const QStringList capabilities;
    mutable QMutex mutex;
    QList<Received> list;
};

} // namespace

class DesktopNotificationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        QVERIFY2(daemon.waitForStarted(kDeadline), "dbus-daemon (Debian: dbus-daemon) is needed");
        QVERIFY(QTest::qWaitFor([&] { return daemon.canReadLine(); }, kDeadline));
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        QVERIFY(!address.isEmpty());
    }
    void cleanupTestCase()
    {
        daemon.terminate();
        daemon.waitForFinished(kDeadline);
    }

    void showsTheWordsAsGiven_data()
    {
        QTest::addColumn<QStringList>("capabilities");
        QTest::addColumn<QString>("body"); // as the service receives it
        const QString words = "A <b>bold</b> & “quoted” title";
        QTest::newRow("plain text service") << QStringList{"body"} << words;
        QTest::newRow("service reading markup") << QStringList{"body", "body-markup"}
                                                << "A &lt;b&gt;bold&lt;/b&gt; &amp; “quoted” title";
    }
    void showsTheWordsAsGiven()
    {
        QFETCH(QStringList, capabilities);
        QFETCH(QString, body);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        QDBusConnection service = QDBusConnection::connectToBus(address, "service " + name);
        QDBusConnection client = QDBusConnection::connectToBus(address, "client " + name);
        QVERIFY(service.isConnected() && client.isConnected());
        QThread thread;
        FakeNotifications fake(capabilities);
        fake.moveToThread(&thread);
        thread.start();
        QVERIFY(service.registerObject("/org/freedesktop/Notifications", &fake, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService("org.freedesktop.Notifications"));

        QString problem;
        const bool shown = showDesktopNotification("Summary", "A <b>bold</b> & “quoted” title", &problem, client);
        service.unregisterService("org.freedesktop.Notifications");
        service.unregisterObject("/org/freedesktop/Notifications");
        thread.quit();
        thread.wait();
        QDBusConnection::disconnectFromBus("service " + name);
        QDBusConnection::disconnectFromBus("client " + name);

        QVERIFY2(shown, qPrintable(problem));
        const QList<Received> received = fake.received();
        QCOMPARE(received.size(), 1);
        QCOMPARE(received[0].app, QStringLiteral("Quillary"));
        QCOMPARE(received[0].summary, QStringLiteral("Summary"));
        QCOMPARE(received[0].body, body);
        QCOMPARE(received[0].timeout, 0); // until the user dismisses it
        QCOMPARE(received[0].hints.value("desktop-entry").toString(), QStringLiteral(QUILLARY_BUNDLE_IDENTIFIER));
    }

    void noServiceNoNotification()
    {
        QDBusConnection client = QDBusConnection::connectToBus(address, "lonely client");
        QVERIFY(client.isConnected());
        QString problem;
        QVERIFY(!showDesktopNotification("Summary", "Body", &problem, client));
        QVERIFY2(problem.contains("org.freedesktop.Notifications"), qPrintable(problem));
        QDBusConnection::disconnectFromBus("lonely client");

        problem.clear();
        QVERIFY(!showDesktopNotification("Summary", "Body", &problem, QDBusConnection("not connected")));
        QCOMPARE(problem, QStringLiteral("no session bus"));
    }

private:
    QProcess daemon;
    QString address;
};

QTEST_GUILESS_MAIN(DesktopNotificationTest)
#include "tst_desktop_notification.moc"
