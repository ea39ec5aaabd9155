#pragma once

#include "pdf/PageGeometry.h"
#include "pdf/Result.h"
#include "pdf/SaveOptions.h"

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

class PdfContext;
class PdfSource;
class PageImageSource;

// Everything one merge needs, with named fields so that no caller can swap
// x and y. Offsets are PDF points, x to the right, y upwards. A merge reads
// nothing else: no global, no store, so it can run on any thread.
struct MergeRequest {
    QString documentPath;
    QString outputPath;
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
    std::uint8_t documentFormat = FormatUndefined;
    // Packs small objects into object streams: smaller files, slower writing.
    // Off for scratch files that are read back at once.
    bool compact = true;
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

// The one-page merge of the offset editor's preview.
struct SinglePageRequest {
    QString documentPath;   // a PDF whose page 1 is used
    QString outputPath;
    QString stationeryPath; // may be empty: no stationery
    bool stationeryIsOverlay = false;
    double offsetX = 0;
    double offsetY = 0;
    std::uint8_t documentFormat = FormatUndefined;
};


// One merged page for previews. Holds the merged PDF bytes (shared by all pages
// of one merge) and renders on demand, at the size it is drawn at.
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
// the process-wide documentFormat.
class TaskManager {
public:
    // ---- page geometry ----
    static inline std::uint8_t documentFormat = FormatUndefined;

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
    static Result mergeDocument(const MergeRequest& request);
    // compact false writes faster and larger (no object streams), for scratch
    // files that are read back at once.
    static Result mergeDocument(const MergeRequest& request, bool compact);
    // The merge as the windows run it, on a worker thread: reads only the
    // request, reports progress and stops when asked (see MergeControl).
    static Result mergeDocument(const MergeRequest& request, const MergeControl& control);
    // The merged document in memory, for previews (request.outputPath is not
    // used). Runs on any thread; the bytes go to the thread that renders them.
    static ValueResult<QByteArray> mergeToBytes(const MergeRequest& request, const MergeControl& control = {});
    static Result mergeSinglePage(const SinglePageRequest& request);
    // Page pageIndex (0-based) of the document alone on one page of a new PDF
    // at outputPath (a scratch path the caller got from the store and deletes).
    static Result extractPage(const QString& documentPath, int pageIndex, const QString& outputPath,
                              std::uint8_t documentFormat);
    static Result mergeSinglePage(const QString& documentPath, const QString& outputPath,
                                     const QString& stationeryPath, bool stationeryIsOverlay,
                                     double offsetY, double offsetX);
    static std::optional<QString> extractPage(const QString& documentPath, int pageIndex);

    // Copies page 1 of source into a one-page file at destination (vector
    // content kept, media box of the source page). Used by the store.
    static Result writeFirstPage(const QString& sourcePath, const QString& destinationPath);

    // ---- previews ----
    static QList<PageImage> previewImages(const QString& documentPath,
                                          const std::optional<QString>& startPagePath,
                                          const std::optional<QString>& continuationPagePath,
                                          const std::optional<QString>& termsPagePath,
                                          bool useStartPage, bool useContinuationPage,
                                          bool useTermsPage, bool stationeryIsOverlay,
                                          double firstPageOffsetY, double firstPageOffsetX,
                                          double continuationOffsetX, double continuationOffsetY);

    // ---- scanning ----
    static bool hasWhiteBackground(const QString& path);
};

} // namespace quillary
