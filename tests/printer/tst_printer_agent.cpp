// The per-user agent: which files it opens, in which order, when it removes
// them, and when it stops. Print-service mode is replaced by a small script
// that logs its argument and stays open until the test closes it, so every
// step is awaited on a condition, never on a clock. Told by a file per job,
// the script ends at once instead, with a status or by a signal, one fate per
// run.

#include "printer/agent/PreviewStarts.h"
#include "printer/agent/PrintAgent.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillary;
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
        QVERIFY(QDir().mkpath(spool()) && QDir().mkpath(path("close")) && QDir().mkpath(path("fates")));
        QVERIFY(QDir().mkpath(path("pids")) && ::chmod(QFile::encodeName(spool()).constData(), 0700) == 0);
        QVERIFY(QFile(path("entry.desktop")).open(QIODevice::WriteOnly));
        QFile script(path("preview.sh"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        // The fate of the n-th run is the n-th word of the job's fate file:
        // "-" (or none) waits to be closed, a number exits with it, anything
        // else is the signal the preview dies of.
        script.write(QStringLiteral("#!/bin/sh\necho \"$1\" >> '%1'\n"
                                    "name=$(basename \"$1\")\necho $$ >> '%3'/\"$name\"\n"
                                    "run=$(grep -cxF -- \"$1\" '%1')\n"
                                    "fate=$(awk -v n=\"$run\" '{ print $n }' '%4'/\"$name\" 2>/dev/null)\n"
                                    "case \"$fate\" in\n"
                                    "  ''|-) ;;\n"
                                    "  [0-9]*) exit \"$fate\" ;;\n"
                                    "  *) ulimit -c 0; kill -s \"$fate\" $$ ;;\n"
                                    "esac\n"
                                    "while [ -d '%2' ] && [ ! -e '%2'/\"$name\" ]; do sleep 0.02; done\n")
                         .arg(path("opened.log"), path("close"), path("pids"), path("fates"))
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

    // A backlog is taken in steps: the first look examines no more than a
    // batch, the lowest job numbers first, and the rest follow without a
    // wait for the timer; among jobs of the same instant the number decides.
    void takesABacklogInSteps_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::newRow("less than a batch") << PrintAgent::kScanBatch / 2;
        QTest::newRow("three batches and a bit") << PrintAgent::kScanBatch * 3 + 7;
    }
    void takesABacklogInSteps()
    {
        QFETCH(int, jobs);
        const QDateTime instant = QDateTime::currentDateTime().addSecs(-60);
        QStringList expected;
        for (int number = jobs; number >= 1; --number) // made newest number first: the folder's order says nothing
            QVERIFY(!addJob(QStringLiteral("%1-Job.pdf").arg(number), instant).isEmpty());
        for (int number = 1; number <= jobs; ++number)
            expected << spool() + QStringLiteral("/%1-Job.pdf").arg(number);
        PrintAgent::Settings s = settings(0); // opens nothing
        s.rescanMs = 60000;
        PrintAgent agent(s);
        agent.start();
        // Step by step until the first files are examined.
        for (int turn = 0; turn < 10000 && agent.waitingCount() == 0; ++turn)
            QCoreApplication::processEvents();
        QVERIFY(agent.waitingCount() > 0 && agent.waitingCount() <= PrintAgent::kScanBatch);
        QCOMPARE(agent.waitingJobs(), expected.first(agent.waitingCount()));
        QTRY_COMPARE_WITH_TIMEOUT(agent.waitingCount(), jobs, kDeadline);
        QCOMPARE(agent.waitingJobs(), expected);
        // Removed meanwhile: gone from the list with the next look.
        QVERIFY(QFile::remove(expected[1]));
        QTRY_COMPARE_WITH_TIMEOUT(agent.waitingCount(), jobs - 1, kDeadline);
        QCOMPARE(agent.waitingJobs().first(), expected[0]);
    }

    // Whether printing to Quillary is on for the user: what the user's
    // autostart folder holds under the entry's name, whether the entry for
    // every user is installed (in the second of two folders), the state.
    void serviceState_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("system");
        QTest::addColumn<int>("state");
        const int on = int(ServiceState::On), off = int(ServiceState::TurnedOff), none = int(ServiceState::NotInstalled);
        QTest::newRow("nothing") << "" << false << none;
        QTest::newRow("the system's entry") << "" << true << on;
        QTest::newRow("Delete printer") << "[Desktop Entry]\nHidden=true\n" << true << off;
        QTest::newRow("Delete printer, no system entry") << "[Desktop Entry]\nHidden=true\n" << false << off;
        QTest::newRow("startup switch off") << "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n" << true << off;
        QTest::newRow("blanks and CRLF") << "[Desktop Entry]\r\n  Hidden = true \r\n" << true << off;
        QTest::newRow("the user's own, on") << "[Desktop Entry]\nHidden=false\nX-GNOME-Autostart-enabled=true\n" << false << on;
        QTest::newRow("key of another group") << "[Desktop Entry]\nName=x\n[Desktop Action a]\nHidden=true\n" << true << on;
        QTest::newRow("commented out") << "[Desktop Entry]\n# Hidden=true\n" << true << on;
        QTest::newRow("value not exact") << "[Desktop Entry]\nHidden=True\nhidden=true\n" << true << on;
        QTest::newRow("a folder of that name") << "folder" << true << on;
        QTest::newRow("too large to be an entry") << "large" << true << on;
    }
    void serviceState()
    {
        QFETCH(QString, user);
        QFETCH(bool, system);
        QFETCH(int, state);
        const QString mine = path("autostart/agent.desktop"), everyone = path("xdg2/autostart/agent.desktop");
        QVERIFY(QDir().mkpath(path("autostart")) && QDir().mkpath(path("xdg2/autostart")));
        if (user == "folder")
            QVERIFY(QDir().mkpath(mine));
        else if (user == "large")
            QVERIFY(writeFile(mine, "[Desktop Entry]\nHidden=true\n" + QByteArray(128 * 1024, '#')));
        else if (!user.isEmpty())
            QVERIFY(writeFile(mine, user.toUtf8()));
        if (system)
            QVERIFY(writeFile(everyone, "[Desktop Entry]\nExec=quillary --agent\n"));
        QCOMPARE(int(printServiceState(mine, {path("xdg1/autostart/agent.desktop"), everyone})), state);
    }

    // With the entry installed for every user, the user's "Delete printer"
    // (an entry of the same name, hidden, written in one step) stops the
    // agent: no further job opens.
    void stopsWhenTheUserTurnsItOff()
    {
        QVERIFY(QFile::remove(path("entry.desktop")) && QDir().mkpath(path("xdg/autostart")));
        QVERIFY(writeFile(path("xdg/autostart/agent.desktop"), "[Desktop Entry]\nExec=quillary --agent\n"));
        PrintAgent::Settings s = settings();
        s.entry = path("autostart/agent.desktop"); // its folder not there yet
        s.systemEntries = {path("xdg/autostart/agent.desktop")};
        s.rescanMs = 60000; // the watchers alone must see it
        PrintAgent agent(s);
        QSignalSpy finished(&agent, &PrintAgent::finished);
        agent.start();
        const QString first = addJob("1-First.pdf");
        QTRY_COMPARE_WITH_TIMEOUT(opened(), QStringList{first}, kDeadline);
        QVERIFY(QDir().mkpath(path("autostart")));
        QVERIFY(scans(agent, 1));
        QSaveFile hidden(s.entry);
        QVERIFY(hidden.open(QIODevice::WriteOnly) && hidden.write("[Desktop Entry]\nHidden=true\n") > 0 && hidden.commit());
        QTRY_VERIFY_WITH_TIMEOUT(agent.isStopping(), kDeadline);
        const QString later = addJob("2-Later.pdf");
        close(first);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kDeadline);
        QCOMPARE(opened(), QStringList{first});
        QVERIFY(QFile::exists(later)); // waits for the user to turn Quillary on again
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
        QVERIFY(!QFileInfo::exists(note())); // never started, so never counted
    }

    // How a preview ends decides what becomes of its job. Ended of its own
    // accord (closed, a document it refused, asked to end): the job goes and
    // nothing stays counted. Died once: opened once more. Died twice: moved
    // into the set-aside folder, the user told once, in words, with the title
    // made safe to show; the next agent (the next login) opens and tells
    // nothing more.
    void previewEnds_data()
    {
        QTest::addColumn<QString>("fates");
        QTest::addColumn<int>("opens");
        QTest::addColumn<bool>("setAside");
        QTest::newRow("closed by the user") << "-" << 1 << false;
        QTest::newRow("a refused document (status 1)") << "1" << 1 << false;
        QTest::newRow("asked to end (SIGTERM)") << "TERM" << 1 << false;
        QTest::newRow("crashes once, then closed") << "SEGV -" << 2 << false;
        QTest::newRow("aborts once, then refuses") << "ABRT 1" << 2 << false;
        QTest::newRow("aborts twice") << "ABRT ABRT" << 2 << true;
        QTest::newRow("crashes, then killed for memory") << "SEGV KILL" << 2 << true;
    }
    void previewEnds()
    {
        QFETCH(QString, fates);
        QFETCH(int, opens);
        QFETCH(bool, setAside);
        const QString job = addJob(QStringLiteral("5-Invoice\u2067 March.pdf"));
        QVERIFY(!job.isEmpty() && writeFile(path("fates/") + QFileInfo(job).fileName(), fates.toUtf8()));
        QStringList told;
        PrintAgent::Settings s = settings();
        s.tell = [&](const QString& summary, const QString& text) { told << summary + " | " + text; };
        {
            PrintAgent agent(s);
            QSignalSpy aside(&agent, &PrintAgent::jobSetAside);
            agent.start();
            QTRY_COMPARE_WITH_TIMEOUT(opened().size(), opens, kDeadline);
            if (fates.endsWith('-'))
                close(job);
            const QString kept = spool() + "/set-aside/" + QFileInfo(job).fileName();
            if (setAside) {
                QTRY_COMPARE_WITH_TIMEOUT(aside.size(), 1, kDeadline);
                QCOMPARE(aside.at(0), (QList<QVariant>{job, kept}));
                QCOMPARE(told, QStringList{"A printed document could not be shown | Quillary could not show the printed "
                                           "document “Invoice March”: the preview stopped twice while opening it. The "
                                           "document was kept in " + spool() + "/set-aside."});
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(job) && agent.openJobs().isEmpty(), kDeadline);
                QVERIFY(told.isEmpty());
            }
            QVERIFY(scans(agent, 3));
            QCOMPARE(QFile::exists(kept), setAside);
            QVERIFY(!QFile::exists(job) && aside.size() == int(setAside));
        }
        QCOMPARE(opened().size(), opens);
        QVERIFY(!QFile::exists(note())); // nothing left counted

        PrintAgent next(s);
        next.start();
        QVERIFY(scans(next, 3));
        QCOMPARE(opened().size(), opens);
        QCOMPARE(told.size(), int(setAside));
    }

    // The agent (or the session) dies while a preview runs: the start was
    // counted before it, so the next agent opens the job once more, and the
    // one after a second such death sets it aside and tells the user.
    void agentDiesWhileAPreviewRuns_data()
    {
        QTest::addColumn<int>("deaths");
        QTest::newRow("once: opened again") << 1;
        QTest::newRow("twice: set aside") << 2;
    }
    void agentDiesWhileAPreviewRuns()
    {
        QFETCH(int, deaths);
        const QString job = addJob("8-Offer.pdf"), name = QFileInfo(job).fileName();
        QStringList told;
        PrintAgent::Settings s = settings();
        s.tell = [&](const QString&, const QString& text) { told << text; };
        for (int death = 1; death <= deaths; ++death) {
            auto agent = std::make_unique<PrintAgent>(s);
            agent->start();
            QTRY_COMPARE_WITH_TIMEOUT(opened().size(), death, kDeadline);
            agent.reset();
            // The session ends: the preview goes without an agent to see it.
            QTRY_VERIFY_WITH_TIMEOUT(!pidsOf(name).isEmpty(), kDeadline);
            QVERIFY(::kill(pidsOf(name).last(), SIGKILL) == 0);
            fs::Fd folder;
            QVERIFY(openSpoolFolder(spool(), &folder));
            QCOMPARE(readStartsNote(folder.get()), (StartCounts{{name, death}}));
        }
        PrintAgent last(s);
        QSignalSpy aside(&last, &PrintAgent::jobSetAside);
        last.start();
        if (deaths < kMaxStarts) {
            QTRY_COMPARE_WITH_TIMEOUT(opened().size(), deaths + 1, kDeadline);
            close(job);
            QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(job) && last.openJobs().isEmpty(), kDeadline);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(aside.size(), 1, kDeadline);
            QVERIFY(QFile::exists(spool() + "/set-aside/" + name) && !QFile::exists(job));
        }
        QVERIFY(scans(last, 2));
        QCOMPARE(told.size(), deaths < kMaxStarts ? 0 : 1);
        QCOMPARE(opened().size(), deaths < kMaxStarts ? deaths + 1 : deaths);
        QVERIFY(!QFile::exists(note()));
    }

    // The agent is asked to end (the session ends) while a preview is open:
    // however the preview then goes, with the session's request or killed
    // after the agent, it is no death of its document and its job waits for
    // the next session, which opens it as the first time.
    void sessionEnds_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("agentGoesFirst");
        QTest::newRow("preview asked to end as well") << int(SIGTERM) << false;
        QTest::newRow("preview hung up as well") << int(SIGHUP) << false;
        QTest::newRow("agent gone, preview killed") << int(SIGKILL) << true;
    }
    void sessionEnds()
    {
        QFETCH(int, signal);
        QFETCH(bool, agentGoesFirst);
        const QString job = addJob("9-Letter.pdf"), name = QFileInfo(job).fileName();
        QStringList told;
        PrintAgent::Settings s = settings();
        s.tell = [&](const QString&, const QString& text) { told << text; };
        for (int session = 1; session <= 2; ++session) {
            auto agent = std::make_unique<PrintAgent>(s);
            QSignalSpy finished(agent.get(), &PrintAgent::finished);
            agent->start();
            QTRY_COMPARE_WITH_TIMEOUT(opened().size(), session, kDeadline);
            QTRY_VERIFY_WITH_TIMEOUT(pidsOf(name).size() == session, kDeadline);
            agent->sessionEnds();
            if (agentGoesFirst)
                agent.reset();
            QVERIFY(::kill(pidsOf(name).last(), signal) == 0);
            if (!agentGoesFirst)
                QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kDeadline);
            QVERIFY(QFile::exists(job));
            QVERIFY(!QFile::exists(note())); // nothing counted
        }
        PrintAgent next(s);
        next.start();
        QTRY_COMPARE_WITH_TIMEOUT(opened().size(), 3, kDeadline);
        close(job);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(job) && next.openJobs().isEmpty(), kDeadline);
        QVERIFY(told.isEmpty());
        QVERIFY(!QFile::exists(spool() + "/set-aside/" + name));
    }

    // The note is the user's file but read as untrusted: what is not a small
    // regular file of "<count> <job>" lines counts nothing and is replaced,
    // never written through; a line that reads well among bad ones counts.
    // Where no count can be kept, no preview opens: the job stays, with a
    // reason.
    void untrustedNote_data()
    {
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("outcome"); // "opened", "set aside" or "kept"
        QTest::newRow("garbage") << "garbage" << "opened";
        QTest::newRow("larger than a note may be") << "large" << "opened";
        QTest::newRow("a link to a file counting the job twice") << "link" << "opened";
        QTest::newRow("a pipe") << "pipe" << "opened";
        QTest::newRow("one good line among bad ones") << "mixed" << "set aside";
        QTest::newRow("a folder: no count can be kept") << "folder" << "kept";
        QTest::newRow("the spool folder writable by others") << "shared" << "kept";
    }
    void untrustedNote()
    {
        QFETCH(QString, note);
        QFETCH(QString, outcome);
        const QString job = addJob("8-Job.pdf");
        const QByteArray twice = "2 8-Job.pdf\n";
        if (note == "garbage") {
            QVERIFY(writeFile(this->note(), "2 \xff\xfe/../8-Job.pdf\n99 8-Job.pdf\n-1 8-Job.pdf\n2  8-Job.pdf\n"
                                            "2 8-Job.pdf\r\n2 .8-Job.pdf\n\x00\x01\x02 2 8-Job.pdf"));
        } else if (note == "large") {
            QVERIFY(writeFile(this->note(), twice.repeated(kMaxNoteBytes / twice.size() + 1)));
        } else if (note == "link") {
            QVERIFY(writeFile(path("elsewhere"), twice) && QFile::link(path("elsewhere"), this->note()));
        } else if (note == "pipe") {
            QVERIFY(::mkfifo(QFile::encodeName(this->note()).constData(), 0600) == 0);
        } else if (note == "mixed") {
            QVERIFY(writeFile(this->note(), "x\n3 ../8-Job.pdf\n" + twice + "1 gone/9-Other.pdf\n"));
        } else if (note == "folder") {
            QVERIFY(QDir().mkpath(this->note()));
        } else if (note == "shared") {
            QVERIFY(::chmod(QFile::encodeName(spool()).constData(), 0770) == 0);
        }
        QStringList told;
        PrintAgent::Settings s = settings();
        s.tell = [&](const QString&, const QString& text) { told << text; };
        PrintAgent agent(s);
        QSignalSpy failed(&agent, &PrintAgent::previewFailed);
        agent.start();
        QVERIFY(scans(agent, 3));
        if (outcome == "opened") {
            QTRY_COMPARE_WITH_TIMEOUT(opened(), QStringList{job}, kDeadline);
            QVERIFY(QFileInfo(this->note()).isFile() && !QFileInfo(this->note()).isSymLink()); // counted anew
            close(job);
            QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(job) && !QFileInfo::exists(this->note()), kDeadline);
        } else if (outcome == "set aside") {
            QTRY_COMPARE_WITH_TIMEOUT(told.size(), 1, kDeadline);
            QVERIFY(opened().isEmpty() && QFile::exists(spool() + "/set-aside/8-Job.pdf"));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, kDeadline);
            QVERIFY2(failed.at(0).at(1).toString().startsWith("its start cannot be counted"), qPrintable(failed.at(0).at(1).toString()));
            QVERIFY(opened().isEmpty() && QFile::exists(job));
        }
        QVERIFY(failed.size() == int(outcome == "kept"));
        if (note == "link") {
            QFile elsewhere(path("elsewhere"));
            QVERIFY(elsewhere.open(QIODevice::ReadOnly));
            QCOMPARE(elsewhere.readAll(), twice); // the link's target untouched
        }
    }

    // A job is set aside only into a folder of the user's own, made where
    // none is and never through a link; a document of the same name there
    // is kept beside it, not replaced. Where it cannot go, it stays, uncounted
    // no further, and the user is not told it was kept.
    void setAsideFolder_data()
    {
        QTest::addColumn<QString>("there");
        QTest::addColumn<QString>("kept"); // its name in the folder; empty when not set aside
        QTest::newRow("none yet") << "" << "8-Job.pdf";
        QTest::newRow("holds a document of that name") << "same name" << "8-Job (2).pdf";
        QTest::newRow("a link to another folder") << "link" << "";
        QTest::newRow("a file") << "file" << "";
    }
    void setAsideFolder()
    {
        QFETCH(QString, there);
        QFETCH(QString, kept);
        const QString job = addJob("8-Job.pdf"), folder = spool() + "/set-aside";
        QVERIFY(writeFile(note(), "2 8-Job.pdf\n") && QDir().mkpath(path("elsewhere")));
        if (there == "same name")
            QVERIFY(QDir().mkpath(folder) && writeFile(folder + "/8-Job.pdf", "earlier"));
        else if (there == "link")
            QVERIFY(QFile::link(path("elsewhere"), folder));
        else if (there == "file")
            QVERIFY(writeFile(folder, "a file"));
        QStringList told;
        PrintAgent::Settings s = settings();
        s.tell = [&](const QString&, const QString& text) { told << text; };
        PrintAgent agent(s);
        QSignalSpy aside(&agent, &PrintAgent::jobSetAside), failed(&agent, &PrintAgent::previewFailed);
        agent.start();
        QTRY_COMPARE_WITH_TIMEOUT(aside.size() + failed.size(), 1, kDeadline);
        QVERIFY(scans(agent, 3));
        QVERIFY(opened().isEmpty());
        QCOMPARE(aside.size() + failed.size(), 1);
        QVERIFY(QDir(path("elsewhere")).isEmpty());
        if (kept.isEmpty()) {
            QVERIFY(QFile::exists(job) && told.isEmpty());
            QCOMPARE(failed.at(0).at(0).toString(), job);
        } else {
            QCOMPARE(aside.at(0).at(1).toString(), folder + '/' + kept);
            QVERIFY(!QFile::exists(job) && QFile::exists(folder + '/' + kept) && told.size() == 1);
            QCOMPARE(QFileInfo(folder).permissions() & (QFile::WriteGroup | QFile::WriteOther), QFile::Permissions());
        }
        if (there == "same name") {
            QFile earlier(folder + "/8-Job.pdf");
            QVERIFY(earlier.open(QIODevice::ReadOnly) && earlier.readAll() == "earlier");
        }
    }

    // Any name a job file may have survives the note's lines: blanks, line
    // breaks, percent signs and letters beyond ASCII.
    void noteKeepsEveryName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("blanks") << "1-Invoice  March (2).pdf";
        QTest::newRow("a line break") << "2-two\nlines.pdf";
        QTest::newRow("percent signs") << "3-100% %41.pdf";
        QTest::newRow("beyond ASCII") << "4-Ärger über Öl.pdf";
    }
    void noteKeepsEveryName()
    {
        QFETCH(QString, name);
        const StartCounts counts{{name, 1}, {"9-Other.pdf", 2}};
        const QByteArray text = startsNoteText(counts);
        QCOMPARE(text.count('\n'), 2);
        QCOMPARE(parseStartsNote(text), counts);
    }

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

    // The real program: "quillary --agent" needs no display, says when the
    // print service is not installed, runs once per user, ends when the
    // user's entry is removed, and runs from the entry installed for every
    // user unless the user turned it off ("Delete printer").
    void oneAgentPerUser()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(display);
        for (const auto& [name, folder] :
             {std::pair("HOME", "home"), {"XDG_CONFIG_HOME", "config"}, {"XDG_RUNTIME_DIR", "run"}, {"QUILLARY_SPOOL_ROOT", "spool"}})
            env.insert(name, path(folder));
        env.insert("XDG_CONFIG_DIRS", path("nowhere")); // not this machine's /etc/xdg
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
        // A request to end (the session ends) is taken, not fatal.
        const auto asked = agent();
        QTRY_VERIFY_WITH_TIMEOUT(QDir(path("run")).entryList(QDir::Files).join(' ').contains("agent.lock"), kDeadline);
        QVERIFY(::kill(pid_t(asked->processId()), SIGTERM) == 0);
        QCOMPARE(said(*asked), QStringLiteral("Quillary agent asked to end"));

        const auto first = agent();
        // Once the first holds the lock, a second ends at once.
        QTRY_VERIFY_WITH_TIMEOUT(QDir(path("run")).entryList(QDir::Files).join(' ').contains("agent.lock"), kDeadline);
        QCOMPARE(said(*agent()), QStringLiteral("Quillary agent already running"));
        QCOMPARE(first->state(), QProcess::Running);
        QVERIFY(QFile::remove(entry));
        QVERIFY(said(*first).contains("Quillary print service removed"));

        // The entry installed for every user starts it as well; the user's
        // hidden one of the same name keeps it from running.
        QVERIFY(QDir().mkpath(path("xdg/autostart")));
        QVERIFY(writeFile(path("xdg/autostart/" QUILLARY_BUNDLE_IDENTIFIER "-agent.desktop"), "[Desktop Entry]\nExec=quillary --agent\n"));
        env.insert("XDG_CONFIG_DIRS", path("nowhere") + ':' + path("xdg"));
        const auto everyone = agent();
        QTRY_VERIFY_WITH_TIMEOUT(QDir(path("run")).entryList(QDir::Files).join(' ').contains("agent.lock"), kDeadline);
        QCOMPARE(everyone->state(), QProcess::Running);
        QVERIFY(writeFile(entry, "[Desktop Entry]\nHidden=true\n"));
        QVERIFY(said(*everyone).contains("Quillary print service turned off"));
        QCOMPARE(said(*agent()), QStringLiteral("Quillary print service turned off for this user"));
    }

    // The single-instance lock lives only in a folder that is the user's
    // alone: a shared temporary folder, a runtime folder others may write to
    // or a cache folder that is a link are never used, and with none left
    // the agent does not start. A lock planted in the temporary folder by a
    // colleague keeps no agent away.
    void lockOnlyInAPrivateFolder_data()
    {
        QTest::addColumn<QString>("runtime");  // mode of XDG_RUNTIME_DIR; "" unset
        QTest::addColumn<QString>("cache");    // "folder", or "link" to the shared folder
        QTest::addColumn<QString>("expected"); // where the lock goes; "" the agent refuses
        QTest::newRow("private runtime folder") << "700" << "folder" << "run/" QUILLARY_BUNDLE_IDENTIFIER "-agent.lock";
        QTest::newRow("no runtime folder, lock planted in the shared folder") << "" << "folder" << "cache/quillary/agent.lock";
        QTest::newRow("runtime folder writable by others") << "1777" << "folder" << "cache/quillary/agent.lock";
        QTest::newRow("runtime folder writable by its group") << "770" << "folder" << "cache/quillary/agent.lock";
        QTest::newRow("no runtime folder, cache folder is a link") << "" << "link" << "";
        QTest::newRow("runtime folder shared, cache folder is a link") << "1777" << "link" << "";
    }
    void lockOnlyInAPrivateFolder()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, cache);
        QFETCH(QString, expected);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
            env.remove(name);
        QVERIFY(QDir().mkpath(path("home")) && QDir().mkpath(path("config/autostart")) && QDir().mkpath(path("shared")));
        QVERIFY(::chmod(QFile::encodeName(path("shared")).constData(), 01777) == 0);
        // A colleague's lock, held by a process that runs (this one), in the
        // temporary folder; and a file where the runtime folder would be made
        // in it, so that none can be.
        QFile planted(path("shared/" QUILLARY_BUNDLE_IDENTIFIER "-agent.lock"));
        const QByteArray held = QByteArray::number(QCoreApplication::applicationPid()) + '\n'
            + QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
        QVERIFY(planted.open(QIODevice::WriteOnly) && planted.write(held) == held.size());
        planted.close();
        const passwd* me = ::getpwuid(::getuid());
        QVERIFY(me && QFile(path("shared/runtime-") + me->pw_name).open(QIODevice::WriteOnly));
        env.insert("TMPDIR", path("shared"));
        env.insert("HOME", path("home"));
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("QUILLARY_SPOOL_ROOT", path("spool"));
        if (!runtime.isEmpty()) {
            QVERIFY(QDir().mkpath(path("run")) && ::chmod(QFile::encodeName(path("run")).constData(), runtime.toUInt(nullptr, 8)) == 0);
            env.insert("XDG_RUNTIME_DIR", path("run"));
        }
        if (cache == "link")
            QVERIFY(QFile::link(path("shared"), path("cache")));
        env.insert("XDG_CACHE_HOME", path("cache"));
        const QString entry = path("config/autostart/" QUILLARY_BUNDLE_IDENTIFIER "-agent.desktop");
        QVERIFY(QFile(entry).open(QIODevice::WriteOnly));

        QProcess agent;
        agent.setProcessEnvironment(env);
        agent.start(QUILLARY_BINARY, {"--agent"});
        QVERIFY(agent.waitForStarted(kDeadline));
        if (expected.isEmpty()) {
            QVERIFY(agent.waitForFinished(kDeadline));
            QCOMPARE(agent.exitCode(), 1);
            const QString said = QString::fromUtf8(agent.readAllStandardError());
            QVERIFY2(said.contains("Quillary agent not started: no private folder for its lock"), qPrintable(said));
            QVERIFY2(said.contains(path("cache") + " is a symbolic link"), qPrintable(said));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path(expected)).size() > 0 || agent.state() != QProcess::Running, kDeadline);
            QCOMPARE(agent.state(), QProcess::Running);
            QProcess second; // finds the same lock
            second.setProcessEnvironment(env);
            second.start(QUILLARY_BINARY, {"--agent"});
            QVERIFY(second.waitForFinished(kDeadline));
            QCOMPARE(QString::fromUtf8(second.readAllStandardOutput()).trimmed(), QStringLiteral("Quillary agent already running"));
            QVERIFY(QFile::remove(entry));
            QVERIFY(agent.waitForFinished(kDeadline));
            QVERIFY(QString::fromUtf8(agent.readAllStandardOutput()).contains("Quillary print service removed"));
        }
        QVERIFY(planted.open(QIODevice::ReadOnly));
        QCOMPARE(planted.readAll(), held); // the colleague's file untouched
    }

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    static bool writeFile(const QString& file, const QByteArray& bytes)
    {
        QFile out(file);
        return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
    }
    QString spool() const { return path("spool/ada"); }
    QString note() const { return spool() + '/' + kStartsNoteName; }
    // The process ids of the previews the job was opened in, oldest first.
    QList<pid_t> pidsOf(const QString& name) const
    {
        QFile file(path("pids/") + name);
        QList<pid_t> pids;
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray& line : file.readAll().split('\n'))
                if (!line.isEmpty())
                    pids << pid_t(line.toInt());
        return pids;
    }
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
