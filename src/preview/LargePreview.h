#pragma once

// The large preview of the selected page, and the popover that shows the page
// enlarged while the pointer rests on it. Both render the page at the size and
// pixel density they show it at; until that arrives they show the strip's
// thumbnail scaled up, so a new selection never shows an empty page.

#include "preview/PageImageCache.h"
#include "preview/PDFPOPupPreview.h"
#include "preview/PreviewPages.h"

#include <QWidget>

namespace quillary {

class CustomCollectionView;

class LargePreview : public QWidget {
    Q_OBJECT
public:
    LargePreview(PreviewPages& pages, CustomCollectionView& strip, QWidget* parent = nullptr);

    void setIndex(int index);
    int index() const { return shownIndex; }
    void setPageAspect(qreal aspect);

    // Where the page is drawn, in widget coordinates.
    QRectF pageRect() const;
    // What the large preview shows now (a stand-in until the page arrives).
    QImage image() const;
    bool showsFreshPage() const;

    PDFPOPupPreview& popover() { return ns; }
    // Opens and closes the popover, as the pointer does.
    void showPopover();
    void hidePopover();

    QSize sizeHint() const override;

signals:
    // Painted with a merged page (fresh: at its own size), once per page shown.
    void pagePainted(int index, bool fresh);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void request();
    void rendered(const RenderRequest& request, const QImage& image);
    QSize pagePixels() const;
    QSize popoverPixels() const;

    PreviewPages& pages;
    CustomCollectionView& strip;
    PDFPOPupPreview ns;
    PageImageCache cache{4};
    int shownIndex = 0;
    qreal aspect;
    PageEntry lastPainted;
    bool lastPaintedFresh = false;
};

} // namespace quillary
