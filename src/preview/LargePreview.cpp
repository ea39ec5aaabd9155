#include "preview/LargePreview.h"

#include "preview/CustomCollectionView.h"
#include "preview/PreviewGeometry.h"

#include <QPainter>

namespace quillary {

LargePreview::LargePreview(PreviewPages& pages, CustomCollectionView& strip, QWidget* parent)
    : QWidget(parent)
    , pages(pages)
    , strip(strip)
    , ns(this)
    , aspect(geometry::kA4Aspect)
{
    setFixedSize(geometry::kLargePreviewSize);
    setAttribute(Qt::WA_Hover);
    setAccessibleName(tr("Selected page"));
    connect(&pages, &PreviewPages::pagesReset, this, [this] {
        cache.truncate(this->pages.count());
        request();
        update();
    });
    connect(&pages, &PreviewPages::pageChanged, this, [this](int index) {
        if (index == shownIndex) {
            request();
            update();
        }
    });
    connect(&pages, &PreviewPages::pageCarriedOver, this,
            [this](int index, const PageEntry& from, const PageEntry& to) { cache.carryOver(index, from, to); });
    connect(&pages.renderer(), &PageRenderer::rendered, this, &LargePreview::rendered);
}

QSize LargePreview::sizeHint() const
{
    return geometry::kLargePreviewSize;
}

void LargePreview::setIndex(int index)
{
    if (index == shownIndex)
        return;
    shownIndex = index;
    hidePopover();
    request();
    update();
}

void LargePreview::setPageAspect(qreal ratio)
{
    aspect = ratio;
    cache.clear();
    request();
    update();
}

QRectF LargePreview::pageRect() const
{
    return geometry::fitted(geometry::largePreviewFrame(aspect), aspect);
}

QSize LargePreview::pagePixels() const
{
    return geometry::devicePixels(pageRect().size(), devicePixelRatioF());
}

QSize LargePreview::popoverPixels() const
{
    return geometry::devicePixels(QSizeF(geometry::popoverSize(aspect)), devicePixelRatioF());
}

QImage LargePreview::image() const
{
    auto& self = const_cast<LargePreview&>(*this);
    const PageImageCache::Hit hit = self.cache.find(shownIndex, pages.entry(shownIndex), pagePixels());
    if (hit.fresh || !hit.image.isNull())
        return hit.image;
    return strip.cachedImage(shownIndex);
}

bool LargePreview::showsFreshPage() const
{
    auto& self = const_cast<LargePreview&>(*this);
    return self.cache.find(shownIndex, pages.entry(shownIndex), pagePixels()).fresh;
}

void LargePreview::request()
{
    if (isVisible())
        pages.want(Requester::LargePreview, shownIndex, shownIndex);
    const PageEntry entry = pages.entry(shownIndex);
    QList<RenderRequest> batch;
    if (!entry.isNull() && isVisible() && !cache.find(shownIndex, entry, pagePixels()).fresh)
        batch.append(RenderRequest{Requester::LargePreview, shownIndex, entry, pagePixels(), devicePixelRatioF(), 3});
    pages.renderer().request(Requester::LargePreview, batch);
}

void LargePreview::rendered(const RenderRequest& request, const QImage& image)
{
    if (request.index != shownIndex || pages.entry(shownIndex) != request.entry)
        return;
    if (request.requester == Requester::LargePreview && request.pixels == pagePixels()) {
        cache.insert(request.index, request.entry, request.pixels, image);
        update();
    } else if (request.requester == Requester::Popover && ns.isVisible() && !image.isNull()) {
        ns.popUPimg = image;
        ns.showRelativeTo(this, pageRect().toAlignedRect(), PDFPOPupPreview::Edge::MinX, geometry::popoverSize(aspect));
    } else if (request.requester == Requester::Strip) {
        // A sharper stand-in than nothing while the page itself renders.
        if (!showsFreshPage())
            update();
    }
}

void LargePreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF page = pageRect();
    painter.fillRect(page, Qt::white);
    const QImage shown = image();
    if (!shown.isNull())
        painter.drawImage(page, shown);
    painter.setPen(QPen(QColor(Qt::lightGray), 1));
    painter.drawRect(page.adjusted(-0.5, -0.5, 0.5, 0.5));

    if (shown.isNull())
        return;
    const PageEntry entry = pages.entry(shownIndex);
    const bool fresh = showsFreshPage();
    if (entry != lastPainted || fresh != lastPaintedFresh) {
        lastPainted = entry;
        lastPaintedFresh = fresh;
        emit pagePainted(shownIndex, fresh);
    }
}

void LargePreview::showPopover()
{
    if (pages.entry(shownIndex).isNull())
        return;
    const QSize size = geometry::popoverSize(aspect);
    ns.popUPimg = image();
    ns.showRelativeTo(this, pageRect().toAlignedRect(), PDFPOPupPreview::Edge::MinX, size);
    // Rendered afresh on every entry, at the popover's own size.
    pages.renderer().request(Requester::Popover,
                             {RenderRequest{Requester::Popover, shownIndex, pages.entry(shownIndex), popoverPixels(),
                                            devicePixelRatioF(), 4}});
}

void LargePreview::hidePopover()
{
    pages.renderer().request(Requester::Popover, {});
    ns.hide();
}

void LargePreview::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    showPopover();
}

void LargePreview::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    hidePopover();
}

void LargePreview::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    request();
}

void LargePreview::hideEvent(QHideEvent* event)
{
    hidePopover();
    QWidget::hideEvent(event);
}

} // namespace quillary
