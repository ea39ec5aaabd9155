// Merging stationery with documents, checked with qpdf, two renderers and
// pdftotext.

#include "PdfChecks.h"
#include "pdf/TaskManager.h"
#include "support/TestPdfs.h"

#include <QTemporaryDir>

#include <qpdf/QPDFWriter.hh>
#include <QtTest>

#include <set>

#include <sys/stat.h>

using namespace quillary;
using testpdfs::TestPage;

namespace {

// Marks the tests look for: the document's blue square, and one square per
// stationery kind at the same place so the probe tells which one is there.
const QRectF DocMark(100, 400, 40, 40);
const QRectF StationeryMark(300, 600, 40, 40);
const QPointF Inset(5, 5);

TestPage stationeryPage(const QColor& colour, const QString& label)
{
    TestPage page;
    page.text = label;
    page.rects = {{StationeryMark, colour}};
    return page;
}

} // namespace

class TestMerge : public QObject {
    Q_OBJECT

    QTemporaryDir dir{QDir::tempPath() + "/tst_pdf_merge-XXXXXX"};
    QString startPath, continuationPath, termsPath;

    QString file(const QString& name) const { return dir.filePath(name); }

    QString documentWith(int pages, QSizeF size = testpdfs::A4)
    {
        QList<TestPage> pageList;
        for (int k = 1; k <= pages; ++k) {
            TestPage page;
            page.size = size;
            page.text = QStringLiteral("Page %1").arg(k);
            page.rects = {{DocMark, Qt::blue}};
            pageList.append(page);
        }
        const QString path = file(QStringLiteral("doc%1-%2x%3.pdf").arg(pages).arg(size.width()).arg(size.height()));
        if (!QFileInfo::exists(path) && !testpdfs::writePdf(path, pageList))
            qFatal("cannot write a test document");
        return path;
    }

    MergeRequest request(const QString& document, const QString& output)
    {
        MergeRequest r;
        r.documentPath = document;
        r.outputPath = output;
        r.startPagePath = startPath;
        r.continuationPagePath = continuationPath;
        r.termsPagePath = termsPath;
        r.options = {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}};
        return r;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        dir.setAutoRemove(qEnvironmentVariableIsEmpty("QUILLARY_KEEP_TEST_FILES"));
        startPath = file("start.pdf");
        continuationPath = file("continuation.pdf");
        termsPath = file("terms.pdf");
        QVERIFY(testpdfs::writePdf(startPath, {stationeryPage(Qt::red, "Start Letterhead")}));
        QVERIFY(testpdfs::writePdf(continuationPath, {stationeryPage(Qt::green, "Continuation Letterhead")}));
        QVERIFY(testpdfs::writePdf(termsPath, {stationeryPage(Qt::yellow, "Terms Conditions")}));
    }

    void init() { TaskManager::documentFormat = FormatA4; }

    // Which stationery lies on each output page and where the document's
    // content landed: per page "<stationery colour><document colour>" read at
    // the stationery mark and at the document mark moved by its offset.
    void composition_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("useStart");
        QTest::addColumn<bool>("useContinuation");
        QTest::addColumn<bool>("useTerms");
        QTest::addColumn<bool>("withStartPath");
        QTest::addColumn<bool>("overlay");
        QTest::addColumn<QPointF>("firstOffset");
        QTest::addColumn<QPointF>("continuationOffset");
        QTest::addColumn<QStringList>("expected");

        const QPointF none;
        QTest::newRow("one page, all three: start then terms alone")
            << 1 << true << true << true << true << false << none << none << QStringList{"RB", "YW"};
        QTest::newRow("three pages, continuation only")
            << 3 << false << true << false << true << true << QPointF(10, 20) << none
            << QStringList{"WB", "GB", "GB"};
        QTest::newRow("three pages, all three")
            << 3 << true << true << true << true << false << none << none << QStringList{"RB", "GB", "GB", "YW"};
        QTest::newRow("start flag without a start file")
            << 1 << true << false << false << false << false << QPointF(10, 20) << none << QStringList{"WB"};
        QTest::newRow("first-page offset moves page 1 only")
            << 2 << true << true << false << true << false << QPointF(10, 20) << none << QStringList{"RB", "GB"};
        QTest::newRow("continuation offset, overlay")
            << 3 << true << true << false << true << true << none << QPointF(-30, 50)
            << QStringList{"RB", "GB", "GB"};
        QTest::newRow("terms page ignores offsets")
            << 1 << false << false << true << true << true << QPointF(60, -70) << QPointF(60, -70)
            << QStringList{"WB", "YW"};
        QTest::newRow("nothing enabled")
            << 2 << false << false << false << true << false << QPointF(-50, -50) << QPointF(15, 0)
            << QStringList{"WB", "WB"};
    }
    void composition()
    {
        QFETCH(int, pages);
        QFETCH(bool, useStart);
        QFETCH(bool, useContinuation);
        QFETCH(bool, useTerms);
        QFETCH(bool, withStartPath);
        QFETCH(bool, overlay);
        QFETCH(QPointF, firstOffset);
        QFETCH(QPointF, continuationOffset);
        QFETCH(QStringList, expected);

        const QString output = file(QStringLiteral("composition-%1.pdf").arg(QTest::currentDataTag()));
        MergeRequest r = request(documentWith(pages), output);
        if (!withStartPath)
            r.startPagePath.reset();
        r.useStartPage = useStart;
        r.useContinuationPage = useContinuation;
        r.useTermsPage = useTerms;
        r.stationeryIsOverlay = overlay;
        r.firstPageOffsetX = firstOffset.x();
        r.firstPageOffsetY = firstOffset.y();
        r.continuationOffsetX = continuationOffset.x();
        r.continuationOffsetY = continuationOffset.y();
        const PdfResult result = TaskManager::mergeDocument(r);
        QVERIFY2(result.ok, qPrintable(result.error));

        QCOMPARE(testpdfs::pageCount(output), expected.size());
        QStringList seen;
        for (int i = 0; i < expected.size(); ++i) {
            const QImage image = pdfchecks::render(output, i);
            QCOMPARE(image.size(), QSize(595, 842));
            const QPointF offset = i == 0 ? firstOffset : continuationOffset;
            const QPointF docProbe = DocMark.topLeft() + offset + Inset;
            const QPointF statProbe = StationeryMark.topLeft() + Inset;
            seen << QString(pdfchecks::colourName(pdfchecks::at(image, statProbe.x(), statProbe.y())))
                        + pdfchecks::colourName(pdfchecks::at(image, docProbe.x(), docProbe.y()));
            // A moved page has left its unmoved place empty.
            if (i < pages && (offset.x() >= 10 || offset.y() >= 10 || offset.x() <= -10 || offset.y() <= -10)) {
                const QPointF unmoved = DocMark.topLeft() + Inset;
                QCOMPARE(pdfchecks::colourName(pdfchecks::at(image, unmoved.x(), unmoved.y())), QLatin1Char('W'));
            }
        }
        QCOMPARE(seen, expected);
    }

    // What is drawn later covers what was drawn before, in both renderers.
    void overlayOrder_data()
    {
        QTest::addColumn<bool>("overlay");
        QTest::addColumn<bool>("poppler");
        QTest::addColumn<bool>("whiteBackground");
        QTest::addColumn<QChar>("expected");
        QTest::newRow("overlay, Qt PDF") << true << false << false << QChar('R');
        QTest::newRow("behind, Qt PDF") << false << false << false << QChar('B');
        QTest::newRow("overlay, pdftoppm") << true << true << false << QChar('R');
        QTest::newRow("behind, pdftoppm") << false << true << false << QChar('B');
        QTest::newRow("white stationery over the document hides it") << true << false << true << QChar('W');
        QTest::newRow("white stationery behind the document") << false << false << true << QChar('B');
    }
    void overlayOrder()
    {
        QFETCH(bool, overlay);
        QFETCH(bool, poppler);
        QFETCH(bool, whiteBackground);
        QFETCH(QChar, expected);

        TestPage cover;
        if (whiteBackground)
            cover.whiteBackground = true;
        else
            cover.rects = {{DocMark, Qt::red}};
        const QString stationery = file(QStringLiteral("cover-%1.pdf").arg(whiteBackground));
        QVERIFY(testpdfs::writePdf(stationery, {cover}));

        const QString output = file(QStringLiteral("order-%1.pdf").arg(QTest::currentDataTag()));
        MergeRequest r = request(documentWith(1), output);
        r.startPagePath = stationery;
        r.useStartPage = true;
        r.stationeryIsOverlay = overlay;
        QVERIFY(TaskManager::mergeDocument(r));
        const QImage image = poppler ? pdfchecks::renderWithPoppler(output, 0) : pdfchecks::render(output, 0);
        QVERIFY(!image.isNull());
        const QPointF probe = DocMark.center();
        QCOMPARE(pdfchecks::colourName(pdfchecks::at(image, probe.x(), probe.y())), expected);
    }

    // Output pages take the size of the document's format, never the
    // document's own size, except when the format is neither A4 nor Letter.
    void pageSizes_data()
    {
        QTest::addColumn<QSizeF>("documentSize");
        QTest::addColumn<QRectF>("expected");
        QTest::newRow("A4 in fractional points") << testpdfs::A4 << QRectF(0, 0, 595, 842);
        QTest::newRow("US Letter") << testpdfs::Letter << QRectF(0, 0, 612, 792);
        QTest::newRow("A4 landscape gives portrait pages") << testpdfs::A4Landscape << QRectF(0, 0, 595, 842);
        QTest::newRow("other format: the document's own size") << QSizeF(500, 700) << QRectF(0, 0, 500, 700);
    }
    void pageSizes()
    {
        QFETCH(QSizeF, documentSize);
        QFETCH(QRectF, expected);
        const QString document = documentWith(2, documentSize);
        const PageSize size = TaskManager::pageSize(document);
        TaskManager::documentFormat = TaskManager::pageFormat(size.width, size.height).formatCode;

        const QString output = file(QStringLiteral("size-%1.pdf").arg(QTest::currentDataTag()));
        MergeRequest r = request(document, output);
        r.useStartPage = r.useTermsPage = true;
        QVERIFY(TaskManager::mergeDocument(r));
        QCOMPARE(testpdfs::pageCount(output), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(testpdfs::mediaBox(output, i), expected);
    }

    // Content keeps its user-space coordinates: no scaling, rotation or
    // centring; what lies beyond the output page is cut off.
    void placement_data()
    {
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QPointF>("origin");
        QTest::addColumn<int>("rotate");
        QTest::addColumn<QRectF>("mark");
        QTest::addColumn<QPointF>("offset");
        QTest::addColumn<QPointF>("probe");
        QTest::addColumn<QChar>("expected");

        const QPointF none;
        QTest::newRow("larger page is not scaled down")
            << QSizeF(1000, 1000) << none << 0 << QRectF(500, 700, 40, 40) << none << QPointF(505, 705) << QChar('B');
        QTest::newRow("larger page is cut off at the edge")
            << QSizeF(1000, 1000) << none << 0 << QRectF(570, 100, 100, 40) << none << QPointF(590, 110) << QChar('B');
        QTest::newRow("smaller page is not scaled up")
            << QSizeF(300, 300) << none << 0 << QRectF(100, 100, 40, 40) << none << QPointF(105, 105) << QChar('B');
        QTest::newRow("smaller page leaves the rest empty")
            << QSizeF(300, 300) << none << 0 << QRectF(100, 100, 40, 40) << none << QPointF(220, 220) << QChar('W');
        QTest::newRow("media box origin is not moved to the corner")
            << QSizeF(595, 842) << QPointF(100, 100) << 0 << QRectF(150, 150, 40, 40) << none << QPointF(155, 155)
            << QChar('B');
        QTest::newRow("rotation is not applied")
            << QSizeF(595, 842) << none << 90 << QRectF(100, 400, 40, 40) << none << QPointF(105, 405) << QChar('B');
        QTest::newRow("content beyond its own page reappears when shifted in")
            << QSizeF(300, 300) << none << 0 << QRectF(400, 100, 40, 40) << QPointF(-200, 0) << QPointF(205, 105)
            << QChar('B');
        QTest::newRow("negative offset pushes content off the page")
            << QSizeF(595, 842) << none << 0 << QRectF(10, 400, 40, 40) << QPointF(-60, 0) << QPointF(5, 405)
            << QChar('W');
    }
    void placement()
    {
        QFETCH(QSizeF, size);
        QFETCH(QPointF, origin);
        QFETCH(int, rotate);
        QFETCH(QRectF, mark);
        QFETCH(QPointF, offset);
        QFETCH(QPointF, probe);
        QFETCH(QChar, expected);

        TestPage page;
        page.size = size;
        page.origin = origin;
        page.rotate = rotate;
        page.rects = {{mark, Qt::blue}};
        const QString document = file(QStringLiteral("placement-%1.pdf").arg(QTest::currentDataTag()));
        QVERIFY(testpdfs::writePdf(document, {page}));
        const QString output = file(QStringLiteral("placed-%1.pdf").arg(QTest::currentDataTag()));
        MergeRequest r = request(document, output);
        r.firstPageOffsetX = offset.x();
        r.firstPageOffsetY = offset.y();
        QVERIFY(TaskManager::mergeDocument(r));
        QCOMPARE(testpdfs::mediaBox(output), QRectF(0, 0, 595, 842));
        const QImage image = pdfchecks::render(output, 0);
        QCOMPARE(pdfchecks::colourName(pdfchecks::at(image, probe.x(), probe.y())), expected);
    }

    // Pages whose content is split over several streams, or who share one
    // stream, are drawn whole and each in its place.
    void unusualContentStreams_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::newRow("content split over two streams") << false;
        QTest::newRow("two pages sharing one content stream") << true;
    }
    void unusualContentStreams()
    {
        QFETCH(bool, shared);
        const QString plain = file(QStringLiteral("streams-%1.pdf").arg(shared));
        QVERIFY(testpdfs::writeNumbered(plain, 2));
        const QString document = file(QStringLiteral("streams-%1-edited.pdf").arg(shared));
        {
            QPDF pdf;
            pdf.processFile(QFile::encodeName(plain).constData());
            auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
            QPDFObjectHandle colour = pdf.newStream("0 0 1 rg");
            QPDFObjectHandle square = pdf.newStream("100 400 40 40 re f");
            QPDFObjectHandle both = pdf.newStream("0 0 1 rg 100 400 40 40 re f");
            for (auto& page : pages) {
                QPDFObjectHandle contents = QPDFObjectHandle::newArray();
                if (shared) {
                    contents.appendItem(both);
                } else {
                    contents.appendItem(colour);
                    contents.appendItem(square);
                }
                page.getObjectHandle().replaceKey("/Contents", contents);
            }
            const QByteArray name = QFile::encodeName(document); // the writer keeps the pointer
            QPDFWriter writer(pdf, name.constData());
            writer.write();
        }
        const QString output = file(QStringLiteral("streams-%1-merged.pdf").arg(shared));
        MergeRequest r = request(document, output);
        r.firstPageOffsetX = 100;
        QVERIFY(TaskManager::mergeDocument(r));
        QCOMPARE(testpdfs::pageCount(output), 2);
        QCOMPARE(pdfchecks::colourName(pdfchecks::at(pdfchecks::render(output, 0), 205, 405)), QLatin1Char('B'));
        QCOMPARE(pdfchecks::colourName(pdfchecks::at(pdfchecks::render(output, 1), 105, 405)), QLatin1Char('B'));
        QCOMPARE(pdfchecks::colourName(pdfchecks::at(pdfchecks::render(output, 1), 205, 405)), QLatin1Char('W'));
    }

    // A document encrypted with an owner password only opens without one; its
    // content reaches the output decrypted, and the output is not encrypted.
    void documentWithOwnerPasswordOnly()
    {
        const QString document = file("owner-only.pdf");
        QVERIFY(testpdfs::writeEncrypted(document, "", "owner"));
        const QString output = file("owner-only-merged.pdf");
        MergeRequest r = request(document, output);
        r.useStartPage = true;
        const PdfResult result = TaskManager::mergeDocument(r);
        QVERIFY2(result.ok, qPrintable(result.error));
        auto pdf = pdfchecks::open(output);
        QVERIFY(pdf);
        QVERIFY(!pdf->isEncrypted());
        const QString words = pdfchecks::text(output);
        QVERIFY2(words.contains("Secret") && words.contains("Start Letterhead"), qPrintable(words));
    }

    // The output is built inside the document's own file: what belonged to
    // the document as a whole, or to its old page objects, must stay behind.
    void documentLevelDataStaysBehind_data()
    {
        QTest::addColumn<QString>("where"); // catalog key, "/Info" or "/Annots"
        QTest::addColumn<QByteArray>("value"); // carries the word Leftover

        QTest::newRow("outlines") << "/Outlines"
            << QByteArray("<< /Type /Outlines /Count 1 /First << /Title (Leftover) >> >>");
        QTest::newRow("interactive form") << "/AcroForm"
            << QByteArray("<< /Fields [ << /FT /Tx /T (Leftover) /V (Leftover) >> ] >>");
        QTest::newRow("named destinations") << "/Names"
            << QByteArray("<< /Dests << /Names [ (Leftover) null ] >> >>");
        QTest::newRow("document actions") << "/OpenAction"
            << QByteArray("<< /S /JavaScript /JS (Leftover) >>");
        QTest::newRow("old information") << "/Info"
            << QByteArray("<< /Title (Leftover) /Producer (Leftover) >>");
        QTest::newRow("annotations of the old pages") << "/Annots"
            << QByteArray("[ << /Type /Annot /Subtype /Text /Rect [0 0 10 10] /Contents (Leftover) >> ]");
    }
    void documentLevelDataStaysBehind()
    {
        QFETCH(QString, where);
        QFETCH(QByteArray, value);
        const QString document = file(QStringLiteral("busy-%1.pdf").arg(QTest::currentDataTag()));
        {
            auto pdf = pdfchecks::open(documentWith(3));
            QVERIFY(pdf);
            QPDFObjectHandle object = pdf->makeIndirectObject(QPDFObjectHandle::parse(value.toStdString()));
            if (where == "/Info") {
                pdf->getTrailer().replaceKey("/Info", object);
            } else if (where == "/Annots") {
                for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages())
                    page.getObjectHandle().replaceKey("/Annots", object);
            } else {
                pdf->getRoot().replaceKey(where.toStdString(), object);
            }
            pdf->getRoot().replaceKey("/Metadata", pdf->newStream("<x:xmpmeta>Leftover</x:xmpmeta>"));
            QPDFWriter writer(*pdf, QFile::encodeName(document).constData());
            writer.write();
        }
        const QString output = file(QStringLiteral("busy-%1-merged.pdf").arg(QTest::currentDataTag()));
        MergeRequest r = request(document, output);
        r.useStartPage = r.useContinuationPage = true;
        r.options.insert(SaveOptions::TITLE, QStringLiteral("New"));
        const PdfResult result = TaskManager::mergeDocument(r);
        QVERIFY2(result.ok, qPrintable(result.error));

        auto pdf = pdfchecks::open(output);
        QVERIFY(pdf);
        QCOMPARE(pdf->getRoot().getKeys(), (std::set<std::string>{"/Pages", "/Type"}));
        QCOMPARE(pdfchecks::information(output).value("Title"), QStringLiteral("New"));
        QVERIFY(!pdfchecks::information(output).contains("Producer"));
        for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages())
            QVERIFY(!page.getObjectHandle().hasKey("/Annots"));
        for (QPDFObjectHandle object : pdf->getAllObjects()) {
            std::string seen = object.isStream() ? object.getDict().unparse() : object.unparse();
            if (object.isStream()) {
                const auto data = object.getStreamData(qpdf_dl_all);
                seen.append(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
            }
            QVERIFY2(seen.find("Leftover") == std::string::npos, seen.c_str());
        }
        QCOMPARE(testpdfs::pageCount(output), 3);
    }

    void textStaysText()
    {
        const QString output = file("text.pdf");
        MergeRequest r = request(documentWith(3), output);
        r.useStartPage = r.useContinuationPage = r.useTermsPage = true;
        QVERIFY(TaskManager::mergeDocument(r));
        const QString words = pdfchecks::text(output);
        for (const char* expected : {"Page 1", "Page 2", "Page 3", "Start Letterhead", "Continuation Letterhead",
                                     "Terms Conditions"})
            QVERIFY2(words.contains(QLatin1String(expected)), expected);
    }

    // A stationery page is stored once and referenced by every page using it.
    void stationerySharedOnce()
    {
        // A stationery page with a sizeable, incompressible content stream.
        QByteArray noise;
        quint32 state = 12345;
        for (int i = 0; i < 6000; ++i) {
            state = state * 1664525u + 1013904223u;
            noise += QByteArray::number(state % 595) + ' ' + QByteArray::number((state >> 10) % 842) + " m ";
        }
        const QString heavy = file("heavy.pdf");
        QVERIFY(testpdfs::writeRaw(heavy, noise + "\n"));

        const int pages = 40;
        const QString document = documentWith(pages);
        const QString output = file("shared.pdf");
        MergeRequest r = request(document, output);
        r.continuationPagePath = heavy;
        r.useContinuationPage = true;
        QVERIFY(TaskManager::mergeDocument(r));

        auto pdf = pdfchecks::open(output);
        QVERIFY(pdf);
        std::set<QPDFObjGen> forms;
        for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages()) {
            QPDFObjectHandle xobjects = page.getObjectHandle().getKey("/Resources").getKey("/XObject");
            for (const auto& key : xobjects.getKeys())
                forms.insert(xobjects.getKey(key).getObjGen());
        }
        // One form per document page plus one for the continuation page.
        QCOMPARE(forms.size(), size_t(pages + 1));
        const qint64 growth = QFileInfo(output).size() - QFileInfo(document).size();
        QVERIFY2(growth < 2 * QFileInfo(heavy).size(),
                 qPrintable(QStringLiteral("output grew by %1 bytes").arg(growth)));
    }

    // A merge that cannot be done says why, naming the file, and leaves the
    // output as it was.
    void failures_data()
    {
        QTest::addColumn<QString>("culprit"); // the file named in the reason
        QTest::addColumn<QString>("stdoutText");

        QTest::newRow("missing document") << "document" << "File doesnt exists\n";
        QTest::newRow("document is not a PDF") << "document" << "";
        QTest::newRow("document without pages") << "document" << "";
        QTest::newRow("document needs a password") << "document" << "";
        QTest::newRow("start file unreadable") << "start" << "";
        QTest::newRow("continuation file without pages") << "continuation" << "";
        QTest::newRow("terms file missing") << "terms" << "";
        QTest::newRow("output folder missing") << "output" << "";
        QTest::newRow("password with a control character") << "output" << "";
    }
    void failures()
    {
        QFETCH(QString, culprit);
        QFETCH(QString, stdoutText);
        const QString tag = QString::fromLatin1(QTest::currentDataTag());

        QTemporaryDir outDir;
        QString output = outDir.filePath("merged.pdf");
        QVERIFY(testpdfs::writeBytes(output, "OLD"));
        QString document = documentWith(2);
        MergeRequest r = request(document, output);
        r.useStartPage = r.useContinuationPage = r.useTermsPage = true;
        QString culpritPath;

        const QString bad = file("bad-" + tag + ".pdf");
        if (tag == "missing document") {
            r.documentPath = culpritPath = file("nowhere.pdf");
        } else if (tag == "document is not a PDF") {
            QVERIFY(testpdfs::writeBytes(bad, "%PDF-1.4 this is not really a PDF"));
            r.documentPath = culpritPath = bad;
        } else if (tag == "document without pages") {
            QVERIFY(testpdfs::writeZeroPages(bad));
            r.documentPath = culpritPath = bad;
        } else if (tag == "document needs a password") {
            QVERIFY(testpdfs::writeEncrypted(bad, "user", "owner"));
            r.documentPath = culpritPath = bad;
        } else if (tag == "start file unreadable") {
            QVERIFY(testpdfs::writeBytes(bad, "garbage"));
            r.startPagePath = culpritPath = bad;
        } else if (tag == "continuation file without pages") {
            QVERIFY(testpdfs::writeZeroPages(bad));
            r.continuationPagePath = culpritPath = bad;
        } else if (tag == "terms file missing") {
            r.termsPagePath = culpritPath = file("no-terms.pdf");
        } else if (tag == "output folder missing") {
            r.outputPath = culpritPath = outDir.filePath("missing/merged.pdf");
        } else {
            r.options[SaveOptions::WITH_PASSWORD] = true;
            r.options[SaveOptions::PASSWORD] = QStringLiteral("tab\there");
            culpritPath = output;
        }
        QVERIFY(!culpritPath.isEmpty());
        Q_UNUSED(culprit);

        PdfResult result;
        const QString printed = pdfchecks::captureStdout([&] { result = TaskManager::mergeDocument(r); });
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(culpritPath), qPrintable(result.error));
        QVERIFY2(!result.error.contains('\n'), qPrintable(result.error));
        QCOMPARE(printed, stdoutText);

        QFile old(output);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("OLD"));
        QCOMPARE(pdfchecks::entries(outDir.path()), QStringList{"merged.pdf"});
    }

    // A replaced file keeps its permissions; a new one gets the usual ones
    // rather than those of the private temporary file, except in a private
    // folder (the store), where it stays private.
    void outputPermissions_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<int>("expected");

        QTest::newRow("replaced file keeps its mode") << 0755 << true << 0640;
        QTest::newRow("new file in a shared folder") << 0755 << false << 0644;
        QTest::newRow("new file in a private folder") << 0700 << false << 0600;
        QTest::newRow("replaced file in a private folder keeps its mode") << 0700 << true << 0640;
    }

    void outputPermissions()
    {
        QFETCH(int, folderMode);
        QFETCH(bool, replace);
        QFETCH(int, expected);

        const QString folder = file(QStringLiteral("perm-%1").arg(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), folderMode) == 0);
        const QString output = folder + QStringLiteral("/merged.pdf");
        if (replace) {
            QVERIFY(testpdfs::writeBytes(output, "OLD"));
            QVERIFY(::chmod(QFile::encodeName(output).constData(), 0640) == 0);
        }
        const mode_t previous = ::umask(022);
        const PdfResult result = TaskManager::mergeDocument(request(documentWith(2), output));
        ::umask(previous);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(testpdfs::pageCount(output), 2);
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(output).constData(), &info) == 0);
        QCOMPARE(int(info.st_mode & 0777), expected);
    }

    // Writing goes through symbolic links to the file they name; what is not a
    // regular file is refused and left as it was.
    void unusualOutputs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("ok");
        QTest::newRow("link to an existing file") << "link" << true;
        QTest::newRow("dangling link") << "dangling" << true;
        QTest::newRow("named pipe") << "fifo" << false;
        QTest::newRow("folder") << "folder" << false;
    }

    void unusualOutputs()
    {
        QFETCH(QString, kind);
        QFETCH(bool, ok);
        const QString folder = file(QStringLiteral("unusual-%1").arg(kind));
        QVERIFY(QDir().mkpath(folder));
        const QString output = folder + QStringLiteral("/out.pdf");
        const QString real = folder + QStringLiteral("/real.pdf");
        const QByteArray out = QFile::encodeName(output);
        if (kind == "link") {
            QVERIFY(testpdfs::writeBytes(real, "OLD"));
            QVERIFY(QFile::link(real, output));
        } else if (kind == "dangling") {
            QVERIFY(QFile::link(real, output));
        } else if (kind == "fifo") {
            QVERIFY(::mkfifo(out.constData(), 0600) == 0);
        } else {
            QVERIFY(QDir().mkpath(output));
        }

        const PdfResult result = TaskManager::mergeDocument(request(documentWith(2), output));
        QCOMPARE(result.ok, ok);
        struct stat info {};
        QVERIFY(::lstat(out.constData(), &info) == 0);
        if (ok) {
            QVERIFY(S_ISLNK(info.st_mode));
            QCOMPARE(testpdfs::pageCount(real), 2);
        } else {
            QVERIFY2(result.error.contains(QStringLiteral("not a regular file")), qPrintable(result.error));
            QVERIFY(kind == "fifo" ? S_ISFIFO(info.st_mode) : S_ISDIR(info.st_mode));
        }
        // Nothing left beside the target.
        QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                     | QDir::NoDotAndDotDot);
        entries.sort();
        const QStringList expected = ok ? QStringList{"out.pdf", "real.pdf"} : QStringList{"out.pdf"};
        QCOMPARE(entries, expected);
    }

    // The editor's one-page merge: stationery optional, offsets move only the
    // document, no document information.
    void singlePage_data()
    {
        QTest::addColumn<QString>("stationery"); // "", "start", "garbage"
        QTest::addColumn<bool>("overlay");
        QTest::addColumn<QPointF>("offset");
        QTest::addColumn<QString>("expected"); // at the document mark, at the stationery mark

        QTest::newRow("no stationery") << "" << false << QPointF(0, 0) << "BW";
        QTest::newRow("unreadable stationery is none") << "garbage" << true << QPointF(0, 0) << "BW";
        QTest::newRow("stationery behind the document") << "start" << false << QPointF(0, 0) << "BR";
        QTest::newRow("stationery behind the shifted document") << "start" << false << QPointF(200, 200) << "BB";
        QTest::newRow("stationery over the shifted document") << "start" << true << QPointF(200, 200) << "RR";
    }
    void singlePage()
    {
        QFETCH(QString, stationery);
        QFETCH(bool, overlay);
        QFETCH(QPointF, offset);
        QFETCH(QString, expected);
        QString path;
        if (stationery == "start") {
            path = startPath;
        } else if (stationery == "garbage") {
            path = file("garbage.pdf");
            QVERIFY(testpdfs::writeBytes(path, "nothing"));
        }
        const QString output = file(QStringLiteral("single-%1.pdf").arg(QTest::currentDataTag()));
        const PdfResult result =
            TaskManager::mergeSinglePage(documentWith(2), output, path, overlay, offset.y(), offset.x());
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(testpdfs::pageCount(output), 1);
        QVERIFY(pdfchecks::information(output).isEmpty());
        const QImage image = pdfchecks::render(output, 0);
        const QPointF docProbe = DocMark.topLeft() + offset + Inset;
        const QPointF statProbe = StationeryMark.topLeft() + Inset;
        // With offset (200, 200) the document mark lands on the stationery mark.
        QCOMPARE(QString(pdfchecks::colourName(pdfchecks::at(image, docProbe.x(), docProbe.y())))
                     + pdfchecks::colourName(pdfchecks::at(image, statProbe.x(), statProbe.y())),
                 expected);
    }

    void singlePageMissingDocument()
    {
        const QString output = file("single-missing.pdf");
        PdfResult result;
        const QString printed = pdfchecks::captureStdout([&] {
            result = TaskManager::mergeSinglePage(file("gone.pdf"), output, startPath, false, 0, 0);
        });
        QVERIFY(!result.ok);
        QVERIFY(printed.isEmpty());
        QVERIFY(!QFileInfo::exists(output));
    }
};

QTEST_MAIN(TestMerge)
#include "tst_pdf_merge.moc"
