// A merge handed to a sink block by block (what a print filter does with
// it): the document from bytes the caller read, stationery drawn as stored
// or mended, and a sink that cannot keep what it is given.

#include "PdfChecks.h"
#include "pdf/Stationery.h"
#include "pdf/TaskManager.h"

using namespace quillary;
using namespace pdfchecks;

namespace {

// fromBytes: the document as bytes under a name that names no file; stored:
// the stationery drawn as stored; refuseAt: the sink says no to this block
// (-1: never). pages: per page the word of its stationery and its text.
struct Sink {
    bool fromBytes, stored;
    int refuseAt;
    ErrorCode code;
    QString pages;
};

} // namespace

class TestSink : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    const QString start = dir.filePath("start.pdf"), continuation = dir.filePath("continuation.pdf");

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        // Helvetica without a program: mending embeds one, drawing as stored does not.
        QVERIFY(testpdfs::writePdf(start, {{testpdfs::A4Whole, "Start", {{{300, 600, 40, 40}, Qt::red}}}}));
        QVERIFY(testpdfs::writePdf(continuation, {{testpdfs::A4Whole, "Cont", {{{300, 600, 40, 40}, Qt::green}}}}));
        QList<testpdfs::TestPage> pages;
        for (int k = 1; k <= 3; ++k)
            pages.append({testpdfs::A4, QStringLiteral("Page %1").arg(k), {}});
        QVERIFY(testpdfs::writePdf(dir.filePath("doc.pdf"), pages));
    }

    void sinks_data()
    {
        table<Sink>({{"document from its file, stationery mended", {false, false, -1, ErrorCode::None, "Start Page 1|Cont Page 2|Cont Page 3"}},
                     {"document from bytes, stationery as stored", {true, true, -1, ErrorCode::None, "Start Page 1|Cont Page 2|Cont Page 3"}},
                     {"sink refuses the first block", {true, true, 0, ErrorCode::WriteFailed, ""}},
                     {"sink refuses a later block", {false, true, 2, ErrorCode::WriteFailed, ""}}});
    }
    void sinks()
    {
        auto [fromBytes, stored, refuseAt, code, expected] = fetch<Sink>();
        MergeRequest r{dir.filePath("doc.pdf"), {}, start, continuation, {}, {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}}};
        r.useStartPage = r.useContinuationPage = true;
        r.documentFormat = FormatA4;
        r.staticId = true;
        r.compact = false; // dictionaries in plain sight, as a print filter writes them
        if (fromBytes) {
            r.documentBytes = bytesOf(r.documentPath);
            r.documentPath = QStringLiteral("job-from-a-pipe.pdf"); // no such file: only the bytes can be read
        }
        const auto files = StationeryFiles::of({{start, bytesOf(start)}, {continuation, bytesOf(continuation)}});
        StationeryCache cache(files, stored ? StationeryCache::Preparation::AsStored : StationeryCache::Preparation::Mend);

        QByteArray received;
        int blocks = 0;
        const Result result = TaskManager::mergeToSink(r, {}, cache, [&](const char* data, qint64 size) {
            if (blocks++ == refuseAt)
                return false;
            received.append(data, qsizetype(size));
            return true;
        });
        QCOMPARE(result.code, code);
        if (code != ErrorCode::None) {
            QCOMPARE(blocks, refuseAt + 1); // no block offered after the refusal
            return;
        }
        QVERIFY2(blocks > 1, "written block by block, not gathered first");
        const QString output = dir.filePath(QStringLiteral("out-%1.pdf").arg(QTest::currentDataTag()));
        QVERIFY(testpdfs::writeBytes(output, received));
        QStringList pages;
        for (int k = 1; k <= testpdfs::pageCount(output); ++k) {
            QProcess process;
            process.start("pdftotext", {"-f", QString::number(k), "-l", QString::number(k), output, "-"});
            QVERIFY(process.waitForFinished(60000));
            pages << QString::fromUtf8(process.readAllStandardOutput()).simplified();
        }
        QCOMPARE(pages.join('|'), expected);
        QCOMPARE(colourAt(render(output, 0), {305, 605}), 'R');
        // Mending embeds the font the stationery only names; as stored it stays named.
        QCOMPARE(received.contains("/FontFile"), !stored);
    }

    // Stationery files that carry the same font program and colour profile
    // (mended alike) hand the output one copy of each; streams of equal
    // length but other bytes stay apart.
    void sharedStreams_data()
    {
        QTest::addColumn<bool>("sameImage");
        QTest::newRow("same image in both") << true;
        QTest::newRow("images of one size, other colours") << false;
    }
    void sharedStreams()
    {
        QFETCH(bool, sameImage);
        // An uncompressed 40x40 image, beyond the size streams are shared from.
        const auto imagePage = [&](const QString& path, const char rgb[3]) {
            QByteArray pixels;
            for (int i = 0; i < 40 * 40; ++i)
                pixels.append(rgb, 3);
            return writeObjects(path, {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                       "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /XObject << /Im 5 0 R >> "
                                       "/Font << /F1 6 0 R >> >> /Contents 4 0 R >>",
                                       stream({}, "q 40 0 0 40 300 600 cm /Im Do Q BT /F1 12 Tf 300 300 Td (Paper) Tj ET"),
                                       stream("/Type /XObject /Subtype /Image /Width 40 /Height 40 /ColorSpace /DeviceRGB /BitsPerComponent 8", pixels),
                                       "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"},
                                false, true, [](QPDFWriter& w) { w.setCompressStreams(false); });
        };
        const QString red = dir.filePath("red-image.pdf"), green = dir.filePath("green-image.pdf");
        QVERIFY(imagePage(red, "\xff\x00\x00"));
        QVERIFY(imagePage(green, sameImage ? "\xff\x00\x00" : "\x00\xff\x00"));
        MergeRequest r{dir.filePath("doc.pdf"), {}, red, green, {}, {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}}};
        r.useStartPage = r.useContinuationPage = true;
        r.documentFormat = FormatA4;
        r.compact = false;
        StationeryCache cache(StationeryFiles::of({{red, bytesOf(red)}, {green, bytesOf(green)}}), StationeryCache::Preparation::Mend);
        QByteArray received;
        QVERIFY(TaskManager::mergeToSink(r, {}, cache, [&](const char* data, qint64 size) {
            received.append(data, qsizetype(size));
            return true;
        }));
        const QString output = dir.filePath(QStringLiteral("shared-%1.pdf").arg(sameImage));
        QVERIFY(testpdfs::writeBytes(output, received));
        QCOMPARE(colourAt(render(output, 0), {305, 605}), 'R');
        QCOMPARE(colourAt(render(output, 1), {305, 605}), sameImage ? 'R' : 'G');
        int programs = 0, profiles = 0, images = 0;
        const auto pdf = open(output);
        for (QPDFObjectHandle object : pdf->getAllObjects()) {
            if (!object.isStream())
                continue;
            QPDFObjectHandle dict = object.getDict();
            programs += dict.hasKey("/Length1");
            profiles += dict.getKey("/N").isInteger();
            images += dict.getKey("/Subtype").isNameAndEquals("/Image");
        }
        QCOMPARE(programs, 1);
        QCOMPARE(profiles, 1);
        QCOMPARE(images, sameImage ? 1 : 2);
    }

    // With bytes the named file is never read, even when one exists there.
    void bytesWinOverTheFile()
    {
        const QString named = dir.filePath("named.pdf");
        QVERIFY(testpdfs::writeBytes(named, "not a PDF at all"));
        MergeRequest r{named, {}, start, {}, {}, {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}}};
        r.useStartPage = true;
        r.documentBytes = bytesOf(dir.filePath("doc.pdf"));
        StationeryCache cache(StationeryFiles::of({{start, bytesOf(start)}}), StationeryCache::Preparation::AsStored);
        QByteArray received;
        QVERIFY(TaskManager::mergeToSink(r, {}, cache, [&](const char* data, qint64 size) {
            received.append(data, qsizetype(size));
            return true;
        }));
        QVERIFY(received.startsWith("%PDF-"));

        // Damaged bytes fail, naming the document, before the sink hears anything.
        r.documentBytes = QByteArray("%PDF-1.7\ngarbage");
        int blocks = 0;
        const Result damaged = TaskManager::mergeToSink(r, {}, cache, [&](const char*, qint64) { return ++blocks > 0; });
        QCOMPARE(damaged.code, ErrorCode::Damaged);
        QVERIFY2(damaged.error.startsWith(named + ": "), qPrintable(damaged.error));
        QCOMPARE(blocks, 0);
    }
};

QTEST_MAIN(TestSink)
#include "tst_pdf_sink.moc"
