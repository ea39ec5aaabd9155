// The backend's decisions that need no file system: job file names from
// hostile titles, the arguments and options cupsd passes, which hosts are
// local, which spool roots a device URI may name.

#include "pdf/PdfChecks.h"

#include "printer/backend/JobName.h"
#include "printer/backend/JobRequest.h"
#include "printer/SpoolLayout.h"

#include <sstream>

using namespace quillary::printer;
using namespace pdfchecks;

namespace {

struct Title { QByteArray title; QByteArray name; };
struct Uri { QByteArray uri; QByteArray root; }; // root "" : refused

std::string s(const QByteArray& bytes) { return bytes.toStdString(); }

} // namespace

class JobRequestTest : public QObject {
    Q_OBJECT

private slots:
    void titles_data()
    {
        const QByteArray long200(200, 'x');
        // 59 two-byte letters and a three-byte one: the cut at 120 bytes
        // falls inside the euro sign.
        const QByteArray umlauts = QByteArray("\xc3\xa4").repeated(59) + "\xe2\x82\xac" + "tail";
        table<Title>({
            {"plain", {"Invoice March", "Invoice March"}},
            {"slashes become underscores", {"My / title", "My _ title"}},
            {"path climbing", {"../../etc/passwd", "_._etc_passwd"}},
            {"only dots", {"..", "document"}},
            {"leading dots and spaces", {" . .hidden", "hidden"}},
            {"runs of dots", {"a....b", "a.b"}},
            {"line breaks and tabs", {"first\nsecond\r\n\tthird", "first second third"}},
            {"escape and delete", {"a\x1b[31mred\x7f", "a [31mred"}},
            {"C1 control", {"a\xc2\x85" "b", "a b"}},
            {"right-to-left override", {"invoice\xe2\x80\xae" "fdp.exe", "invoice fdp.exe"}},
            {"broken UTF-8", {"caf\xe9 \xc3", "caf_ _"}},
            {"overlong slash", {"a\xc0\xaf" "b", "a__b"}},
            {"umlauts kept", {"Gr\xc3\xbc\xc3\x9f" "e", "Gr\xc3\xbc\xc3\x9f" "e"}},
            {".pdf not doubled", {"letter.PDF", "letter"}},
            {"only .pdf", {".pdf", "pdf"}},
            {"empty", {"", "document"}},
            {"trailing dots and spaces", {"name. . ", "name"}},
            {"bounded", {long200, QByteArray(120, 'x')}},
            {"bounded, never splits a character", {umlauts, QByteArray("\xc3\xa4").repeated(59)}},
        });
    }
    void titles()
    {
        auto [title, name] = fetch<Title>();
        const std::string safe = safeTitle(s(title));
        QCOMPARE(QByteArray::fromStdString(safe), name);
        QVERIFY(safe.size() <= kMaxTitleBytes);
        QVERIFY(QString::fromUtf8(safe).toUtf8() == QByteArray::fromStdString(safe)); // valid UTF-8
    }

    void jobFileNames()
    {
        QCOMPARE(jobFileName("../x", "42"), std::string("42-_x.pdf"));
        QCOMPARE(jobFileName("Invoice.pdf", "7", 2), std::string("7-Invoice (2).pdf"));
        // Every name fits a file system's 255 bytes.
        QVERIFY(jobFileName(std::string(1000, 'y'), "123456789012345678", 100).size() < 255);
    }

    void arguments()
    {
        const char* job[] = {"quillary", "12", "ada", "My / title", "1", "job-originating-host-name=localhost"};
        std::string reason;
        auto parsed = parseJobRequest(6, job, &reason);
        QVERIFY(parsed);
        QCOMPARE(parsed->jobId, std::string("12"));
        QCOMPARE(parsed->user, std::string("ada"));
        QCOMPARE(parsed->title, std::string("My / title"));
        QVERIFY(!parsed->file);

        const char* withFile[] = {"quillary", "12", "ada", "t", "1", "", "/var/spool/cups/d00012-001"};
        parsed = parseJobRequest(7, withFile, &reason);
        QVERIFY(parsed && parsed->file == std::string("/var/spool/cups/d00012-001"));

        QVERIFY(!parseJobRequest(5, job, &reason));
        QVERIFY(reason.starts_with("Usage:"));
        const char* badId[] = {"quillary", "12/../1", "ada", "t", "1", ""};
        QVERIFY(!parseJobRequest(6, badId, &reason));
        const char* noUser[] = {"quillary", "12", "", "t", "1", ""};
        QVERIFY(!parseJobRequest(6, noUser, &reason));
    }

    void options()
    {
        const std::string options = "finishings=3 job-uuid=urn:uuid:1 job-originating-host-name=localhost "
                                    "document-name-supplied='a b.pdf' note=\"x\\\"y\"";
        QCOMPARE(optionValue(options, "job-originating-host-name"), std::optional<std::string>("localhost"));
        QCOMPARE(optionValue(options, "document-name-supplied"), std::optional<std::string>("a b.pdf"));
        QCOMPARE(optionValue(options, "note"), std::optional<std::string>("x\"y"));
        QVERIFY(!optionValue(options, "job-originating-host"));
        // A value that only looks like the option is not it.
        QVERIFY(!optionValue("title=job-originating-host-name=localhost", "job-originating-host-name"));
    }

    void hosts()
    {
        for (const char* local : {"localhost", "LOCALHOST", "127.0.0.1", "127.1.2.3", "::1", "[v1.::1]"})
            QVERIFY2(isLocalHost(local), local);
        for (const char* remote : {"", "192.168.1.5", "128.0.0.1", "localhost.example.com", "evil", "127.0.0.1.evil",
                                   "::2", "fe80::1"})
            QVERIFY2(!isLocalHost(remote), remote);
    }

    void uris_data()
    {
        const QByteArray builtIn = QByteArray::fromStdString(std::string(kDefaultSpoolRoot));
        table<Uri>({
            {"scheme only", {"quillary:", builtIn}},
            {"root path", {"quillary:/", builtIn}},
            {"empty authority", {"quillary://", builtIn}},
            {"own root", {"quillary:/srv/spool/q", "/srv/spool/q"}},
            {"trailing slash", {"quillary:/srv/q/", "/srv/q"}},
            {"relative", {"quillary:spool", ""}},
            {"host part", {"quillary://host/spool", ""}},
            {"climbing", {"quillary:/srv/../etc", ""}},
            {"dot part", {"quillary:/srv/./q", ""}},
            {"query", {"quillary:/srv/q?x=1", ""}},
            {"other scheme", {"file:/tmp/q", ""}},
            {"missing", {"", ""}},
        });
    }
    void uris()
    {
        auto [uri, root] = fetch<Uri>();
        const std::optional<std::string> found = spoolRootFromUri(s(uri));
        QCOMPARE(found ? QByteArray::fromStdString(*found) : QByteArray(), root);
    }

    void firstPersonUids()
    {
        std::istringstream debian("# comment\nUID_MIN\t\t\t 1000\nUID_MAX 60000\n#UID_MIN 5\n");
        QCOMPARE(firstPersonUid(debian), uid_t(1000));
        std::istringstream site("UID_MIN 500\n");
        QCOMPARE(firstPersonUid(site), uid_t(500));
        std::istringstream silent("SYS_UID_MIN 100\nUID_MIN garbage\n");
        QCOMPARE(firstPersonUid(silent), uid_t(1000));
    }
};

QTEST_GUILESS_MAIN(JobRequestTest)
#include "tst_printer_jobrequest.moc"
