// Printing through a private cupsd, as a program's print dialog or "lp"
// does: the package's maintainer scripts set up the queue, a local user
// prints, the user's spool folder receives the document as one PDF, and no
// one else's does.

#include "PrinterFixture.h"
#include "pdf/PdfChecks.h"

using namespace printertest;
using namespace pdfchecks;

namespace {

const QString kUser = "quillary-ct-a", kOther = "quillary-ct-b";

} // namespace

class CupsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void queueFollowsTheSystemPaperSize();
    void printedDocumentReachesOnlyItsUser();
    void hostileTitleStaysInTheUserFolder();
    void borrowedUserNameIsRefused();
    void linkedSpoolFolderIsRefused();
    void remoteJobsOnlyWhenTheQueueIsShared();
    void removingThePackageRemovesTheQueue();

private:
    QString spool() const { return cups->path("quillary"); }
    QString folderOf(const QString& user) const { return spool() + '/' + user; }
    Run maintainerScript(const QString& script, const QString& argument, const QString& paper = "a4") const
    {
        QProcessEnvironment env = cups->environment();
        env.insert("QUILLARY_SPOOL_ROOT", spool());
        env.insert("QUILLARY_PPD", QUILLARY_SOURCE_DIR "/src/printer/quillary.ppd");
        env.insert("PAPERSIZE", paper);
        return run("sh", {QUILLARY_SOURCE_DIR "/packaging/debian/" + script, argument}, env);
    }
    QString defaultPageSize() const
    {
        QFile ppd(cups->path("conf/ppd/Quillary.ppd"));
        if (!ppd.open(QIODevice::ReadOnly))
            return {};
        const QString text = QString::fromLatin1(ppd.readAll());
        const auto match = QRegularExpression("\\*DefaultPageSize: (\\S+)").match(text);
        return match.captured(1);
    }
    // Prints the test document as user; the job's id (0: not accepted).
    int print(const QString& user, const QString& title, const QStringList& more = {}) const
    {
        const Run lp = cups->clientAs(user, "lp", QStringList{"-d", "Quillary", "-t", title} + more + QStringList{document});
        return PrivateCups::jobId(lp);
    }

    LocalUsers users;
    std::unique_ptr<PrivateCups> cups;
    QTemporaryDir documents;
    QString document;
};

void CupsTest::initTestCase()
{
    if (const QString missing = missingForPrinting(true); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY2(QFileInfo::exists("/usr/lib/cups/filter/pdftopdf"), "pdftopdf missing: scripts/deps.sh installs it");
    QVERIFY2(users.ensure(kUser) && users.ensure(kOther), "useradd failed");
    // Three A4 pages, readable by the users who print it.
    QVERIFY(documents.isValid());
    document = documents.filePath("three.pdf");
    QVERIFY(testpdfs::writeNumbered(document, 3));
    QFile::setPermissions(documents.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    QFile::setPermissions(document, QFile::ReadOwner | QFile::ReadOther);

    cups = std::make_unique<PrivateCups>(QUILLARY_BACKEND);
    const QString problem = cups->start();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void CupsTest::init()
{
    // Each test starts with no user folders (a failed one may leave some).
    for (const QString& user : {kUser, kOther}) {
        QFile::remove(folderOf(user)); // a link
        QDir(folderOf(user)).removeRecursively();
    }
}

void CupsTest::queueFollowsTheSystemPaperSize()
{
    const Run letter = maintainerScript("postinst", "configure", "letter");
    QVERIFY2(letter.exitCode == 0, qPrintable(letter.err));
    QCOMPARE(defaultPageSize(), QStringLiteral("Letter"));
    QCOMPARE(ownerOf(spool()).uid, uid_t(0));
    QCOMPARE(ownerOf(spool()).mode, mode_t(0755));
    // Configured again (an upgrade): the queue stays as it is.
    QCOMPARE(maintainerScript("postinst", "configure", "a4").exitCode, 0);
    QCOMPARE(defaultPageSize(), QStringLiteral("Letter"));

    QCOMPARE(maintainerScript("prerm", "remove").exitCode, 0);
    const Run a4 = maintainerScript("postinst", "configure", "a4");
    QVERIFY2(a4.exitCode == 0, qPrintable(a4.err));
    QCOMPARE(defaultPageSize(), QStringLiteral("A4"));
    const Run device = cups->client("lpstat", {"-v", "Quillary"});
    QCOMPARE(device.out.trimmed(), "device for Quillary: quillary:" + spool());
}

void CupsTest::printedDocumentReachesOnlyItsUser()
{
    const int job = print(kUser, "Quarterly report");
    QVERIFY(job > 0);
    QCOMPARE(cups->finalState(job), IPP_JSTATE_COMPLETED);

    const QString name = QString::number(job) + "-Quarterly report.pdf";
    QCOMPARE(entries(folderOf(kUser)), QStringList{name});
    const QString file = folderOf(kUser) + '/' + name;
    // The document as printed: three A4 pages (the filters hand it over as PDF).
    QCOMPARE(testpdfs::pageCount(file), 3);
    for (int page = 0; page < 3; ++page) {
        const QRectF box = testpdfs::mediaBox(file, page);
        QVERIFY2(qAbs(box.width() - 595) < 1 && qAbs(box.height() - 842) < 1, qPrintable(QString::number(page)));
    }
    QCOMPARE(text(file), QStringLiteral("Page 1 Page 2 Page 3"));
    QCOMPARE(ownerOf(file).uid, LocalUsers::uid(kUser));
    QCOMPARE(ownerOf(file).mode, mode_t(0600));
    QCOMPARE(ownerOf(folderOf(kUser)).uid, LocalUsers::uid(kUser));
    QCOMPARE(ownerOf(folderOf(kUser)).mode, mode_t(0700));
    QVERIFY(!QFileInfo::exists(folderOf(kOther)));
    QCOMPARE(entries(spool()), QStringList{kUser});
}

void CupsTest::hostileTitleStaysInTheUserFolder()
{
    const int job = print(kUser, "../../" + kOther + "/..hidden");
    QVERIFY(job > 0);
    QCOMPARE(cups->finalState(job), IPP_JSTATE_COMPLETED);
    QCOMPARE(entries(folderOf(kUser)), QStringList{QString::number(job) + "-_._" + kOther + "_.hidden.pdf"});
    QCOMPARE(entries(spool()), QStringList{kUser});
}

void CupsTest::borrowedUserNameIsRefused()
{
    // cupsd identifies the local user by the socket: a name given with -U
    // needs that user's password, which lp cannot give.
    const Run lp = cups->clientAs(kUser, "lp", {"-U", kOther, "-d", "Quillary", "-t", "borrowed", document});
    QVERIFY2(lp.exitCode != 0, qPrintable(lp.out));
    QCOMPARE(PrivateCups::jobId(lp), 0);
    QVERIFY(!QFileInfo::exists(folderOf(kOther)));
}

void CupsTest::linkedSpoolFolderIsRefused()
{
    // The user's folder replaced by a link to a folder the user owns.
    const QString elsewhere = cups->path("elsewhere");
    QVERIFY(QDir().mkpath(elsewhere));
    QVERIFY(chown(elsewhere, kUser));
    QVERIFY(QFile::link(elsewhere, folderOf(kUser)));

    const int job = print(kUser, "through a link");
    QVERIFY(job > 0);
    QCOMPARE(cups->finalState(job), IPP_JSTATE_CANCELED);
    QVERIFY(cups->errorLog().contains(QStringLiteral("Quillary job %1 refused: %2 is a symbolic link")
                                          .arg(job)
                                          .arg(folderOf(kUser))));
    QCOMPARE(entries(elsewhere), QStringList());
    QVERIFY(QFile::remove(folderOf(kUser)));

    // The queue keeps working for the next job.
    const int next = print(kUser, "next");
    QVERIFY(next > 0);
    QCOMPARE(cups->finalState(next), IPP_JSTATE_COMPLETED);
    QCOMPARE(entries(folderOf(kUser)).size(), 1);
}

void CupsTest::remoteJobsOnlyWhenTheQueueIsShared()
{
    // A job from another host, as cupsd would pass it: the backend asks this
    // cupsd whether the queue is shared.
    QProcessEnvironment env = cups->environment();
    env.insert("DEVICE_URI", "quillary:" + spool());
    env.insert("PRINTER", "Quillary");
    const QStringList arguments{"70", kUser, "remote", "1", "job-originating-host-name=192.0.2.7", document};

    const Run unshared = run(QUILLARY_BACKEND, arguments, env);
    QCOMPARE(unshared.exitCode, 5);
    QVERIFY2(unshared.err.contains("is not shared"), qPrintable(unshared.err));
    QVERIFY(!QFileInfo::exists(folderOf(kUser)));

    QCOMPARE(cups->client("lpadmin", {"-p", "Quillary", "-o", "printer-is-shared=true"}).exitCode, 0);
    const Run shared = run(QUILLARY_BACKEND, arguments, env);
    QCOMPARE(cups->client("lpadmin", {"-p", "Quillary", "-o", "printer-is-shared=false"}).exitCode, 0);
    QVERIFY2(shared.exitCode == 0, qPrintable(shared.err));
    QCOMPARE(entries(folderOf(kUser)), QStringList{"70-remote.pdf"});
}

void CupsTest::removingThePackageRemovesTheQueue()
{
    QCOMPARE(maintainerScript("prerm", "remove").exitCode, 0);
    QVERIFY(cups->client("lpstat", {"-v", "Quillary"}).exitCode != 0);
    QVERIFY(QFileInfo::exists(spool())); // jobs wait until purge
    QCOMPARE(maintainerScript("postrm", "purge").exitCode, 0);
    QVERIFY(!QFileInfo::exists(spool()));
}

QTEST_GUILESS_MAIN(CupsTest)
#include "tst_printer_cups.moc"
