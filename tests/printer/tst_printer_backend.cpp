// The backend as cupsd runs it (as root, the job in its arguments and
// environment): run directly, what it delivers where, with which owner and
// mode, and what it refuses without writing anything anywhere; and through a
// private cupsd (scripts/private-cupsd: its own configuration, spool, socket
// and the backend under test) with the queue the package's maintainer
// scripts set up, as a program's print dialog or "lp" prints. Nothing of the
// machine's own print system is used or changed. It needs root (the backend
// changes users; cupsd runs backends as root) and makes throwaway users.

#include "pdf/PdfChecks.h"
#include "support/SmallDisk.h"

#include "printer/backend/JobRequest.h"

#include <ctime>
#include <fstream>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>

using namespace pdfchecks;

namespace {

constexpr int kDeadline = 120000; // generous: CI machines are slow and shared
const QString kUser = "quillary-bt-a", kOther = "quillary-bt-b";
const QString kLocal = "job-uuid=urn:uuid:1 job-originating-host-name=localhost document-name-supplied=a.pdf";
const QString kRemote = "job-originating-host-name=192.0.2.7";

// A job run directly: who printed ("A", "B" for the test's users, else as
// it is), its title, what the test arranges first (steps separated by "; ";
// "U" is the user's folder, "R" the spool root, other paths lie in the
// test's folder, "A" and "B" the users): "dir PATH OWNER MODE", "file PATH
// OWNER", "link TARGET PATH", "rm PATH", "chmod PATH MODE", "chown PATH
// OWNER", "copy PATH MODE" (of the backend, then run as user A), "uri
// DEVICE_URI", "shared" (the queue shared on the network); the document
// ("pdf", "stdin": the PDF on standard input, "text", "empty"), the OPTIONS
// argument, the exit status and, for a delivered job, the user's folder
// after it, the job file first ("|" between names), else a part of the
// error line.
struct Job {
    QString user;
    QByteArray title;
    QString setup, document, options;
    int status;
    QString expected;
};

// The queue's policy as the package's configure step leaves it: on a cupsd
// "with" or "without" the "authenticated" policy, the queue before ("none";
// "open": made by an older version, on the default policy; "closed by the
// package" for want of the policy; "closed by an administrator"), the step
// ("configure": install or upgrade, "reconfigure"), whether the queue then
// takes jobs, and what lpstat and the step say.
struct QueueRow {
    QString cupsd, before, step;
    bool accepting;
    QString reason, said;
};

struct Run {
    int exitCode = -1;
    QString out, err;
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
        const QByteArray& input = {})
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory("/"); // the test's own may be closed to the users it runs as
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(kDeadline);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

bool chown(const QString& path, const QString& user)
{
    return run("chown", {"-h", user + ':', path}).exitCode == 0; // and the user's group
}

// Owner and mode of a file, links not followed: "quillary-bt-a 600".
QString owner(const QString& path)
{
    return run("stat", {"-c", "%U %a", path}).out.trimmed();
}

// Every entry under root (links not followed) with its type, size and link
// target, to see that a refused job wrote nothing anywhere.
QString snapshot(const QString& root)
{
    return run("sh", {"-c", "find \"$0\" -mindepth 1 -printf '%P %y %s %l\\n' | sort", root}).out;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class BackendTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("the printing tests need root: the backend changes users and cupsd runs it as root");
        for (const QString& user : {kUser, kOther}) {
            if (!::getpwnam(user.toUtf8().constData())) { // not a system account, no home: a plain person's account
                QVERIFY2(run("useradd", {"-M", "-s", "/usr/sbin/nologin", user}).exitCode == 0, "useradd failed");
                created << user;
            }
        }
        // The first account of a person: UID_MIN of login.defs, made on
        // purpose with that uid (useradd would hand out whichever is free).
        std::ifstream loginDefs("/etc/login.defs");
        const uid_t first = quillary::printer::firstPersonUid(loginDefs);
        if (const passwd* holder = ::getpwuid(first)) {
            firstUser = QString::fromUtf8(holder->pw_name); // the machine's own first person
        } else {
            firstUser = "quillary-bt-min";
            QVERIFY2(run("useradd", {"-M", "-s", "/usr/sbin/nologin", "-u", QString::number(first), firstUser}).exitCode == 0,
                     "useradd -u UID_MIN failed");
            created << firstUser;
        }
        QCOMPARE(::getpwnam(firstUser.toUtf8().constData())->pw_uid, first);
        document = cups.filePath("three.pdf"); // three A4 pages the users may read
        QVERIFY(testpdfs::writeNumbered(document, 3) && QFile::setPermissions(document, QFile::ReadOwner | QFile::ReadOther));
        cupsd.setProcessChannelMode(QProcess::MergedChannels);
        cupsd.start(QUILLARY_SOURCE_DIR "/scripts/private-cupsd", {cups.path(), QUILLARY_BACKEND});
        const bool up = cupsd.waitForStarted(kDeadline) && QTest::qWaitFor([&] {
            return cupsd.state() != QProcess::Running || client("lpstat", {"-r"}).out.contains("is running");
        }, kDeadline);
        QVERIFY2(up && cupsd.state() == QProcess::Running, "cupsd (scripts/deps.sh installs it) does not run: " + cupsd.readAll());
        QVERIFY(maintainerScript("postinst", "configure").exitCode == 0); // the queue as the package sets it up
    }

    void cleanupTestCase()
    {
        for (const QString& user : std::as_const(created))
            run("userdel", {user});
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        uri = "quillary:" + root();
        // A document the way cupsd spools it: readable by root only.
        pdf = path("d00007-001");
        QVERIFY(testpdfs::writeNumbered(pdf, 3));
        QVERIFY(testpdfs::writeBytes(path("text"), "Dear reader,\nthis is plain text.\n") && testpdfs::writeBytes(path("empty"), ""));
        // The PDF after a printer-language preamble, and after 1020 bytes: its
        // header then ends past the first 1024.
        QFile three(pdf);
        QVERIFY(three.open(QIODevice::ReadOnly));
        const QByteArray bytes = three.readAll();
        QVERIFY(testpdfs::writeBytes(path("preamble"), "\x1b%-12345X@PJL JOB\r\n@PJL ENTER LANGUAGE=PDF\r\n" + bytes));
        QVERIFY(testpdfs::writeBytes(path("header at 1019"), QByteArray(1019, '\n') + bytes));
        QVERIFY(testpdfs::writeBytes(path("header at 1020"), QByteArray(1020, '\n') + bytes));
        QVERIFY(::chmod(QFile::encodeName(dir->path()).constData(), 0701) == 0);
        QVERIFY(QDir().mkpath(root()) && ::chmod(QFile::encodeName(root()).constData(), 0755) == 0);
    }

    void jobs_data()
    {
        table<Job>({
            {"first job makes the user's folder", {"A", "Letter", "", "pdf", kLocal, 0, "7-Letter.pdf"}},
            {"title with a line break, slashes and dots",
             {"A", "../../quillary-bt-b/.x\nsecond", "", "pdf", kLocal, 0, "7-_._quillary-bt-b_.x second.pdf"}},
            {"document on standard input", {"A", "Letter", "", "stdin", kLocal, 0, "7-Letter.pdf"}},
            {"spool root made when missing", {"A", "Letter", "rm R", "pdf", kLocal, 0, "7-Letter.pdf"}},
            {"folder others could read made private", {"A", "Letter", "dir U A 755", "pdf", kLocal, 0, "7-Letter.pdf"}},
            {"unfinished file of an earlier try replaced", {"A", "Letter", "dir U A 700; file U/.7.part A", "pdf", kLocal, 0, "7-Letter.pdf"}},
            {"name taken: numbered, the other file kept",
             {"A", "Letter", "dir U A 700; file U/7-Letter.pdf A", "pdf", kLocal, 0, "7-Letter (2).pdf|7-Letter.pdf"}},
            {"remote host, queue shared", {"A", "remote", "shared", "pdf", kRemote, 0, "7-remote.pdf"}},
            {"first regular account (UID_MIN)", {"M", "Letter", "", "pdf", kLocal, 0, "7-Letter.pdf"}},
            {"printer-language preamble before the PDF", {"A", "Letter", "", "preamble", kLocal, 0, "7-Letter.pdf"}},
            {"PDF header ending at byte 1024", {"A", "Letter", "", "header at 1019", kLocal, 0, "7-Letter.pdf"}},
            {"job at the size limit", {"A", "Letter", "limits max-job-size=SIZE", "pdf", kLocal, 0, "7-Letter.pdf"}},
            {"one job short of the user's limit",
             {"A", "Letter", "limits user-max-jobs=2; dir U A 700; file U/1-a.pdf A", "pdf", kLocal, 0, "1-a.pdf|7-Letter.pdf"}},
            {"jobs older than the limit removed, other files kept",
             {"A", "Letter", "dir U A 700; old U/1-old.pdf 31; old U/.2.part 40; old U/8-recent.pdf 29; old U/notes.txt 90; limits max-job-age=30",
              "pdf", kLocal, 0, "7-Letter.pdf|8-recent.pdf|notes.txt"}},
            {"a limit that cannot be read keeps its default", {"A", "Letter", "limits max-job-size=lots", "pdf", kLocal, 0, "7-Letter.pdf"}},

            {"unknown user", {"no-such-user-here", "Letter", "", "pdf", kLocal, 5, "\"no-such-user-here\" is not a local user"}},
            {"root", {"root", "Letter", "", "pdf", kLocal, 5, "\"root\" is root or a system account"}},
            {"system account", {"daemon", "Letter", "", "pdf", kLocal, 5, "\"daemon\" is root or a system account"}},
            {"overflow account", {"nobody", "Letter", "", "pdf", kLocal, 5, "\"nobody\" is root or a system account"}},
            {"remote host, queue not shared",
             {"A", "Letter", "", "pdf", kRemote, 5, "from the host \"192.0.2.7\" and the queue \"Quillary\" is not shared"}},
            {"no originating host", {"A", "Letter", "", "pdf", "job-uuid=urn:uuid:1", 5, "from the host \"(unknown)\""}},
            {"folder is a link",
             {"A", "Letter", "dir elsewhere A 700; link elsewhere U", "pdf", kLocal, 5, "is a symbolic link; nothing is written through it"}},
            {"folder of another user", {"A", "Letter", "dir U B 755", "pdf", kLocal, 5, "is not owned by the job's user"}},
            {"private folder of another user", {"A", "Letter", "dir U B 700", "pdf", kLocal, 5, "is not the user's own folder"}},
            {"folder is a file", {"A", "Letter", "file U A", "pdf", kLocal, 5, "is not a folder"}},
            {"not a PDF (printed raw)", {"A", "Letter", "", "text", kLocal, 5, "The document is not a PDF"}},
            {"empty document", {"A", "Letter", "", "empty", kLocal, 5, "The document is empty"}},
            {"root writable by its group", {"A", "Letter", "chmod R 775", "pdf", kLocal, 4, "is writable by others than root"}},
            {"root is a link",
             {"A", "Letter", "rm R; dir real-spool root 755; link real-spool R", "pdf", kLocal, 4, "is a symbolic link or not a folder"}},
            {"root owned by a user", {"A", "Letter", "chown R A", "pdf", kLocal, 4, "is not owned by root"}},
            {"relative spool root", {"A", "Letter", "uri quillary:spool", "pdf", kLocal, 4, "names no absolute spool folder"}},
            {"backend not run as root", {"A", "Letter", "copy backend 505", "pdf", kLocal, 4, "the backend does not run as root"}},
            {"PDF header crossing byte 1024", {"A", "Letter", "", "header at 1020", kLocal, 5, "The document is not a PDF"}},
            {"job one byte over the size limit",
             {"A", "Letter", "dir U A 700; limits max-job-size=SIZE-1", "pdf", kLocal, 5, "The job is larger than"}},
            {"job over the size limit, on standard input",
             {"A", "Letter", "dir U A 700; limits max-job-size=1K", "stdin", kLocal, 5, "The job is larger than 1 KiB, the most one job may have (max-job-size in "}},
            {"the user's folder holds the most jobs",
             {"A", "Letter", "limits user-max-jobs=2; dir U A 700; file U/1-a.pdf A; file U/.3.part A", "pdf", kLocal, 5,
              "The user's spool folder already holds 2 waiting jobs, the most it may (user-max-jobs in "}},
            {"the job does not fit the user's bytes",
             {"A", "Letter", "limits user-max-size=SIZE+99; dir U A 700; fill U/1-a.pdf A 100", "stdin", kLocal, 5,
              "The job does not fit: the user's waiting jobs may have "}},
            {"the job fits the user's bytes exactly",
             {"A", "Letter", "limits user-max-size=SIZE+100; dir U A 700; fill U/1-a.pdf A 100", "stdin", kLocal, 0, "1-a.pdf|7-Letter.pdf"}},
        });
    }

    void jobs()
    {
        auto [who, title, setup, document, options, status, expected] = fetch<Job>();
        limits.clear();
        arrange(setup);
        QProcessEnvironment env = jobEnvironment(uri);
        if (!limits.isEmpty()) {
            QVERIFY(testpdfs::writeBytes(path("spool.conf"), limits.join('\n').toUtf8()));
            env.insert("QUILLARY_SPOOL_LIMITS", path("spool.conf"));
        }
        const QString before = snapshot(dir->path());
        const QString account = who == "A" ? kUser : who == "B" ? kOther : who == "M" ? firstUser : who;
        const QStringList job{"7", account, QString::fromUtf8(title), "1", options};
        QFile input(pdf);
        const QString file = path(document == "pdf" || document == "stdin" ? "d00007-001" : document);
        const Run result = setup.startsWith("copy") ? run("runuser", QStringList{"-u", kUser, "--", path("backend")} + job << file, env)
            : document == "stdin" && input.open(QIODevice::ReadOnly) ? run(QUILLARY_BACKEND, job, env, input.readAll())
                                                                     : run(QUILLARY_BACKEND, QStringList(job) << file, env);
        client("lpadmin", {"-p", "Quillary", "-o", "printer-is-shared=false"}); // as the package leaves it
        QCOMPARE(result.exitCode, status);
        if (status != 0) {
            QVERIFY2(result.err.startsWith("ERROR: Quillary job 7 refused: ") && result.err.contains(expected), qPrintable(result.err));
            QCOMPARE(snapshot(dir->path()), before);
            return;
        }
        QVERIFY2(!result.err.contains("ERROR"), qPrintable(result.err));
        const QString mine = root() + '/' + account;
        QCOMPARE(entries(mine).join('|'), expected);
        QCOMPARE(entries(root()), QStringList{account}); // nothing beside the user's folder
        const QString name = entries(mine).filter(QRegularExpression("^7-")).value(0);
        QFile written(mine + '/' + name), original(file);
        QVERIFY(written.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
        QVERIFY(written.readAll() == original.readAll()); // as it came, preamble and all
        QCOMPARE(owner(written.fileName()), account + " 600");
        QCOMPARE(owner(mine), account + " 700");
        if (setup.contains("old "))
            for (const char* gone : {"1-old.pdf", ".2.part"})
                QVERIFY2(result.err.contains(QStringLiteral("NOTICE: Quillary removed %1/%2/%3: it waited more than 30 days").arg(root(), account, gone)),
                         qPrintable(result.err));
        if (setup.contains("=lots"))
            QVERIFY2(result.err.contains("WARNING: Quillary spool limits " + path("spool.conf") + ", line 1: max-job-size = lots is not a size"),
                     qPrintable(result.err));
        QCOMPARE(owner(root()), QStringLiteral("root 755"));
    }

    void cancelledJobLeavesNoFile()
    {
        QProcess job;
        job.setProcessEnvironment(jobEnvironment(uri));
        job.start(QUILLARY_BACKEND, {"7", kUser, "Letter", "1", kLocal}); // from standard input
        job.write("%PDF-1.4\n" + QByteArray(64 * 1024, ' '));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(folder() + "/.7.part").size() > 1024; }, kDeadline));
        job.terminate(); // what cupsd does when the job is cancelled
        QVERIFY(job.waitForFinished(kDeadline));
        QCOMPARE(job.exitStatus(), QProcess::NormalExit);
        QVERIFY(job.readAllStandardError().contains("The job was cancelled"));
        QCOMPARE(entries(folder()), QStringList());
    }

    void fullDiskLeavesNoFile()
    {
        testdisk::SmallDisk disk(path("small"));
        QVERIFY(testpdfs::writeBytes(path("big"), "%PDF-1.4\n" + QByteArray(256 * 1024, ' ')));
        QVERIFY(disk.limit(64 * 1024));
        const Run result = run(QUILLARY_BACKEND, {"7", kUser, "Letter", "1", kLocal, path("big")}, jobEnvironment("quillary:" + disk.folder()));
        disk.lift();
        // Failed, not refused: cupsd tries the job again later.
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith("ERROR: Quillary job 7 failed: Cannot write .7.part: " + disk.reason()), qPrintable(result.err));
        QCOMPARE(entries(disk.folder() + '/' + kUser), QStringList());
    }

    void listsItsDevice()
    {
        const Run listed = run(QUILLARY_BACKEND, {});
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(listed.out, QStringLiteral("direct quillary:/ \"Quillary\" \"Quillary (opens the preview window)\"\n"));
        QCOMPARE(run(QUILLARY_BACKEND, {"7", kUser}).exitCode, 1); // not a job's arguments
    }

    // The queue takes the system's paper size when it is made and keeps it
    // across an upgrade; removing the package removes the queue, purging it the
    // spool folder.
    void maintainerScripts()
    {
        QCOMPARE(maintainerScript("prerm", "remove").exitCode, 0);
        QVERIFY(client("lpstat", {"-v", "Quillary"}).exitCode != 0);
        QVERIFY(QFileInfo::exists(spool())); // jobs wait until purge
        QCOMPARE(maintainerScript("postrm", "purge").exitCode, 0);
        QVERIFY(!QFileInfo::exists(spool()));
        const Run letter = maintainerScript("postinst", "configure", "letter");
        QVERIFY2(letter.exitCode == 0, qPrintable(letter.err));
        QCOMPARE(defaultPageSize(), QStringLiteral("Letter"));
        QCOMPARE(owner(spool()), QStringLiteral("root 755"));
        QCOMPARE(client("lpstat", {"-v", "Quillary"}).out.trimmed(), "device for Quillary: quillary:" + spool());
        QCOMPARE(maintainerScript("postinst", "configure", "a4").exitCode, 0);
        QCOMPARE(defaultPageSize(), QStringLiteral("Letter"));
        QCOMPARE(maintainerScript("prerm", "remove").exitCode, 0);
        QCOMPARE(maintainerScript("postinst", "configure", "a4").exitCode, 0);
        QCOMPARE(defaultPageSize(), QStringLiteral("A4"));
    }

    // Printed with lp: a job under a borrowed name (-U needs that user's
    // password, which lp cannot give) is not taken; one the backend refuses (the
    // user's folder replaced by a link to a folder the user owns) ends without
    // a trace, and the queue is not stopped: the next job reaches its user's
    // folder alone, as one PDF of the three A4 pages.
    void printing()
    {
        QVERIFY(maintainerScript("postinst", "configure").exitCode == 0);
        QCOMPARE(print(kUser, {"-U", kOther, "-t", "borrowed"}), 0);
        const QString elsewhere = cups.filePath("elsewhere"), mine = spool() + '/' + kUser;
        QVERIFY(QDir(mine).removeRecursively()); // left by an earlier test
        QVERIFY(QDir().mkpath(elsewhere) && chown(elsewhere, kUser) && QFile::link(elsewhere, mine));
        QVERIFY(ended(print(kUser, {"-t", "through a link"})));
        QCOMPARE(entries(elsewhere), QStringList());
        QVERIFY(QFile::remove(mine));

        const int job = print(kUser, {"-t", "Quarterly report"});
        QVERIFY(ended(job));
        const QString name = QString::number(job) + "-Quarterly report.pdf", file = mine + '/' + name;
        QCOMPARE(entries(spool()), QStringList{kUser});
        QCOMPARE(entries(mine), QStringList{name});
        QCOMPARE(testpdfs::pageCount(file), 3);
        for (int page = 0; page < 3; ++page)
            QCOMPARE(testpdfs::mediaBox(file, page).size().toSize(), QSize(595, 842));
        QCOMPARE(text(file), QStringLiteral("Page 1 Page 2 Page 3"));
        QCOMPARE(owner(file), kUser + " 600");
        QCOMPARE(owner(mine), kUser + " 700");
    }


    void queuePolicy_data()
    {
        const QString closed = "Closed: cupsd has no \"authenticated\" policy, so anyone could print under another user's name.";
        const QString told = "the print queue Quillary rejects jobs: cupsd has no \"authenticated\"";
        table<QueueRow>({
            {"install without the policy", {"without", "none", "configure", false, closed, told}},
            {"upgrade of an open queue without the policy", {"without", "open", "configure", false, closed, "Add this to /etc/cups/cupsd.conf"}},
            {"reconfigure without the policy", {"without", "closed by the package", "reconfigure", false, closed, "<Policy authenticated>"}},
            {"install with the policy", {"with", "none", "configure", true, "", ""}},
            {"upgrade repairs a queue on the default policy", {"with", "open", "configure", true, "", ""}},
            {"reconfigure opens what the package closed", {"with", "closed by the package", "reconfigure", true, "", ""}},
            {"a queue an administrator closed stays closed", {"with", "closed by an administrator", "configure", false, "maintenance", ""}},
        });
    }
    void queuePolicy()
    {
        const QueueRow row = fetch<QueueRow>();
        withoutPolicy = row.cupsd == "without";
        const auto restore = qScopeGuard([&] {
            withoutPolicy = false;
            maintainerScript("prerm", "remove");
            maintainerScript("postinst", "configure");
        });
        if (withoutPolicy && bareCupsd.state() == QProcess::NotRunning) {
            bareCupsd.setProcessChannelMode(QProcess::MergedChannels);
            bareCupsd.start(QUILLARY_SOURCE_DIR "/scripts/private-cupsd", {"--without-authenticated", bare.path(), QUILLARY_BACKEND});
            const bool up = bareCupsd.waitForStarted(kDeadline) && QTest::qWaitFor([&] {
                return bareCupsd.state() != QProcess::Running || client("lpstat", {"-r"}).out.contains("is running");
            }, kDeadline);
            QVERIFY2(up && bareCupsd.state() == QProcess::Running, "the second cupsd does not run: " + bareCupsd.readAll());
        }
        maintainerScript("prerm", "remove");
        QVERIFY(client("lpstat", {"-v", "Quillary"}).exitCode != 0);
        if (row.before != "none") { // as an older version made it: open to all, on the default policy
            QCOMPARE(client("lpadmin", {"-p", "Quillary", "-E", "-v", "quillary:" + spool(), "-P", QUILLARY_SOURCE_DIR "/src/printer/quillary.ppd",
                                        "-o", "printer-op-policy=default"}).exitCode, 0);
            QVERIFY(QDir().mkpath(spool()));
        }
        if (row.before == "closed by the package") {
            QCOMPARE(client("cupsreject", {"-r", "Closed: for want of a policy", "Quillary"}).exitCode, 0);
            QVERIFY(testpdfs::writeBytes(spool() + "/.queue-closed", ""));
        } else if (row.before == "closed by an administrator") {
            QCOMPARE(client("cupsreject", {"-r", "maintenance", "Quillary"}).exitCode, 0);
        }

        const Run step = maintainerScript("postinst", row.step);
        QCOMPARE(step.exitCode, 0); // a printer is no reason to fail the installation
        QVERIFY2(row.said.isEmpty() ? step.err.isEmpty() || !step.err.contains("quillary:") : step.err.contains(row.said), qPrintable(step.err));
        const QString state = client("lpstat", {"-a", "Quillary"}).out;
        QVERIFY2(state.startsWith(row.accepting ? "Quillary accepting requests" : "Quillary not accepting requests"), qPrintable(state));
        QVERIFY2(state.contains(row.reason), qPrintable(state));

        // Nobody prints under another's name; one's own job goes through
        // exactly when the queue takes jobs.
        QCOMPARE(print(kUser, {"-U", kOther, "-t", "borrowed"}), 0);
        const int own = print(kUser, {"-t", "own"});
        QCOMPARE(own > 0, row.accepting);
        if (own > 0)
            QVERIFY(ended(own));
        QVERIFY(!QFileInfo::exists(spool() + '/' + kOther));
    }

    // Under cupsd: a job past a limit is cancelled, its state says why and
    // which setting to change, and nothing of it is left.
    void limitUnderCupsd()
    {
        QVERIFY(maintainerScript("postinst", "configure").exitCode == 0);
        QVERIFY(testpdfs::writeBytes(cups.filePath("spool.conf"), "max-job-size = 1K\n"));
        const auto lift = qScopeGuard([&] { QFile::remove(cups.filePath("spool.conf")); });
        const QStringList before = entries(spool() + '/' + kUser); // jobs of earlier tests
        const int job = print(kUser, {"-t", "too large"});
        QVERIFY(ended(job));
        const QString state = client("lpstat", {"-l", "-W", "completed", "-o", "Quillary"}).out;
        QVERIFY2(state.contains(QStringLiteral("Quillary job %1 refused: The job is larger than 1 KiB, the most one job may have "
                                               "(max-job-size in %2)").arg(job).arg(cups.filePath("spool.conf"))),
                 qPrintable(state));
        QCOMPARE(entries(spool() + '/' + kUser), before);
    }

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    QString root() const { return path("spool"); }
    QString folder() const { return root() + '/' + kUser; }
    // Carries out a job row's setup.
    void arrange(const QString& setup)
    {
        for (const QString& step : setup.split("; ", Qt::SkipEmptyParts)) {
            QStringList w = step.split(' ');
            for (QString& word : w)
                word = word.startsWith('U') ? folder() + word.mid(1) : word == "R" ? root() : word == "A" ? kUser : word == "B" ? kOther : word;
            const QString at = w[0] == "uri" || w.size() < 2 || w[1].startsWith('/') ? w.value(1) : path(w[1]);
            const auto mode = [&](const QString& octal) { return ::chmod(QFile::encodeName(at).constData(), octal.toUInt(nullptr, 8)) == 0; };
            // Sizes: "6K", or SIZE (the test document's) with an offset.
            const auto bytes = [&](const QString& text) {
                return text.startsWith("SIZE") ? QFileInfo(pdf).size() + text.mid(4).toLongLong()
                    : text.endsWith('K')       ? text.chopped(1).toLongLong() * 1024 : text.toLongLong();
            };
            const auto aged = [&](const QString& days) {
                const std::time_t when = std::time(nullptr) - days.toLongLong() * 24 * 60 * 60 - 60;
                const timespec times[2] = {{when, 0}, {when, 0}};
                return ::utimensat(AT_FDCWD, QFile::encodeName(at).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
            };
            if (w[0] == "limits") {
                const QString name = w[1].section('=', 0, 0), value = w[1].section('=', 1);
                limits << name + " = " + (value.startsWith("SIZE") ? QString::number(bytes(value)) : value);
                continue;
            }
            QVERIFY2(w[0] == "dir"      ? QDir().mkpath(at) && chown(at, w[2]) && mode(w[3])
                     : w[0] == "fill"   ? testpdfs::writeBytes(at, QByteArray(bytes(w[3]), 'x')) && chown(at, w[2])
                     : w[0] == "old"    ? testpdfs::writeBytes(at, "%PDF-1.7\n") && chown(at, kUser) && aged(w[2])
                     : w[0] == "file"   ? testpdfs::writeBytes(at, "an earlier job") && chown(at, w[2])
                     : w[0] == "link"   ? QFile::link(at, w[2])
                     : w[0] == "rm"     ? QDir(at).removeRecursively()
                     : w[0] == "chmod"  ? mode(w[2])
                     : w[0] == "chown"  ? chown(at, w[2])
                     : w[0] == "copy"   ? QFile::copy(QUILLARY_BACKEND, at) && mode(w[2])
                     : w[0] == "uri"    ? !(uri = at).isEmpty()
                     : w[0] == "shared" ? client("lpadmin", {"-p", "Quillary", "-o", "printer-is-shared=true"}).exitCode == 0
                                        : false,
                     qPrintable(step));
        }
    }
    // The private cupsd's environment: its socket, the queue's spool root and
    // description for the maintainer scripts.
    // The cupsd the clients talk to: the test's own, or (policy rows) the
    // one without the "authenticated" policy.
    QString server() const { return withoutPolicy ? bare.path() : cups.path(); }
    QString spool() const { return server() + "/quillary"; }
    QProcessEnvironment cupsEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CUPS_SERVER", server() + "/cups.sock");
        env.insert("LC_ALL", "C");
        env.insert("QUILLARY_SPOOL_ROOT", spool());
        env.insert("QUILLARY_PPD", QUILLARY_SOURCE_DIR "/src/printer/quillary.ppd");
        return env;
    }
    // A job's environment as cupsd gives it; the backend asks this cupsd
    // whether the queue is shared.
    QProcessEnvironment jobEnvironment(const QString& deviceUri) const
    {
        QProcessEnvironment env = cupsEnvironment();
        env.insert("DEVICE_URI", deviceUri);
        env.insert("PRINTER", "Quillary");
        return env;
    }
    Run client(const QString& program, const QStringList& arguments, const QString& user = "root") const
    {
        return run("runuser", QStringList{"-u", user, "--", program} + arguments, cupsEnvironment());
    }
    Run maintainerScript(const QString& script, const QString& argument, const QString& paper = "a4") const
    {
        return client("env", {"PAPERSIZE=" + paper, "sh", QUILLARY_SOURCE_DIR "/packaging/debian/" + script, argument});
    }
    QString defaultPageSize() const
    {
        QFile ppd(cups.filePath("conf/ppd/Quillary.ppd"));
        return ppd.open(QIODevice::ReadOnly) ? QRegularExpression("\\*DefaultPageSize: (\\S+)").match(ppd.readAll()).captured(1) : "none";
    }
    // Prints the three pages as user; the job's id, 0 when lp got none.
    int print(const QString& user, const QStringList& options) const
    {
        const Run lp = client("lp", QStringList{"-d", "Quillary"} + options << document, user);
        return QRegularExpression("request id is \\S+-(\\d+) ").match(lp.out).captured(1).toInt();
    }
    // Whether the job has left the queue (completed, cancelled or aborted).
    bool ended(int job) const
    {
        const QString id = QStringLiteral("Quillary-%1 ").arg(job);
        return job > 0 && QTest::qWaitFor([&] { return !client("lpstat", {"-o", "Quillary"}).out.contains(id); }, kDeadline);
    }

    QStringList created; // local users the test made
    QString firstUser;   // the account with uid UID_MIN
    QStringList limits;  // the row's spool limits file
    QTemporaryDir cups;  // the private cupsd's folder
    QProcess cupsd;
    QTemporaryDir bare;  // a cupsd with the default policy only, started by the first row that needs it
    QProcess bareCupsd;
    bool withoutPolicy = false;
    QString pdf, document, uri;
    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(BackendTest)
#include "tst_printer_backend.moc"
