// Benchmarks of the composition engine on a 1000-page A4 document.
//
// Inputs are generated once into $QUILLARY_BENCH_DIR (or a temporary folder)
// and reused when they are already there. bench/compare-peers times the
// command-line tool against other tools.

#include "pdf/StationeryNormaliser.h"
#include "pdf/TaskManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <sstream>


using namespace quillary;

namespace {

constexpr int DocumentPages = 1000;

struct Inputs {
    QString dir;
    QString document, start, continuation, terms, heavyContent, longStationery;
};

constexpr int LongStationeryPages = 100000;

// A stationery file of many pages, written directly: a balanced page tree of
// 100 nodes under the root, each page sharing one content stream, the media
// box and resources inherited from the root.
void writeLongStationery(const QString& path)
{
    QByteArray out = "%PDF-1.4\n";
    std::vector<qint64> offsets;
    auto object = [&](const QByteArray& body) {
        offsets.push_back(out.size());
        out += QByteArray::number(qint64(offsets.size())) + " 0 obj\n" + body + "\nendobj\n";
    };
    const QByteArray content = "0.2 0.3 0.6 rg 0 782 595 60 re f";
    constexpr int Nodes = 100, PerNode = LongStationeryPages / Nodes;
    // 1 catalog, 2 root, 3 content, 4.. nodes, then pages.
    object("<< /Type /Catalog /Pages 2 0 R >>");
    QByteArray kids;
    for (int n = 0; n < Nodes; ++n)
        kids += QByteArray::number(4 + n) + " 0 R ";
    object("<< /Type /Pages /MediaBox [0 0 595 842] /Resources << >> /Count " + QByteArray::number(LongStationeryPages)
           + " /Kids [" + kids + "] >>");
    object("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream");
    const int firstPage = 4 + Nodes;
    for (int n = 0; n < Nodes; ++n) {
        QByteArray pages;
        for (int k = 0; k < PerNode; ++k)
            pages += QByteArray::number(firstPage + n * PerNode + k) + " 0 R ";
        object("<< /Type /Pages /Parent 2 0 R /Count " + QByteArray::number(PerNode) + " /Kids [" + pages + "] >>");
    }
    for (int n = 0; n < Nodes; ++n)
        for (int k = 0; k < PerNode; ++k)
            object("<< /Type /Page /Parent " + QByteArray::number(4 + n) + " 0 R /Contents 3 0 R >>");
    const qint64 xref = out.size();
    out += "xref\n0 " + QByteArray::number(qint64(offsets.size() + 1)) + "\n0000000000 65535 f \n";
    for (qint64 offset : offsets)
        out += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(qint64(offsets.size() + 1)) + " /Root 1 0 R >>\nstartxref\n"
        + QByteArray::number(xref) + "\n%%EOF\n";
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(out);
}

// A page of a printed letter: a few dozen lines of text and some rules.
std::string letterContent(int page)
{
    std::ostringstream s;
    s << "BT /F1 11 Tf 14 TL 72 720 Td\n";
    for (int line = 0; line < 40; ++line)
        s << "(Page " << page << ", line " << line
          << ": the quick brown fox jumps over the lazy dog, invoice 4711.) '\n";
    s << "ET\n0.5 w 72 100 m 523 100 l S 72 760 m 523 760 l S\n";
    return s.str();
}

std::string letterheadContent(const char* name, double grey)
{
    std::ostringstream s;
    s << "q " << grey << " g 0 792 595 50 re f Q\n";
    s << "BT /F1 18 Tf 72 805 Td (" << name << " Letterhead GmbH) Tj ET\n";
    s << "BT /F1 7 Tf 72 30 Td (Musterstrasse 1, 12345 Musterstadt, Registergericht, Bankverbindung) Tj ET\n";
    for (int i = 0; i < 200; ++i)
        s << (i % 595) << ' ' << (i * 7 % 60) << " 2 2 re f\n";
    return s.str();
}

void writePdf(const QString& path, const std::vector<std::string>& contents)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFPageDocumentHelper doc(pdf);
    for (const std::string& content : contents) {
        QPDFObjectHandle page = QPDFObjectHandle::parse(
            "<< /Type /Page /MediaBox [0 0 595.276 841.89] /Resources << /Font << >> >> >>");
        page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
        doc.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    }
    const QByteArray fileName = QFile::encodeName(path); // the writer keeps the pointer
    QPDFWriter writer(pdf, fileName.constData());
    writer.setStaticID(true);
    writer.write();
}

const Inputs& inputs()
{
    static std::unique_ptr<QTemporaryDir> temporary;
    static Inputs in = [] {
        Inputs i;
        i.dir = qEnvironmentVariable("QUILLARY_BENCH_DIR");
        if (i.dir.isEmpty()) {
            temporary = std::make_unique<QTemporaryDir>();
            i.dir = temporary->path();
        }
        QDir().mkpath(i.dir);
        i.document = i.dir + "/document-1000.pdf";
        i.start = i.dir + "/start.pdf";
        i.continuation = i.dir + "/continuation.pdf";
        i.terms = i.dir + "/terms.pdf";
        i.heavyContent = i.dir + "/content-10mb.pdf";
        i.longStationery = i.dir + "/stationery-100000.pdf";
        if (!QFileInfo::exists(i.longStationery))
            writeLongStationery(i.longStationery);
        if (!QFileInfo::exists(i.document)) {
            std::vector<std::string> pages;
            for (int k = 1; k <= DocumentPages; ++k)
                pages.push_back(letterContent(k));
            writePdf(i.document, pages);
        }
        if (!QFileInfo::exists(i.start))
            writePdf(i.start, {letterheadContent("Start", 0.8)});
        if (!QFileInfo::exists(i.continuation))
            writePdf(i.continuation, {letterheadContent("Continuation", 0.9)});
        if (!QFileInfo::exists(i.terms))
            writePdf(i.terms, {letterContent(0)});
        if (!QFileInfo::exists(i.heavyContent)) {
            // 10 MB of path operators without a white page fill, so the scan
            // has to read all of it.
            std::string content;
            content.reserve(10'500'000);
            int n = 0;
            while (content.size() < 10'000'000) {
                content += "q 0.2 0.3 0.4 rg " + std::to_string(n % 500) + " " + std::to_string(n % 800)
                    + " 10 10 re f Q 1 1 1 sc " + std::to_string(n % 300) + " 5 m 20 30 l S\n";
                ++n;
            }
            writePdf(i.heavyContent, {content});
        }
        return i;
    }();
    return in;
}

MergeRequest fullRequest(const QString& output)
{
    const Inputs& in = inputs();
    MergeRequest r;
    r.documentPath = in.document;
    r.outputPath = output;
    r.startPagePath = in.start;
    r.continuationPagePath = in.continuation;
    r.termsPagePath = in.terms;
    r.useStartPage = r.useContinuationPage = r.useTermsPage = true;
    r.stationeryIsOverlay = false;
    r.firstPageOffsetX = 5;
    r.firstPageOffsetY = -10;
    r.options = {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false},
                 {SaveOptions::AUTHOR, QString("Bench")}, {SaveOptions::TITLE, QString("Letter")}};
    r.documentFormat = FormatA4;
    return r;
}

void reportOutput(benchmark::State& state, const QString& output)
{
    state.counters["output_bytes"] = static_cast<double>(QFileInfo(output).size());
    state.counters["pages"] = DocumentPages;
}

void BM_MergeDocument(benchmark::State& state)
{
    const QString output = inputs().dir + "/merged.pdf";
    const MergeRequest r = fullRequest(output);
    for (auto _ : state) {
        if (!TaskManager::mergeDocument(r))
            state.SkipWithError("merge failed");
    }
    reportOutput(state, output);
}
BENCHMARK(BM_MergeDocument)->Unit(benchmark::kMillisecond);

void BM_MergeDocumentEncrypted(benchmark::State& state)
{
    const QString output = inputs().dir + "/merged-encrypted.pdf";
    MergeRequest r = fullRequest(output);
    r.options = {{SaveOptions::ALLOW_PRINT, false}, {SaveOptions::WITH_PASSWORD, true},
                 {SaveOptions::PASSWORD, QString("user")}, {SaveOptions::OWNER_PASSWORD, QString("owner")}};
    for (auto _ : state) {
        if (!TaskManager::mergeDocument(r))
            state.SkipWithError("merge failed");
    }
    reportOutput(state, output);
}
BENCHMARK(BM_MergeDocumentEncrypted)->Unit(benchmark::kMillisecond);

// The preview's merge as a worker runs it: into memory, nothing rendered.
void BM_MergeToBytes(benchmark::State& state)
{
    const MergeRequest r = fullRequest(QString());
    qint64 size = 0;
    for (auto _ : state) {
        const auto bytes = TaskManager::mergeToBytes(r);
        if (!bytes) {
            state.SkipWithError("merge failed");
            break;
        }
        size = bytes.value->size();
    }
    state.counters["output_bytes"] = double(size);
    state.counters["pages"] = DocumentPages;
}
BENCHMARK(BM_MergeToBytes)->Unit(benchmark::kMillisecond);

// Page 1 of a 100,000-page stationery file: its size, and a one-page copy of
// it as the store makes one. Reads only what page 1 needs.
void BM_FirstPageOfLongStationery(benchmark::State& state)
{
    const Inputs& in = inputs();
    const QString copy = in.dir + "/first-page.pdf";
    for (auto _ : state) {
        if (TaskManager::pageSize(in.longStationery).width != 595 || !TaskManager::writeFirstPage(in.longStationery, copy))
            state.SkipWithError("page 1 not found");
    }
}
BENCHMARK(BM_FirstPageOfLongStationery)->Unit(benchmark::kMillisecond);

// A typical letterhead made fit for PDF/A outputs: a coloured band, a rule
// and two lines of Helvetica text, RGB and gray (as bench/compare-peers
// writes it). Parsed, its font embedded, its colours given profiles.
void BM_NormaliseLetterhead(benchmark::State& state)
{
    const Inputs& in = inputs();
    const QString path = in.dir + "/letterhead.pdf";
    {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
            "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
        QPDFObjectHandle resources = QPDFObjectHandle::parse("<< /Font << >> >>");
        resources.getKey("/Font").replaceKey("/F1", font);
        QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] >>"));
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", pdf.newStream(
            "0.1 0.3 0.6 rg 0 782 595 60 re f\n"
            "BT /F1 20 Tf 1 1 1 rg 40 805 Td (Example Company Ltd.) Tj ET\n"
            "0.1 0.3 0.6 RG 0.5 w 40 60 m 555 60 l S\n"
            "BT /F1 8 Tf 0 g 40 45 Td (1 Example Street - 12345 Example Town - Bank 0000 0000) Tj ET\n"));
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
        QPDFWriter writer(pdf, QFile::encodeName(path).constData());
        writer.write();
    }
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    for (auto _ : state) {
        QPDF pdf;
        pdf.processMemoryFile("letterhead", bytes.constData(), size_t(bytes.size()));
        const StationeryMends mends = normaliseStationery(pdf, QPDFPageDocumentHelper(pdf).getAllPages().at(0).getObjectHandle());
        if (mends.embeddedFonts.size() != 1)
            state.SkipWithError("the letterhead's font was not embedded");
    }
}
BENCHMARK(BM_NormaliseLetterhead)->Unit(benchmark::kMillisecond);

QList<PageImage> previewList()
{
    return TaskManager::previewImages(fullRequest(QString()));
}

// From the call until the first page image is rendered at strip size.
void BM_PreviewFirstImage(benchmark::State& state)
{
    for (auto _ : state) {
        const QList<PageImage> images = previewList();
        if (images.isEmpty()) {
            state.SkipWithError("no images");
            break;
        }
        benchmark::DoNotOptimize(images.first().render(QSize(149, 210)));
    }
}
BENCHMARK(BM_PreviewFirstImage)->Unit(benchmark::kMillisecond);

// The whole list, nothing rendered.
void BM_PreviewImageList(benchmark::State& state)
{
    for (auto _ : state) {
        const QList<PageImage> images = previewList();
        if (images.size() != DocumentPages + 1)
            state.SkipWithError("wrong image count");
    }
}
BENCHMARK(BM_PreviewImageList)->Unit(benchmark::kMillisecond);

// The whole list, every page rendered at strip size.
void BM_PreviewRenderAll(benchmark::State& state)
{
    for (auto _ : state) {
        const QList<PageImage> images = previewList();
        for (const PageImage& image : images)
            benchmark::DoNotOptimize(image.render(QSize(149, 210)));
    }
}
BENCHMARK(BM_PreviewRenderAll)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_HasWhiteBackground10MB(benchmark::State& state)
{
    const QString path = inputs().heavyContent;
    for (auto _ : state)
        benchmark::DoNotOptimize(TaskManager::hasWhiteBackground(path));
}
BENCHMARK(BM_HasWhiteBackground10MB)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    inputs();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
