// The backend run as cupsd runs it (as root, the job in its arguments and
// environment), without cupsd: what it delivers where, with which owner and
// mode, and what it refuses without writing anything anywhere.

#include "PrinterFixture.h"
#include "pdf/PdfChecks.h"
#include "support/SmallDisk.h"

#include <csignal>

using namespace printertest;
using namespace pdfchecks;

namespace {

const QString kUser = "quillary-bt-a", kOther = "quillary-bt-b";

// A job refused: who printed ("A", "B" for the test's users, else as it
// is), what the test arranges first, the document, the OPTIONS argument,
// the exit status and a part of the error line.
struct Refusal {
    QString user;
    QString setup;
    QString document;
    QString options;
    int status;
    QString message;
};

// A job delivered: its title, what the test arranges first, the document on
// standard input rather than as a file, the job file's expected name.
struct Delivery {
    QByteArray title;
    QString setup;
    bool viaStdin;
    QByteArray name;
};

const QString kLocal = "job-uuid=urn:uuid:1 job-originating-host-name=localhost document-name-supplied=a.pdf";

} // namespace

class BackendTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void delivers_data();
    void delivers();
    void refuses_data();
    void refuses();
    void cancelledJobLeavesNoFile();
    void fullDiskLeavesNoFile();
    void refusesToRunWithoutRoot();
    void listsItsDevice();

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    QString root() const { return path("spool"); }
    QString folder() const { return root() + '/' + kUser; }
    static QString user(const QString& who) { return who == "A" ? kUser : who == "B" ? kOther : who; }
    void arrange(const QString& setup);
    Run backend(const QString& who, const QByteArray& title, const QString& options, const QString& document,
                bool viaStdin = false, const QString& uri = {});

    LocalUsers users;
    QString pdf, text, empty;
    std::unique_ptr<QTemporaryDir> dir;
};

void BackendTest::initTestCase()
{
    if (const QString missing = missingForPrinting(false); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY2(users.ensure(kUser) && users.ensure(kOther), "useradd failed");
}

void BackendTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    // Documents the way cupsd spools them: readable by root only.
    pdf = path("d00007-001"), text = path("text"), empty = path("empty");
    QVERIFY(testpdfs::writeNumbered(pdf, 3));
    QVERIFY(testpdfs::writeBytes(text, "Dear reader,\nthis is plain text.\n"));
    QVERIFY(testpdfs::writeBytes(empty, ""));
    QFile::setPermissions(dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    QVERIFY(QDir().mkpath(root()));
    QVERIFY(QFile::setPermissions(root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                              | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
}

void BackendTest::arrange(const QString& setup)
{
    const auto makeFolder = [](const QString& where, const QString& owner, QFile::Permissions permissions) {
        QVERIFY(QDir().mkpath(where));
        QVERIFY(chown(where, owner));
        QVERIFY(QFile::setPermissions(where, permissions));
    };
    const QFile::Permissions privateFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    const QFile::Permissions openFolder = privateFolder | QFile::ReadOther | QFile::ExeOther;
    if (setup == "no root") {
        QVERIFY(QDir(root()).removeRecursively());
    } else if (setup == "open folder") {
        makeFolder(folder(), kUser, openFolder);
    } else if (setup == "stale part") {
        makeFolder(folder(), kUser, privateFolder);
        QVERIFY(testpdfs::writeBytes(folder() + "/.7.part", "%PDF-1.4 half a job"));
        QVERIFY(chown(folder() + "/.7.part", kUser));
    } else if (setup == "name taken") {
        makeFolder(folder(), kUser, privateFolder);
        QVERIFY(testpdfs::writeBytes(folder() + "/7-Letter.pdf", "an earlier job"));
        QVERIFY(chown(folder() + "/7-Letter.pdf", kUser));
    } else if (setup == "folder link") {
        makeFolder(path("elsewhere"), kUser, privateFolder);
        QVERIFY(QFile::link(path("elsewhere"), folder()));
    } else if (setup == "folder of B") {
        makeFolder(folder(), kOther, openFolder);
    } else if (setup == "private folder of B") {
        makeFolder(folder(), kOther, privateFolder);
    } else if (setup == "folder is a file") {
        QVERIFY(testpdfs::writeBytes(folder(), ""));
        QVERIFY(chown(folder(), kUser));
    } else if (setup == "root writable by its group") {
        QVERIFY(QFile::setPermissions(root(), openFolder | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup));
    } else if (setup == "root is a link") {
        QVERIFY(QDir(root()).removeRecursively());
        makeFolder(path("real-spool"), "root", openFolder);
        QVERIFY(QFile::link(path("real-spool"), root()));
    } else if (setup == "root of A") {
        QVERIFY(chown(root(), kUser));
    } else {
        QVERIFY2(setup.isEmpty() || setup == "relative uri", qPrintable(setup));
    }
}

Run BackendTest::backend(const QString& who, const QByteArray& title, const QString& options,
                         const QString& document, bool viaStdin, const QString& uri)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DEVICE_URI", uri.isEmpty() ? "quillary:" + root() : uri);
    env.insert("PRINTER", "Quillary");
    env.insert("CUPS_SERVER", path("no-server.sock")); // nobody to ask whether the queue is shared
    QStringList arguments{"7", user(who), QString::fromUtf8(title), "1", options};
    QByteArray input;
    if (viaStdin) {
        QFile file(document);
        if (file.open(QIODevice::ReadOnly))
            input = file.readAll();
    } else {
        arguments << document;
    }
    return run(QUILLARY_BACKEND, arguments, env, input);
}

void BackendTest::delivers_data()
{
    table<Delivery>({
        {"first job makes the user's folder", {"Letter", "", false, "7-Letter.pdf"}},
        {"title with a line break, slashes and dots", {"../../quillary-bt-b/.x\nsecond", "", false,
                                                       "7-_._quillary-bt-b_.x second.pdf"}},
        {"document on standard input", {"Letter", "", true, "7-Letter.pdf"}},
        {"spool root made when missing", {"Letter", "no root", false, "7-Letter.pdf"}},
        {"folder others could read made private", {"Letter", "open folder", false, "7-Letter.pdf"}},
        {"unfinished file of an earlier try replaced", {"Letter", "stale part", false, "7-Letter.pdf"}},
        {"name taken: numbered, the other file kept", {"Letter", "name taken", false, "7-Letter (2).pdf"}},
    });
}

void BackendTest::delivers()
{
    auto [title, setup, viaStdin, name] = fetch<Delivery>();
    arrange(setup);
    const Run result = backend("A", title, kLocal, pdf, viaStdin);
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QVERIFY2(!result.err.contains("ERROR"), qPrintable(result.err));

    const QString job = folder() + '/' + QString::fromUtf8(name);
    QStringList expected{QString::fromUtf8(name)};
    if (setup == "name taken")
        expected << "7-Letter.pdf";
    expected.sort();
    QCOMPARE(entries(folder()), expected);
    QCOMPARE(entries(root()), QStringList{kUser}); // nothing beside the user's folder
    QFile written(job), original(pdf);
    QVERIFY(written.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll() == original.readAll());
    QCOMPARE(ownerOf(job).uid, LocalUsers::uid(kUser));
    QCOMPARE(ownerOf(job).mode, mode_t(0600));
    QCOMPARE(ownerOf(folder()).uid, LocalUsers::uid(kUser));
    QCOMPARE(ownerOf(folder()).mode, mode_t(0700));
    QCOMPARE(ownerOf(root()).uid, uid_t(0));
    QCOMPARE(ownerOf(root()).mode, mode_t(0755));
    if (setup == "name taken")
        QCOMPARE(QFileInfo(folder() + "/7-Letter.pdf").size(), qint64(14));
}

void BackendTest::refuses_data()
{
    const QString remote = "job-originating-host-name=192.0.2.7";
    table<Refusal>({
        {"unknown user", {"no-such-user-here", "", "pdf", kLocal, 5, "\"no-such-user-here\" is not a local user"}},
        {"root", {"root", "", "pdf", kLocal, 5, "\"root\" is root or a system account"}},
        {"system account", {"daemon", "", "pdf", kLocal, 5, "\"daemon\" is root or a system account"}},
        {"overflow account", {"nobody", "", "pdf", kLocal, 5, "\"nobody\" is root or a system account"}},
        {"remote host, queue not shared", {"A", "", "pdf", remote, 5, "from the host \"192.0.2.7\" and the queue "
                                                                      "\"Quillary\" is not shared"}},
        {"no originating host", {"A", "", "pdf", "job-uuid=urn:uuid:1", 5, "from the host \"(unknown)\""}},
        {"folder is a link", {"A", "folder link", "pdf", kLocal, 5, "is a symbolic link; nothing is written through it"}},
        {"folder of another user", {"A", "folder of B", "pdf", kLocal, 5, "is not owned by the job's user"}},
        {"private folder of another user", {"A", "private folder of B", "pdf", kLocal, 5, "is not the user's own folder"}},
        {"folder is a file", {"A", "folder is a file", "pdf", kLocal, 5, "is not a folder"}},
        {"not a PDF (printed raw)", {"A", "", "text", kLocal, 5, "The document is not a PDF"}},
        {"empty document", {"A", "", "empty", kLocal, 5, "The document is empty"}},
        {"root writable by its group", {"A", "root writable by its group", "pdf", kLocal, 4, "is writable by others than root"}},
        {"root is a link", {"A", "root is a link", "pdf", kLocal, 4, "is a symbolic link or not a folder"}},
        {"root owned by a user", {"A", "root of A", "pdf", kLocal, 4, "is not owned by root"}},
        {"relative spool root", {"A", "relative uri", "pdf", kLocal, 4, "names no absolute spool folder"}},
    });
}

void BackendTest::refuses()
{
    auto [who, setup, document, options, status, message] = fetch<Refusal>();
    arrange(setup);
    const QStringList before = snapshot(dir->path());
    const QString file = document == "pdf" ? pdf : document == "text" ? text : empty;
    const Run result = backend(who, "Letter", options, file, false, setup == "relative uri" ? "quillary:spool" : "");
    QCOMPARE(result.exitCode, status);
    QVERIFY2(result.err.startsWith("ERROR: Quillary job 7 refused: "), qPrintable(result.err));
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(snapshot(dir->path()), before);
}

void BackendTest::cancelledJobLeavesNoFile()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DEVICE_URI", "quillary:" + root());
    QProcess job;
    job.setProcessEnvironment(env);
    job.start(QUILLARY_BACKEND, {"7", kUser, "Letter", "1", kLocal}); // from standard input
    QVERIFY(job.waitForStarted(kDeadline));
    job.write("%PDF-1.4\n" + QByteArray(64 * 1024, ' '));
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo(folder() + "/.7.part").size() > 1024; }, kDeadline));
    job.terminate(); // what cupsd does when the job is cancelled
    QVERIFY(job.waitForFinished(kDeadline));
    QCOMPARE(job.exitStatus(), QProcess::NormalExit);
    QVERIFY(job.readAllStandardError().contains("The job was cancelled"));
    QCOMPARE(entries(folder()), QStringList());
}

void BackendTest::fullDiskLeavesNoFile()
{
    testdisk::SmallDisk disk(path("small"));
    const QString big = path("big");
    QVERIFY(testpdfs::writeBytes(big, "%PDF-1.4\n" + QByteArray(256 * 1024, ' ')));
    QVERIFY(disk.limit(64 * 1024));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DEVICE_URI", "quillary:" + disk.folder());
    const Run result = run(QUILLARY_BACKEND, {"7", kUser, "Letter", "1", kLocal, big}, env);
    disk.lift();
    // Failed, not refused: cupsd tries the job again later.
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.startsWith("ERROR: Quillary job 7 failed: Cannot write .7.part: " + disk.reason()),
             qPrintable(result.err));
    QCOMPARE(entries(disk.folder() + '/' + kUser), QStringList());
}

void BackendTest::refusesToRunWithoutRoot()
{
    // Installed with the wrong mode, cupsd would run it as lp.
    const QString copy = path("backend");
    QVERIFY(QFile::copy(QUILLARY_BACKEND, copy));
    QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DEVICE_URI", "quillary:" + root());
    const QStringList before = snapshot(dir->path());
    const Run result = run("runuser", {"-u", kUser, "--", copy, "7", kUser, "Letter", "1", kLocal, pdf}, env);
    QCOMPARE(result.exitCode, 4);
    QVERIFY2(result.err.contains("the backend does not run as root"), qPrintable(result.err));
    QCOMPARE(snapshot(dir->path()), before);
}

void BackendTest::listsItsDevice()
{
    const Run listed = run(QUILLARY_BACKEND, {});
    QCOMPARE(listed.exitCode, 0);
    QCOMPARE(listed.out, QStringLiteral("direct quillary:/ \"Quillary\" \"Quillary (opens the preview window)\"\n"));
    QCOMPARE(run(QUILLARY_BACKEND, {"7", kUser}).exitCode, 1); // not a job's arguments
}

QTEST_GUILESS_MAIN(BackendTest)
#include "tst_printer_backend.moc"
