#pragma once

#include "pdf/PageGeometry.h"
#include "pdf/Result.h"
#include "pdf/SaveOptions.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace quillary {

class PageRanges;
class PdfContext;
class PdfSource;
class PageImageSource;
class StationeryCache;

// Where each page of a long document lies (TaskManager::indexPages).
struct DocumentPages {
    QString path;
    int pageCount = 0;
    std::shared_ptr<const PageRanges> ranges;
};

// The composition engine's requests and operations.
//
// Units and axes: every coordinate, size and offset is in PDF points (1/72
// inch), origin at the lower-left corner of a page, x growing to the right, y
// upwards. Offsets move only the document's content, never the stationery.
//
// Threads: an operation reads nothing but its arguments (no global, no store)
// and shares nothing with other calls, so merges may run on worker threads,
// several at once. The exception is the static documentFormat below: the
// windows set it on the main thread and copy it into each request; the engine
// never reads it.
//
// Failure: an operation returns a Result; its reason names the file at fault.
// A failed, short or stopped write leaves no output and no temporary file:
// an existing output stays byte for byte as it was (see AtomicFile). Inputs
// are never changed. Warnings in a successful Result say what the output could
// not keep or what qpdf had to repair in an input.

// Everything one merge needs, with named fields so that no caller can swap
// x and y. A merge reads nothing else.
struct MergeRequest {
    QString documentPath;
    QString outputPath;       // created or replaced; not used by mergeToBytes
    std::optional<QString> startPagePath;
    std::optional<QString> continuationPagePath;
    std::optional<QString> termsPagePath;
    SaveOptionsMap options;
    bool useStartPage = false;
    bool useContinuationPage = false;
    bool useTermsPage = false;
    bool stationeryIsOverlay = false; // true: stationery over the content
    double firstPageOffsetY = 0;
    double firstPageOffsetX = 0;
    double continuationOffsetY = 0;
    double continuationOffsetX = 0;
    // Paper format of the document (TaskManager::documentFormat, taken by the
    // caller on the main thread): every output page gets its standard size;
    // for FormatUndefined the document's own first-page size.
    // FormatOfDocument: the merge measures it from the document it opens, as
    // pageFormat(pageSize(documentPath)) would, and saves the caller a second
    // read of the document.
    std::uint8_t documentFormat = FormatUndefined;
    static constexpr std::uint8_t FormatOfDocument = 0xff;
    // Packs small objects into object streams: smaller files, slower writing.
    // Off for scratch files that are read back at once.
    bool compact = true;
    // A fixed file identifier instead of a fresh one, so that equal requests
    // give byte-identical files (for tests).
    bool staticId = false;
    QString documentPassword; // opens a protected document; empty: none
    // The document's bytes, read by the caller (a print job from a pipe):
    // the merge parses these and never opens documentPath, which then only
    // names the document in messages and gives the suffix that decides
    // whether FormatOfDocument measures it.
    std::optional<QByteArray> documentBytes;
};

// How a running merge is watched and stopped, from another thread. Both
// members may be left empty.
struct MergeControl {
    // Once set, the merge stops at the next page or write step, writes
    // nothing and returns ErrorCode::Cancelled.
    const std::atomic<bool>* stop = nullptr;
    // 0..100, called on the merging thread as the output is written.
    std::function<void(int percent)> progress;

    bool stopped() const { return stop && stop->load(std::memory_order_relaxed); }
};

// Where a merge written block by block goes (TaskManager::mergeToSink): each
// call hands on the next bytes of the file, in order; false says the bytes
// could not be kept, and the merge stops with ErrorCode::WriteFailed.
using OutputSink = std::function<bool(const char* data, qint64 size)>;

// The one-page merge of the offset editor's preview.
struct SinglePageRequest {
    QString documentPath;   // a PDF whose page 1 is used
    QString outputPath;
    QString stationeryPath; // may be empty: no stationery
    bool stationeryIsOverlay = false;
    double offsetX = 0;
    double offsetY = 0;
    std::uint8_t documentFormat = FormatUndefined;
    QString documentPassword; // opens a protected document; empty: none
};


// One merged page for previews. Holds the merged PDF bytes (shared by all pages
// of one merge) and renders on demand, at the size it is drawn at. Lives on
// the thread that draws: make page images there (from bytes a worker merged,
// see TaskManager::pageImages) and render them there only.
class PageImage {
public:
    PageImage() = default;
    PageImage(std::shared_ptr<PageImageSource> source, int pageIndex, QSizeF size);

    QSizeF size() const { return pageSize; }   // points (standardPageSize)
    int pageIndex() const { return index; }
    bool isNull() const { return !source; }
    // Renders the page into an image of the given pixel size.
    QImage render(QSize pixelSize) const;

private:
    std::shared_ptr<PageImageSource> source;
    int index = -1;
    QSizeF pageSize;
};

// The composition engine: page geometry, PDF output, merging stationery with
// documents, page images and white-background detection. Stateless apart from
// the process-wide documentFormat, which only its callers read.
class TaskManager {
public:
    // ---- page geometry ----
    // The printed document's format code, set by the preview window on the
    // main thread and copied into every request it makes.
    static inline std::uint8_t documentFormat = FormatUndefined;

    // Width and height of page 1's media box, rounded to whole points; (0, 0)
    // for no path, a name not ending in ".pdf", an unreadable file or one
    // without pages. Reads only what page 1 needs, however long the file.
    static PageSize pageSize(const std::optional<QString>& path);
    static PageFormat pageFormat(int width, int height);
    static PageSize standardPageSize(std::uint8_t formatCode);

    // ---- output ----
    // Opens an output PDF with document information and security from options,
    // built inside base when given (see PdfContext). Returns null (and sets
    // *error) when the options cannot be honoured.
    static std::unique_ptr<PdfContext> createPdfContext(const QString& outputPath,
                                                        const SaveOptionsMap& options,
                                                        const QRectF& mediaBox,
                                                        Result* error = nullptr,
                                                        std::shared_ptr<PdfSource> base = {});

    // ---- merging ----
    // Writes the merged document to request.outputPath. The output keeps what
    // the document carries besides its pages (attachments, metadata,
    // outlines, links and other annotations, form fields; see
    // PdfContext::keepDocument); of the stationery only the drawn content is
    // taken. A missing document also prints "File doesnt exists".
    static Result mergeDocument(const MergeRequest& request);
    // The same as the windows run it, on a worker thread: reports progress and
    // stops when asked (see MergeControl).
    static Result mergeDocument(const MergeRequest& request, const MergeControl& control);
    // The same for one of many merges with the same stationery (a batch):
    // the stationery files the request names are taken from the calling
    // thread's cache, parsed once for all its merges (see Stationery.h).
    static Result mergeDocument(const MergeRequest& request, const MergeControl& control,
                                StationeryCache& stationery);
    // The merged document in memory, for previews: no file is written
    // (request.outputPath only names the output in messages). Runs on any
    // thread; hand the bytes to the thread that draws (pageImages).
    static ValueResult<QByteArray> mergeToBytes(const MergeRequest& request, const MergeControl& control = {});
    // Where the pages of the document at path lie, found by following its
    // page tree without reading the rest of the file (a few bytes a page);
    // null when the file does not lend itself to reading in ranges (merge it
    // whole then).
    static std::shared_ptr<const DocumentPages> indexPages(const QString& path);
    // Pages [first, first + count) of the indexed document merged as
    // mergeToBytes merges them, with the terms page after them when the range
    // ends the document: memory and time as for a document of count pages.
    // *declined (and a failure) when the range cannot be read alone that
    // way: merge the whole document then.
    static ValueResult<QByteArray> mergeRange(const MergeRequest& request, const DocumentPages& pages, int first,
                                              int count, bool* declined, const MergeControl& control = {});
    // The merged document handed to sink as it is written (request.outputPath
    // only names it in messages), stationery from the cache as for a batch.
    // Every input is opened and every page composed before the first byte
    // reaches the sink; a merge that fails while writing has handed over part
    // of a file, which the sink's owner throws away.
    static Result mergeToSink(const MergeRequest& request, const MergeControl& control,
                              StationeryCache& stationery, const OutputSink& sink);
    // The editor's one-page merge: page 1 of the document moved by the offset,
    // with or without stationery, no document information or protection.
    static Result mergeSinglePage(const SinglePageRequest& request);
    // Page pageIndex (0-based) of the document alone on one page of a new PDF
    // at outputPath (a scratch path the caller got from the store and deletes),
    // drawn unmoved, no document information.
    static Result extractPage(const QString& documentPath, int pageIndex, const QString& outputPath,
                              std::uint8_t documentFormat, const QString& documentPassword = {});

    // What a window must know of a document before it offers anything: that
    // it exists, is a file, can be read as a PDF, opens (with password, when
    // one is given) and has a page; then page 1's media box, rounded as
    // pageSize rounds it. Reads only what page 1 needs, however long the
    // file. Fails with NotFound, NotAFile, Unreadable, Damaged,
    // PasswordProtected (no password or a wrong one) or NoPages.
    static ValueResult<PageSize> readDocument(const QString& path, const QString& password = {});

    // Copies page 1 of source into a one-page file at destination (vector
    // content kept, media box of the source page, nothing but what is drawn).
    // Reads only what page 1 needs. Used by the store.
    static Result writeFirstPage(const QString& sourcePath, const QString& destinationPath);

    // ---- previews ----
    // One image per page of merged bytes (mergeToBytes); empty when the bytes
    // are not a readable PDF. Call on the thread that draws the images.
    static QList<PageImage> pageImages(QByteArray mergedBytes);
    // mergeToBytes and pageImages in one call, on the calling thread, with
    // the preview's options (no protection, no author or title).
    static QList<PageImage> previewImages(const MergeRequest& request, const MergeControl& control = {});
    // The same from the preview window's controls, with the format of
    // TaskManager::documentFormat: main thread only. Note the order of the
    // offsets: first page y before x, continuation x before y.
    static QList<PageImage> previewImages(const QString& documentPath,
                                          const std::optional<QString>& startPagePath,
                                          const std::optional<QString>& continuationPagePath,
                                          const std::optional<QString>& termsPagePath,
                                          bool useStartPage, bool useContinuationPage,
                                          bool useTermsPage, bool stationeryIsOverlay,
                                          double firstPageOffsetY, double firstPageOffsetX,
                                          double continuationOffsetX, double continuationOffsetY);

    // ---- scanning ----
    // Whether page 1's own content stream fills a page-sized rectangle in
    // white (sc 1 1 1 or k 0 0 0 0); false for a file that cannot be read.
    static bool hasWhiteBackground(const QString& path);
};

} // namespace quillary
