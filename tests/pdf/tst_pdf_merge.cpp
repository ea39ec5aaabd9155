// Merging stationery with documents, and page images for previews and
// single-page extraction; read back with qpdf, Qt PDF and pdftotext.

#include "PdfChecks.h"
#include "pdf/TaskManager.h"

#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

#include <sys/mount.h>
#include <sys/resource.h>
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
struct Composition { int pages; QString use; bool overlay; QPointF first, cont; QStringList expected; QString raw; };
struct Geometry { QSizeF size; int format; QPointF origin; int rotate; QRectF mark; QSizeF box; };
struct Leftover { QString where; QByteArray value; }; // where: catalog key, "/Info" or "/Annots"
struct Failure { QString role, kind; };
struct Output { QString kind; int mode; };
struct Single { bool stationery, overlay; QString expected; };
struct Offsets { QPointF first, cont; QString changed; };
struct Extract { bool exists; int index; QString expected; }; // expected: text of the page; empty: nothing
struct FullDisk { QString operation; bool existing; };
struct Number { double offset; QString expected; }; // expected: in the content stream; empty: refused
struct Tree { QString shape; QSize size; };

// A folder where writes run out of room: a small tmpfs where the test may
// mount one (as root), otherwise a file-size limit (with SIGXFSZ ignored, so
// the write fails with EFBIG instead of ending the process) while a write
// runs.
class ScarceDisk {
public:
    explicit ScarceDisk(const QString& folder) : path(folder)
    {
        QDir().mkpath(folder);
        mounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=96k") == 0;
    }
    ~ScarceDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
    }
    // What the failed write reports.
    QString reason() const { return QString::fromLocal8Bit(std::strerror(mounted ? ENOSPC : EFBIG)); }
    template <class F> auto run(F f)
    {
        if (mounted)
            return f();
        rlimit old {};
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 64 * 1024;
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &small);
        auto result = f();
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        return result;
    }

private:
    QString path;
    bool mounted = false;
};

// The decoded content stream of page 1 of a file.
QByteArray firstPageContent(const QString& path)
{
    auto pdf = pdfchecks::open(path);
    if (!pdf)
        return {};
    QPDFObjectHandle contents = QPDFPageDocumentHelper(*pdf).getAllPages().front().getObjectHandle().getKey("/Contents");
    const auto data = contents.getStreamData(qpdf_dl_generalized);
    return QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
}
} // namespace

class TestMerge : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    const QString start = dir.filePath("start.pdf"), continuation = dir.filePath("continuation.pdf"),
                  terms = dir.filePath("terms.pdf");

    QString tagged(const char* prefix) const { return dir.filePath(prefix + QString(QTest::currentDataTag()) + ".pdf"); }
    // raw: appended to every page's content.
    QString document(int pages, QSizeF size = testpdfs::A4, const QString& raw = {})
    {
        const QString path = dir.filePath(QStringLiteral("doc%1-%2-%3.pdf").arg(pages).arg(size.width()).arg(qHash(raw)));
        QList<TestPage> list;
        for (int k = 1; k <= pages; ++k)
            list.append({size, QStringLiteral("Page %1").arg(k), {{DocMark, Qt::blue}}, false, raw});
        if (!QFileInfo::exists(path) && !testpdfs::writePdf(path, list))
            qFatal("cannot write a test document");
        return path;
    }
    MergeRequest request(const QString& doc, const QString& output)
    {
        MergeRequest r{doc, output, start, continuation, terms, {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}}};
        r.documentFormat = FormatA4;
        return r;
    }
    QList<PageImage> images(const QString& doc, QPointF first = {}, QPointF cont = {})
    {
        return TaskManager::previewImages(doc, start, continuation, terms, true, true, true, false, first.y(), first.x(),
                                          cont.x(), cont.y());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(testpdfs::writePdf(start, {{testpdfs::A4Whole, "Start", {{StationeryMark, Qt::red}}}}));
        QVERIFY(testpdfs::writePdf(continuation, {{testpdfs::A4Whole, "Cont", {{StationeryMark, Qt::green}}}}));
        QVERIFY(testpdfs::writePdf(terms, {{testpdfs::A4Whole, "Terms", {{StationeryMark, Qt::yellow}}}}));
    }

    // Only the preview window's convenience form reads it.
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
                            {"terms ignore offsets, overlay", {1, "t", true, {60, -70}, {60, -70}, {"WB", "YW"}}},
                            // The document leaves a quarter scale behind; the stationery drawn after it stays put.
                            {"unbalanced q in the document", {2, "sc", true, {10, 20}, {-30, 50}, {"RB", "GB"},
                                                              "q 0.25 0 0 0.25 0 0 cm 0 1 0 rg"}}});
    }
    void composition()
    {
        auto [pages, use, overlay, first, cont, expected, raw] = fetch<Composition>();
        const QString output = tagged("composition-");
        MergeRequest r = request(document(pages, testpdfs::A4, raw), output);
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
        QCOMPARE(result.warnings, QStringList()); // nothing for qpdf to notice, nothing lost
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
        // format -1: from the document's size by the caller; -2: by the merge
        const QRectF mark(100, 400, 40, 40);
        table<Geometry>({{"A4", {testpdfs::A4, -1, {}, 0, mark, {595, 842}}},
                         {"Letter", {testpdfs::Letter, -1, {}, 0, mark, {612, 792}}},
                         {"A4 landscape", {testpdfs::A4Landscape, -1, {}, 0, mark, {595, 842}}},
                         {"format 0: own size", {{500, 700}, 0, {}, 0, mark, {500, 700}}},
                         {"larger page clipped", {{1000, 1000}, FormatA4, {}, 0, {580, 830, 99, 99}, {595, 842}}},
                         {"origin and rotation", {testpdfs::A4Whole, -1, {100, 100}, 90, {150, 150, 40, 40}, {595, 842}}},
                         {"A4 measured by the merge", {testpdfs::A4, -2, {}, 0, mark, {595, 842}}},
                         {"Letter measured by the merge", {testpdfs::Letter, -2, {}, 0, mark, {612, 792}}},
                         {"other size measured by the merge", {{500, 700}, -2, {}, 0, mark, {500, 700}}}});
    }
    void geometry()
    {
        auto [size, format, origin, rotate, mark, box] = fetch<Geometry>();
        const QString doc = tagged("geometry-doc-"), output = tagged("geometry-");
        QVERIFY(testpdfs::writePdf(doc, {{size, {}, {{mark, Qt::blue}}, false, {}, origin, rotate}}));
        const PageSize own = TaskManager::pageSize(doc);
        MergeRequest r = request(doc, output);
        r.documentFormat = format >= 0 ? format
            : format == -1             ? TaskManager::pageFormat(own.width, own.height).formatCode
                                       : MergeRequest::FormatOfDocument;
        TaskManager::documentFormat = 99; // never read by the engine
        QVERIFY(TaskManager::mergeDocument(r));
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

    // Of the stationery only the drawn content is taken: nothing of its file
    // as a whole or of its page besides the content may come along.
    void stationeryDataStaysOut_data()
    {
        table<Leftover>({{"outlines", {"/Outlines", "<< /Count 1 /First << /Title (Leftover) >> >>"}},
                         {"form", {"/AcroForm", "<< /Fields [ << /FT /Tx /T (Leftover) >> ] >>"}},
                         {"old information", {"/Info", "<< /Title (Leftover) /Producer (Leftover) >>"}},
                         {"annotations", {"/Annots", "[ << /Subtype /Text /Rect [0 0 9 9] /Contents (Leftover) >> ]"}},
                         // Copy-protected (no user password): drawn, and unprotected in the output.
                         {"owner password only", {"/Encrypt", "(Leftover)"}}});
    }
    void stationeryDataStaysOut()
    {
        auto [where, value] = fetch<Leftover>();
        const QString busy = tagged("busy-"), output = tagged("busy-merged-");
        {
            auto pdf = open(start);
            QPDFObjectHandle object = pdf->makeIndirectObject(QPDFObjectHandle::parse(value.toStdString()));
            if (where == "/Info")
                pdf->getTrailer().replaceKey("/Info", object);
            else if (where == "/Annots")
                for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages())
                    page.getObjectHandle().replaceKey("/Annots", object);
            else if (where != "/Encrypt")
                pdf->getRoot().replaceKey(where.toStdString(), object);
            QPDFWriter writer(*pdf, QFile::encodeName(busy).constData());
            if (where == "/Encrypt")
                writer.setR6EncryptionParameters("", "Leftover", true, false, true, true, true, true, qpdf_r3p_none, true);
            writer.write();
        }
        MergeRequest r = request(document(2), output);
        r.startPagePath = r.continuationPagePath = r.termsPagePath = busy;
        r.useStartPage = r.useContinuationPage = r.useTermsPage = true;
        QVERIFY(TaskManager::mergeDocument(r));
        auto pdf = open(output);
        QVERIFY(pdf && !pdf->isEncrypted());
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
        QCOMPARE(colourAt(render(output, 2), StationeryMark.topLeft() + Inset), 'R'); // its content is there
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
        const Result result = TaskManager::mergeSinglePage(
            {document(2), output, stationery ? start : "", overlay, 190, 190, FormatA4});
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
        const QStringList before = QDir(dir.path()).entryList();
        const QList<PageImage> list = images(doc);
        QCOMPARE(QDir(dir.path()).entryList(), before); // merged in memory
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

    // A write that runs out of room reports the file and the reason, and
    // leaves the folder as it was: an old file byte for byte, no temporary
    // file.
    void fullDisk_data()
    {
        table<FullDisk>({{"merge over an existing output", {"merge", true}}, {"merge to a new file", {"merge", false}},
                         {"merge in memory is not affected", {"bytes", false}},
                         {"first page over a stored page", {"firstPage", true}},
                         {"extracted page over an old one", {"extract", true}}});
    }
    void fullDisk()
    {
        auto [operation, existing] = fetch<FullDisk>();
        // Page content that compresses badly: the output is larger than the disk.
        QByteArray noise;
        for (quint32 i = 0, state = 7; i < 60000; ++i) {
            state = state * 1664525u + 1013904223u;
            noise += QByteArray::number(state % 100000) + ' ' + QByteArray::number((state >> 7) % 100000) + " m ";
        }
        const QString heavy = dir.filePath("noise.pdf");
        QVERIFY(QFileInfo::exists(heavy) || testpdfs::writeRaw(heavy, noise));
        QTemporaryDir outer;
        ScarceDisk disk(outer.filePath("disk"));
        const QString output = outer.filePath("disk/out.pdf");
        const QByteArray old = "%PDF-1.4 the previous file\n";
        QVERIFY(!existing || testpdfs::writeBytes(output, old));
        MergeRequest r = request(heavy, output);
        r.useStartPage = true;
        const Result result = disk.run([&]() -> Result {
            if (operation == "merge")
                return TaskManager::mergeDocument(r);
            if (operation == "bytes") {
                const auto bytes = TaskManager::mergeToBytes(r);
                return bytes && bytes.value->size() > 200'000 ? Result::success() : Result::failure(ErrorCode::WriteFailed, "short");
            }
            if (operation == "firstPage")
                return TaskManager::writeFirstPage(heavy, output);
            return TaskManager::extractPage(heavy, 0, output, FormatA4);
        });
        const QStringList left = QDir(outer.filePath("disk")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        if (operation == "bytes") {
            QVERIFY2(result.ok(), qPrintable(result.error));
            QCOMPARE(left, QStringList());
            return;
        }
        QVERIFY(!result.ok());
        QCOMPARE(result.code, ErrorCode::NoSpace);
        QVERIFY2(result.error.contains(output) && result.error.contains(disk.reason()), qPrintable(result.error));
        QCOMPARE(left, existing ? QStringList{"out.pdf"} : QStringList());
        if (existing) {
            QFile file(output);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), old);
        }
    }

    // Merges on several threads at once give the file a single merge gives;
    // one stopped half-way writes nothing. Memory and file agree.
    void concurrentMerges()
    {
        const QString doc = document(120), folder = dir.filePath("threads");
        QVERIFY(QDir().mkpath(folder));
        auto requestFor = [&](int i) {
            MergeRequest r = request(doc, folder + QStringLiteral("/out%1.pdf").arg(i));
            r.useStartPage = r.useContinuationPage = r.useTermsPage = true;
            r.firstPageOffsetX = 11, r.firstPageOffsetY = -4, r.continuationOffsetX = -6, r.continuationOffsetY = 9;
            r.staticId = true;
            return r;
        };
        MergeRequest reference = requestFor(9);
        QVERIFY(TaskManager::mergeDocument(reference));
        QFile referenceFile(reference.outputPath);
        QVERIFY(referenceFile.open(QIODevice::ReadOnly));
        const QByteArray expected = referenceFile.readAll();
        QVERIFY(QFile::remove(reference.outputPath));

        constexpr int Threads = 4, Stopped = 2;
        std::atomic<bool> stop[Threads] = {};
        Result results[Threads];
        QList<int> progress[Threads];
        std::vector<std::thread> threads;
        for (int i = 0; i < Threads; ++i) {
            threads.emplace_back([&, i] {
                MergeControl control;
                control.stop = &stop[i];
                control.progress = [&, i](int percent) {
                    progress[i] << percent;
                    if (i == Stopped && percent >= 30)
                        stop[i] = true;
                };
                results[i] = TaskManager::mergeDocument(requestFor(i), control);
            });
        }
        for (auto& thread : threads)
            thread.join();
        for (int i = 0; i < Threads; ++i) {
            QVERIFY(std::is_sorted(progress[i].begin(), progress[i].end()));
            if (i == Stopped) {
                QCOMPARE(results[i].code, ErrorCode::Cancelled);
                QVERIFY(!progress[i].isEmpty() && progress[i].last() < 100);
                continue;
            }
            QVERIFY2(results[i].ok(), qPrintable(results[i].error));
            QCOMPARE(progress[i].last(), 100);
            QFile file(requestFor(i).outputPath);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.readAll() == expected);
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), Threads - 1);

        // A stop asked for before the start writes nothing at all.
        std::atomic<bool> early = true;
        MergeRequest r = requestFor(7);
        QCOMPARE(TaskManager::mergeDocument(r, {&early, {}}).code, ErrorCode::Cancelled);
        QCOMPARE(TaskManager::mergeToBytes(r, {&early, {}}).code, ErrorCode::Cancelled);
        QVERIFY(!QFileInfo::exists(r.outputPath));

        // Preview bytes are the file a scratch merge writes.
        r.compact = false;
        QVERIFY(TaskManager::mergeDocument(r));
        QFile scratch(r.outputPath);
        QVERIFY(scratch.open(QIODevice::ReadOnly));
        const auto bytes = TaskManager::mergeToBytes(requestFor(7));
        QVERIFY(bytes);
        QVERIFY(*bytes.value == scratch.readAll());
    }

    // Offsets reach the content stream as plain decimals a reader parses;
    // those no reader could take are refused, and nothing is written.
    void offsetNumbers_data()
    {
        table<Number>({{"decimal", {12345.678901, "q 1 0 0 1 12345.678901 -0.5 cm /Fx0 Do Q"}},
                       {"tiny rounds to nothing", {1e-9, "q 1 0 0 1 0 -0.5 cm /Fx0 Do Q"}},
                       {"not a number", {std::nan(""), ""}}, {"infinite", {HUGE_VAL, ""}}, {"huge", {1e300, ""}}});
    }
    void offsetNumbers()
    {
        auto [offset, expected] = fetch<Number>();
        const QString output = tagged("number-");
        MergeRequest r = request(document(2), output);
        r.firstPageOffsetX = offset;
        r.firstPageOffsetY = -0.5;
        const Result result = TaskManager::mergeDocument(r);
        if (expected.isEmpty()) {
            QCOMPARE(result.code, ErrorCode::InvalidInput);
            QVERIFY(result.error.contains(output));
            QVERIFY(!QFileInfo::exists(output));
            return;
        }
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(QString::fromLatin1(firstPageContent(output)).trimmed(), expected);
    }

    // Saved files pack small objects into object streams; scratch files
    // (written fast, read back at once) do not. Both read back whole.
    void objectStreams_data()
    {
        table<QPair<bool, int>>({{"saved", {true, 1}}, {"scratch", {false, 0}}});
    }
    void objectStreams()
    {
        auto [compact, streams] = fetch<QPair<bool, int>>();
        const QString output = tagged("objstm-");
        MergeRequest r = request(document(3), output);
        r.useContinuationPage = true;
        r.compact = compact;
        QVERIFY(TaskManager::mergeDocument(r));
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(int(file.readAll().contains("/Type /ObjStm")), streams);
        QCOMPARE(testpdfs::pageCount(output), 3);
        QCOMPARE(text(output), QString("Page 1 Cont Page 2 Cont Page 3"));
    }

    // Page 1 is found by walking the page tree, whatever its shape, with
    // the attributes it inherits; a broken tree has no page 1.
    void firstPageOfTree_data()
    {
        table<Tree>({{"attributes inherited from the root", {"inherited", {612, 792}}},
                     {"empty first branch", {"empty branch", {500, 700}}},
                     {"three levels deep", {"deep", {500, 700}}},
                     {"a loop instead of pages", {"loop", {0, 0}}}});
    }
    void firstPageOfTree()
    {
        auto [shape, size] = fetch<Tree>();
        const QString path = tagged("tree-"), copy = tagged("tree-copy-");
        {
            QPDF q;
            q.emptyPDF();
            auto parse = [](const char* text) { return QPDFObjectHandle::parse(text); };
            QPDFObjectHandle root = q.getRoot().getKey("/Pages");
            QPDFObjectHandle page = q.makeIndirectObject(parse("<< /Type /Page >>"));
            page.replaceKey("/Contents", QPDFObjectHandle::newStream(&q, "/Blue cs 1 sc 100 400 40 40 re f"));
            QPDFObjectHandle resources = parse("<< /ColorSpace << /Blue [/Indexed /DeviceRGB 1 <0000000000FF>] >> >>");
            QPDFObjectHandle second = q.makeIndirectObject(parse("<< /Type /Page /MediaBox [0 0 10 10] >>"));
            auto node = [&](std::vector<QPDFObjectHandle> kids) {
                QPDFObjectHandle n = q.makeIndirectObject(parse("<< /Type /Pages >>"));
                n.replaceKey("/Kids", QPDFObjectHandle::newArray(kids));
                n.replaceKey("/Count", QPDFObjectHandle::newInteger(1));
                return n;
            };
            if (shape == "inherited") {
                root.replaceKey("/MediaBox", parse("[0 0 612 792]"));
                root.replaceKey("/Resources", resources);
                root.replaceKey("/Kids", QPDFObjectHandle::newArray({page, second}));
            } else {
                page.replaceKey("/MediaBox", parse("[0 0 500 700]"));
                page.replaceKey("/Resources", resources);
                if (shape == "empty branch")
                    root.replaceKey("/Kids", QPDFObjectHandle::newArray({node({}), node({page}), second}));
                else if (shape == "deep")
                    root.replaceKey("/Kids", QPDFObjectHandle::newArray({node({node({node({page})})}), second}));
                else
                    root.replaceKey("/Kids", QPDFObjectHandle::newArray({root}));
            }
            root.replaceKey("/Count", QPDFObjectHandle::newInteger(2));
            QPDFWriter writer(q, QFile::encodeName(path).constData());
            writer.write();
        }
        const PageSize measured = TaskManager::pageSize(path);
        QCOMPARE(QSize(measured.width, measured.height), size);
        const Result copied = TaskManager::writeFirstPage(path, copy);
        QCOMPARE(copied.ok(), !size.isNull());
        if (size.isNull()) {
            QCOMPARE(copied.code, ErrorCode::NoPages);
            return;
        }
        QCOMPARE(testpdfs::pageCount(copy), 1);
        QCOMPARE(testpdfs::mediaBox(copy), QRectF(QPointF(), QSizeF(size)));
        QCOMPARE(colourAt(render(copy, 0), {105, 405}), 'B');
    }

    void extractPage_data()
    {
        table<Extract>({{"last page", {true, 2, "Page 3"}}, {"past the end", {true, 3, ""}}, {"missing document", {false, 0, ""}}});
    }
    void extractPage()
    {
        auto [exists, index, expected] = fetch<Extract>();
        const QString output = tagged("extract-");
        const Result result = TaskManager::extractPage(exists ? document(3) : dir.filePath("absent.pdf"), index,
                                                       output, FormatA4);
        QCOMPARE(result.ok(), !expected.isEmpty());
        QCOMPARE(QFileInfo::exists(output), result.ok());
        if (result) {
            QCOMPARE(testpdfs::pageCount(output), 1);
            QCOMPARE(text(output), expected);
            QCOMPARE(information(output), QStringList());
        }
    }
};

QTEST_MAIN(TestMerge)
#include "tst_pdf_merge.moc"
