// The per-user agent: which files it opens, in which order, when it removes
// them, and when it stops. Print-service mode is replaced by a small script
// that logs its argument and stays open until the test closes it, so every
// step is awaited on a condition, never on a clock.

#include "printer/agent/PrintAgent.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillary::printer;

namespace {

constexpr int kDeadline = 30000;

QStringList arguments(const QSignalSpy& spy)
{
    QStringList list;
    for (const QList<QVariant>& call : spy)
        list << call.at(0).toString();
    return list;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

class PrintAgentTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void opensWaitingJobsInArrivalOrderAndRemovesEachWhenItsPreviewEnds();
    void opensJobsArrivingInAFolderMadeLater();
    void opensNoMoreThanTheCapAtOnce();
    void stopsWhenTheEntryIsRemoved();
    void keepsAJobWhosePreviewCannotStart();
    void oneAgentPerUser();

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    QString spool() const { return path("spool/ada"); }
    // A complete job as the backend leaves it: written hidden, renamed.
    QString addJob(const QString& name, const QDateTime& completed = {})
    {
        const QString part = spool() + "/." + name + ".part", job = spool() + '/' + name;
        QFile file(part);
        if (!file.open(QIODevice::WriteOnly) || file.write("%PDF-1.7\n") < 0)
            return {};
        file.flush(); // a later write would set the time again
        if (completed.isValid() && !file.setFileTime(completed, QFileDevice::FileModificationTime))
            return {};
        file.close();
        return QFile::rename(part, job) ? job : QString();
    }
    QStringList opened() const
    {
        QFile log(path("opened.log"));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    void close(const QString& job) { QFile(path("close/") + QFileInfo(job).fileName()).open(QIODevice::WriteOnly); }
    PrintAgent::Settings settings(int cap = 8) const
    {
        return {.spoolFolder = spool(), .program = path("preview.sh"), .entry = path("entry.desktop"),
                .rescanMs = 100, .maxOpenPreviews = cap};
    }
    // Waits for n more looks at the folder.
    static bool scans(PrintAgent& agent, int n)
    {
        QSignalSpy spy(&agent, &PrintAgent::scanned);
        return QTest::qWaitFor([&] { return spy.size() >= n; }, kDeadline);
    }

    std::unique_ptr<QTemporaryDir> dir;
};

void PrintAgentTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(QDir().mkpath(spool()) && QDir().mkpath(path("close")));
    QFile entry(path("entry.desktop"));
    QVERIFY(entry.open(QIODevice::WriteOnly));
    QFile script(path("preview.sh"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\n"
                                "echo \"$1\" >> '%1'\n"
                                "while [ -d '%2' ] && [ ! -e '%2'/\"$(basename \"$1\")\" ]; do sleep 0.02; done\n")
                     .arg(path("opened.log"), path("close"))
                     .toUtf8());
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void PrintAgentTest::opensWaitingJobsInArrivalOrderAndRemovesEachWhenItsPreviewEnds()
{
    const QDateTime now = QDateTime::currentDateTime();
    // Completed in this order, whatever their numbers say.
    const QString first = addJob("12-Letter.pdf", now.addSecs(-20));
    const QString second = addJob("3-Invoice.pdf", now.addSecs(-10));
    // Same instant: the job number decides, as a number (2 before 10).
    const QString third = addJob("2-Offer.pdf", now), fourth = addJob("10-Terms.pdf", now);
    QVERIFY(!first.isEmpty() && !second.isEmpty() && !third.isEmpty() && !fourth.isEmpty());
    // Never jobs: unfinished, other names, a link, a folder.
    QFile(spool() + "/.13.part").open(QIODevice::WriteOnly);
    QFile(spool() + "/notes.txt").open(QIODevice::WriteOnly);
    QFile(spool() + "/upper.PDF.bak").open(QIODevice::WriteOnly);
    QVERIFY(QFile::link(path("entry.desktop"), spool() + "/14-Link.pdf"));
    QVERIFY(QDir().mkpath(spool() + "/15-Folder.pdf"));

    PrintAgent agent(settings());
    QSignalSpy started(&agent, &PrintAgent::previewStarted);
    agent.start();
    QTRY_COMPARE_WITH_TIMEOUT(opened().size(), 4, kDeadline);
    // Started in this order (each script then logs when it gets to run).
    QCOMPARE(arguments(started), (QStringList{first, second, third, fourth}));
    QCOMPARE(agent.openJobs(), (QStringList{first, second, third, fourth}));
    QCOMPARE(sorted(opened()), sorted({first, second, third, fourth}));

    // The second preview ends first: only its file goes.
    close(second);
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(second), kDeadline);
    QVERIFY(QFile::exists(first) && QFile::exists(third));
    QCOMPARE(agent.openJobs(), (QStringList{first, third, fourth}));
    for (const QString& job : {first, third, fourth})
        close(job);
    QTRY_VERIFY_WITH_TIMEOUT(agent.openJobs().isEmpty(), kDeadline);
    QVERIFY(!QFile::exists(first) && !QFile::exists(third) && !QFile::exists(fourth));

    // Later looks open nothing twice and leave the rest alone.
    QVERIFY(scans(agent, 3));
    QCOMPARE(opened().size(), 4);
    QCOMPARE(QDir(spool()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System),
             (QStringList{".13.part", "14-Link.pdf", "15-Folder.pdf", "notes.txt", "upper.PDF.bak"}));
}

void PrintAgentTest::opensJobsArrivingInAFolderMadeLater()
{
    QVERIFY(QDir(spool()).removeRecursively());
    PrintAgent agent(settings());
    agent.start();
    QVERIFY(scans(agent, 1));
    QVERIFY(opened().isEmpty());

    // The backend makes the folder with the user's first job.
    QVERIFY(QDir().mkpath(spool()));
    const QString first = addJob("1-First.pdf");
    QTRY_COMPARE_WITH_TIMEOUT(opened(), QStringList{first}, kDeadline);
    const QString second = addJob("2-Second.pdf");
    QTRY_COMPARE_WITH_TIMEOUT(opened(), (QStringList{first, second}), kDeadline);
    close(first), close(second);
    QTRY_VERIFY_WITH_TIMEOUT(agent.openJobs().isEmpty(), kDeadline);
    QVERIFY(QDir(spool()).isEmpty());
}

void PrintAgentTest::opensNoMoreThanTheCapAtOnce()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString first = addJob("1-A.pdf", now.addSecs(-3)), second = addJob("2-B.pdf", now.addSecs(-2)),
                  third = addJob("3-C.pdf", now.addSecs(-1));
    PrintAgent agent(settings(2));
    QSignalSpy started(&agent, &PrintAgent::previewStarted);
    agent.start();
    QTRY_COMPARE_WITH_TIMEOUT(opened().size(), 2, kDeadline);
    QVERIFY(scans(agent, 2));
    QCOMPARE(arguments(started), (QStringList{first, second}));
    close(first);
    QTRY_COMPARE_WITH_TIMEOUT(opened().size(), 3, kDeadline);
    QCOMPARE(arguments(started), (QStringList{first, second, third}));
    close(second), close(third);
    QTRY_VERIFY_WITH_TIMEOUT(agent.openJobs().isEmpty(), kDeadline);
}

void PrintAgentTest::stopsWhenTheEntryIsRemoved()
{
    const QString job = addJob("1-Open.pdf");
    PrintAgent agent(settings());
    QSignalSpy finished(&agent, &PrintAgent::finished);
    agent.start();
    QTRY_COMPARE_WITH_TIMEOUT(opened(), QStringList{job}, kDeadline);

    QVERIFY(QFile::remove(path("entry.desktop")));
    QTRY_VERIFY_WITH_TIMEOUT(agent.isStopping(), kDeadline);
    // No more jobs are opened; the open preview keeps the agent until it ends.
    const QString later = addJob("2-Later.pdf");
    QVERIFY(finished.isEmpty());
    close(job);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kDeadline);
    QVERIFY(!QFile::exists(job));
    QVERIFY(QFile::exists(later)); // left for the next agent
    QCOMPARE(opened(), QStringList{job});
}

void PrintAgentTest::keepsAJobWhosePreviewCannotStart()
{
    const QString job = addJob("1-Kept.pdf");
    PrintAgent::Settings s = settings();
    s.program = path("no-such-program");
    PrintAgent agent(s);
    QSignalSpy failed(&agent, &PrintAgent::previewFailed);
    agent.start();
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, kDeadline);
    QCOMPARE(failed.at(0).at(0).toString(), job);
    QVERIFY(scans(agent, 3));
    QCOMPARE(failed.size(), 1); // not retried while this agent runs
    QVERIFY(QFile::exists(job));
    QVERIFY(agent.openJobs().isEmpty());
}

void PrintAgentTest::oneAgentPerUser()
{
    // The real program: "quillary --agent" needs no display.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("HOME", path("home"));
    env.insert("XDG_CONFIG_HOME", path("config"));
    env.insert("XDG_RUNTIME_DIR", path("run"));
    env.insert("QUILLARY_SPOOL_ROOT", path("spool"));
    QVERIFY(QDir().mkpath(path("run")) && QDir().mkpath(path("config/autostart")) && QDir().mkpath(path("home")));
    QFile(path("run")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString entry = path("config/autostart/" QUILLARY_BUNDLE_IDENTIFIER "-agent.desktop");

    const auto runOnce = [&](QString* out) {
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QUILLARY_BINARY, {"--agent"});
        const bool done = second.waitForFinished(kDeadline);
        *out = QString::fromUtf8(second.readAllStandardOutput()).trimmed();
        return done && second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    };
    QString out;
    QCOMPARE(runOnce(&out), 0);
    QCOMPARE(out, QStringLiteral("Quillary print service not installed"));

    QVERIFY(QFile(entry).open(QIODevice::WriteOnly));
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QUILLARY_BINARY, {"--agent"});
    QVERIFY(first.waitForStarted(kDeadline));
    // Once the first holds the lock, a second ends at once.
    QTRY_VERIFY_WITH_TIMEOUT(QDir(path("run")).entryList(QDir::Files).join(' ').contains("agent.lock"), kDeadline);
    QCOMPARE(runOnce(&out), 0);
    QCOMPARE(out, QStringLiteral("Quillary agent already running"));
    QCOMPARE(first.state(), QProcess::Running);

    // Removing the entry ("Delete printer") ends the first.
    QVERIFY(QFile::remove(entry));
    QVERIFY(first.waitForFinished(kDeadline));
    QCOMPARE(first.exitCode(), 0);
    QVERIFY(first.readAllStandardOutput().contains("Quillary print service removed"));
}

QTEST_GUILESS_MAIN(PrintAgentTest)
#include "tst_printer_agent.moc"
