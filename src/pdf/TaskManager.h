#pragma once

#include "pdf/PageGeometry.h"
#include "pdf/SaveOptions.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <memory>
#include <optional>

namespace quillary {

class PdfContext;
class PdfSource;
class PageImageSource;

// Everything one merge needs, with named fields so that no caller can swap
// x and y. Offsets are PDF points, x to the right, y upwards.
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
};

// Result of an operation that writes a file: ok, or a one-line reason that
// names the file. A failed operation leaves no output behind.
struct PdfResult {
    bool ok = false;
    QString error;
    explicit operator bool() const { return ok; }
    static PdfResult success() { return {true, {}}; }
    static PdfResult failure(QString why) { return {false, std::move(why)}; }
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
                                                        QString* error = nullptr,
                                                        std::shared_ptr<PdfSource> base = {});

    // ---- merging ----
    static PdfResult mergeDocument(const MergeRequest& request);
    // compact false writes faster and larger (no object streams), for scratch
    // files that are read back at once.
    static PdfResult mergeDocument(const MergeRequest& request, bool compact);
    static PdfResult mergeSinglePage(const QString& documentPath, const QString& outputPath,
                                     const QString& stationeryPath, bool stationeryIsOverlay,
                                     double offsetY, double offsetX);
    static std::optional<QString> extractPage(const QString& documentPath, int pageIndex);

    // Copies page 1 of source into a one-page file at destination (vector
    // content kept, media box of the source page). Used by the store.
    static PdfResult writeFirstPage(const QString& sourcePath, const QString& destinationPath);

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
