// Laying stationery pages under or over the pages of a document.

#include "pdf/PdfContext.h"
#include "pdf/QpdfSupport.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"

#include <QFileInfo>

#include <cstdio>

namespace quillary {

namespace {

// Output page rectangle: the standard size of documentFormat, or the
// document's own first page size when the format is neither A4 nor US Letter.
QRectF outputBox(const PdfSource& document)
{
    const PageSize standard = TaskManager::standardPageSize(TaskManager::documentFormat);
    if (standard.width > 0 && standard.height > 0)
        return QRectF(0, 0, standard.width, standard.height);
    const QRectF own = document.mediaBox(0);
    if (own.width() > 0 && own.height() > 0)
        return QRectF(QPointF(0, 0), own.size());
    const PageSize a4 = TaskManager::standardPageSize(FormatA4);
    return QRectF(0, 0, a4.width, a4.height);
}

// A stationery page takes part when its flag is on and it names a file.
bool takesPart(bool use, const std::optional<QString>& path)
{
    return use && path && !path->isEmpty();
}

// Opens an enabled stationery file; a file that cannot be used stops the merge.
std::shared_ptr<PdfSource> openStationery(const QString& path, QString* error)
{
    auto source = PdfSource::open(path, error);
    if (source && source->pageCount() == 0) {
        *error = QStringLiteral("%1: the stationery file has no pages").arg(path);
        return nullptr;
    }
    return source;
}

} // namespace

PdfResult TaskManager::mergeDocument(const MergeRequest& request)
{
    return mergeDocument(request, true);
}

PdfResult TaskManager::mergeDocument(const MergeRequest& request, bool compact)
{
    if (!QFileInfo::exists(request.documentPath)) {
        std::fputs("File doesnt exists\n", stdout);
        std::fflush(stdout);
        return PdfResult::failure(QStringLiteral("%1: no such file").arg(request.documentPath));
    }

    // Everything is opened and checked before the output is begun, so a bad
    // input never leaves a file behind.
    QString error;
    auto document = PdfSource::open(request.documentPath, &error);
    if (!document)
        return PdfResult::failure(error);
    if (document->pageCount() == 0)
        return PdfResult::failure(QStringLiteral("%1: the document has no pages").arg(request.documentPath));

    std::shared_ptr<PdfSource> start, continuation, terms;
    if (takesPart(request.useStartPage, request.startPagePath)
        && !(start = openStationery(*request.startPagePath, &error)))
        return PdfResult::failure(error);
    if (takesPart(request.useContinuationPage, request.continuationPagePath)
        && document->pageCount() > 1
        && !(continuation = openStationery(*request.continuationPagePath, &error)))
        return PdfResult::failure(error);
    if (takesPart(request.useTermsPage, request.termsPagePath)
        && !(terms = openStationery(*request.termsPagePath, &error)))
        return PdfResult::failure(error);

    auto context = createPdfContext(request.outputPath, request.options, outputBox(*document), &error, document);
    if (!context)
        return PdfResult::failure(error);
    context->setCompact(compact);

    // One document page with its stationery: the overlay flag only decides
    // which is drawn last and so covers the other.
    auto compose = [&](int pageIndex, const std::shared_ptr<PdfSource>& stationery, QPointF offset) {
        context->beginPage();
        if (stationery && !request.stationeryIsOverlay)
            context->drawPage(stationery, 0);
        context->drawPage(document, pageIndex, offset);
        if (stationery && request.stationeryIsOverlay)
            context->drawPage(stationery, 0);
        context->endPage();
    };

    compose(0, start, QPointF(request.firstPageOffsetX, request.firstPageOffsetY));
    const QPointF continuationOffset(request.continuationOffsetX, request.continuationOffsetY);
    for (int k = 1; k < document->pageCount(); ++k)
        compose(k, continuation, continuationOffset);
    if (terms) {
        context->beginPage();
        context->drawPage(terms, 0);
        context->endPage();
    }
    return context->close();
}

PdfResult TaskManager::mergeSinglePage(const QString& documentPath, const QString& outputPath,
                                       const QString& stationeryPath, bool stationeryIsOverlay,
                                       double offsetY, double offsetX)
{
    if (!QFileInfo::exists(documentPath))
        return PdfResult::failure(QStringLiteral("%1: no such file").arg(documentPath));
    QString error;
    auto document = PdfSource::open(documentPath, &error);
    if (!document)
        return PdfResult::failure(error);
    if (document->pageCount() == 0)
        return PdfResult::failure(QStringLiteral("%1: the document has no pages").arg(documentPath));

    // No stationery when the path is empty or names no usable file.
    std::shared_ptr<PdfSource> stationery;
    if (!stationeryPath.isEmpty()) {
        stationery = PdfSource::open(stationeryPath);
        if (stationery && stationery->pageCount() == 0)
            stationery.reset();
    }

    PdfContext context(outputPath, outputBox(*document), document);
    context.beginPage();
    if (stationery && !stationeryIsOverlay)
        context.drawPage(stationery, 0);
    context.drawPage(document, 0, QPointF(offsetX, offsetY));
    if (stationery && stationeryIsOverlay)
        context.drawPage(stationery, 0);
    context.endPage();
    return context.close();
}

std::optional<QString> TaskManager::extractPage(const QString& documentPath, int pageIndex)
{
    const QString scratch = sharedStore().scratchPath(StoreKey::Temporary);
    if (scratch.isEmpty() || !QFileInfo::exists(documentPath))
        return std::nullopt;
    auto document = PdfSource::open(documentPath);
    if (!document || pageIndex < 0 || pageIndex >= document->pageCount())
        return std::nullopt;
    PdfContext context(scratch, outputBox(*document), document);
    context.beginPage();
    context.drawPage(document, pageIndex);
    context.endPage();
    if (!context.close())
        return std::nullopt;
    return scratch;
}

} // namespace quillary
