// Merging stationery with documents, read back with qpdf, Qt PDF and pdftotext.

#include "PdfChecks.h"
#include "pdf/TaskManager.h"

#include <QTemporaryDir>
#include <QtTest>

#include <qpdf/QPDFWriter.hh>

#include <set>
#include <sys/stat.h>

using namespace quillary;
using testpdfs::TestPage;

namespace {
// The document's blue square and the stationery's square; probes sit Inset
// inside a square's lower-left corner.
const QRectF DocMark(100, 400, 40, 40), StationeryMark(300, 600, 40, 40);
const QPointF Inset(5, 5);
// use: s(tart) c(ontinuation) t(erms); '-' the start flag without a path.
struct Composition { int pages; QString use; bool overlay; QPointF first, cont; QStringList expected; };
struct Geometry { QSizeF size; int format; QPointF origin; int rotate; QRectF mark; QSizeF box; };
} // namespace
Q_DECLARE_METATYPE(Composition)
Q_DECLARE_METATYPE(Geometry)

class TestMerge : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString start, continuation, terms;

    QString file(const QString& name) const { return dir.filePath(name); }
    QString tagged(const char* prefix) const { return file(prefix + QString::fromLatin1(QTest::currentDataTag()) + ".pdf"); }

    QString document(int pages)
    {
        const QString path = file(QStringLiteral("doc%1.pdf").arg(pages));
        QList<TestPage> list(pages);
        for (int k = 0; k < pages; ++k)
            list[k] = {testpdfs::A4, QStringLiteral("Page %1").arg(k + 1), {{DocMark, Qt::blue}}};
        if (!QFileInfo::exists(path) && !testpdfs::writePdf(path, list))
            qFatal("cannot write a test document");
        return path;
    }

    MergeRequest request(const QString& doc, const QString& output)
    {
        MergeRequest r;
        r.documentPath = doc;
        r.outputPath = output;
        r.startPagePath = start;
        r.continuationPagePath = continuation;
        r.termsPagePath = terms;
        r.options = {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}};
        return r;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        start = file("start.pdf"), continuation = file("continuation.pdf"), terms = file("terms.pdf");
        QVERIFY(testpdfs::writePdf(start, {{testpdfs::A4Whole, "Start", {{StationeryMark, Qt::red}}}}));
        QVERIFY(testpdfs::writePdf(continuation, {{testpdfs::A4Whole, "Cont", {{StationeryMark, Qt::green}}}}));
        QVERIFY(testpdfs::writePdf(terms, {{testpdfs::A4Whole, "Terms", {{StationeryMark, Qt::yellow}}}}));
    }

    void init() { TaskManager::documentFormat = FormatA4; }

    // Per output page: colour at the stationery mark, then at the document
    // mark moved by that page's offset.
    void composition_data()
    {
        QTest::addColumn<Composition>("row");
        const QPointF none, far(200, 200); // far puts the document mark onto the stationery mark
        QTest::newRow("one page, all three") << Composition{1, "sct", false, none, none, {"RB", "YW"}};
        QTest::newRow("continuation only") << Composition{3, "c", false, {10, 20}, {-30, 50}, {"WB", "GB", "GB"}};
        QTest::newRow("start flag without a path") << Composition{1, "-", false, {10, 20}, none, {"WB"}};
        QTest::newRow("overlay") << Composition{2, "sc", true, far, far, {"RR", "GG"}};
        QTest::newRow("underlay") << Composition{2, "sc", false, far, far, {"BB", "BB"}};
        QTest::newRow("terms ignore offsets, overlay") << Composition{1, "t", true, {60, -70}, {60, -70}, {"WB", "YW"}};
    }
    void composition()
    {
        QFETCH(Composition, row);
        auto [pages, use, overlay, first, cont, expected] = row;
        const QString output = tagged("composition-");
        MergeRequest r = request(document(pages), output);
        if (use.contains('-'))
            r.startPagePath.reset();
        r.useStartPage = use.contains('s') || use.contains('-');
        r.useContinuationPage = use.contains('c');
        r.useTermsPage = use.contains('t');
        r.stationeryIsOverlay = overlay;
        r.firstPageOffsetX = first.x(), r.firstPageOffsetY = first.y();
        r.continuationOffsetX = cont.x(), r.continuationOffsetY = cont.y();
        const PdfResult result = TaskManager::mergeDocument(r);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(testpdfs::pageCount(output), expected.size());
        QStringList seen;
        for (int i = 0; i < expected.size(); ++i) {
            const QImage image = pdfchecks::render(output, i);
            const QPointF offset = i == 0 ? first : cont;
            seen << QString() + pdfchecks::colourAt(image, StationeryMark.topLeft() + Inset)
                        + pdfchecks::colourAt(image, DocMark.topLeft() + offset + Inset);
            if (i < pages && !offset.isNull()) // moved content left its own place
                QCOMPARE(pdfchecks::colourAt(image, DocMark.topLeft() + Inset), 'W');
        }
        QCOMPARE(seen, expected);
    }

    // Output page box and where the document's blue mark ends up: never
    // scaled, rotated or moved to the corner, cut off at the edges.
    void geometry_data()
    {
        QTest::addColumn<Geometry>("row"); // format -1: from the document's size
        const QRectF mark(100, 400, 40, 40);
        QTest::newRow("A4") << Geometry{testpdfs::A4, -1, {}, 0, mark, {595, 842}};
        QTest::newRow("Letter") << Geometry{testpdfs::Letter, -1, {}, 0, mark, {612, 792}};
        QTest::newRow("A4 landscape") << Geometry{testpdfs::A4Landscape, -1, {}, 0, mark, {595, 842}};
        QTest::newRow("format 0: own size") << Geometry{{500, 700}, 0, {}, 0, mark, {500, 700}};
        QTest::newRow("larger page clipped") << Geometry{{1000, 1000}, FormatA4, {}, 0, {580, 830, 99, 99}, {595, 842}};
        QTest::newRow("origin and rotation") << Geometry{testpdfs::A4Whole, -1, {100, 100}, 90, {150, 150, 40, 40}, {595, 842}};
    }
    void geometry()
    {
        QFETCH(Geometry, row);
        auto [size, format, origin, rotate, mark, box] = row;
        TestPage page{size, {}, {{mark, Qt::blue}}};
        page.origin = origin;
        page.rotate = rotate;
        const QString doc = tagged("geometry-doc-"), output = tagged("geometry-");
        QVERIFY(testpdfs::writePdf(doc, {page}));
        const PageSize own = TaskManager::pageSize(doc);
        TaskManager::documentFormat = format >= 0 ? format : TaskManager::pageFormat(own.width, own.height).formatCode;
        QVERIFY(TaskManager::mergeDocument(request(doc, output)));
        QCOMPARE(testpdfs::mediaBox(output), QRectF(QPointF(), box));
        const QImage image = pdfchecks::render(output, 0);
        QCOMPARE(pdfchecks::colourAt(image, mark.topLeft() + Inset), 'B');
        QCOMPARE(pdfchecks::colourAt(image, mark.topLeft() - Inset), 'W');
    }

    // Stationery is one shared form, so 40 pages grow the file by it once;
    // text stays text.
    void stationerySharedOnce()
    {
        QByteArray noise;
        for (quint32 i = 0, state = 1; i < 6000; ++i) {
            state = state * 1664525u + 1013904223u;
            noise += QByteArray::number(state % 595) + ' ' + QByteArray::number((state >> 10) % 842) + " m ";
        }
        const QString heavy = file("heavy.pdf"), doc = document(40), output = file("shared.pdf");
        QVERIFY(testpdfs::writeRaw(heavy, noise));
        MergeRequest r = request(doc, output);
        r.continuationPagePath = heavy;
        r.useContinuationPage = true;
        QVERIFY(TaskManager::mergeDocument(r));
        auto pdf = pdfchecks::open(output);
        QVERIFY(pdf);
        std::set<QPDFObjGen> forms;
        for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages())
            for (auto& [name, form] : page.getObjectHandle().getKey("/Resources").getKey("/XObject").getDictAsMap())
                forms.insert(form.getObjGen());
        QCOMPARE(forms.size(), size_t(40 + 1)); // one per document page, one stationery
        QVERIFY(QFileInfo(output).size() - QFileInfo(doc).size() < 2 * QFileInfo(heavy).size());
        QVERIFY(pdfchecks::text(output).contains("Page 1 Page 2"));
    }

    // The output is built inside the document's file: nothing of the document
    // as a whole or its old page objects may come along.
    void documentLevelDataStaysBehind_data()
    {
        QTest::addColumn<QString>("where"); // catalog key, "/Info" or "/Annots"
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("outlines") << "/Outlines" << QByteArray("<< /Count 1 /First << /Title (Leftover) >> >>");
        QTest::newRow("form") << "/AcroForm" << QByteArray("<< /Fields [ << /FT /Tx /T (Leftover) >> ] >>");
        QTest::newRow("old information") << "/Info" << QByteArray("<< /Title (Leftover) /Producer (Leftover) >>");
        QTest::newRow("annotations") << "/Annots" << QByteArray("[ << /Subtype /Text /Rect [0 0 9 9] /Contents (Leftover) >> ]");
    }
    void documentLevelDataStaysBehind()
    {
        QFETCH(QString, where);
        QFETCH(QByteArray, value);
        const QString doc = tagged("busy-"), output = tagged("busy-merged-");
        {
            auto pdf = pdfchecks::open(document(2));
            QPDFObjectHandle object = pdf->makeIndirectObject(QPDFObjectHandle::parse(value.toStdString()));
            if (where == "/Info")
                pdf->getTrailer().replaceKey("/Info", object);
            else if (where == "/Annots")
                for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages())
                    page.getObjectHandle().replaceKey("/Annots", object);
            else
                pdf->getRoot().replaceKey(where.toStdString(), object);
            const QByteArray name = QFile::encodeName(doc);
            QPDFWriter(*pdf, name.constData()).write();
        }
        MergeRequest r = request(doc, output);
        r.useStartPage = r.useContinuationPage = true;
        QVERIFY(TaskManager::mergeDocument(r));
        auto pdf = pdfchecks::open(output);
        QVERIFY(pdf);
        QCOMPARE(pdf->getRoot().getKeys(), (std::set<std::string>{"/Pages", "/Type"}));
        QCOMPARE(pdfchecks::information(output), QStringList{"Creator=Quillary"});
        for (QPDFObjectHandle object : pdf->getAllObjects()) {
            std::string seen = object.isStream() ? object.getDict().unparse() : object.unparse();
            if (object.isStream()) {
                const auto data = object.getStreamData(qpdf_dl_all);
                seen.append(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
            }
            QVERIFY2(seen.find("Leftover") == std::string::npos, seen.c_str());
        }
    }

    // A merge that cannot be done names the file at fault and leaves the
    // output folder as it was.
    void failures_data()
    {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing document") << "document" << "missing";
        QTest::newRow("unreadable document") << "document" << "garbage";
        QTest::newRow("document without pages") << "document" << "zero";
        QTest::newRow("document with a password") << "document" << "encrypted";
        QTest::newRow("unreadable start page") << "start" << "garbage";
        QTest::newRow("unwritable output") << "output" << "missing";
    }
    void failures()
    {
        QFETCH(QString, role);
        QFETCH(QString, kind);
        QTemporaryDir outDir;
        const QString output = outDir.filePath("merged.pdf");
        QString bad = tagged("bad-");
        QVERIFY(testpdfs::writeBytes(output, "OLD"));
        QVERIFY(kind != "garbage" || testpdfs::writeBytes(bad, "%PDF-1.4 junk"));
        QVERIFY(kind != "zero" || testpdfs::writeZeroPages(bad));
        QVERIFY(kind != "encrypted" || testpdfs::writeEncrypted(bad, "user", "owner"));
        MergeRequest r = request(document(2), output);
        r.useStartPage = r.useContinuationPage = r.useTermsPage = true;
        if (role == "output")
            r.outputPath = bad = outDir.filePath("missing/merged.pdf");
        (role == "document" ? r.documentPath : role == "start" ? *r.startPagePath : r.outputPath) = bad;
        PdfResult result;
        const QString printed = pdfchecks::captureStdout([&] { result = TaskManager::mergeDocument(r); });
        QVERIFY2(!result.ok && result.error.contains(bad), qPrintable(result.error));
        QCOMPARE(printed, QString(role == "document" && kind == "missing" ? "File doesnt exists\n" : ""));
        QFile old(output);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("OLD"));
        QCOMPARE(QDir(outDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"merged.pdf"});
    }

    // Permissions with umask 022 (mode), links written through, a pipe or a
    // folder refused and left as it was (mode 0).
    void outputs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("mode");
        QTest::newRow("replaced keeps its mode") << "replace" << 0640;
        QTest::newRow("new in a shared folder") << "shared" << 0644;
        QTest::newRow("new in a private folder") << "private" << 0600;
        QTest::newRow("link written through") << "link" << 0640;
        QTest::newRow("fifo") << "fifo" << 0;
        QTest::newRow("folder") << "folder" << 0;
    }
    void outputs()
    {
        QFETCH(QString, kind);
        QFETCH(int, mode);
        const QString folder = tagged("out-"), output = folder + "/out.pdf", real = folder + "/real.pdf";
        const QByteArray out = QFile::encodeName(output);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), kind == "private" ? 0700 : 0755) == 0);
        if (kind == "replace" || kind == "link")
            QVERIFY(testpdfs::writeBytes(real, "OLD") && ::chmod(QFile::encodeName(real).constData(), 0640) == 0);
        QVERIFY(kind != "replace" || QFile::rename(real, output));
        QVERIFY(kind != "link" || QFile::link(real, output));
        QVERIFY(kind != "fifo" || ::mkfifo(out.constData(), 0600) == 0);
        QVERIFY(kind != "folder" || QDir().mkpath(output));
        const mode_t previous = ::umask(022);
        const PdfResult result = TaskManager::mergeDocument(request(document(2), output));
        ::umask(previous);
        QCOMPARE(result.ok, mode != 0);
        struct stat info {};
        QVERIFY(::lstat(out.constData(), &info) == 0);
        QCOMPARE(int(info.st_mode & S_IFMT), kind == "link" ? S_IFLNK : kind == "fifo" ? S_IFIFO : kind == "folder" ? S_IFDIR : S_IFREG);
        if (mode != 0) {
            QVERIFY(::stat(out.constData(), &info) == 0);
            QCOMPARE(int(info.st_mode & 0777), mode);
            QCOMPARE(testpdfs::pageCount(output), 2);
        }
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
                 kind == "link" ? 2 : 1);
    }

    // The editor's one-page merge, document moved by (190, 190) so its mark
    // overlaps the stationery's: colour where both are, then stationery only.
    void singlePage_data()
    {
        QTest::addColumn<bool>("stationery");
        QTest::addColumn<bool>("overlay");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no stationery") << false << false << "BW";
        QTest::newRow("behind") << true << false << "BR";
        QTest::newRow("over") << true << true << "RR";
    }
    void singlePage()
    {
        QFETCH(bool, stationery);
        QFETCH(bool, overlay);
        QFETCH(QString, expected);
        const QString output = tagged("single-");
        const PdfResult result =
            TaskManager::mergeSinglePage(document(2), output, stationery ? start : "", overlay, 190, 190);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(testpdfs::pageCount(output), 1);
        const QImage image = pdfchecks::render(output, 0);
        QCOMPARE(QString() + pdfchecks::colourAt(image, {292, 592}) + pdfchecks::colourAt(image, DocMark.topLeft() + Inset)
                     + pdfchecks::colourAt(image, {305, 605}) + pdfchecks::colourAt(image, {335, 635}),
                 "BW" + expected);
    }
};

QTEST_MAIN(TestMerge)
#include "tst_pdf_merge.moc"
