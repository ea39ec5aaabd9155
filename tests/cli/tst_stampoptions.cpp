// quillary-stamp's command line, parsed and resolved in process into the
// merge request the tool hands the engine. Refusals are run as the program
// in tst_stamptool.

#include "cli/StampOptions.h"
#include "cli/StampRequest.h"
#include "cli_test_store.h"
#include "pdf/PdfChecks.h"

#include "pdf/PlainLines.h"
#include "store/CustomFileManager.h"

#include <QBuffer>

using namespace quillary;
using namespace quillary::cli;
using namespace pdfchecks;

namespace {
// arguments: "@" is the temporary folder. pages: start, continuation, terms
// ("-" none, "S/" in the store). mm: first x, y, continuation x, y. options:
// the save options as sorted "KEY=value".
struct Resolve {
    QString arguments, pages;
    bool overlay;
    QList<float> mm;
    QStringList options;
    std::uint8_t format = FormatA4;
};
const QList<float> kNoOffsets{0, 0, 0, 0};
const QStringList kPlain{"ALLOW_PRINT=true", "PASSWORD=", "WITH_PASSWORD=false"};
// Without offsets to check or a template to compare with, the format is left
// to the merge, which opens the document anyway.
constexpr std::uint8_t kMeasuredByTheMerge = MergeRequest::FormatOfDocument;
} // namespace

class StampOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void resolve_data()
    {
        table<Resolve>({
            {"file, behind by default, comma offsets",
             {"--start @/s.pdf --first-offset 10,5 --offset 10.1,-3 @/d.pdf @/o.pdf", "s.pdf - -", false,
              {10, 5, 10.1f, -3}, kPlain}},
            {"files, over, semicolon offset",
             {"--continuation @/s.pdf --terms @/t.pdf --over --offset=10,5;-3 @/d.pdf @/o.pdf", "- s.pdf t.pdf", true,
              {0, 0, 10.5f, -3}, kPlain}},
            {"template isOverlay true: stationery behind",
             {"-t Behind @/d.pdf @/o.pdf", "S/tempf00.pdf S/temp00.pdf -", false, kNoOffsets, kPlain}},
            {"template isOverlay false: over; file and switch override pages",
             {"--template Over --no-start --continuation @/s.pdf @/d.pdf @/o.pdf", "- s.pdf S/tempb00.pdf", true,
              kNoOffsets, kPlain}},
            {"--behind overrides the template",
             {"-t Over --behind @/d.pdf @/o.pdf", "S/tempf00.pdf - S/tempb00.pdf", false, kNoOffsets, kPlain}},
            {"offsets just inside ten A4 pages, x and y apart",
             {"--start @/s.pdf --first-offset -2099,2970 --offset 2099,-2970 @/d.pdf @/o.pdf", "s.pdf - -", false,
              {-2099, 2970, 2099, -2970}, kPlain}},
            {"US Letter document: its format and its width bound the offset",
             {"--start @/s.pdf --offset 2159,0 @/letter.pdf @/o.pdf", "s.pdf - -", false, {0, 0, 2159, 0}, kPlain,
              FormatUSLetter}},
            {"other size: the document's own page bounds the offset",
             {"--start @/s.pdf --offset 3500,-3500 @/square.pdf @/o.pdf", "s.pdf - -", false, {0, 0, 3500, -3500},
              kPlain, FormatUndefined}},
            {"--forbid-print alone: a random owner password, as the save panel",
             {"--start @/s.pdf --forbid-print @/d.pdf @/o.pdf", "s.pdf - -", false, kNoOffsets,
              {"ALLOW_PRINT=false", "OWNER_PASSWORD=", "PASSWORD=", "WITH_PASSWORD=false"}, kMeasuredByTheMerge}},
            {"password file without its line end, owner password from standard input",
             {"--start @/s.pdf --password-file @/pw.txt --forbid-print --owner-password-file - @/d.pdf @/o.pdf",
              "s.pdf - -", false, kNoOffsets,
              {"ALLOW_PRINT=false", "OWNER_PASSWORD=Chef Etage 3", "PASSWORD=Geheim 1", "WITH_PASSWORD=true"},
              kMeasuredByTheMerge}},
            {"password typed, title and author",
             {"--start @/s.pdf --password Geheim --title Angebot --author Ada @/d.pdf @/o.pdf", "s.pdf - -", false,
              kNoOffsets, {"ALLOW_PRINT=true", "AUTHOR=Ada", "PASSWORD=Geheim", "TITLE=Angebot", "WITH_PASSWORD=true"},
              kMeasuredByTheMerge}},
        });
    }

    void resolve()
    {
        const Resolve row = fetch<Resolve>();
        QTemporaryDir dir;
        const QString storeDir = dir.filePath("store");
        QVERIFY(clitest::writeStore(storeDir));
        for (const char* name : {"s.pdf", "t.pdf", "d.pdf"})
            QVERIFY(clitest::writeStationery(dir.filePath(name)));
        QVERIFY(testpdfs::writeNumbered(dir.filePath("letter.pdf"), 1, testpdfs::Letter));
        QVERIFY(testpdfs::writeNumbered(dir.filePath("square.pdf"), 1, QSizeF(1000, 1000)));
        QVERIFY(testpdfs::writeBytes(dir.filePath("pw.txt"), "Geheim 1\r\nsecond line\n"));
        QBuffer standardInput;
        standardInput.setData("Chef Etage 3\nmore\n");
        QVERIFY(standardInput.open(QIODevice::ReadOnly));
        StoreConfig config;
        config.directory = storeDir;
        ScopedPlainLineSink quiet{PlainLineSink()};
        CustomFileManager store(config);

        QStringList argv{"quillary-stamp"};
        for (const QString& a : row.arguments.split(' '))
            argv << QString(a).replace('@', dir.path());
        const ParseOutcome parsed = parseStampOptions(argv);
        QVERIFY2(parsed.options, qPrintable(parsed.error));
        // The paper format is the job's own: the process-wide one stays as it is.
        TaskManager::documentFormat = FormatUndefined;
        const Resolution r = resolveMergeRequest(*parsed.options, {.store = &store, .standardInput = &standardInput});
        QVERIFY2(r.request, qPrintable(r.error));
        QCOMPARE(TaskManager::documentFormat, FormatUndefined);

        const MergeRequest& m = *r.request;
        QCOMPARE(m.documentPath, argv.at(argv.size() - 2));
        QCOMPARE(m.outputPath, dir.filePath("o.pdf"));
        QCOMPARE(m.documentFormat, row.format);
        const QStringList pages = row.pages.split(' ');
        const std::optional<QString> paths[3] = {m.startPagePath, m.continuationPagePath, m.termsPagePath};
        const bool used[3] = {m.useStartPage, m.useContinuationPage, m.useTermsPage};
        for (int i = 0; i < 3; ++i) {
            const std::optional<QString> want = pages[i] == "-" ? std::nullopt
                : pages[i].startsWith("S/")                    ? std::optional(storeDir + pages[i].mid(1))
                                                               : std::optional(dir.filePath(pages[i]));
            QCOMPARE(paths[i], want);
            QCOMPARE(used[i], want.has_value());
        }
        QCOMPARE(m.stationeryIsOverlay, row.overlay);
        // The offset editor's steps: a float, widened, times 17/6.
        QList<double> points;
        for (float v : row.mm)
            points << static_cast<double>(v) * 17.0 / 6.0;
        QCOMPARE((QList<double>{m.firstPageOffsetX, m.firstPageOffsetY, m.continuationOffsetX, m.continuationOffsetY}),
                 points);

        const char* keys[] = {"ALLOW_PRINT", "WITH_PASSWORD", "AUTHOR", "TITLE", "PASSWORD", "OWNER_PASSWORD"};
        QStringList options;
        for (auto it = m.options.cbegin(); it != m.options.cend(); ++it)
            options << QStringLiteral("%1=%2").arg(keys[int(it.key())], it.value().toString());
        options.sort();
        QCOMPARE(options, row.options);
    }
};

QTEST_GUILESS_MAIN(StampOptionsTest)
#include "tst_stampoptions.moc"
