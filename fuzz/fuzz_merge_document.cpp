// TaskManager::mergeDocument with an arbitrary document and well-formed
// stationery. Besides crashes it checks the engine's promises: a success
// leaves a readable output, a failure leaves none and says why, and nothing
// else is left in the folder.

#include "FuzzSupport.h"

#include "pdf/TaskManager.h"

#include <QDir>
#include <QFileInfo>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

using namespace quillary;

namespace {

int pagesOf(const QString& path)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData());
        return static_cast<int>(QPDFPageDocumentHelper(pdf).getAllPages().size());
    } catch (const std::exception&) {
        return -1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString work = [] {
        const QString dir = fuzz::scratchFile("merge");
        QDir().mkpath(dir);
        return dir;
    }();
    static const QString stationery = [] {
        const QString path = fuzz::scratchFile("stationery.pdf");
        fuzz::writeOnePagePdf(path, "1 0 0 rg 50 50 300 300 re f\n");
        return path;
    }();
    const QString document = work + QStringLiteral("/doc.pdf");
    const QString output = work + QStringLiteral("/out.pdf");
    QFile::remove(output);
    fuzz::writeFile(document, data, size);

    const PageSize size0 = TaskManager::pageSize(document);

    MergeRequest request;
    request.documentFormat = TaskManager::pageFormat(size0.width, size0.height).formatCode;
    request.documentPath = document;
    request.outputPath = output;
    request.startPagePath = stationery;
    request.continuationPagePath = stationery;
    request.termsPagePath = stationery;
    request.useStartPage = request.useContinuationPage = request.useTermsPage = true;
    request.options = {{SaveOptions::ALLOW_PRINT, true}, {SaveOptions::WITH_PASSWORD, false},
                       {SaveOptions::PASSWORD, QString()}};
    request.firstPageOffsetX = 12.5;
    request.continuationOffsetY = -7;

    const Result result = TaskManager::mergeDocument(request);
    if (result.ok()) {
        FUZZ_CHECK(pagesOf(output) >= 2); // at least page 1 and the terms page
    } else {
        FUZZ_CHECK(!result.error.isEmpty());
        FUZZ_CHECK(!QFileInfo::exists(output));
    }
    const QStringList left = QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    FUZZ_CHECK(left.size() == (result.ok() ? 2 : 1));
    return 0;
}
