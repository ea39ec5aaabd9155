// Merging stationery with documents, and page images for previews and
// single-page extraction; read back with qpdf, Qt PDF and pdftotext.

#include "PdfChecks.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"

#include <qpdf/QPDFWriter.hh>

#include <sys/stat.h>

using namespace quillary;
using namespace pdfchecks;
using testpdfs::TestPage;

namespace {
// The document's blue square and the stationery's square; probes sit Inset
// inside a square's lower-left corner.
const QRectF DocMark(100, 400, 40, 40), StationeryMark(300, 600, 40, 40);
const QPointF Inset(5, 5);
// use: s(tart) c(ontinuation) t(erms); '-' the start flag without a path.
struct Composition { int pages; QString use; bool overlay; QPointF first, cont; QStringList expected; };
struct Geometry { QSizeF size; int format; QPointF origin; int rotate; QRectF mark; QSizeF box; };
struct Leftover { QString where; QByteArray value; }; // where: catalog key, "/Info" or "/Annots"
struct Failure { QString role, kind; };
struct Output { QString kind; int mode; };
struct Single { bool stationery, overlay; QString expected; };
struct Offsets { QPointF first, cont; QString changed; };
struct Extract { bool exists; int index; QString expected; }; // expected: text of the page; empty: nothing
} // namespace

class TestMerge : public QObject {
    Q_OBJECT
    QTemporaryDir storeDir, dir;
    const QString start = dir.filePath("start.pdf"), continuation = dir.filePath("continuation.pdf"),
                  terms = dir.filePath("terms.pdf");

    QString tagged(const char* prefix) const { return dir.filePath(prefix + QString(QTest::currentDataTag()) + ".pdf"); }
    QString document(int pages, QSizeF size = testpdfs::A4)
    {
        const QString path = dir.filePath(QStringLiteral("doc%1-%2.pdf").arg(pages).arg(size.width()));
        QList<TestPage> list;
        for (int k = 1; k <= pages; ++k)
            list.append({size, QStringLiteral("Page %1").arg(k), {{DocMark, Qt::blue}}});
        if (!QFileInfo::exists(path) && !testpdfs::writePdf(path, list))
            qFatal("cannot write a test document");
        return path;
    }
    MergeRequest request(const QString& doc, const QString& output)
    {
        return {doc, output, start, continuation, terms, {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}}};
    }
    QStringList scratchFiles() const { return QDir(storeDir.path()).entryList({"prev*", "tmp*"}, QDir::Files); }
    QList<PageImage> images(const QString& doc, QPointF first = {}, QPointF cont = {})
    {
        return TaskManager::previewImages(doc, start, continuation, terms, true, true, true, false, first.y(), first.x(),
                                          cont.x(), cont.y());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid() && storeDir.isValid());
        configureSharedStore({.directory = storeDir.path()});
        QVERIFY(testpdfs::writePdf(start, {{testpdfs::A4Whole, "Start", {{StationeryMark, Qt::red}}}}));
        QVERIFY(testpdfs::writePdf(continuation, {{testpdfs::A4Whole, "Cont", {{StationeryMark, Qt::green}}}}));
        QVERIFY(testpdfs::writePdf(terms, {{testpdfs::A4Whole, "Terms", {{StationeryMark, Qt::yellow}}}}));
    }

    void init() { TaskManager::documentFormat = FormatA4; }

    // Per output page: colour at the stationery mark, then at the document
    // mark moved by that page's offset.
    void composition_data()
    {
        const QPointF none, far(200, 200); // far puts the document mark onto the stationery mark
        table<Composition>({{"one page, all three", {1, "sct", false, none, none, {"RB", "YW"}}},
                            {"continuation only", {3, "c", false, {10, 20}, {-30, 50}, {"WB", "GB", "GB"}}},
                            {"start flag without a path", {1, "-", false, {10, 20}, none, {"WB"}}},
                            {"overlay", {2, "sc", true, far, far, {"RR", "GG"}}},
                            {"underlay", {2, "sc", false, far, far, {"BB", "BB"}}},
                            {"terms ignore offsets, overlay", {1, "t", true, {60, -70}, {60, -70}, {"WB", "YW"}}}});
    }
    void composition()
    {
        auto [pages, use, overlay, first, cont, expected] = fetch<Composition>();
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
        const Result result = TaskManager::mergeDocument(r);
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(testpdfs::pageCount(output), expected.size());
        QStringList seen;
        for (int i = 0; i < expected.size(); ++i) {
            const QImage image = render(output, i);
            const QPointF offset = i == 0 ? first : cont;
            seen << QString() + colourAt(image, StationeryMark.topLeft() + Inset)
                        + colourAt(image, DocMark.topLeft() + offset + Inset);
            if (i < pages && !offset.isNull()) // moved content left its own place
                QCOMPARE(colourAt(image, DocMark.topLeft() + Inset), 'W');
        }
        QCOMPARE(seen, expected);
    }

    // Output page box and where the document's blue mark ends up: never
    // scaled, rotated or moved to the corner, cut off at the edges.
    void geometry_data()
    {
        const QRectF mark(100, 400, 40, 40); // format -1: from the document's size
        table<Geometry>({{"A4", {testpdfs::A4, -1, {}, 0, mark, {595, 842}}},
                         {"Letter", {testpdfs::Letter, -1, {}, 0, mark, {612, 792}}},
                         {"A4 landscape", {testpdfs::A4Landscape, -1, {}, 0, mark, {595, 842}}},
                         {"format 0: own size", {{500, 700}, 0, {}, 0, mark, {500, 700}}},
                         {"larger page clipped", {{1000, 1000}, FormatA4, {}, 0, {580, 830, 99, 99}, {595, 842}}},
                         {"origin and rotation", {testpdfs::A4Whole, -1, {100, 100}, 90, {150, 150, 40, 40}, {595, 842}}}});
    }
    void geometry()
    {
        auto [size, format, origin, rotate, mark, box] = fetch<Geometry>();
        const QString doc = tagged("geometry-doc-"), output = tagged("geometry-");
        QVERIFY(testpdfs::writePdf(doc, {{size, {}, {{mark, Qt::blue}}, false, {}, origin, rotate}}));
        const PageSize own = TaskManager::pageSize(doc);
        TaskManager::documentFormat = format >= 0 ? format : TaskManager::pageFormat(own.width, own.height).formatCode;
        QVERIFY(TaskManager::mergeDocument(request(doc, output)));
        QCOMPARE(testpdfs::mediaBox(output), QRectF(QPointF(), box));
        const QImage image = render(output, 0);
        QCOMPARE(colourAt(image, mark.topLeft() + Inset), 'B');
        QCOMPARE(colourAt(image, mark.topLeft() - Inset), 'W');
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
        const QString heavy = dir.filePath("heavy.pdf"), doc = document(40), output = dir.filePath("shared.pdf");
        QVERIFY(testpdfs::writeRaw(heavy, noise));
        MergeRequest r = request(doc, output);
        r.continuationPagePath = heavy;
        r.useContinuationPage = true;
        QVERIFY(TaskManager::mergeDocument(r));
        auto pdf = open(output);
        QVERIFY(pdf);
        std::set<QPDFObjGen> forms;
        for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages())
            for (auto& [name, form] : page.getObjectHandle().getKey("/Resources").getKey("/XObject").getDictAsMap())
                forms.insert(form.getObjGen());
        QCOMPARE(forms.size(), size_t(40 + 1)); // one per document page, one stationery
        QVERIFY(QFileInfo(output).size() - QFileInfo(doc).size() < 2 * QFileInfo(heavy).size());
        QVERIFY(text(output).contains("Page 1 Page 2"));
    }

    // The output is built inside the document's file: nothing of the document
    // as a whole or its old page objects may come along.
    void documentLevelDataStaysBehind_data()
    {
        table<Leftover>({{"outlines", {"/Outlines", "<< /Count 1 /First << /Title (Leftover) >> >>"}},
                         {"form", {"/AcroForm", "<< /Fields [ << /FT /Tx /T (Leftover) >> ] >>"}},
                         {"old information", {"/Info", "<< /Title (Leftover) /Producer (Leftover) >>"}},
                         {"annotations", {"/Annots", "[ << /Subtype /Text /Rect [0 0 9 9] /Contents (Leftover) >> ]"}}});
    }
    void documentLevelDataStaysBehind()
    {
        auto [where, value] = fetch<Leftover>();
        const QString doc = tagged("busy-"), output = tagged("busy-merged-");
        {
            auto pdf = open(document(2));
            QPDFObjectHandle object = pdf->makeIndirectObject(QPDFObjectHandle::parse(value.toStdString()));
            if (where == "/Info")
                pdf->getTrailer().replaceKey("/Info", object);
            else if (where == "/Annots")
                for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages())
                    page.getObjectHandle().replaceKey("/Annots", object);
            else
                pdf->getRoot().replaceKey(where.toStdString(), object);
            QPDFWriter(*pdf, QFile::encodeName(doc).constData()).write();
        }
        MergeRequest r = request(doc, output);
        r.useStartPage = r.useContinuationPage = true;
        QVERIFY(TaskManager::mergeDocument(r));
        auto pdf = open(output);
        QVERIFY(pdf);
        QCOMPARE(pdf->getRoot().getKeys(), (std::set<std::string>{"/Pages", "/Type"}));
        QCOMPARE(information(output), QStringList{"Creator=Quillary"});
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
        table<Failure>({{"missing document", {"document", "missing"}}, {"unreadable document", {"document", "garbage"}},
                        {"document without pages", {"document", "zero"}},
                        {"document with a password", {"document", "encrypted"}},
                        {"unreadable start page", {"start", "garbage"}}, {"unwritable output", {"output", "missing"}}});
    }
    void failures()
    {
        auto [role, kind] = fetch<Failure>();
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
            bad = outDir.filePath("missing/merged.pdf");
        (role == "document" ? r.documentPath : role == "start" ? *r.startPagePath : r.outputPath) = bad;
        Result result;
        const QString printed = captureStdout([&] { result = TaskManager::mergeDocument(r); });
        QVERIFY2(!result.ok() && result.error.contains(bad), qPrintable(result.error));
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
        table<Output>({{"replaced keeps its mode", {"replace", 0640}}, {"new in a shared folder", {"shared", 0644}},
                       {"new in a private folder", {"private", 0600}}, {"link written through", {"link", 0640}},
                       {"fifo", {"fifo", 0}}, {"folder", {"folder", 0}}});
    }
    void outputs()
    {
        auto [kind, mode] = fetch<Output>();
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
        const Result result = TaskManager::mergeDocument(request(document(2), output));
        ::umask(previous);
        QCOMPARE(result.ok(), mode != 0);
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
        table<Single>({{"no stationery", {false, false, "BW"}}, {"behind", {true, false, "BR"}}, {"over", {true, true, "RR"}}});
    }
    void singlePage()
    {
        auto [stationery, overlay, expected] = fetch<Single>();
        const QString output = tagged("single-");
        const Result result = TaskManager::mergeSinglePage(document(2), output, stationery ? start : "", overlay, 190, 190);
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(testpdfs::pageCount(output), 1);
        const QImage image = render(output, 0);
        QCOMPARE(QString() + colourAt(image, {292, 592}) + colourAt(image, DocMark.topLeft() + Inset)
                     + colourAt(image, {305, 605}) + colourAt(image, {335, 635}),
                 "BW" + expected);
    }

    // Preview images: one per page plus terms, in the document's page size,
    // rendered on demand from bytes held after the scratch file is gone.
    void imageCountAndSize_data()
    {
        table<QPair<QSizeF, QSize>>({{"A4", {testpdfs::A4, {595, 842}}}, {"Letter", {testpdfs::Letter, {612, 792}}}});
    }
    void imageCountAndSize()
    {
        auto [documentSize, expected] = fetch<QPair<QSizeF, QSize>>();
        const QString doc = document(3, documentSize);
        const PageSize own = TaskManager::pageSize(doc);
        TaskManager::documentFormat = TaskManager::pageFormat(own.width, own.height).formatCode;
        const QList<PageImage> list = images(doc);
        QCOMPARE(scratchFiles(), QStringList());
        QCOMPARE(list.size(), 4);
        for (int i = 0; i < 4; ++i)
            QVERIFY(list[i].pageIndex() == i && list[i].size() == QSizeF(expected));
        const QImage termsImage = list[3].render(expected);
        QCOMPARE(termsImage.size(), expected);
        QCOMPARE(colourAt(termsImage, StationeryMark.topLeft() + Inset), 'Y');
    }

    // Per image: 1 when the offset changed it.
    void imageOffsetChangesItsPagesOnly_data()
    {
        table<Offsets>({{"first-page offset", {{30, -20}, {}, "1000"}}, {"continuation offset", {{}, {-15, 40}, "0110"}}});
    }
    void imageOffsetChangesItsPagesOnly()
    {
        auto [first, cont, changed] = fetch<Offsets>();
        const QList<PageImage> before = images(document(3)), after = images(document(3), first, cont);
        QCOMPARE(before.size(), 4);
        QCOMPARE(after.size(), 4);
        QString seen;
        for (int i = 0; i < 4; ++i)
            seen += before[i].render(QSize(595, 842)) == after[i].render(QSize(595, 842)) ? '0' : '1';
        QCOMPARE(seen, changed);
    }

    void extractPage_data()
    {
        table<Extract>({{"last page", {true, 2, "Page 3"}}, {"past the end", {true, 3, ""}}, {"missing document", {false, 0, ""}}});
    }
    void extractPage()
    {
        auto [exists, index, expected] = fetch<Extract>();
        const auto path = TaskManager::extractPage(exists ? document(3) : dir.filePath("absent.pdf"), index);
        QCOMPARE(path.has_value(), !expected.isEmpty());
        if (path) {
            QCOMPARE(testpdfs::pageCount(*path), 1);
            QCOMPARE(text(*path), expected);
            sharedStore().deleteFile(*path);
        }
        QCOMPARE(scratchFiles(), QStringList());
    }
};

QTEST_MAIN(TestMerge)
#include "tst_pdf_merge.moc"
