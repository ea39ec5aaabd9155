#pragma once

// Sizes of the preview window's pages, from the aspect ratio (width / height)
// of the output page. Frames are where a page may go; the page itself keeps
// its proportions inside its frame.

#include <QRectF>
#include <QSize>
#include <QSizeF>

#include <algorithm>

namespace quillary::geometry {

inline constexpr QSize kItemSize{180, 244};
inline constexpr QSize kLargePreviewSize{194, 241};
inline constexpr QSize kPopoverSize{386, 547};
inline constexpr qreal kA4Aspect = 595.0 / 842.0;

// A sound aspect: the A4 one for a page without a usable size.
inline qreal saneAspect(QSizeF page)
{
    if (page.width() <= 0 || page.height() <= 0)
        return kA4Aspect;
    // Banners and slips would shrink to a line in the strip.
    return std::clamp(page.width() / page.height(), 0.25, 4.0);
}

// The largest rectangle of the aspect inside frame, centred.
inline QRectF fitted(const QRectF& frame, qreal aspect)
{
    QSizeF size(frame.height() * aspect, frame.height());
    if (size.width() > frame.width())
        size = QSizeF(frame.width(), frame.width() / aspect);
    return QRectF(frame.x() + (frame.width() - size.width()) / 2,
                  frame.y() + (frame.height() - size.height()) / 2, size.width(), size.height());
}

// Frame of the thumbnail in a strip item (180 x 244): 208 high, centred, as
// wide as the page needs but inside the item.
inline QRectF thumbnailFrame(qreal aspect)
{
    const qreal w = std::min(224.0 * aspect, qreal(kItemSize.width()));
    return {(kItemSize.width() - w) / 2 + 8, 8, w - 16, 208};
}

// Frame of the large preview's page in its 194 x 241 box.
inline QRectF largePreviewFrame(qreal aspect)
{
    const qreal w = std::min(241.0 * aspect, qreal(kLargePreviewSize.width()));
    return {(kLargePreviewSize.width() - w) / 2 + 8, 8, w - 16, 225};
}

// The hover popover: the page at 386 x 547 points, in proportion.
inline QSize popoverSize(qreal aspect)
{
    return fitted(QRectF(QPointF(0, 0), QSizeF(kPopoverSize)), aspect).size().toSize();
}

// Device pixels for a rectangle in points.
inline QSize devicePixels(const QSizeF& size, qreal devicePixelRatio)
{
    return (size * devicePixelRatio).toSize().expandedTo(QSize(1, 1));
}

} // namespace quillary::geometry
