// quillary-stamp's command line resolved in process into the merge request
// the tool hands the engine, and the tool run as a program on real files,
// results read back with qpdf.

#include "cli/StampOptions.h"
#include "cli/StampRequest.h"
#include "cli_test.h"

#include "pdf/PlainLines.h"
#include "store/CustomFileManager.h"

#include <QBuffer>

using namespace quillary;
using namespace quillary::cli;
using namespace pdfchecks;
using namespace Qt::StringLiterals;

namespace {

// arguments: "@" is the temporary folder. pages: start, continuation, terms
// ("-" none, "S/" in the store). mm: first x, y, continuation x, y. options:
// the save options as sorted "KEY=value".
const QList<float> kNoOffsets{0, 0, 0, 0};
const QString kPlain = "ALLOW_PRINT=true PASSWORD= WITH_PASSWORD=false";
struct Resolve {
    QString arguments, pages;
    bool overlay;
    QList<float> mm = kNoOffsets;
    QString options = kPlain;
    std::uint8_t format = FormatA4;
};
// Without offsets to check or a template to compare with, the format is left
// to the merge, which opens the document anyway. Passwords and the print
// restriction are checked on the output in protection.
constexpr std::uint8_t kByMerge = MergeRequest::FormatOfDocument;

// Runs of the tool: its arguments, split at spaces ("S/" starts a path in the
// store), and standard input. A run that is refused: its exit status and a
// part of its one stderr line.
struct Refusal { QString arguments; int exitCode; QString message; QByteArray input = {}; };
// A protected output of "--start s.pdf doc.pdf out.pdf": the password that
// opens it ("" none), the owner password that lifts its restrictions (""
// none known), printing allowed.
struct Protected { QString arguments; QString user, owner; bool print; QByteArray input = {}; };

const QString kStore = "data/" QUILLARY_BUNDLE_IDENTIFIER;

} // namespace

class StampToolTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(clitest::writeStore(path(kStore)));
        QVERIFY(clitest::writeStationery(path("s.pdf")) && clitest::writeStationery(path("t.pdf")));
        QVERIFY(testpdfs::writeNumbered(path("doc.pdf"), 3));
        QVERIFY(testpdfs::writeNumbered(path("letter.pdf"), 1, testpdfs::Letter));
        QVERIFY(testpdfs::writeNumbered(path("square.pdf"), 1, QSizeF(1000, 1000)));
        QVERIFY(testpdfs::writeBytes(path("bad.pdf"), "%PDF-1.4\nno PDF at all\n"));
        QVERIFY(testpdfs::writeBytes(path("empty.pdf"), ""));
        QVERIFY(testpdfs::writeZeroPages(path("nopages.pdf")));
        QVERIFY(QFile::copy(QStringLiteral(QUILLARY_TEST_DATA_DIR "/hostile-max-object-id.pdf"), path("hostile.pdf")));
        QVERIFY(testpdfs::writeEncrypted(path("locked.pdf"), "Swordfish7", "Marlin"));
        QVERIFY(testpdfs::writeBytes(path("out.pdf"), "an earlier output"));
        QVERIFY(testpdfs::writeBytes(path("own.txt"), "Swordfish7\r\nsecond line\n"));
        QVERIFY(testpdfs::writeBytes(path("latin1.txt"), "Gr\xfc\xdf Gott\n"));
        QVERIFY(QFile::link(path(kStore + "/settings.plist"), path("settings-link.pdf")));
        QVERIFY(QFile::link(path(kStore), path("store-link")));
    }

    void resolve_data()
    {
        table<Resolve>({
            {"file, behind by default, comma offsets", {"--start @/s.pdf --first-offset 10,5 --offset 10.1,-3 @/doc.pdf @/o.pdf",
                                                        "s.pdf - -", false, {10, 5, 10.1f, -3}}},
            {"files, over, semicolon offset", {"--continuation @/s.pdf --terms @/t.pdf --over --offset=10,5;-3 @/doc.pdf @/o.pdf",
                                               "- s.pdf t.pdf", true, {0, 0, 10.5f, -3}}},
            {"template isOverlay true: stationery behind", {"-t Behind @/doc.pdf @/o.pdf", "S/tempf00.pdf S/temp00.pdf -", false}},
            {"template isOverlay false: over; file and switch override pages",
             {"--template Over --no-start --continuation @/s.pdf @/doc.pdf @/o.pdf", "- s.pdf S/tempb00.pdf", true}},
            {"--behind overrides the template", {"-t Over --behind @/doc.pdf @/o.pdf", "S/tempf00.pdf - S/tempb00.pdf", false}},
            {"offsets just inside ten A4 pages, x and y apart",
             {"--start @/s.pdf --first-offset -2099,2970 --offset 2099,-2970 @/doc.pdf @/o.pdf", "s.pdf - -", false, {-2099, 2970, 2099, -2970}}},
            {"US Letter document: its format and its width bound the offset",
             {"--start @/s.pdf --offset 2159,0 @/letter.pdf @/o.pdf", "s.pdf - -", false, {0, 0, 2159, 0}, kPlain, FormatUSLetter}},
            {"other size: the document's own page bounds the offset",
             {"--start @/s.pdf --offset 3500,-3500 @/square.pdf @/o.pdf", "s.pdf - -", false, {0, 0, 3500, -3500}, kPlain, FormatUndefined}},
            {"password typed, title and author",
             {"--start @/s.pdf --password Geheim --title Angebot --author Ada @/doc.pdf @/o.pdf", "s.pdf - -", false, kNoOffsets,
              "ALLOW_PRINT=true AUTHOR=Ada PASSWORD=Geheim TITLE=Angebot WITH_PASSWORD=true", kByMerge}},
        });
    }

    void resolve()
    {
        const Resolve row = fetch<Resolve>();
        const QString storeDir = path(kStore);
        QBuffer standardInput;
        standardInput.setData("Chef Etage 3\nmore\n");
        QVERIFY(standardInput.open(QIODevice::ReadOnly));
        ScopedPlainLineSink quiet{PlainLineSink()};
        CustomFileManager store(StoreConfig{.directory = storeDir});

        QStringList argv{"quillary-stamp"};
        for (const QString& a : row.arguments.split(' '))
            argv << QString(a).replace('@', dir->path());
        const ParseOutcome parsed = parseStampOptions(argv);
        QVERIFY2(parsed.options, qPrintable(parsed.error));
        // The paper format is the job's own: the process-wide one stays as it is.
        TaskManager::documentFormat = FormatUndefined;
        const Resolution r = resolveMergeRequest(*parsed.options, {.store = &store, .standardInput = &standardInput});
        QVERIFY2(r.request, qPrintable(r.error));
        QCOMPARE(TaskManager::documentFormat, FormatUndefined);

        const MergeRequest& m = *r.request;
        QCOMPARE(m.documentPath, argv.at(argv.size() - 2));
        QCOMPARE(m.outputPath, path("o.pdf"));
        QCOMPARE(m.documentFormat, row.format);
        QStringList pages; // each page's file, "-" for none, and whether it is in use
        for (const auto& [file, used] : {std::pair(m.startPagePath, m.useStartPage), std::pair(m.continuationPagePath,
                                         m.useContinuationPage), std::pair(m.termsPagePath, m.useTermsPage)})
            pages << (used != file.has_value() ? "in use without a file"
                      : file                    ? QString(*file).replace(storeDir, "S").remove(dir->path() + '/')
                                                : "-");
        QCOMPARE(pages.join(' '), row.pages);
        QCOMPARE(m.stationeryIsOverlay, row.overlay);
        // The offset editor's steps: a float, widened, times 17/6.
        QList<double> points;
        for (float v : row.mm)
            points << static_cast<double>(v) * 17.0 / 6.0;
        QCOMPARE((QList<double>{m.firstPageOffsetX, m.firstPageOffsetY, m.continuationOffsetX, m.continuationOffsetY}), points);

        const char* keys[] = {"ALLOW_PRINT", "WITH_PASSWORD", "AUTHOR", "TITLE", "PASSWORD", "OWNER_PASSWORD"};
        QStringList options;
        for (auto it = m.options.cbegin(); it != m.options.cend(); ++it)
            options << QStringLiteral("%1=%2").arg(keys[int(it.key())], it.value().toString());
        options.sort();
        QCOMPARE(options.join(' '), row.options);
    }
    // The templates as lines of name, format and state; the help within 80
    // columns, every option named.
    void listAndHelp()
    {
        clitest::Ran ran = run("--list-templates");
        QCOMPARE(ran.exitCode, 0);
        QCOMPARE(ran.out, "Behind\tDIN A4\tenabled\nOver\tUS Letter\tdisabled\nGone\tDIN A4\tenabled\n");
        QVERIFY2(ran.err.isEmpty(), qPrintable(ran.err));
        ran = run("--help");
        QCOMPARE(ran.exitCode, 0);
        for (const char* option : {"--password-file FILE", "--owner-password-file FILE", "cannot be lifted", "--output-dir DIR",
                                   "--suffix TEXT", "-j, --jobs N", "--watch IN_DIR", "--settle SECONDS",
                                   "--output-dir DIR DOCUMENT.pdf...", "--watch IN_DIR --output-dir OUT_DIR"})
            QVERIFY2(ran.out.contains(option), option);
        for (const QString& line : ran.out.split('\n'))
            QVERIFY2(line.size() <= 80, qPrintable(line));
    }

    void protection_data()
    {
        table<Protected>({
            {"user and owner password", {"--password u1 --forbid-print --owner-password Swordfish7", "u1", "Swordfish7", false}},
            {"--forbid-print alone: opens freely, the restriction stays for good", {"--forbid-print", "", "", false}},
            {"passwords from standard input and a file",
             {"--password-file - --forbid-print --owner-password-file own.txt", "u1", "Swordfish7", false, "u1\n"}},
            {"password prepared: soft hyphen dropped, ligature expanded", {u"--password pass\u00AD\uFB01sh"_s, "passfish", "", true}},
        });
    }
    void protection()
    {
        const Protected row = fetch<Protected>();
        const clitest::Ran ran = run("--start s.pdf doc.pdf out.pdf " + row.arguments, row.input);
        QCOMPARE(ran.exitCode, 0);
        QVERIFY2(ran.err.isEmpty(), qPrintable(ran.err));
        QCOMPARE(bool(open(path("out.pdf"))), row.user.isEmpty());
        const auto pdf = open(path("out.pdf"), row.user.toUtf8().constData());
        QVERIFY(pdf && pdf->isEncrypted());
        QCOMPARE(testpdfs::pageCount(path("out.pdf"), row.user), 3);
        QCOMPARE(pdf->allowPrintHighRes(), row.print);
        QCOMPARE(pdf->allowExtractAll(), row.print);
        QVERIFY(!pdf->ownerPasswordMatched()); // the user password gives no owner rights
        if (!row.owner.isEmpty())
            QVERIFY(open(path("out.pdf"), row.owner.toUtf8().constData())->ownerPasswordMatched());
    }

    void refusals_data()
    {
        const QString same = "--owner-password: the owner password: it is the same";
        auto with = [](const QString& options) { return "--start s.pdf " + options + " doc.pdf out.pdf"; };
        table<Refusal>({
            {"unknown option", {with("--frobnicate"), 2, "Unknown option 'frobnicate'"}},
            {"missing OUTPUT", {"--start s.pdf doc.pdf", 2, "expected DOCUMENT.pdf and OUTPUT.pdf"}},
            {"offset not X,Y", {with("--offset 10,5,3"), 2, "--offset: \"10,5,3\" is not X,Y"}},
            {"short and long name given", {"-t Behind --template Over doc.pdf out.pdf", 2, "--template given more than once"}},
            {"switch given twice", {with("--no-terms --no-terms"), 2, "--no-terms given more than once"}},
            {"owner password, printing allowed", {with("--owner-password Swordfish7"), 2, "--owner-password only takes effect with --forbid-print"}},
            {"owner password equal to the password",
             {with("--password Swordfish7 --forbid-print --owner-password Swordfish7"), 2, same + " as the password once prepared"}},
            {"equal once a soft hyphen is dropped", {with(u"--password Swordfish7 --forbid-print --owner-password Sword\u00ADfish7"_s), 2, same}},
            {"equal, from standard input and a file", {with("--password-file - --forbid-print --owner-password-file own.txt"), 2,
                                                       "--owner-password-file own.txt: the owner password: it is the same", "Swordfish7\n"}},
            {"both from standard input", {with("--password-file - --forbid-print --owner-password-file -"), 2,
                                          "--password-file and --owner-password-file cannot both read standard input"}},
            {"password and password file",
             {with("--password Swordfish7 --password-file own.txt"), 2, "--password and --password-file contradict each other"}},
            {"empty password", {with("--password="), 2, "--password must not be empty"}},
            {"password that becomes empty",
             {with(u"--password \u00AD\u200D"_s), 2, "--password: the password: it holds only characters that are dropped"}},
            {"password longer than AES-256 keeps", {with("--password " + u"Swordfish7\u00E9"_s.repeated(11)), 2,
                                                    "132 bytes long once prepared as UTF-8; AES-256 keeps at most 127"}},
            {"password file not UTF-8", {with("--password-file latin1.txt"), 2, "--password-file latin1.txt: the password is not UTF-8 text"}},
            {"password with a control character", {with("--password Swordfish\x07"), 2, "--password: the password: it holds a character"}},
            {"offset beyond ten pages in x", {with("--offset 2101,0"), 2, "--offset: 2101.0,0.0 mm lies beyond the page"}},
            {"first offset beyond ten pages in y", {with("--first-offset 0,-2972"), 2, "--first-offset: 0.0,-2972.0 mm lies beyond"}},
            {"offset no reader could parse", {with("--offset 1e30,0"), 2, "--offset: "}},
            {"output is the document", {"--start s.pdf doc.pdf doc.pdf", 2, "doc.pdf: OUTPUT is the document itself"}},
            {"output is the stationery", {"--terms s.pdf doc.pdf s.pdf", 2, "s.pdf: OUTPUT is the terms page file"}},
            {"output is the template's page in use", {"-t Behind doc.pdf S/tempf00.pdf", 2, "OUTPUT is the start page file"}},
            {"output is the settings file", {"--start s.pdf doc.pdf S/settings.plist", 2, "settings.plist: OUTPUT lies in the template store"}},
            {"output is a scratch file of the store", {"--start s.pdf doc.pdf S/tmp1.pdf", 2, "tmp1.pdf: OUTPUT lies in the template store"}},
            {"output is a link to the settings file",
             {"--start s.pdf doc.pdf settings-link.pdf", 2, "settings-link.pdf: OUTPUT lies in the template store"}},
            {"output through a link into the store", {"--start s.pdf doc.pdf store-link/new.pdf", 2, "new.pdf: OUTPUT lies in the template store"}},
            {"--watch without --output-dir", {"--start s.pdf --watch .", 2, "--watch needs --output-dir OUT_DIR"}},
            {"--watch with file arguments", {"--start s.pdf --watch . --output-dir S doc.pdf", 2, "--watch takes no file arguments"}},
            {"--output-dir without documents", {"--start s.pdf --output-dir .", 2, "expected at least one DOCUMENT.pdf with --output-dir"}},
            {"--suffix without --output-dir", {with("--suffix -x"), 2, "--suffix only takes effect with --output-dir"}},
            {"-j without --output-dir", {with("-j3"), 2, "-j only takes effect with --output-dir"}},
            {"-j 0", {"--start s.pdf --output-dir . -j 0 doc.pdf", 2, "-j needs a number of documents from 1 to 64, not \"0\""}},
            {"-j beyond 64", {"--start s.pdf --output-dir . --jobs=65 doc.pdf", 2, "from 1 to 64, not \"65\""}},
            {"--suffix with a folder in it", {"--start s.pdf --output-dir . --suffix x/y doc.pdf", 2, "--suffix must not hold a /"}},
            {"--settle without --watch", {"--start s.pdf --output-dir . --settle 1 doc.pdf", 2, "--settle only takes effect with --watch"}},
            {"--settle of no time",
             {"--start s.pdf --watch . --output-dir S --settle 0", 2, "--settle needs a number of seconds from 0.05 to 3600, not \"0\""}},
            {"watched folder is the output folder",
             {"--start s.pdf --watch . --output-dir ./", 2, "the output folder must not be the watched folder"}},
            {"watched folder missing", {"--start s.pdf --watch nowhere --output-dir .", 1, "nowhere: no such folder"}},
            {"missing document", {"--start s.pdf none.pdf out.pdf", 1, "none.pdf: no such file"}},
            {"unreadable document", {"--start s.pdf bad.pdf out.pdf", 1, "bad.pdf"}},
            {"unreadable stationery", {"--terms bad.pdf doc.pdf out.pdf", 1, "bad.pdf"}},
            // qpdf throws only once the output needs one more object number.
            {"a document whose object numbers are at the limit",
             {"--start s.pdf hostile.pdf out.pdf", 1, "hostile.pdf: the document is damaged and cannot be used (max object id"}},
            // With a template to compare formats with, the document is read
            // first: its own fault is the one line, never a format warning.
            {"no PDF, with a template", {"-t Behind bad.pdf out.pdf", 1, "bad.pdf: not a readable PDF"}},
            {"an empty file, with a template", {"-t Behind empty.pdf out.pdf", 1, "empty.pdf: not a readable PDF"}},
            {"no pages, with a template", {"-t Behind nopages.pdf out.pdf", 1, "nopages.pdf: the document has no pages"}},
            {"protected, with a template", {"-t Behind locked.pdf out.pdf", 1, "locked.pdf: the file is protected by a password"}},
            {"protected, with offsets", {"--start s.pdf --offset 5,5 locked.pdf out.pdf", 1, "locked.pdf: the file is protected"}},
            {"unwritable output", {"--start s.pdf doc.pdf /proc/out.pdf", 1, "/proc/out.pdf"}},
            {"unknown template", {"-t Nobody doc.pdf out.pdf", 1, "no template named \"Nobody\""}},
            {"template page missing from the store",
             {"-t Gone doc.pdf out.pdf", 1, "template \"Gone\": its terms page (number 5) is missing from the store"}},
            {"missing password file", {with("--password-file none.txt"), 1, "none.txt: no such file (--password-file none.txt)"}},
        });
    }
    void refusals()
    {
        const Refusal row = fetch<Refusal>();
        const auto before = clitest::snapshot(dir->path());
        const clitest::Ran ran = run(row.arguments, row.input);
        QCOMPARE(ran.exitCode, row.exitCode);
        QVERIFY2(ran.err.startsWith("quillary-stamp: ") && ran.err.count('\n') == 1 && ran.err.contains(row.message),
                 qPrintable(ran.err));
        QVERIFY2(!ran.err.contains("fish"), qPrintable(ran.err)); // passwords never reach a message
        QVERIFY(ran.out.isEmpty());
        QCOMPARE(clitest::snapshot(dir->path()), before);
    }

private:
    QString path(const QString& name) const { return dir->filePath(name); }
    clitest::Ran run(const QString& arguments, const QByteArray& input = {}) const
    {
        return clitest::Tool{dir->path()}.run(QString(arguments).replace(QRegularExpression("(^| )S/"), "\\1" + kStore + '/').split(' '), input);
    }

    std::unique_ptr<QTemporaryDir> dir;
};

QTEST_MAIN(StampToolTest)
#include "tst_stamptool.moc"
