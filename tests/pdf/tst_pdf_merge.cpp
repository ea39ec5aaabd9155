// Merging stationery with documents, stationery read once for many merges,
// and page images for previews and single-page extraction; read back with
// qpdf, Qt PDF and pdftotext.

#include "PdfChecks.h"
#include "pdf/PlainLines.h"
#include "pdf/Stationery.h"
#include "pdf/TaskManager.h"
#include "support/SmallDisk.h"
#include "support/TwoUsers.h"
#include "pdf/AtomicFile.h"

#include <atomic>
#include <new>
#include <stdexcept>

#include <qpdf/QPDFExc.hh>
#include <thread>

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
struct Leftover { QByteArray catalog, page, info; bool encrypted; }; // parts of the stationery file
struct Failure { QString role, kind; ErrorCode code; };
struct Output { QString kind; int mode; };
// A link at the output planted in a folder: its folder's mode and owner, the
// link's owner, and whether the user's file behind it is written.
struct Planted { int folderMode; bool folderIsVictims, linkIsVictims, writtenThrough; };
struct Single { bool stationery, overlay; QString expected; };
struct Preview { QSizeF size; QSize expected; QPointF first, cont; QString changed; }; // changed: per image, 1 when moved
struct Extract { bool exists; int index; QString expected; }; // expected: text of the page; empty: nothing
struct FullDisk { QString operation; bool existing; };
struct Number { double offset; QString expected; }; // expected: in the content stream; empty: refused
struct Tree { QByteArray kids; QList<QByteArray> nodes; bool inherited; QSize size; };

// Per page: colour at the stationery mark, at the document mark moved by the
// page's offset, and at the document mark's own place.
QStringList colours(const QString& path, QPointF first = {}, QPointF cont = {})
{
    QStringList seen;
    for (int i = 0; i < testpdfs::pageCount(path); ++i) {
        const QImage image = render(path, i);
        seen << QString() + colourAt(image, StationeryMark.topLeft() + Inset)
                    + colourAt(image, DocMark.topLeft() + (i == 0 ? first : cont) + Inset)
                    + colourAt(image, DocMark.topLeft() + Inset);
    }
    return seen;
}



// Move-to operators at pseudo-random places: content that compresses badly.
QByteArray noise(int count, quint32 seed, quint32 range)
{
    QByteArray out;
    for (quint32 i = 0, state = seed; i < quint32(count); ++i) {
        state = state * 1664525u + 1013904223u;
        out += QByteArray::number(state % range) + ' ' + QByteArray::number((state >> 10) % range) + " m ";
    }
    return out;
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
    // All three kinds of stationery named; which are drawn is the caller's.
    MergeRequest request(const QString& doc, const QString& output, bool all = false)
    {
        MergeRequest r{doc, output, start, continuation, terms, {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}}};
        r.useStartPage = r.useContinuationPage = r.useTermsPage = all;
        r.documentFormat = FormatA4;
        r.staticId = true;
        return r;
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

    void composition_data()
    {
        const QPointF none, far(200, 200); // far puts the document mark onto the stationery mark
        table<Composition>({{"one page, all three", {1, "sct", false, none, none, {"RBB", "YWW"}}},
                            {"continuation only", {3, "c", false, {10, 20}, {-30, 50}, {"WBW", "GBW", "GBW"}}},
                            {"start flag without a path", {1, "-", false, {10, 20}, none, {"WBW"}}},
                            {"overlay", {2, "sc", true, far, far, {"RRW", "GGW"}}},
                            {"underlay", {2, "sc", false, far, far, {"BBW", "BBW"}}},
                            {"terms ignore offsets, overlay", {1, "t", true, {60, -70}, {60, -70}, {"WBW", "YWW"}}},
                            // The document leaves a quarter scale behind; the stationery drawn after it stays put.
                            {"unbalanced q in the document", {2, "sc", true, {10, 20}, {-30, 50}, {"RBW", "GBW"},
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
        QCOMPARE(colours(output, first, cont), expected);
    }

    // Output page box and where the document's blue mark ends up: never
    // scaled, rotated or moved to the corner, cut off at the edges.
    void geometry_data()
    {
        // format -1: from the document's size by the caller; -2: by the merge
        const QRectF mark(100, 400, 40, 40);
        table<Geometry>({{"A4", {testpdfs::A4, -1, {}, 0, mark, {595, 842}}}, {"Letter", {testpdfs::Letter, -1, {}, 0, mark, {612, 792}}},
                         {"A4 landscape", {testpdfs::A4Landscape, -1, {}, 0, mark, {595, 842}}}, {"format 0: own size", {{500, 700}, 0, {}, 0, mark, {500, 700}}},
                         {"larger page clipped", {{1000, 1000}, FormatA4, {}, 0, {580, 830, 99, 99}, {595, 842}}},
                         {"origin and rotation", {testpdfs::A4Whole, -1, {100, 100}, 90, {150, 150, 40, 40}, {595, 842}}},
                         {"A4 measured by the merge", {testpdfs::A4, -2, {}, 0, mark, {595, 842}}}, {"Letter measured by the merge", {testpdfs::Letter, -2, {}, 0, mark, {612, 792}}},
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

    // Stationery is one shared form: 40 pages grow the file by it once, a
    // file drawn as start and continuation page is stored once, text stays
    // text. A cache handed a new read of its files drops what it parsed.
    void stationeryStoredOnce()
    {
        const QString heavy = dir.filePath("heavy.pdf"), doc = document(40), output = dir.filePath("shared.pdf");
        QVERIFY(testpdfs::writePdf(heavy, {{testpdfs::A4Whole, {}, {{StationeryMark, Qt::red}}, false,
                                            QString::fromLatin1(noise(6000, 1, 595))}}));
        StationeryCache cache(StationeryFiles::read({heavy, terms}).value.value());
        MergeRequest r = request(doc, output, true);
        r.startPagePath = r.continuationPagePath = heavy;
        QVERIFY(TaskManager::mergeDocument(r, {}, cache));
        std::set<QPDFObjGen> forms;
        auto pdf = open(output);
        for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages())
            for (auto& [name, form] : page.getObjectHandle().getKey("/Resources").getKey("/XObject").getDictAsMap())
                forms.insert(form.getObjGen());
        QCOMPARE(forms.size(), size_t(40 + 2)); // one per document page, the heavy page once, terms once
        // Besides the heavy page, the output carries the programs of the
        // stationery's fonts and its colour profiles, each once.
        qint64 programs = 0;
        for (QPDFObjectHandle object : pdf->getAllObjects())
            if (object.isStream() && (object.getDict().hasKey("/Length1") || object.getDict().getKey("/N").isInteger()))
                programs += object.getRawStreamData()->getSize();
        QVERIFY(QFileInfo(output).size() - QFileInfo(doc).size() < 2 * QFileInfo(heavy).size() + programs);
        QVERIFY(text(output).contains("Page 1 Page 2"));
        QCOMPARE(colours(output).mid(38), (QStringList{"RBB", "RBB", "YWW"}));
        const QByteArray first = bytesOf(output);
        QVERIFY(TaskManager::mergeDocument(r, {}, cache)); // the next document on the same parsed copy
        QVERIFY(bytesOf(output) == first);

        QVERIFY(testpdfs::writePdf(heavy, {{testpdfs::A4Whole, "Other", {{StationeryMark, Qt::cyan}}}}));
        cache.use(StationeryFiles::read({heavy, terms}).value.value());
        QVERIFY(TaskManager::mergeDocument(r, {}, cache));
        QCOMPARE(colours(output).mid(38), (QStringList{"CBB", "CBB", "YWW"}));
    }

    // Of the stationery only the drawn content is taken: nothing of its file
    // as a whole or of its page besides the content may come along.
    void stationeryDataStaysOut_data()
    {
        table<Leftover>({{"outlines", {"/Outlines << /Count 1 /First << /Title (Leftover) >> >>", {}, {}, false}},
                         {"form", {"/AcroForm << /Fields [ << /FT /Tx /T (Leftover) >> ] >>", {}, {}, false}},
                         {"old information", {{}, {}, "<< /Title (Leftover) /Producer (Leftover) >>", false}},
                         {"annotations", {{}, "/Annots [ << /Subtype /Text /Rect [0 0 9 9] /Contents (Leftover) >> ]", {}, false}},
                         // Copy-protected (no user password): drawn, and unprotected in the output.
                         {"owner password only", {{}, {}, {}, true}}});
    }
    void stationeryDataStaysOut()
    {
        auto [catalog, page, info, encrypted] = fetch<Leftover>();
        const QString busy = tagged("busy-"), output = tagged("busy-merged-");
        QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R " + catalog + " >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R " + page + " >>",
                                  stream({}, "1 0 0 rg 300 600 40 40 re f"), info};
        QVERIFY(writeObjects(busy, objects.mid(0, info.isEmpty() ? 4 : 5), !info.isEmpty(), true, [&](QPDFWriter& writer) {
            if (encrypted)
                writer.setR6EncryptionParameters("", "Leftover", true, false, true, true, true, true, qpdf_r3p_none, true);
        }));
        MergeRequest r = request(document(2), output, true);
        r.startPagePath = r.continuationPagePath = r.termsPagePath = busy;
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
    // output folder as it was; a read of stationery files stops at the first
    // one that cannot be used, named with the same code.
    void failures_data()
    {
        table<Failure>({{"missing document", {"document", "missing", ErrorCode::NotFound}}, {"unreadable document", {"document", "garbage", ErrorCode::Damaged}},
                        {"document without pages", {"document", "zero", ErrorCode::NoPages}},
                        {"document with a password", {"document", "encrypted", ErrorCode::PasswordProtected}},
                        // Object numbers at the limit: qpdf throws only once the output needs one more.
                        {"document that cannot grow", {"document", "hostile-max-object-id.pdf", ErrorCode::Damaged}},
                        {"document that cannot grow, in an object stream", {"document", "hostile-max-object-id-2.pdf", ErrorCode::Damaged}},
                        {"missing start page", {"start", "missing", ErrorCode::NotFound}}, {"start page a folder", {"start", "folder", ErrorCode::NotAFile}},
                        {"unreadable start page", {"start", "garbage", ErrorCode::Damaged}}, {"start page without pages", {"start", "zero", ErrorCode::NoPages}},
                        {"start page with a password", {"start", "encrypted", ErrorCode::PasswordProtected}},
                        {"unwritable output", {"output", "missing", ErrorCode::NotFound}}});
    }
    void failures()
    {
        auto [role, kind, code] = fetch<Failure>();
        QTemporaryDir outDir;
        const QString output = outDir.filePath("merged.pdf");
        QString bad = tagged("bad-");
        QVERIFY(testpdfs::writeBytes(output, "OLD"));
        QVERIFY(kind != "garbage" || testpdfs::writeBytes(bad, "%PDF-1.4\nno PDF at all\n%%EOF\n"));
        QVERIFY(kind != "zero" || testpdfs::writeZeroPages(bad));
        QVERIFY(kind != "encrypted" || testpdfs::writeEncrypted(bad, "user", "owner"));
        QVERIFY(kind != "folder" || QDir().mkpath(bad));
        QVERIFY(!kind.startsWith("hostile-") || QFile::copy(QStringLiteral(QUILLARY_TEST_DATA_DIR "/") + kind, bad));
        MergeRequest r = request(document(2), output, true);
        if (role == "output")
            bad = outDir.filePath("missing/merged.pdf");
        (role == "document" ? r.documentPath : role == "start" ? *r.startPagePath : r.outputPath) = bad;
        QStringList printed;
        const ScopedPlainLineSink sink([&](const QString& line) { printed << line; });
        const Result result = TaskManager::mergeDocument(r);
        QVERIFY2(!result.ok() && result.error.contains(bad), qPrintable(result.error));
        QCOMPARE(result.code, code);
        // The library's own words come after a reason a user understands.
        QVERIFY2(!kind.startsWith("hostile-") || result.error.contains("the document is damaged and cannot be used ("),
                 qPrintable(result.error));
        QCOMPARE(printed, role == "document" && kind == "missing" ? QStringList{"File doesnt exists"} : QStringList());
        QCOMPARE(bytesOf(output), QByteArray("OLD"));
        QCOMPARE(QDir(outDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"merged.pdf"});
        if (role == "document") { // the preview's merge fails the same way
            const auto previewed = TaskManager::mergeToBytes(r);
            QCOMPARE(previewed.code, code);
        }
        if (role == "start") {
            const auto files = StationeryFiles::read({start, bad, terms});
            QCOMPARE(files.code, code);
            QVERIFY2(files.error.startsWith(bad + ": "), qPrintable(files.error));
        }
    }

    // Whatever the library or the standard library throws in the middle of
    // a merge ends as a failure naming the document, and nothing is written.
    // The progress callback runs inside the merge, so it can throw for it.
    void everyExceptionKindBecomesAFailure_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("words");
        const int damaged = int(ErrorCode::Damaged);
        QTest::newRow("range_error") << 0 << damaged << "damaged and cannot be used (max object id";
        QTest::newRow("length_error") << 1 << damaged << "damaged and cannot be used (vector";
        QTest::newRow("out_of_range") << 2 << damaged << "damaged and cannot be used (index";
        QTest::newRow("logic_error") << 3 << damaged << "damaged and cannot be used (logic";
        QTest::newRow("invalid_argument") << 4 << damaged << "damaged and cannot be used (argument";
        QTest::newRow("runtime_error") << 5 << damaged << "damaged and cannot be used (runtime";
        QTest::newRow("overflow_error") << 6 << damaged << "damaged and cannot be used (overflow";
        QTest::newRow("bad_alloc") << 7 << int(ErrorCode::OutOfMemory) << "not enough memory";
        QTest::newRow("QPDFExc") << 8 << damaged << "not a readable PDF (broken xref";
        QTest::newRow("not a std::exception") << 9 << damaged << "the document is damaged and cannot be used";
    }
    void everyExceptionKindBecomesAFailure()
    {
        QFETCH(int, kind);
        QFETCH(int, code);
        QFETCH(QString, words);
        QTemporaryDir outDir;
        const MergeRequest r = request(document(3), outDir.filePath("merged.pdf"), true);
        const std::string documentPath = r.documentPath.toStdString();
        const auto raise = [kind, documentPath](int) {
            switch (kind) {
            case 0: throw std::range_error("max object id is too high to create new objects");
            case 1: throw std::length_error("vector::_M_realloc_insert");
            case 2: throw std::out_of_range("index 7 past the end");
            case 3: throw std::logic_error("logic broken");
            case 4: throw std::invalid_argument("argument refused");
            case 5: throw std::runtime_error("runtime trouble");
            case 6: throw std::overflow_error("overflow in a count");
            case 7: throw std::bad_alloc();
            case 8: throw QPDFExc(qpdf_e_damaged_pdf, documentPath, "object 4 0", 120, "broken xref");
            default: throw 42;
            }
        };
        MergeControl control;
        control.progress = raise;
        const Result written = TaskManager::mergeDocument(r, control);
        QCOMPARE(int(written.code), code);
        QVERIFY2(written.error.startsWith(r.documentPath + ": ") && written.error.contains(words), qPrintable(written.error));
        QCOMPARE(QDir(outDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        const auto previewed = TaskManager::mergeToBytes(r, control);
        QCOMPARE(int(previewed.code), code);
        QVERIFY2(previewed.error.contains(words), qPrintable(previewed.error));
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

    // The colleague plants out.pdf -> the victim's private file in a folder
    // both can write to; the victim's output there must not land in it. The
    // kernel's rule for shared folders decides which links are followed.
    void plantedOutputLinks_data()
    {
        table<Planted>({{"colleague's link in a sticky shared folder", {01777, false, false, false}},
                        {"colleague's link in a group-writable shared folder", {02770, true, false, false}},
                        {"own link in a sticky shared folder", {01777, false, true, true}},
                        {"link in a folder only the user writes", {0755, true, false, true}}});
    }
    void plantedOutputLinks()
    {
        const auto [folderMode, folderIsVictims, linkIsVictims, writtenThrough] = fetch<Planted>();
        QUILLARY_TWO_USERS(people);
        QTemporaryDir root;
        QVERIFY(::chmod(QFile::encodeName(root.path()).constData(), 0755) == 0);
        const QString keep = root.filePath("keep"), shared = root.filePath("shared"), kept = keep + "/x.txt";
        QVERIFY(QDir().mkdir(keep) && QDir().mkdir(shared) && testpdfs::writeBytes(kept, "the victim's notes"));
        QVERIFY(twousers::give(keep, people->victim) && twousers::give(kept, people->victim));
        QVERIFY(::chmod(QFile::encodeName(keep).constData(), 0700) == 0);
        QVERIFY(folderIsVictims ? twousers::give(shared, people->victim, true)
                                : ::chown(QFile::encodeName(shared).constData(), 0, people->victim.office) == 0);
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), mode_t(folderMode)) == 0);
        const QString link = shared + "/out.pdf";
        QVERIFY(QFile::link(kept, link) && twousers::give(link, linkIsVictims ? people->victim : people->colleague));

        const int outcome = twousers::as(people->victim, [&] {
            const Result r = writeFileAtomically(link, "%PDF-1.7 stamped");
            if (r)
                return 0;
            return r.code == ErrorCode::Refused && r.error.startsWith(link + ": ") && r.error.contains("link") ? 1 : 2;
        });
        QCOMPARE(outcome, writtenThrough ? 0 : 1);
        QCOMPARE(bytesOf(kept), writtenThrough ? QByteArray("%PDF-1.7 stamped") : QByteArray("the victim's notes"));
        QVERIFY(QFileInfo(link).isSymLink()); // the link itself stays
        // Nothing else is left in either folder, not even a temporary file.
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(shared).entryList(all), QStringList{"out.pdf"});
        QCOMPARE(QDir(keep).entryList(all), QStringList{"x.txt"});
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
    // rendered on demand from bytes held after the scratch file is gone; an
    // offset changes the images of its own pages only.
    void previews_data()
    {
        table<Preview>({{"A4", {testpdfs::A4, {595, 842}, {}, {}, "0000"}},
                        {"Letter", {testpdfs::Letter, {612, 792}, {}, {}, "0000"}},
                        {"first-page offset", {testpdfs::A4, {595, 842}, {30, -20}, {}, "1000"}},
                        {"continuation offset", {testpdfs::Letter, {612, 792}, {}, {-15, 40}, "0110"}}});
    }
    void previews()
    {
        auto [size, expected, first, cont, changed] = fetch<Preview>();
        const QString doc = document(3, size);
        const PageSize own = TaskManager::pageSize(doc);
        TaskManager::documentFormat = TaskManager::pageFormat(own.width, own.height).formatCode;
        const QStringList before = QDir(dir.path()).entryList();
        const QList<PageImage> plain = TaskManager::previewImages(doc, start, continuation, terms, true, true, true, false, 0, 0, 0, 0);
        const QList<PageImage> moved = TaskManager::previewImages(doc, start, continuation, terms, true, true, true, false, first.y(),
                                                                  first.x(), cont.x(), cont.y());
        QCOMPARE(QDir(dir.path()).entryList(), before); // merged in memory
        QCOMPARE(moved.size(), 4);
        QString seen;
        for (int i = 0; i < 4; ++i) {
            QVERIFY(moved[i].pageIndex() == i && moved[i].size() == QSizeF(expected));
            seen += plain[i].render(expected) == moved[i].render(expected) ? '0' : '1';
        }
        QCOMPARE(seen, changed);
        QCOMPARE(colourAt(moved[3].render(expected), StationeryMark.topLeft() + Inset), 'Y');
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
        const QString heavy = dir.filePath("noise.pdf");
        QVERIFY(QFileInfo::exists(heavy) || testpdfs::writeRaw(heavy, noise(60000, 7, 100000)));
        QTemporaryDir outer;
        testdisk::SmallDisk disk(outer.filePath("disk"), 1024 * 1024);
        const QString output = disk.folder() + "/out.pdf";
        const QByteArray old = "%PDF-1.4 the previous file\n";
        QVERIFY(!existing || testpdfs::writeBytes(output, old));
        MergeRequest r = request(heavy, output);
        r.useStartPage = true;
        QVERIFY(disk.limit(64 * 1024));
        const Result result = operation == "merge"     ? TaskManager::mergeDocument(r)
                            : operation == "firstPage" ? TaskManager::writeFirstPage(heavy, output)
                            : operation == "extract"   ? TaskManager::extractPage(heavy, 0, output, FormatA4)
                                                       : Result{TaskManager::mergeToBytes(r).value.value_or("").size() > 200'000
                                                                    ? ErrorCode::None : ErrorCode::WriteFailed};
        disk.lift();
        QCOMPARE(QDir(disk.folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 existing ? QStringList{"out.pdf"} : QStringList());
        QCOMPARE(result.code, operation == "bytes" ? ErrorCode::None : ErrorCode::NoSpace);
        QVERIFY2(operation == "bytes" || (result.error.contains(output) && result.error.contains(disk.reason())), qPrintable(result.error));
        QCOMPARE(bytesOf(output), existing ? old : QByteArray());
    }

    // The last step can fail too: a target that cannot be renamed over (here
    // a mount point) leaves the old file as it was and no temporary file.
    void renameRefused()
    {
        if (::geteuid() != 0)
            QSKIP("only root can mount a file over the output");
        QTemporaryDir outer;
        testdisk::SmallDisk disk(outer.filePath("disk")); // its own mount namespace
        const QString output = disk.folder() + "/out.pdf", over = outer.filePath("over.pdf");
        QVERIFY(testpdfs::writeBytes(output, "%PDF-1.4 the previous file\n") && testpdfs::writeBytes(over, "%PDF-1.4 mounted\n"));
        if (::mount(QFile::encodeName(over).constData(), QFile::encodeName(output).constData(), nullptr, MS_BIND, nullptr) != 0)
            QSKIP("this root may not mount (no CAP_SYS_ADMIN)");
        const Result result = TaskManager::mergeDocument(request(document(2), output, true));
        ::umount2(QFile::encodeName(output).constData(), MNT_DETACH);
        QCOMPARE(result.code, ErrorCode::WriteFailed);
        QVERIFY2(result.error.contains(output), qPrintable(result.error));
        QCOMPARE(bytesOf(output), QByteArray("%PDF-1.4 the previous file\n"));
        QCOMPARE(QDir(disk.folder()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.pdf"});
    }

    // Merges on several threads, each with a cache of its own over one read
    // of the files, give the file a single merge from disk gives, though the
    // start page was read uncompressed (the cache compresses it once, as a
    // merge from disk does each time) and changed on disk since; one stopped
    // half-way writes nothing.
    void concurrentMerges()
    {
        const QString folder = dir.filePath("threads"), copy = dir.filePath("start-copy.pdf");
        QVERIFY(QDir(folder).removeRecursively() && QDir().mkpath(folder));
        {
            auto pdf = open(start);
            QPDFWriter writer(*pdf, QFile::encodeName(copy).constData());
            writer.setCompressStreams(false);
            writer.setDecodeLevel(qpdf_dl_generalized);
            writer.write();
        }
        QVERIFY(!bytesOf(copy).contains("/FlateDecode"));
        const auto files = StationeryFiles::read({copy, continuation, terms}).value.value();
        QVERIFY(testpdfs::writePdf(copy, {{testpdfs::A4Whole, "Other", {{StationeryMark, Qt::blue}}}}));
        auto requestFor = [&](int i) {
            MergeRequest r = request(document(120), folder + QStringLiteral("/out%1.pdf").arg(i), true);
            r.firstPageOffsetX = 11, r.firstPageOffsetY = -4, r.continuationOffsetX = -6, r.continuationOffsetY = 9;
            return r;
        };
        MergeRequest r = requestFor(9);
        QVERIFY(TaskManager::mergeDocument(r));
        const QByteArray expected = bytesOf(r.outputPath);
        QVERIFY(QFile::remove(r.outputPath));

        constexpr int Threads = 4, Stopped = 2;
        std::atomic<bool> stop[Threads] = {};
        Result results[Threads];
        QList<int> progress[Threads];
        std::vector<std::thread> threads;
        for (int i = 0; i < Threads; ++i) {
            threads.emplace_back([&, i] {
                StationeryCache cache(files);
                MergeRequest mine = requestFor(i);
                mine.startPagePath = copy;
                results[i] = TaskManager::mergeDocument(mine, {&stop[i], [&, i](int percent) {
                    progress[i] << percent;
                    stop[i] = i == Stopped && percent >= 30;
                }}, cache);
            });
        }
        for (auto& thread : threads)
            thread.join();
        for (int i = 0; i < Threads; ++i) {
            QVERIFY(!progress[i].isEmpty() && std::is_sorted(progress[i].begin(), progress[i].end()));
            QCOMPARE(results[i].code, i == Stopped ? ErrorCode::Cancelled : ErrorCode::None);
            QCOMPARE(progress[i].last() == 100, i != Stopped);
            QCOMPARE(bytesOf(requestFor(i).outputPath) == expected, i != Stopped);
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), Threads - 1);

        // A stop asked for before the start writes nothing at all.
        std::atomic<bool> early = true;
        r = requestFor(7);
        QCOMPARE(TaskManager::mergeDocument(r, {&early, {}}).code, ErrorCode::Cancelled);
        QCOMPARE(TaskManager::mergeToBytes(r, {&early, {}}).code, ErrorCode::Cancelled);
        QVERIFY(!QFileInfo::exists(r.outputPath));

        // Preview bytes are the file a scratch merge writes. Saved files pack
        // small objects into object streams; scratch files (written fast,
        // read back at once) do not.
        r.compact = false;
        QVERIFY(TaskManager::mergeDocument(r));
        const auto bytes = TaskManager::mergeToBytes(requestFor(7));
        QVERIFY(bytes && *bytes.value == bytesOf(r.outputPath));
        QVERIFY(!bytes.value->contains("/Type /ObjStm") && expected.contains("/Type /ObjStm"));
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
        auto pdf = open(output);
        QCOMPARE(QString::fromLatin1(streamData(QPDFPageDocumentHelper(*pdf).getAllPages().front().getObjectHandle().getKey("/Contents"))).trimmed(),
                 expected);
    }

    // Page 1 is found by walking the page tree, whatever its shape, with
    // the attributes it inherits; a broken tree has no page 1.
    void firstPageOfTree_data()
    {
        // kids: of the root (2), the blue page 3 and a second page 5 among
        // them; nodes: the kids of inner nodes 6, 7, ...
        table<Tree>({{"attributes inherited from the root", {"3 0 R 5 0 R", {}, true, {612, 792}}},
                     {"empty first branch", {"6 0 R 7 0 R 5 0 R", {"", "3 0 R"}, false, {500, 700}}},
                     {"three levels deep", {"6 0 R 5 0 R", {"7 0 R", "8 0 R", "3 0 R"}, false, {500, 700}}},
                     {"a loop instead of pages", {"2 0 R", {}, false, {0, 0}}}});
    }
    void firstPageOfTree()
    {
        auto [kids, nodes, inherited, size] = fetch<Tree>();
        const QString path = tagged("tree-"), copy = tagged("tree-copy-");
        const QByteArray attributes = QByteArray(inherited ? "/MediaBox [0 0 612 792]" : "/MediaBox [0 0 500 700]")
                                      + " /Resources << /ColorSpace << /Blue [/Indexed /DeviceRGB 1 <0000000000FF>] >> >>";
        QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>",
                                  "<< /Type /Pages /Count 2 /Kids [" + kids + "] " + (inherited ? attributes : "") + " >>",
                                  "<< /Type /Page /Contents 4 0 R " + (inherited ? "" : attributes) + " >>",
                                  stream({}, "/Blue cs 1 sc 100 400 40 40 re f"), "<< /Type /Page /MediaBox [0 0 10 10] >>"};
        for (const QByteArray& node : nodes)
            objects << "<< /Type /Pages /Count 1 /Kids [" + node + "] >>";
        QVERIFY(writeObjects(path, objects));
        const PageSize measured = TaskManager::pageSize(path);
        QCOMPARE(QSize(measured.width, measured.height), size);
        const Result copied = TaskManager::writeFirstPage(path, copy);
        QCOMPARE(copied.code, size.isNull() ? ErrorCode::NoPages : ErrorCode::None);
        if (!size.isNull()) {
            QCOMPARE(testpdfs::pageCount(copy), 1);
            QCOMPARE(testpdfs::mediaBox(copy), QRectF(QPointF(), QSizeF(size)));
            QCOMPARE(colourAt(render(copy, 0), {105, 405}), 'B');
        }
    }

    void extractPage_data()
    {
        table<Extract>({{"last page", {true, 2, "Page 3"}}, {"past the end", {true, 3, ""}}, {"missing document", {false, 0, ""}}});
    }
    void extractPage()
    {
        auto [exists, index, expected] = fetch<Extract>();
        const QString output = tagged("extract-");
        const Result result = TaskManager::extractPage(exists ? document(3) : dir.filePath("absent.pdf"), index, output, FormatA4);
        QCOMPARE(result.ok(), !expected.isEmpty());
        QCOMPARE(QFileInfo::exists(output), result.ok());
        if (result) {
            QCOMPARE(text(output), expected);
            QCOMPARE(information(output), QStringList());
        }
    }
};

QTEST_MAIN(TestMerge)
#include "tst_pdf_merge.moc"
