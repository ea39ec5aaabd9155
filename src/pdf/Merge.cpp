// Laying stationery pages under or over the pages of a document.

#include "pdf/PageRanges.h"
#include "pdf/PdfContext.h"
#include "pdf/PdfInput.h"
#include "pdf/PdfReading.h"
#include "pdf/PlainLines.h"
#include "pdf/Stationery.h"
#include "pdf/TaskManager.h"

#include <QFileInfo>

#include <cmath>

#include <qpdf/QPDFExc.hh>

namespace quillary {

namespace {

// Output page rectangle: the standard size of the format, or the document's
// own first page size when the format is neither A4 nor US Letter.
QRectF outputBox(const PdfSource& document, std::uint8_t format)
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

// The format TaskManager::pageFormat gives the document's page 1, measured
// as TaskManager::pageSize measures it (which opens only names ending in
// ".pdf"), from the opened document.
std::uint8_t formatOf(const PdfSource& document, std::uint8_t requested)
{
    if (requested != MergeRequest::FormatOfDocument)
        return requested;
    if (QFileInfo(document.path()).suffix() != QLatin1String("pdf"))
        return FormatUndefined;
    const QRectF box = document.mediaBox(0);
    return TaskManager::pageFormat(int(std::lround(box.width())), int(std::lround(box.height()))).formatCode;
}

// A stationery page takes part when its flag is on and it names a file.
bool takesPart(bool use, const std::optional<QString>& path)
{
    return use && path && !path->isEmpty();
}

Result noSuchFile(const QString& path)
{
    return Result::failure(ErrorCode::NotFound, QStringLiteral("%1: no such file").arg(path));
}

Result stopped(const QString& what)
{
    return Result::failure(ErrorCode::Cancelled, QStringLiteral("%1: stopped").arg(what));
}

// qpdf says what it cannot do by throwing, also long after a file has opened
// (a damaged object read late, an object number too high to add one more).
// Every merge turns that into a failure naming the file, so that one hostile
// PDF never ends the process: a watched folder or the preview window would
// go down with it. A parse error names its own file; anything else happened
// while building the output, which lives inside the document.
template <class Operation>
auto guarded(const QString& documentPath, Operation&& operation) -> decltype(operation())
{
    try {
        return operation();
    } catch (const std::exception& e) {
        QString culprit = documentPath;
        if (const auto* exc = dynamic_cast<const QPDFExc*>(&e); exc && !exc->getFilename().empty())
            culprit = QString::fromStdString(exc->getFilename());
        return Result::failure(errorCodeOf(e), QStringLiteral("%1: %2").arg(culprit, describePdfError(e)));
    } catch (...) {
        return Result::failure(ErrorCode::Damaged,
                               QStringLiteral("%1: the document is damaged and cannot be used").arg(documentPath));
    }
}

// Opens a document whose pages are drawn, from its file or from bytes the
// caller read; one without pages is refused.
std::shared_ptr<PdfSource> openDocument(const QString& path, Result* error, const QString& password,
                                        PdfSource::Pages which = PdfSource::Pages::All,
                                        const std::optional<QByteArray>& bytes = std::nullopt)
{
    auto source = bytes ? PdfSource::open(path, *bytes, error, which, password)
                        : PdfSource::open(path, error, which, password);
    if (source && source->pageCount() == 0) {
        *error = Result::failure(ErrorCode::NoPages, QStringLiteral("%1: the document has no pages").arg(path));
        return nullptr;
    }
    return source;
}

// Opens an enabled stationery file, page 1 only; a file that cannot be used
// stops the merge.
std::shared_ptr<PdfSource> openStationery(const QString& path, Result* error)
{
    auto source = PdfSource::open(path, error, PdfSource::Pages::FirstOnly);
    if (source && source->pageCount() == 0) {
        *error = Result::failure(ErrorCode::NoPages, QStringLiteral("%1: the stationery file has no pages").arg(path));
        return nullptr;
    }
    // Stored pages are normalised when imported; one stored before that, or
    // a file given directly, is mended here, once for the merge.
    if (source)
        source->normaliseFirstPage();
    return source;
}

// One document page with its stationery: the overlay flag only decides
// which is drawn last and so covers the other.
void composeOne(PdfContext& context, const std::shared_ptr<PdfSource>& document, int pageIndex,
                const std::shared_ptr<PdfSource>& stationery, bool overlay, QPointF offset)
{
    context.beginPage();
    if (stationery && !overlay)
        context.drawPage(stationery, 0);
    context.drawPage(document, pageIndex, offset);
    if (stationery && overlay)
        context.drawPage(stationery, 0);
    context.endPage();
}

using StationeryOpener = std::function<std::shared_ptr<PdfSource>(const QString& path, Result* error)>;

// Everything of a merge but the writing: the inputs opened and checked (so
// a bad input never leaves a file behind) and every page composed.
// Stationery comes from openStationery, or straight from its file.
ValueResult<std::shared_ptr<PdfContext>> compose(const MergeRequest& request, const MergeControl& control,
                                                 const QString& outputName,
                                                 const StationeryOpener& stationeryOpener = openStationery)
{
    if (!request.documentBytes && !QFileInfo::exists(request.documentPath)) {
        printPlainLine(QStringLiteral("File doesnt exists"));
        return noSuchFile(request.documentPath);
    }
    if (control.stopped())
        return stopped(outputName);
    Result error;
    auto document = openDocument(request.documentPath, &error, request.documentPassword, PdfSource::Pages::All,
                                 request.documentBytes);
    if (!document)
        return error;

    std::shared_ptr<PdfSource> start, continuation, terms;
    if (takesPart(request.useStartPage, request.startPagePath)
        && !(start = stationeryOpener(*request.startPagePath, &error)))
        return error;
    if (takesPart(request.useContinuationPage, request.continuationPagePath) && document->pageCount() > 1
        && !(continuation = stationeryOpener(*request.continuationPagePath, &error)))
        return error;
    if (takesPart(request.useTermsPage, request.termsPagePath)
        && !(terms = stationeryOpener(*request.termsPagePath, &error)))
        return error;

    std::shared_ptr<PdfContext> context = TaskManager::createPdfContext(
        outputName, request.options, outputBox(*document, formatOf(*document, request.documentFormat)), &error,
        document);
    if (!context)
        return error;
    context->setCompact(request.compact);
    context->setStaticId(request.staticId);
    context->keepDocument();

    auto composePage = [&](int pageIndex, const std::shared_ptr<PdfSource>& stationery, QPointF offset) {
        composeOne(*context, document, pageIndex, stationery, request.stationeryIsOverlay, offset);
    };

    composePage(0, start, QPointF(request.firstPageOffsetX, request.firstPageOffsetY));
    const QPointF continuationOffset(request.continuationOffsetX, request.continuationOffsetY);
    for (int k = 1; k < document->pageCount(); ++k) {
        if (control.stopped())
            return stopped(outputName);
        composePage(k, continuation, continuationOffset);
    }
    if (terms) {
        context->beginPage();
        context->drawPage(terms, 0);
        context->endPage();
    }
    return ValueResult<std::shared_ptr<PdfContext>>::of(std::move(context));
}

// A merge written to its output file, stationery from the opener.
Result composeAndWrite(const MergeRequest& request, const MergeControl& control, const StationeryOpener& opener)
{
    auto composed = compose(request, control, request.outputPath, opener);
    if (!composed)
        return composed;
    Result result = (*composed.value)->close(control);
    if (result && control.progress)
        control.progress(100);
    return result;
}

} // namespace

Result TaskManager::mergeDocument(const MergeRequest& request)
{
    return mergeDocument(request, MergeControl{});
}

Result TaskManager::mergeDocument(const MergeRequest& request, const MergeControl& control)
{
    return guarded(request.documentPath, [&] { return composeAndWrite(request, control, openStationery); });
}

Result TaskManager::mergeDocument(const MergeRequest& request, const MergeControl& control,
                                  StationeryCache& stationery)
{
    return guarded(request.documentPath, [&] {
        return composeAndWrite(request, control,
                               [&stationery](const QString& path, Result* error) { return stationery.open(path, error); });
    });
}

Result TaskManager::mergeToSink(const MergeRequest& request, const MergeControl& control,
                                StationeryCache& stationery, const OutputSink& sink)
{
    return guarded(request.documentPath, [&]() -> Result {
        auto composed = compose(request, control, request.outputPath.isEmpty() ? request.documentPath : request.outputPath,
                                [&stationery](const QString& path, Result* error) { return stationery.open(path, error); });
        if (!composed)
            return composed;
        Result result = (*composed.value)->closeToSink(sink, control);
        if (result && control.progress)
            control.progress(100);
        return result;
    });
}

namespace {

ValueResult<QByteArray> mergeToBytesUnguarded(const MergeRequest& request, const MergeControl& control)
{
    MergeRequest preview = request;
    preview.compact = false; // read back at once: writing fast matters more
    auto composed = compose(preview, control, request.outputPath.isEmpty() ? request.documentPath : request.outputPath);
    if (!composed)
        return composed;
    ValueResult<QByteArray> result = (*composed.value)->closeToBytes(control);
    if (result && control.progress)
        control.progress(100);
    return result;
}

Result mergeSinglePageUnguarded(const SinglePageRequest& request)
{
    if (!QFileInfo::exists(request.documentPath))
        return noSuchFile(request.documentPath);
    Result error;
    // Page 1 alone: a long document costs what a one-page one costs.
    auto document = openDocument(request.documentPath, &error, request.documentPassword, PdfSource::Pages::FirstOnly);
    if (!document)
        return error;

    // No stationery when the path is empty or names no usable file.
    std::shared_ptr<PdfSource> stationery;
    if (!request.stationeryPath.isEmpty()) {
        stationery = PdfSource::open(request.stationeryPath, nullptr, PdfSource::Pages::FirstOnly);
        if (stationery && stationery->pageCount() == 0)
            stationery.reset();
    }

    // A new file that takes page 1 alone: one built inside the document
    // would write the rest of a long document along with it.
    PdfContext context(request.outputPath, outputBox(*document, request.documentFormat));
    composeOne(context, document, 0, stationery, request.stationeryIsOverlay, QPointF(request.offsetX, request.offsetY));
    return context.close();
}

ValueResult<QByteArray> mergeRangeUnguarded(const MergeRequest& request, const DocumentPages& pages, int first,
                                            int count, bool* declined, const MergeControl& control)
{
    *declined = false;
    const QString& path = request.documentPath;
    if (!QFileInfo::exists(path))
        return noSuchFile(path);
    if (!pages.ranges || first < 0 || count <= 0 || first > pages.pageCount - count)
        return Result::failure(ErrorCode::NoPages, QStringLiteral("%1: no pages %2 to %3").arg(path).arg(first + 1).arg(first + count));
    if (control.stopped())
        return stopped(path);
    Result error;
    auto document = PdfSource::openRange(path, *pages.ranges, first, count, request.documentPassword, &error, declined);
    if (!document)
        return error;
    // Page 1 sets the output's size when the format is neither A4 nor Letter.
    auto pageOne = first == 0 ? document : openDocument(path, &error, request.documentPassword, PdfSource::Pages::FirstOnly);
    if (!pageOne)
        return error;

    std::shared_ptr<PdfSource> start, continuation, terms;
    const bool last = first + count == pages.pageCount;
    if (first == 0 && takesPart(request.useStartPage, request.startPagePath)
        && !(start = openStationery(*request.startPagePath, &error)))
        return error;
    if (first + count > 1 && takesPart(request.useContinuationPage, request.continuationPagePath)
        && !(continuation = openStationery(*request.continuationPagePath, &error)))
        return error;
    if (last && takesPart(request.useTermsPage, request.termsPagePath)
        && !(terms = openStationery(*request.termsPagePath, &error)))
        return error;

    // A new file that takes the range alone, as the first page alone is.
    PdfContext context(request.outputPath.isEmpty() ? path : request.outputPath,
                       outputBox(*pageOne, formatOf(*pageOne, request.documentFormat)));
    for (int k = 0; k < count; ++k) {
        if (control.stopped())
            return stopped(path);
        const bool isFirst = first + k == 0;
        composeOne(context, document, k, isFirst ? start : continuation, request.stationeryIsOverlay,
                   isFirst ? QPointF(request.firstPageOffsetX, request.firstPageOffsetY)
                           : QPointF(request.continuationOffsetX, request.continuationOffsetY));
    }
    if (terms) {
        context.beginPage();
        context.drawPage(terms, 0);
        context.endPage();
    }
    return context.closeToBytes(control);
}

Result extractPageUnguarded(const QString& documentPath, int pageIndex, const QString& outputPath,
                           std::uint8_t documentFormat, const QString& documentPassword)
{
    if (!QFileInfo::exists(documentPath))
        return noSuchFile(documentPath);
    Result error;
    auto document = PdfSource::open(documentPath, &error, PdfSource::Pages::All, documentPassword);
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

} // namespace

ValueResult<QByteArray> TaskManager::mergeToBytes(const MergeRequest& request, const MergeControl& control)
{
    return guarded(request.documentPath, [&] { return mergeToBytesUnguarded(request, control); });
}

std::shared_ptr<const DocumentPages> TaskManager::indexPages(const QString& path)
{
    try {
        auto ranges = PageRanges::index(openInputSource(path), openInputSource(path));
        if (!ranges || ranges->pageCount() == 0)
            return nullptr;
        return std::make_shared<const DocumentPages>(DocumentPages{path, ranges->pageCount(), ranges});
    } catch (const std::exception&) {
        return nullptr; // said when the file is read whole
    }
}

ValueResult<QByteArray> TaskManager::mergeRange(const MergeRequest& request, const DocumentPages& pages, int first,
                                                int count, bool* declined, const MergeControl& control)
{
    *declined = false;
    return guarded(request.documentPath,
                   [&] { return mergeRangeUnguarded(request, pages, first, count, declined, control); });
}

Result TaskManager::mergeSinglePage(const SinglePageRequest& request)
{
    return guarded(request.documentPath, [&] { return mergeSinglePageUnguarded(request); });
}

Result TaskManager::extractPage(const QString& documentPath, int pageIndex, const QString& outputPath,
                                std::uint8_t documentFormat, const QString& documentPassword)
{
    return guarded(documentPath, [&] {
        return extractPageUnguarded(documentPath, pageIndex, outputPath, documentFormat, documentPassword);
    });
}

ValueResult<PageSize> TaskManager::readDocument(const QString& path, const QString& password)
{
    return guarded(path, [&]() -> ValueResult<PageSize> {
        const QFileInfo info(path);
        if (!info.exists())
            return noSuchFile(path);
        if (!info.isFile())
            return Result::failure(ErrorCode::NotAFile, QStringLiteral("%1: not a file").arg(path));
        Result error;
        auto document = openDocument(path, &error, password, PdfSource::Pages::FirstOnly);
        if (!document)
            return error;
        const QRectF box = document->mediaBox(0);
        return ValueResult<PageSize>::of({int(std::lround(box.width())), int(std::lround(box.height()))});
    });
}

} // namespace quillary
