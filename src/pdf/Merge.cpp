// Laying stationery pages under or over the pages of a document.

#include "pdf/PdfContext.h"
#include "pdf/PlainLines.h"
#include "pdf/QpdfSupport.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>

namespace quillary {

namespace {

// Output page rectangle: the standard size of documentFormat, or the
// document's own first page size when the format is neither A4 nor US Letter.
QRectF outputBox(const PdfSource& document, std::uint8_t format = TaskManager::documentFormat)
{
    const PageSize standard = TaskManager::standardPageSize(format);
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
std::shared_ptr<PdfSource> openStationery(const QString& path, Result* error)
{
    auto source = PdfSource::open(path, error);
    if (source && source->pageCount() == 0) {
        *error = Result::failure(ErrorCode::NoPages, QStringLiteral("%1: the stationery file has no pages").arg(path));
        return nullptr;
    }
    return source;
}

} // namespace

Result TaskManager::mergeDocument(const MergeRequest& request)
{
    return mergeDocument(request, true);
}

Result TaskManager::mergeDocument(const MergeRequest& request, bool compact)
{
    if (!QFileInfo::exists(request.documentPath)) {
        printPlainLine(QStringLiteral("File doesnt exists"));
        return Result::failure(ErrorCode::NotFound, QStringLiteral("%1: no such file").arg(request.documentPath));
    }

    // Everything is opened and checked before the output is begun, so a bad
    // input never leaves a file behind.
    Result error;
    auto document = PdfSource::open(request.documentPath, &error);
    if (!document)
        return error;
    if (document->pageCount() == 0)
        return Result::failure(ErrorCode::NoPages, QStringLiteral("%1: the document has no pages").arg(request.documentPath));

    std::shared_ptr<PdfSource> start, continuation, terms;
    if (takesPart(request.useStartPage, request.startPagePath)
        && !(start = openStationery(*request.startPagePath, &error)))
        return error;
    if (takesPart(request.useContinuationPage, request.continuationPagePath)
        && document->pageCount() > 1
        && !(continuation = openStationery(*request.continuationPagePath, &error)))
        return error;
    if (takesPart(request.useTermsPage, request.termsPagePath)
        && !(terms = openStationery(*request.termsPagePath, &error)))
        return error;

    auto context = createPdfContext(request.outputPath, request.options, outputBox(*document), &error, document);
    if (!context)
        return error;
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

Result TaskManager::mergeSinglePage(const QString& documentPath, const QString& outputPath,
                                       const QString& stationeryPath, bool stationeryIsOverlay,
                                       double offsetY, double offsetX)
{
    if (!QFileInfo::exists(documentPath))
        return Result::failure(ErrorCode::NotFound, QStringLiteral("%1: no such file").arg(documentPath));
    Result error;
    auto document = PdfSource::open(documentPath, &error);
    if (!document)
        return error;
    if (document->pageCount() == 0)
        return Result::failure(ErrorCode::NoPages, QStringLiteral("%1: the document has no pages").arg(documentPath));

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

Result TaskManager::mergeDocument(const MergeRequest& request, const MergeControl& control)
{
    if (control.stopped())
        return Result::failure(ErrorCode::Cancelled, QStringLiteral("%1: stopped").arg(request.outputPath));
    // Until the engine takes its format from the request alone.
    const std::uint8_t saved = documentFormat;
    if (request.documentFormat != FormatUndefined)
        documentFormat = request.documentFormat;
    Result result = mergeDocument(request, request.compact);
    documentFormat = saved;
    if (control.progress)
        control.progress(100);
    return result;
}

ValueResult<QByteArray> TaskManager::mergeToBytes(const MergeRequest& request, const MergeControl& control)
{
    QTemporaryFile scratch;
    if (!scratch.open())
        return Result::failure(ErrorCode::WriteFailed, QStringLiteral("no scratch file: %1").arg(scratch.errorString()));
    MergeRequest copy = request;
    copy.outputPath = scratch.fileName();
    copy.compact = false;
    if (Result merged = mergeDocument(copy, control); !merged)
        return merged;
    QFile file(scratch.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return Result::failure(ErrorCode::Unreadable, QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()));
    return ValueResult<QByteArray>::of(file.readAll());
}

Result TaskManager::mergeSinglePage(const SinglePageRequest& request)
{
    const std::uint8_t saved = documentFormat;
    if (request.documentFormat != FormatUndefined)
        documentFormat = request.documentFormat;
    Result result = mergeSinglePage(request.documentPath, request.outputPath, request.stationeryPath,
                                    request.stationeryIsOverlay, request.offsetY, request.offsetX);
    documentFormat = saved;
    return result;
}

Result TaskManager::extractPage(const QString& documentPath, int pageIndex, const QString& outputPath,
                                std::uint8_t documentFormat)
{
    if (!QFileInfo::exists(documentPath))
        return Result::failure(ErrorCode::NotFound, QStringLiteral("%1: no such file").arg(documentPath));
    Result error;
    auto document = PdfSource::open(documentPath, &error);
    if (!document)
        return error;
    if (pageIndex < 0 || pageIndex >= document->pageCount())
        return Result::failure(ErrorCode::NoPages, QStringLiteral("%1: no page %2").arg(documentPath).arg(pageIndex + 1));
    PdfContext context(outputPath, outputBox(*document, documentFormat), document);
    context.beginPage();
    context.drawPage(document, pageIndex);
    context.endPage();
    return context.close();
}

} // namespace quillary
