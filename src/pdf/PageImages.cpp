// Page images of a merged document for previews: one shared copy of the
// merged bytes, each page rendered only when it is drawn.

#include "pdf/PageImages.h"
#include "pdf/TaskManager.h"

namespace quillary {

std::shared_ptr<PageImageSource> PageImageSource::fromBytes(QByteArray bytes)
{
    std::shared_ptr<PageImageSource> source(new PageImageSource);
    source->bytes = std::move(bytes);
    source->buffer.setData(source->bytes);
    if (!source->buffer.open(QIODevice::ReadOnly))
        return nullptr;
    source->document.load(&source->buffer);
    if (source->document.status() != QPdfDocument::Status::Ready)
        return nullptr;
    return source;
}

int PageImageSource::pageCount() const
{
    return document.pageCount();
}

QSizeF PageImageSource::pageSize(int pageIndex) const
{
    return document.pagePointSize(pageIndex);
}

QImage PageImageSource::render(int pageIndex, QSize pixelSize)
{
    if (pageIndex < 0 || pageIndex >= document.pageCount() || pixelSize.isEmpty())
        return {};
    return document.render(pageIndex, pixelSize);
}

PageImage::PageImage(std::shared_ptr<PageImageSource> s, int i, QSizeF z)
    : source(std::move(s)), index(i), pageSize(z)
{
}

QImage PageImage::render(QSize pixelSize) const
{
    return source ? source->render(index, pixelSize) : QImage();
}

QList<PageImage> TaskManager::pageImages(QByteArray mergedBytes)
{
    QList<PageImage> images;
    if (auto source = PageImageSource::fromBytes(std::move(mergedBytes))) {
        // Every merged page has the output page size; reading it from the
        // merged file spares opening the document once more.
        const QSizeF size = source->pageSize(0);
        const int count = source->pageCount();
        images.reserve(count);
        for (int i = 0; i < count; ++i)
            images.append(PageImage(source, i, size));
    }
    return images;
}

QList<PageImage> TaskManager::previewImages(const MergeRequest& request, const MergeControl& control)
{
    MergeRequest preview = request;
    // Not encrypted, no author or title: only for looking at.
    preview.options = {{SaveOptions::ALLOW_PRINT, false},
                       {SaveOptions::WITH_PASSWORD, false},
                       {SaveOptions::PASSWORD, QString()}};
    ValueResult<QByteArray> merged = mergeToBytes(preview, control);
    if (!merged)
        return {};
    return pageImages(std::move(*merged.value));
}

QList<PageImage> TaskManager::previewImages(const QString& documentPath,
                                            const std::optional<QString>& startPagePath,
                                            const std::optional<QString>& continuationPagePath,
                                            const std::optional<QString>& termsPagePath,
                                            bool useStartPage, bool useContinuationPage,
                                            bool useTermsPage, bool stationeryIsOverlay,
                                            double firstPageOffsetY, double firstPageOffsetX,
                                            double continuationOffsetX, double continuationOffsetY)
{
    MergeRequest request;
    request.documentPath = documentPath;
    request.startPagePath = startPagePath;
    request.continuationPagePath = continuationPagePath;
    request.termsPagePath = termsPagePath;
    request.useStartPage = useStartPage;
    request.useContinuationPage = useContinuationPage;
    request.useTermsPage = useTermsPage;
    request.stationeryIsOverlay = stationeryIsOverlay;
    request.firstPageOffsetY = firstPageOffsetY;
    request.firstPageOffsetX = firstPageOffsetX;
    request.continuationOffsetY = continuationOffsetY;
    request.continuationOffsetX = continuationOffsetX;
    request.documentFormat = documentFormat;
    return previewImages(request);
}

} // namespace quillary
