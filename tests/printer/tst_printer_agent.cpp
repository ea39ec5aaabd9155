// The per-user agent: which files it opens, in which order, when it removes
// them, and when it stops. Print-service mode is replaced by a small script
// that logs its argument and stays open until the test closes it, so every
// step is awaited on a condition, never on a clock.

#include "printer/agent/PrintAgent.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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
