// The per-user agent: which files it opens, in which order, when it removes
// them, and when it stops. Print-service mode is replaced by a small script
// that logs its argument and stays open until the test closes it, so every
// step is awaited on a condition, never on a clock.

#include "printer/agent/PrintAgent.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillary::printer;

namespace {
constexpr int kDeadline = 30000;

struct TitleRow {
    QString name;
    bool inSpool;
    std::optional<QString> title;
};
} // namespace
Q_DECLARE_METATYPE(TitleRow)

class PrintAgentTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(spool()) && QDir().mkpath(path("close")));
        QVERIFY(QFile(path("entry.desktop")).open(QIODevice::WriteOnly));
        QFile script(path("preview.sh"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"$1\" >> '%1'\n"
                                    "while [ -d '%2' ] && [ ! -e '%2'/\"$(basename \"$1\")\" ]; do sleep 0.02; done\n")
                         .arg(path("opened.log"), path("close"))
                         .toUtf8());
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // Waiting jobs open in the order they were completed, the job number
    // deciding between equal times (as a number); no more than the cap at
    // once, the next when one ends. Each job file goes when its preview
    // ends, and is never opened twice. Unfinished files, other names, links
    // and folders are never jobs.
    void opensInArrivalOrderUpToTheCap()
    {
        const QDateTime now = QDateTime::currentDateTime();
        const QStringList jobs{addJob("12-Letter.pdf", now.addSecs(-20)), addJob("3-Invoice.pdf", now.addSecs(-10)),
                               addJob("2-Offer.pdf", now), addJob("10-Terms.pdf", now)};
        QVERIFY(!jobs.contains(QString()));
        for (const char* other : {"/.13.part", "/notes.txt", "/upper.PDF.bak"})
            QVERIFY(QFile(spool() + other).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(path("entry.desktop"), spool() + "/14-Link.pdf") && QDir().mkpath(spool() + "/15-Folder.pdf"));

        PrintAgent agent(settings(3));
        QSignalSpy started(&agent, &PrintAgent::previewStarted);
        agent.start();
        QTRY_COMPARE_WITH_TIMEOUT(opened().size(), 3, kDeadline);
        QVERIFY(scans(agent, 2));
        QCOMPARE(agent.openJobs(), jobs.first(3));
        // The second preview ends first: only its file goes, the fourth opens.
        close(jobs[1]);
        QTRY_COMPARE_WITH_TIMEOUT(opened().size(), 4, kDeadline);
        QVERIFY(!QFile::exists(jobs[1]) && QFile::exists(jobs[0]) && QFile::exists(jobs[2]));
        QCOMPARE(agent.openJobs(), (QStringList{jobs[0], jobs[2], jobs[3]}));
        QList<QString> order;
        for (const QList<QVariant>& call : started)
            order << call.at(0).toString();
        QCOMPARE(order, jobs);
        const QStringList log = opened(); // each script ran with its job
        QCOMPARE(QSet<QString>(log.cbegin(), log.cend()), QSet<QString>(jobs.cbegin(), jobs.cend()));

        for (const QString& job : jobs)
            close(job);
        QTRY_VERIFY_WITH_TIMEOUT(agent.openJobs().isEmpty(), kDeadline);
        QVERIFY(scans(agent, 3));
        QCOMPARE(opened().size(), 4);
        QCOMPARE(QDir(spool()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System),
                 (QStringList{".13.part", "14-Link.pdf", "15-Folder.pdf", "notes.txt", "upper.PDF.bak"}));
    }

    // The folder the backend makes with the user's first job is watched from
    // then on. Once the autostart entry is removed, no more jobs open; the
    // open preview keeps the agent until it ends, and a later job waits for
    // the next agent.
    void folderMadeLaterAndStopWhenTheEntryGoes()
    {
        QVERIFY(QDir(spool()).removeRecursively());
        PrintAgent agent(settings());
        QSignalSpy finished(&agent, &PrintAgent::finished);
        agent.start();
        QVERIFY(scans(agent, 1));
        QVERIFY(QDir().mkpath(spool()));
        const QString first = addJob("1-First.pdf");
        QTRY_COMPARE_WITH_TIMEOUT(opened(), QStringList{first}, kDeadline);

        QVERIFY(QFile::remove(path("entry.desktop")));
        QTRY_VERIFY_WITH_TIMEOUT(agent.isStopping(), kDeadline);
        const QString later = addJob("2-Later.pdf");
        QVERIFY(finished.isEmpty());
        close(first);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kDeadline);
        QVERIFY(!QFile::exists(first) && QFile::exists(later));
        QCOMPARE(opened(), QStringList{first});
    }

    void keepsAJobWhosePreviewCannotStart()
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
        QVERIFY(QFile::exists(job) && agent.openJobs().isEmpty());
    }

    // The real program: "quillary --agent" needs no display, says when the
    // print service is not installed, runs once per user, and ends when the
    // entry is removed ("Delete printer").
    // The preview proposes the job's title as the saved file's name: read
    // back from the name the backend gave the job's file, in the spool only.
    void jobTitleFromTheFileName_data()
    {
        QTest::addColumn<TitleRow>("row");
        QTest::newRow("a job") << TitleRow{"42-Invoice March.pdf", true, "Invoice March"};
        QTest::newRow("a retried job") << TitleRow{"42-Invoice March (2).pdf", true, "Invoice March"};
        QTest::newRow("a dash in the title") << TitleRow{"7-2026-12 Offer.pdf", true, "2026-12 Offer"};
        QTest::newRow("no usable title") << TitleRow{"7-document.pdf", true, std::nullopt};
        QTest::newRow("no job number") << TitleRow{"Invoice.pdf", true, std::nullopt};
        QTest::newRow("outside the spool") << TitleRow{"42-Invoice.pdf", false, std::nullopt};
    }
    void jobTitleFromTheFileName()
    {
        QFETCH(TitleRow, row);
        const QByteArray saved = qgetenv("QUILLARY_SPOOL_ROOT");
        qputenv("QUILLARY_SPOOL_ROOT", path("root").toLocal8Bit());
        const QString folder = row.inSpool ? userSpoolFolder() : path("elsewhere");
        QVERIFY(QDir().mkpath(folder));
        const auto title = printJobTitle(folder + '/' + row.name);
        qputenv("QUILLARY_SPOOL_ROOT", saved);
        QCOMPARE(title, row.title);
    }

    void oneAgentPerUser()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(display);
        for (const auto& [name, folder] :
             {std::pair("HOME", "home"), {"XDG_CONFIG_HOME", "config"}, {"XDG_RUNTIME_DIR", "run"}, {"QUILLARY_SPOOL_ROOT", "spool"}})
            env.insert(name, path(folder));
        QVERIFY(QDir().mkpath(path("run")) && QDir().mkpath(path("config/autostart")) && QDir().mkpath(path("home")));
        QVERIFY(QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString entry = path("config/autostart/" QUILLARY_BUNDLE_IDENTIFIER "-agent.desktop");
        const auto agent = [&] {
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(env);
            process->start(QUILLARY_BINARY, {"--agent"});
            return process;
        };
        // What an agent says once it ends well.
        const auto said = [](QProcess& agent) {
            agent.waitForFinished(kDeadline);
            const bool well = agent.exitStatus() == QProcess::NormalExit && agent.exitCode() == 0;
            return well ? QString::fromUtf8(agent.readAllStandardOutput()).trimmed() : QStringLiteral("failed");
        };
        QCOMPARE(said(*agent()), QStringLiteral("Quillary print service not installed"));

        QVERIFY(QFile(entry).open(QIODevice::WriteOnly));
        const auto first = agent();
        // Once the first holds the lock, a second ends at once.
        QTRY_VERIFY_WITH_TIMEOUT(QDir(path("run")).entryList(QDir::Files).join(' ').contains("agent.lock"), kDeadline);
        QCOMPARE(said(*agent()), QStringLiteral("Quillary agent already running"));
        QCOMPARE(first->state(), QProcess::Running);
        QVERIFY(QFile::remove(entry));
        QVERIFY(said(*first).contains("Quillary print service removed"));
    }

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    QString spool() const { return path("spool/ada"); }
    // A complete job as the backend leaves it: written hidden, renamed.
    QString addJob(const QString& name, const QDateTime& completed = QDateTime::currentDateTime())
    {
        const QString part = spool() + "/." + name + ".part", job = spool() + '/' + name;
        QFile file(part); // flushed before the time is set: a later write would set it again
        const bool made = file.open(QIODevice::WriteOnly) && file.write("%PDF-1.7\n") > 0 && file.flush()
            && file.setFileTime(completed, QFileDevice::FileModificationTime);
        file.close();
        return made && QFile::rename(part, job) ? job : QString();
    }
    QStringList opened() const
    {
        QFile log(path("opened.log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
    }
    void close(const QString& job) { QFile(path("close/") + QFileInfo(job).fileName()).open(QIODevice::WriteOnly); }
    PrintAgent::Settings settings(int cap = 8) const
    {
        return {.spoolFolder = spool(), .program = path("preview.sh"), .entry = path("entry.desktop"), .rescanMs = 100, .maxOpenPreviews = cap};
    }
    // Waits for n more looks at the folder.
    static bool scans(PrintAgent& agent, int n)
    {
        QSignalSpy spy(&agent, &PrintAgent::scanned);
        return QTest::qWaitFor([&] { return spy.size() >= n; }, kDeadline);
    }

    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(PrintAgentTest)
#include "tst_printer_agent.moc"
