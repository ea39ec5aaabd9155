// Stationery read once for many merges: the files' bytes shared by every
// thread, each thread's parsed copy reused from one document to the next.

#include "PdfChecks.h"
#include "pdf/Stationery.h"
#include "pdf/TaskManager.h"

#include <qpdf/QPDFWriter.hh>

#include <thread>

using namespace quillary;
using namespace pdfchecks;
using testpdfs::TestPage;

namespace {
const QRectF DocMark(100, 400, 40, 40), StationeryMark(300, 600, 40, 40);
const QPointF Inset(5, 5);
// A stationery file that cannot be used: how it is made, and the code.
struct Unusable { QString kind; ErrorCode code; };

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestStationery : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    const QString start = dir.filePath("start.pdf"), continuation = dir.filePath("continuation.pdf"),
                  terms = dir.filePath("terms.pdf");

    QString document(int pages)
    {
        const QString path = dir.filePath(QStringLiteral("doc%1.pdf").arg(pages));
        QList<TestPage> list;
        for (int k = 1; k <= pages; ++k)
            list.append({testpdfs::A4Whole, QStringLiteral("Page %1").arg(k), {{DocMark, Qt::blue}}});
        if (!QFileInfo::exists(path) && !testpdfs::writePdf(path, list))
            qFatal("cannot write a test document");
        return path;
    }
    MergeRequest request(const QString& doc, const QString& output) const
    {
        MergeRequest r{doc, output, start, continuation, terms, {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false}}};
        r.useStartPage = r.useContinuationPage = r.useTermsPage = true;
        r.documentFormat = FormatA4;
        r.staticId = true;
        return r;
    }
    static std::shared_ptr<const StationeryFiles> read(const QStringList& paths)
    {
        auto files = StationeryFiles::read(paths);
        if (!files)
            qFatal("%s", qPrintable(files.error));
        return *files.value;
    }
    // Colour at the stationery mark and at the (moved) document mark, per page.
    static QStringList colours(const QString& path, QPointF firstOffset = {})
    {
        QStringList seen;
        for (int i = 0; i < testpdfs::pageCount(path); ++i) {
            const QImage image = render(path, i);
            seen << QString() + colourAt(image, StationeryMark.topLeft() + Inset)
                        + colourAt(image, DocMark.topLeft() + (i == 0 ? firstOffset : QPointF()) + Inset);
        }
        return seen;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(testpdfs::writePdf(start, {{testpdfs::A4Whole, "Start", {{StationeryMark, Qt::red}}}}));
        QVERIFY(testpdfs::writePdf(continuation, {{testpdfs::A4Whole, "Cont", {{StationeryMark, Qt::green}}}}));
        QVERIFY(testpdfs::writePdf(terms, {{testpdfs::A4Whole, "Terms", {{StationeryMark, Qt::yellow}}}}));
    }

    // The first file that cannot be used stops the read, named with its code.
    void unusable_data()
    {
        table<Unusable>({{"missing", {"missing", ErrorCode::NotFound}},
                         {"folder", {"folder", ErrorCode::NotAFile}},
                         {"not a PDF", {"garbage", ErrorCode::Damaged}},
                         {"no pages", {"empty", ErrorCode::NoPages}},
                         {"protected by a password", {"locked", ErrorCode::PasswordProtected}}});
    }
    void unusable()
    {
        const Unusable row = fetch<Unusable>();
        const QString bad = dir.filePath("bad-" + row.kind + ".pdf");
        if (row.kind == "folder")
            QVERIFY(QDir().mkpath(bad));
        else if (row.kind == "garbage")
            QVERIFY(testpdfs::writeBytes(bad, "%PDF-1.4\nno PDF at all\n%%EOF\n"));
        else if (row.kind == "empty")
            QVERIFY(testpdfs::writeZeroPages(bad));
        else if (row.kind == "locked")
            QVERIFY(testpdfs::writeEncrypted(bad, "user", "owner"));
        const auto files = StationeryFiles::read({start, bad, terms});
        QVERIFY(!files);
        QCOMPARE(files.code, row.code);
        QVERIFY2(files.error.startsWith(bad + ": "), qPrintable(files.error));
    }

    // Merges through a cache write the same bytes as merges from the files,
    // one document after another on one parsed copy, and keep to what was
    // read: a stationery file replaced on disk meanwhile changes nothing.
    void cachedMergesAreFileMerges()
    {
        const QString copy = dir.filePath("start-copy.pdf");
        QVERIFY(QFile::copy(start, copy));
        StationeryCache cache(read({copy, continuation, terms}));
        for (const int pages : {3, 1, 2}) {
            const QString cached = dir.filePath(QStringLiteral("cached%1.pdf").arg(pages));
            const QString direct = dir.filePath(QStringLiteral("direct%1.pdf").arg(pages));
            MergeRequest r = request(document(pages), direct);
            if (pages == 1)
                r.firstPageOffsetX = 900; // the document's content off the page
            QVERIFY(TaskManager::mergeDocument(r));
            r.outputPath = cached;
            r.startPagePath = copy;
            const Result merged = TaskManager::mergeDocument(r, {}, cache);
            QVERIFY2(merged.ok(), qPrintable(merged.error));
            QVERIFY(bytesOf(cached) == bytesOf(direct));
            // The start page is replaced on disk: the cache keeps what it read.
            QVERIFY(testpdfs::writePdf(copy, {{testpdfs::A4Whole, "Other", {{StationeryMark, Qt::blue}}}}));
        }
        QCOMPARE(colours(dir.filePath("cached1.pdf")), (QStringList{"RW", "YW"}));
        QCOMPARE(colours(dir.filePath("cached2.pdf")), (QStringList{"RB", "GB", "YW"}));
    }

    // Stationery stored uncompressed is compressed once, in the cache, and
    // gives the file a merge from disk gives (which compresses it itself).
    void uncompressedStationery()
    {
        const QString plain = dir.filePath("start-plain.pdf");
        {
            QPDF pdf;
            pdf.processFile(QFile::encodeName(start).constData());
            QPDFWriter writer(pdf, QFile::encodeName(plain).constData());
            writer.setCompressStreams(false);
            writer.setDecodeLevel(qpdf_dl_generalized);
            writer.write();
        }
        // The stationery's content: of the page in the file, of its form in an output.
        const auto content = [](const QString& path, bool output) {
            auto pdf = open(path);
            QPDFObjectHandle page = QPDFPageDocumentHelper(*pdf).getAllPages().front().getObjectHandle();
            QPDFObjectHandle stream = output ? page.getKey("/Resources").getKey("/XObject").getKey("/Fx0")
                                             : page.getKey("/Contents");
            const auto raw = stream.getRawStreamData();
            return std::make_pair(QString::fromStdString(stream.getDict().getKey("/Filter").unparse()),
                                  QByteArray(reinterpret_cast<const char*>(raw->getBuffer()), qsizetype(raw->getSize())));
        };
        QCOMPARE(content(plain, false).first, "null");

        StationeryCache cache(read({plain}));
        MergeRequest r = request(document(2), dir.filePath("plain-cached.pdf"));
        r.startPagePath = plain;
        r.useContinuationPage = r.useTermsPage = false;
        QVERIFY(TaskManager::mergeDocument(r, {}, cache));
        QVERIFY(TaskManager::mergeDocument(r, {}, cache)); // a second output from the compressed copy
        r.outputPath = dir.filePath("plain-direct.pdf");
        QVERIFY(TaskManager::mergeDocument(r));
        const auto cached = content(dir.filePath("plain-cached.pdf"), true);
        QCOMPARE(cached.first, "/FlateDecode");
        QVERIFY(cached == content(dir.filePath("plain-direct.pdf"), true));
        QCOMPARE(colours(dir.filePath("plain-cached.pdf")), (QStringList{"RB", "WB"}));
    }

    // A file drawn as start and continuation page is parsed once and stored
    // once in the output; a cache handed other files drops what it parsed.
    void oneFileForTwoKindsOfPage()
    {
        StationeryCache cache(read({start, terms}));
        MergeRequest r = request(document(3), dir.filePath("same.pdf"));
        r.continuationPagePath = start;
        QVERIFY(TaskManager::mergeDocument(r, {}, cache));
        QCOMPARE(colours(r.outputPath), (QStringList{"RB", "RB", "RB", "YW"}));
        auto pdf = open(r.outputPath);
        QVERIFY(pdf);
        std::set<QPDFObjGen> forms;
        for (auto& page : QPDFPageDocumentHelper(*pdf).getAllPages())
            for (auto& [name, form] : page.getObjectHandle().getKey("/Resources").getKey("/XObject").getDictAsMap())
                forms.insert(form.getObjGen());
        QCOMPARE(forms.size(), size_t(3 + 2)); // one per document page, start once, terms once

        const QString other = dir.filePath("other-start.pdf");
        QVERIFY(testpdfs::writePdf(other, {{testpdfs::A4Whole, "Other", {{StationeryMark, Qt::cyan}}}}));
        QVERIFY(QFile::remove(start) && QFile::copy(other, start));
        cache.use(read({start, terms}));
        QVERIFY(TaskManager::mergeDocument(r, {}, cache));
        QCOMPARE(colours(r.outputPath), (QStringList{"CB", "CB", "CB", "YW"}));
        QVERIFY(QFile::remove(start));
        QVERIFY(testpdfs::writePdf(start, {{testpdfs::A4Whole, "Start", {{StationeryMark, Qt::red}}}}));
    }

    // Threads share one read of the files, each with a cache of its own, and
    // write what a single merge writes.
    void threadsShareOneRead()
    {
        const QString folder = dir.filePath("threads");
        QVERIFY(QDir().mkpath(folder));
        const QString doc = document(4);
        QVERIFY(TaskManager::mergeDocument(request(doc, folder + "/reference.pdf")));
        const QByteArray expected = bytesOf(folder + "/reference.pdf");
        const auto files = read({start, continuation, terms});
        constexpr int Threads = 4, Each = 6;
        std::vector<std::thread> threads;
        Result results[Threads][Each];
        for (int t = 0; t < Threads; ++t) {
            threads.emplace_back([&, t] {
                StationeryCache cache(files);
                for (int i = 0; i < Each; ++i)
                    results[t][i] = TaskManager::mergeDocument(
                        request(doc, folder + QStringLiteral("/out%1-%2.pdf").arg(t).arg(i)), {}, cache);
            });
        }
        for (auto& thread : threads)
            thread.join();
        for (int t = 0; t < Threads; ++t) {
            for (int i = 0; i < Each; ++i) {
                QVERIFY2(results[t][i].ok(), qPrintable(results[t][i].error));
                QVERIFY(bytesOf(folder + QStringLiteral("/out%1-%2.pdf").arg(t).arg(i)) == expected);
            }
        }
    }
};

QTEST_MAIN(TestStationery)
#include "tst_pdf_stationery.moc"
