#pragma once

#include "pdf/TaskManager.h"

#include <QBuffer>
#include <QByteArray>
#include <QPdfDocument>

#include <memory>

namespace quillary {

// The bytes of one merged PDF, loaded once and shared by all its page images.
// A QPdfDocument renders them: make the source on the thread that draws and
// use it there only (merge on a worker with TaskManager::mergeToBytes, then
// hand the bytes over).
class PageImageSource {
public:
    // Null when the bytes are not a readable PDF.
    static std::shared_ptr<PageImageSource> fromBytes(QByteArray bytes);

    int pageCount() const;
    // Size of a page in points.
    QSizeF pageSize(int pageIndex) const;
    // The page scaled to exactly pixelSize; null for a bad index or size.
    QImage render(int pageIndex, QSize pixelSize);

private:
    PageImageSource() = default;
    QByteArray bytes;
    QBuffer buffer;
    QPdfDocument document;
};

} // namespace quillary
