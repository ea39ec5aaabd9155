#pragma once

// The page strip: one labelled thumbnail per merged page, side by side. Only
// the thumbnails on screen (and a few beside them) are rendered, at the size
// and pixel density shown, and far-off ones are dropped from a small cache.
// The current item is the selected page; the arrow keys move it.

#include "preview/PageImageCache.h"
#include "preview/PreviewPages.h"

#include <QAbstractListModel>
#include <QListView>
#include <QTimer>

namespace quillary {

class CustomCollectionView : public QListView {
    Q_OBJECT
public:
    explicit CustomCollectionView(PreviewPages& pages, QWidget* parent = nullptr);

    // What the strip says in place of pages (empty: nothing). A message
    // drawn on the strip is invisible to the accessibility bus, so the
    // strip's description carries it.
    void setMessage(const QString& text);

    // Width / height of the output page.
    void setPageAspect(qreal aspect);
    qreal pageAspect() const { return aspect; }

    int selectedIndex() const;
    // Selects index, kept within the strip, and scrolls it into view.
    void setSelectedIndex(int index);

    // The label of item index of a strip of count pages.
    static QString pageLabel(int index, int count, bool termsPage);
    QString labelAt(int index) const;

    // Where the page of an item is drawn, in item coordinates.
    QRectF thumbnailRect() const;
    // The best image cached for index: fresh or a stand-in (may be null).
    QImage cachedImage(int index) const;
    // First and last item on screen; (-1, -1) when empty.
    std::pair<int, int> visibleRange() const;
    // Whether every item on screen shows a fresh image of the result shown.
    bool visiblePagesFresh() const;
    const PageImageCache& imageCache() const { return cache; }

    // Items kept beside the visible ones, rendered ahead.
    static constexpr int kPreload = 3;
    static constexpr int kCacheCapacity = 40;

signals:
    void selectedIndexChanged(int index);
    // Painted with every visible thumbnail fresh, once per change.
    void visiblePagesPainted();

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Model;
    class Delegate;
    friend class Delegate;

    void pagesReset();
    void pageChanged(int index);
    void scheduleRequests();
    void requestVisible();
    void rendered(const RenderRequest& request, const QImage& image);
    QSize thumbnailPixels() const;

    PreviewPages& pages;
    Model* stripModel;
    QTimer requestTimer;
    mutable PageImageCache cache{kCacheCapacity};
    qreal aspect;
    bool settled = false;
};

} // namespace quillary
