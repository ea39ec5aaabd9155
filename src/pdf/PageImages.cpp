// Page images of a merged document for previews: one shared copy of the
// merged bytes, each page rendered only when it is drawn.

#include "pdf/PageImages.h"
#include "pdf/TaskManager.h"
#include "store/CustomFileManager.h"

#include <QFile>

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

QList<PageImage> TaskManager::previewImages(const QString& documentPath,
                                            const std::optional<QString>& startPagePath,
                                            const std::optional<QString>& continuationPagePath,
                                            const std::optional<QString>& termsPagePath,
                                            bool useStartPage, bool useContinuationPage,
                                            bool useTermsPage, bool stationeryIsOverlay,
                                            double firstPageOffsetY, double firstPageOffsetX,
                                            double continuationOffsetX, double continuationOffsetY)
{
    CustomFileManager& store = sharedStore();
    const QString scratch = store.scratchPath(StoreKey::Preview);
    if (scratch.isEmpty())
        return {};

    MergeRequest request;
    request.documentPath = documentPath;
    request.outputPath = scratch;
    request.startPagePath = startPagePath;
    request.continuationPagePath = continuationPagePath;
    request.termsPagePath = termsPagePath;
    // Not encrypted, no author or title: only for looking at.
    request.options = {{SaveOptions::ALLOW_PRINT, false},
                       {SaveOptions::WITH_PASSWORD, false},
                       {SaveOptions::PASSWORD, QString()}};
    request.useStartPage = useStartPage;
    request.useContinuationPage = useContinuationPage;
    request.useTermsPage = useTermsPage;
    request.stationeryIsOverlay = stationeryIsOverlay;
    request.firstPageOffsetY = firstPageOffsetY;
    request.firstPageOffsetX = firstPageOffsetX;
    request.continuationOffsetY = continuationOffsetY;
    request.continuationOffsetX = continuationOffsetX;

    QList<PageImage> images;
    if (mergeDocument(request, false)) {
        QFile file(scratch);
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
        file.close();
        if (auto source = PageImageSource::fromBytes(std::move(bytes))) {
            // Every merged page has the output page size; reading it from the
            // merged file spares opening the document once more.
            const QSizeF size = source->pageSize(0);
            const int count = source->pageCount();
            images.reserve(count);
            for (int i = 0; i < count; ++i)
                images.append(PageImage(source, i, size));
        }
    }
    if (QFile::exists(scratch)) // a failed merge leaves nothing to delete
        store.deleteFile(scratch);
    return images;
}

} // namespace quillary
