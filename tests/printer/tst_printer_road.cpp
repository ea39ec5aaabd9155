// The road of a printed document from the first login on, with the package's
// autostart entry installed for every user: the session starts the agent, a
// job of a user who never opened Quillary opens the preview; "Delete printer"
// turns Quillary off for that one user, whose jobs then end at once with a
// reason (nothing kept in the spool) while another user's still arrive. Run
// through a private cupsd (scripts/private-cupsd) and the backend directly;
// nothing of the machine's own print system is used. It needs root (the
// backend changes users, cupsd runs it as root) and makes throwaway users
// with homes.

#include "app/PrintService.h"
#include "pdf/PdfChecks.h"
#include "platform/PrintServiceLocation.h"
#include "printer/AutostartEntry.h"

#include <QElapsedTimer>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <csignal>

using namespace pdfchecks;

namespace {

constexpr int kDeadline = 120000;   // generous: CI machines are slow and shared
constexpr int kPreviewWithin = 3000; // what a user printing expects of the window
const QString kUser = "quillary-rt-a", kOther = "quillary-rt-b";
const QString kLocal = "job-uuid=urn:uuid:1 job-originating-host-name=localhost";
const QString kReason = "Quillary is turned off for this user: open Quillary and save a template to turn it on";
const QString kReasonDe = "Quillary ist für diesen Benutzer ausgeschaltet: Öffnen Sie Quillary und speichern Sie eine "
                          "Vorlage, um es einzuschalten";

struct Run {
    int exitCode = -1;
    QString out, err;
};

Run run(const QString& program, const QStringList& arguments,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory("/");
    process.start(program, arguments);
    process.closeWriteChannel();
    process.waitForFinished(kDeadline);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QString home(const QString& user)
{
    const passwd* account = ::getpwnam(user.toUtf8().constData());
    return account ? QString::fromUtf8(account->pw_dir) : QString();
}

QString autostartFolder(const QString& user) { return home(user) + "/.config/autostart"; }
QString userEntry(const QString& user)
{
    return autostartFolder(user) + '/' + QString::fromLatin1(quillary::printer::kAutostartEntryName.data());
}

bool chownTree(const QString& path, const QString& user) { return run("chown", {"-hR", user + ':', path}).exitCode == 0; }

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Processes whose first argument is path: the previews the agent started.
QList<pid_t> processesOpening(const QString& path)
{
    QList<pid_t> found;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile cmdline("/proc/" + pid + "/cmdline");
        if (pid.toInt() <= 0 || !cmdline.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> argv = cmdline.readAll().split('\0');
        if (argv.size() >= 2 && QFile::decodeName(argv.at(1)) == path)
            found << pid.toInt();
    }
    return found;
}

// What the user leaves in the autostart folder: a row's setup.
// "" nothing; "hidden", "gnome off", "hidden=false": an entry with that
// key; "link": a link to a hidden entry; "pipe": a named pipe of the
// entry's name; "no home": the user's home removed.
struct TurnedOffRow {
    QString setup;
    QString language; // LANG of the job
    int status;       // the backend's exit status
    QString expected; // the ERROR line, or "delivered"
};

} // namespace

Q_DECLARE_METATYPE(TurnedOffRow)

class PrinterRoadTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("the printing tests need root: the backend changes users and cupsd runs it as root");
        for (const QString& user : {kUser, kOther}) {
            if (::getpwnam(user.toUtf8().constData()))
                run("userdel", {"-r", user}); // left by an earlier run that was stopped
            QVERIFY2(run("useradd", {"-m", "-s", "/usr/sbin/nologin", user}).exitCode == 0, "useradd failed");
            created << user;
            QVERIFY(!home(user).isEmpty() && QFileInfo(home(user)).isDir());
        }
        QVERIFY(::chmod(QFile::encodeName(cups.path()).constData(), 0755) == 0);
        document = cups.filePath("three.pdf");
        QVERIFY(testpdfs::writeNumbered(document, 3) && QFile::setPermissions(document, QFile::ReadOwner | QFile::ReadOther));
        cupsd.setProcessChannelMode(QProcess::MergedChannels);
        cupsd.start(QUILLARY_SOURCE_DIR "/scripts/private-cupsd", {cups.path(), QUILLARY_BACKEND});
        const bool up = cupsd.waitForStarted(kDeadline) && QTest::qWaitFor([&] {
            return cupsd.state() != QProcess::Running || client("lpstat", {"-r"}).out.contains("is running");
        }, kDeadline);
        QVERIFY2(up && cupsd.state() == QProcess::Running, "cupsd (scripts/deps.sh installs it) does not run: " + cupsd.readAll());
        QVERIFY(client("sh", {QUILLARY_SOURCE_DIR "/packaging/debian/postinst", "configure"}).exitCode == 0);

        // The package's autostart entry, where sessions look for it
        // (/etc/xdg/autostart; here XDG_CONFIG_DIRS points at a copy).
        QVERIFY(QDir().mkpath(cups.filePath("xdg/autostart")));
        QVERIFY(QFile::copy(QUILLARY_SOURCE_DIR "/resources/print-service/" + QString::fromLatin1(quillary::printer::kAutostartEntryName.data()),
                            systemEntry()));
        QVERIFY(QFile::setPermissions(systemEntry(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        // The program where the entry's Exec finds it.
        QVERIFY(QDir().mkpath(cups.filePath("bin")) && QFile::link(QUILLARY_BINARY, cups.filePath("bin/quillary")));
    }

    void cleanupTestCase()
    {
        for (QProcess* agent : std::as_const(agents)) {
            agent->terminate();
            agent->waitForFinished(5000);
        }
        qDeleteAll(agents);
        endPreviews();
        if (cupsd.state() == QProcess::Running) {
            cupsd.terminate();
            cupsd.waitForFinished(kDeadline);
        }
        for (const QString& user : std::as_const(created))
            run("userdel", {"-r", user});
    }

    // The backend run as cupsd runs it, for a user who has or has not turned
    // Quillary off: a refused job leaves nothing, and says why in the
    // language the job asked for.
    void turnedOffJobsEnd_data()
    {
        table<TurnedOffRow>({
            {"nothing of the user's: the system's entry", {"", "C", 0, "delivered"}},
            {"Delete printer", {"hidden", "C", 5, kReason}},
            {"Delete printer, job in German", {"hidden", "de_DE.UTF-8", 5, kReasonDe}},
            {"Delete printer, job in another language", {"hidden", "fr_FR.UTF-8", 5, kReason}},
            {"switched off in the desktop's startup applications", {"gnome off", "C", 5, kReason}},
            {"the user's own entry, on", {"hidden=false", "C", 0, "delivered"}},
            {"the user's entry a link to a hidden one", {"link", "C", 5, kReason}},
            {"a pipe of the entry's name holds nothing up", {"pipe", "C", 0, "delivered"}},
            {"the user's home gone", {"no home", "C", 0, "delivered"}},
        });
    }
    void turnedOffJobsEnd()
    {
        const auto row = fetch<TurnedOffRow>();
        QTemporaryDir spool;
        QVERIFY(::chmod(QFile::encodeName(spool.path()).constData(), 0755) == 0);
        const QString folder = autostartFolder(kUser), entry = userEntry(kUser);
        const QString movedHome = home(kUser) + ".away";
        QVERIFY(QDir(folder).removeRecursively() && QDir().mkpath(folder));
        if (row.setup == "hidden" || row.setup == "hidden=false")
            QVERIFY(testpdfs::writeBytes(entry, "[Desktop Entry]\nType=Application\nExec=quillary --agent\nHidden="
                                                    + QByteArray(row.setup == "hidden" ? "true" : "false") + "\n"));
        if (row.setup == "gnome off")
            QVERIFY(testpdfs::writeBytes(entry, "[Desktop Entry]\nExec=quillary --agent\nX-GNOME-Autostart-enabled = false\n"));
        if (row.setup == "link")
            QVERIFY(testpdfs::writeBytes(folder + "/mine.desktop", "[Desktop Entry]\nHidden=true\n")
                    && QFile::link(folder + "/mine.desktop", entry));
        if (row.setup == "pipe")
            QVERIFY(::mkfifo(QFile::encodeName(entry).constData(), 0600) == 0);
        QVERIFY(chownTree(home(kUser) + "/.config", kUser));
        if (row.setup == "no home")
            QVERIFY(QDir().rename(home(kUser), movedHome));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LC_ALL");
        env.remove("LC_MESSAGES");
        env.insert("LANG", row.language);
        env.insert("DEVICE_URI", "quillary:" + spool.path());
        env.insert("PRINTER", "Quillary");
        env.insert("CUPS_SERVER", cups.filePath("cups.sock"));
        const Run job = run(QUILLARY_BACKEND, {"7", kUser, "Letter", "1", kLocal, document}, env);
        if (row.setup == "no home")
            QVERIFY(QDir().rename(movedHome, home(kUser)));
        QDir(folder).removeRecursively();

        QCOMPARE(job.exitCode, row.status);
        if (row.status == 0) {
            QCOMPARE(entries(spool.filePath(kUser)), QStringList{"7-Letter.pdf"});
            return;
        }
        QCOMPARE(job.err, "ERROR: " + row.expected + '\n');
        QCOMPARE(entries(spool.path()), QStringList()); // not even the user's folder
    }

    // From the first login on: the session runs the package's entry, and a
    // job of a user who never opened Quillary opens the preview at once.
    // After that user's "Delete printer" the agent ends, the user's next job
    // ends with the reason and leaves nothing, and the queue still takes
    // another user's job.
    void printingFromTheFirstLoginUntilDeletePrinter()
    {
        QVERIFY(!QFileInfo::exists(home(kUser) + "/.local/share/app.quillary.Quillary")); // never opened
        QProcess* agent = startSession(kUser);
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(runtime(kUser)) && !entries(runtime(kUser)).isEmpty(); }, kDeadline));

        QElapsedTimer clock;
        clock.start();
        const int first = print(kUser, "Road test");
        QVERIFY(first > 0);
        const QString job = spool() + '/' + kUser + '/' + QString::number(first) + "-Road test.pdf";
        QVERIFY2(QTest::qWaitFor([&] { return !processesOpening(job).isEmpty(); }, kDeadline), qPrintable(agentOutput(agent)));
        const qint64 opened = clock.elapsed();
        qInfo("lp to the preview process: %lld ms", opened);
        QVERIFY2(opened <= kPreviewWithin, qPrintable(QString::number(opened)));
        previews << processesOpening(job);

        // "Delete printer", as the template window's menu does it for this user.
        quillary::injectPrintServiceLocation([] {
            return quillary::PrintServiceLocation{":/quillary/print-service/app.quillary.Quillary-agent.desktop",
                                                  autostartFolder(kUser) + '/', userEntry(kUser), {systemEntry()}};
        });
        const quillary::Result deleted = quillary::deletePrintService();
        quillary::injectPrintServiceLocation({});
        QVERIFY2(deleted.ok(), qPrintable(deleted.error));
        QVERIFY(chownTree(home(kUser) + "/.config", kUser));

        // The agent opens nothing more and ends once its preview has closed.
        QVERIFY(QTest::qWaitFor([&] { return agentOutput(agent).contains("turned off"); }, kDeadline));
        QCOMPARE(agent->state(), QProcess::Running);
        endPreviews();
        QVERIFY(agent->waitForFinished(kDeadline));
        QCOMPARE(agent->exitCode(), 0);
        QCOMPARE(entries(spool() + '/' + kUser), QStringList()); // the closed preview's job went with it

        const int refused = print(kUser, "After delete");
        QVERIFY(ended(refused));
        QVERIFY2(jobStatus(refused).contains(kReason), qPrintable(jobStatus(refused)));
        QCOMPARE(entries(spool() + '/' + kUser), QStringList());

        const int other = print(kOther, "Colleague");
        const QString arrived = spool() + '/' + kOther + '/' + QString::number(other) + "-Colleague.pdf";
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(arrived); }, kDeadline));
        QVERIFY(ended(other));
        const QString queue = client("lpstat", {"-p", "Quillary"}).out;
        QVERIFY2(queue.contains("enabled") && !queue.contains("disabled"), qPrintable(queue));
    }

private:
    static QString systemEntry()
    {
        return cupsPath("xdg/autostart/") + QString::fromLatin1(quillary::printer::kAutostartEntryName.data());
    }
    static QString cupsPath(const QString& name) { return instance->cups.filePath(name); }
    QString spool() const { return cups.filePath("quillary"); }
    QString runtime(const QString& user) const { return cups.filePath("run-" + user); }

    // The session's autostart: the entry's Exec line run as the user, in
    // the user's environment (no display needed: the agent opens none).
    QProcess* startSession(const QString& user)
    {
        const QString folder = runtime(user);
        if (!QFileInfo::exists(folder))
            [&] { QVERIFY(QDir().mkpath(folder) && chownTree(folder, user) && ::chmod(QFile::encodeName(folder).constData(), 0700) == 0); }();
        QFile entry(systemEntry());
        QString exec;
        if (entry.open(QIODevice::ReadOnly))
            for (const QString& line : QString::fromUtf8(entry.readAll()).split('\n'))
                if (line.startsWith("Exec="))
                    exec = line.mid(5);
        auto* agent = new QProcess;
        agent->setProcessChannelMode(QProcess::MergedChannels);
        agent->setWorkingDirectory("/");
        agent->start("runuser", {"-u", user, "--", "env", "-i", "HOME=" + home(user), "USER=" + user, "LANG=C.UTF-8",
                                 "PATH=" + cups.filePath("bin") + ":/usr/bin:/bin", "XDG_CONFIG_DIRS=" + cups.filePath("xdg"),
                                 "XDG_RUNTIME_DIR=" + folder, "QUILLARY_SPOOL_ROOT=" + spool(), "QT_QPA_PLATFORM=offscreen",
                                 "sh", "-c", "exec " + exec});
        agents << agent;
        return agent;
    }
    QString agentOutput(QProcess* agent)
    {
        agentLog[agent] += QString::fromUtf8(agent->readAll());
        return agentLog[agent];
    }
    void endPreviews()
    {
        for (const pid_t pid : std::as_const(previews))
            ::kill(pid, SIGTERM);
        previews.clear();
    }

    QProcessEnvironment cupsEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CUPS_SERVER", cups.filePath("cups.sock"));
        env.insert("LC_ALL", "C");
        env.insert("QUILLARY_SPOOL_ROOT", spool());
        env.insert("QUILLARY_PPD", QUILLARY_SOURCE_DIR "/src/printer/quillary.ppd");
        return env;
    }
    Run client(const QString& program, const QStringList& arguments, const QString& user = "root") const
    {
        return run("runuser", QStringList{"-u", user, "--", program} + arguments, cupsEnvironment());
    }
    int print(const QString& user, const QString& title) const
    {
        const Run lp = client("lp", {"-d", "Quillary", "-t", title, document}, user);
        return QRegularExpression("request id is \\S+-(\\d+) ").match(lp.out).captured(1).toInt();
    }
    bool ended(int job) const
    {
        const QString id = QStringLiteral("Quillary-%1 ").arg(job);
        return job > 0 && QTest::qWaitFor([&] { return !client("lpstat", {"-o", "Quillary"}).out.contains(id); }, kDeadline);
    }
    // What lpstat says of an ended job, its status line included.
    QString jobStatus(int job) const
    {
        const QStringList lines = client("lpstat", {"-W", "completed", "-l", "-o", "Quillary"}).out.split('\n');
        const QString id = QStringLiteral("Quillary-%1 ").arg(job);
        QString found;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (!lines[i].startsWith(id))
                continue;
            for (qsizetype j = i; j < lines.size() && (j == i || lines[j].startsWith(' ') || lines[j].startsWith('\t')); ++j)
                found += lines[j] + '\n';
        }
        return found;
    }

    static inline PrinterRoadTest* instance = nullptr;

public:
    PrinterRoadTest() { instance = this; }

private:
    QStringList created;
    QTemporaryDir cups;
    QProcess cupsd;
    QString document;
    QList<QProcess*> agents;
    QHash<QProcess*, QString> agentLog;
    QList<pid_t> previews;
};

QTEST_GUILESS_MAIN(PrinterRoadTest)
#include "tst_printer_road.moc"
