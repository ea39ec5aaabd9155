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
// An input and what becomes of it ("" : refused or none).
struct Case { QByteArray in, out; };
} // namespace

class JobRequestTest : public QObject {
    Q_OBJECT

private slots:
    void titles_data()
    {
        // 59 two-byte letters and a three-byte one: the cut at 120 bytes falls inside the euro sign.
        const QByteArray umlauts = QByteArray("\xc3\xa4").repeated(59) + "\xe2\x82\xac" + "tail";
        table<Case>({
            {"slashes become underscores", {"My / title", "My _ title"}},
            {"path climbing", {"../../etc/passwd", "_._etc_passwd"}},
            {"only dots", {"..", "document"}},
            {"leading dots and spaces", {" . .hidden", "hidden"}},
            {"runs of dots", {"a....b", "a.b"}},
            {"line breaks and tabs", {"first\nsecond\r\n\tthird", "first second third"}},
            {"escape and delete", {"a\x1b[31mred\x7f", "a [31mred"}},
            {"C1 control", {"a\xc2\x85" "b", "a b"}},
            {"right-to-left override", {"invoice\xe2\x80\xae" "fdp.exe", "invoice fdp.exe"}},
            {"right-to-left mark", {"invoice\xe2\x80\x8f" "fdp.exe", "invoice fdp.exe"}},
            {"word joiner", {"in\xe2\x81\xa0voice", "in voice"}},
            {"Mongolian vowel separator", {"in\xe1\xa0\x8evoice", "in voice"}},
            {"tag characters", {"in\xf3\xa0\x80\x81voice", "in voice"}},
            {"broken UTF-8", {"caf\xe9 \xc3", "caf_ _"}},
            {"overlong slash", {"a\xc0\xaf" "b", "a__b"}},
            {"umlauts kept", {"Gr\xc3\xbc\xc3\x9f" "e", "Gr\xc3\xbc\xc3\x9f" "e"}},
            {".pdf not doubled", {"letter.PDF", "letter"}},
            {"only .pdf", {".pdf", "pdf"}},
            {"empty", {"", "document"}},
            {"trailing dots and spaces", {"name. . ", "name"}},
            {"bounded", {QByteArray(200, 'x'), QByteArray(120, 'x')}},
            {"bounded, never splits a character", {umlauts, QByteArray("\xc3\xa4").repeated(59)}},
        });
    }
    void titles()
    {
        const Case row = fetch<Case>();
        const std::string safe = safeTitle(row.in.toStdString());
        QCOMPARE(QByteArray::fromStdString(safe), row.out);
        QVERIFY(safe.size() <= kMaxTitleBytes);
        QVERIFY(QString::fromUtf8(safe).toUtf8() == QByteArray::fromStdString(safe)); // valid UTF-8
        // The job file: number, title, ".pdf", a count when the name is taken, within 255 bytes.
        QCOMPARE(jobFileName(safe, "42", 2), "42-" + safe + " (2).pdf");
        QVERIFY(jobFileName(std::string(1000, 'y'), "123456789012345678", 100).size() < 255);
    }

    // Not a job's arguments (job id, user, title, copies, options and an
    // optional file): too few, a job id that is not a number, no user.
    void refusedArguments()
    {
        using Argv = std::vector<const char*>;
        for (const Argv& argv : {Argv{"quillary", "12", "ada", "t", "1"}, Argv{"quillary", "12/../1", "ada", "t", "1", ""},
                                 Argv{"quillary", "12", "", "t", "1", ""}}) {
            std::string reason;
            QVERIFY2(!parseJobRequest(int(argv.size()), argv.data(), &reason) && !reason.empty(), argv[1]);
        }
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
        for (const char* remote : {"", "192.168.1.5", "128.0.0.1", "localhost.example.com", "evil", "127.0.0.1.evil", "::2", "fe80::1"})
            QVERIFY2(!isLocalHost(remote), remote);
    }

    void uris_data()
    {
        const QByteArray builtIn(kDefaultSpoolRoot.data(), kDefaultSpoolRoot.size());
        table<Case>({
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
        const Case row = fetch<Case>();
        QCOMPARE(QByteArray::fromStdString(spoolRootFromUri(row.in.toStdString()).value_or("")), row.out);
    }

    // The first uid of a person's account, from login.defs; 1000 without one.
    void firstPersonUids()
    {
        std::istringstream debian("# comment\nUID_MIN\t\t\t 1000\nUID_MAX 60000\n#UID_MIN 5\n"), site("UID_MIN 500\n"),
            silent("SYS_UID_MIN 100\nUID_MIN garbage\n");
        QCOMPARE(firstPersonUid(debian), uid_t(1000));
        QCOMPARE(firstPersonUid(site), uid_t(500));
        QCOMPARE(firstPersonUid(silent), uid_t(1000));
    }
};

QTEST_GUILESS_MAIN(JobRequestTest)
#include "tst_printer_jobrequest.moc"
