#include "preview/CustomCollectionView.h"

#include "controls/Appearance.h"
#include "controls/OverlayScrollBars.h"
#include "preview/PreviewGeometry.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace quillary {

namespace {

// The selection's ink: dark blue on a light strip, a light blue on a dark one.
QColor selectionColour(const QPalette& palette)
{
    return appearance::isDark(palette) ? QColor(110, 170, 230) : QColor(5, 46, 76);
}

QColor itemBackground(const QPalette& palette)
{
    return appearance::isDark(palette) ? QColor(52, 55, 60) : QColor(222, 225, 230);
}

} // namespace

class CustomCollectionView::Model : public QAbstractListModel {
public:
    Model(PreviewPages& pages, QObject* parent) : QAbstractListModel(parent), pages(pages) {}

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : pages.count(); }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
            const QString label = CustomCollectionView::pageLabel(index.row(), pages.count(), pages.hasTermsPage());
            if (role == Qt::DisplayRole)
                return label;
            // Named by role also where the label is only "...".
            const bool terms = pages.hasTermsPage() && index.row() == pages.count() - 1 && index.row() > 0;
            const QString role = index.row() == 0 ? CustomCollectionView::tr("Start page")
                                 : terms          ? CustomCollectionView::tr("Terms page")
                                                  : CustomCollectionView::tr("Continuation page");
            //: Accessible name of a page thumbnail: page number, then its role
            return CustomCollectionView::tr("Page %1: %2").arg(index.row() + 1).arg(role);
        }
        return {};
    }

    void reset()
    {
        beginResetModel();
        endResetModel();
    }

private:
    PreviewPages& pages;
};

class CustomCollectionView::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(CustomCollectionView* strip) : QStyledItemDelegate(strip), strip(strip) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return geometry::kItemSize; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF cell = QRectF(option.rect).adjusted(3, 3, -3, -3);
        QPainterPath background;
        background.addRoundedRect(cell, 6, 6);
        painter->fillPath(background, itemBackground(option.palette));

        const QRectF page = strip->thumbnailRect().translated(option.rect.topLeft());
        painter->fillRect(page, Qt::white);
        const QImage image = strip->cachedImage(index.row());
        if (!image.isNull()) {
            painter->setRenderHint(QPainter::SmoothPixmapTransform);
            painter->drawImage(page, image);
        }
        const bool selected = index.row() == strip->selectedIndex();
        if (selected) {
            painter->setPen(QPen(selectionColour(option.palette), 2));
            painter->drawRect(page.adjusted(-1, -1, 1, 1));
        } else {
            painter->setPen(QPen(QColor(0, 0, 0, 40), 1));
            painter->drawRect(page.adjusted(-0.5, -0.5, 0.5, 0.5));
        }

        QFont font = option.font;
        font.setBold(selected);
        painter->setFont(font);
        painter->setPen(selected ? selectionColour(option.palette) : option.palette.color(QPalette::Text));
        const QRectF labelBox(option.rect.left() + 6, option.rect.top() + 216, option.rect.width() - 12, 24);
        const QString label = QFontMetrics(font).elidedText(index.data().toString(), Qt::ElideRight,
                                                            int(labelBox.width()));
        painter->drawText(labelBox, Qt::AlignHCenter | Qt::AlignVCenter, label);
        painter->restore();
    }

private:
    CustomCollectionView* strip;
};

CustomCollectionView::CustomCollectionView(PreviewPages& pages, QWidget* parent)
    : QListView(parent)
    , pages(pages)
    , stripModel(new Model(pages, this))
    , aspect(geometry::kA4Aspect)
{
    setModel(stripModel);
    setItemDelegate(new Delegate(this));
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(false);
    setUniformItemSizes(true);
    setMovement(QListView::Static);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    horizontalScrollBar()->setSingleStep(geometry::kItemSize.width() / 4);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(true);
    // The bar lies over the strip's lower edge and fades when it stands still.
    installOverlayScrollBars(this);
    setAccessibleName(tr("Pages"));
    setMessage({});

    requestTimer.setSingleShot(true);
    requestTimer.setInterval(0);
    connect(&requestTimer, &QTimer::timeout, this, &CustomCollectionView::requestVisible);
    connect(&pages, &PreviewPages::pagesReset, this, &CustomCollectionView::pagesReset);
    connect(&pages, &PreviewPages::pageChanged, this, &CustomCollectionView::pageChanged);
    connect(&pages, &PreviewPages::pageCarriedOver, this,
            [this](int index, const PageEntry& from, const PageEntry& to) { cache.carryOver(index, from, to); });
    connect(&pages.renderer(), &PageRenderer::rendered, this, &CustomCollectionView::rendered);
}

QString CustomCollectionView::pageLabel(int index, int count, bool termsPage)
{
    if (index == 0)
        return tr("Start page");
    if (index == count - 1 && termsPage)
        return tr("Terms of Service");
    if (index == 1 && ((count == 3 && termsPage) || (count == 2 && !termsPage)))
        return tr("Follow page");
    if (index == 1 && count > 1)
        return tr("Follow pages");
    return QStringLiteral("...");
}

QString CustomCollectionView::labelAt(int index) const
{
    return pageLabel(index, pages.count(), pages.hasTermsPage());
}

void CustomCollectionView::setPageAspect(qreal ratio)
{
    if (qFuzzyCompare(aspect, ratio))
        return;
    aspect = ratio;
    cache.clear();
    viewport()->update();
    scheduleRequests();
}

void CustomCollectionView::setMessage(const QString& text)
{
    const QString description = text.isEmpty() ? tr("The merged pages; the arrow keys choose a page") : text;
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
}

int CustomCollectionView::selectedIndex() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : 0;
}

void CustomCollectionView::setSelectedIndex(int index)
{
    const int count = stripModel->rowCount({});
    if (count == 0)
        return;
    const QModelIndex target = stripModel->index(std::clamp(index, 0, count - 1));
    if (target != currentIndex())
        setCurrentIndex(target);
    scrollTo(target);
}

QRectF CustomCollectionView::thumbnailRect() const
{
    return geometry::fitted(geometry::thumbnailFrame(aspect), aspect);
}

QSize CustomCollectionView::thumbnailPixels() const
{
    return geometry::devicePixels(thumbnailRect().size(), devicePixelRatioF());
}

QImage CustomCollectionView::cachedImage(int index) const
{
    return cache.find(index, pages.entry(index), thumbnailPixels()).image;
}

std::pair<int, int> CustomCollectionView::visibleRange() const
{
    const int count = stripModel->rowCount({});
    if (count == 0)
        return {-1, -1};
    const int width = geometry::kItemSize.width();
    const int offset = horizontalScrollBar()->value();
    const int first = std::clamp(offset / width, 0, count - 1);
    const int last = std::clamp((offset + std::max(viewport()->width(), 1) - 1) / width, first, count - 1);
    return {first, last};
}

bool CustomCollectionView::visiblePagesFresh() const
{
    const auto [first, last] = visibleRange();
    if (first < 0 || !pages.isComplete())
        return false;
    const QSize pixels = thumbnailPixels();
    for (int i = first; i <= last; ++i)
        if (!cache.find(i, pages.entry(i), pixels).fresh)
            return false;
    return true;
}

void CustomCollectionView::pagesReset()
{
    const int keep = selectedIndex();
    const int scroll = horizontalScrollBar()->value();
    stripModel->reset();
    const int count = pages.count();
    cache.truncate(count);
    settled = false;
    if (count > 0) {
        // The selection stays where it was, within the new strip.
        const QModelIndex target = stripModel->index(std::clamp(keep, 0, count - 1));
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
        horizontalScrollBar()->setValue(scroll);
        scrollTo(target);
    }
    emit selectedIndexChanged(selectedIndex());
    scheduleRequests();
}

void CustomCollectionView::pageChanged(int index)
{
    settled = false;
    update(stripModel->index(index));
    scheduleRequests();
}

void CustomCollectionView::scheduleRequests()
{
    if (!requestTimer.isActive())
        requestTimer.start();
}

void CustomCollectionView::requestVisible()
{
    const auto [first, last] = visibleRange();
    if (first < 0 || !isVisible()) {
        pages.renderer().request(Requester::Strip, {});
        return;
    }
    // The pages of a long document come in ranges, merged when wanted.
    pages.want(Requester::Strip, first - kPreload, last + kPreload);
    const int count = pages.count();
    const QSize pixels = thumbnailPixels();
    const qreal ratio = devicePixelRatioF();
    QList<RenderRequest> batch;
    auto want = [&](int i, int priority) {
        const PageEntry entry = pages.entry(i);
        if (entry.isNull() || cache.find(i, entry, pixels).fresh)
            return;
        batch.append(RenderRequest{Requester::Strip, i, entry, pixels, ratio, priority});
    };
    for (int i = first; i <= last; ++i)
        want(i, 2);
    // Ahead in both directions, the nearer ones first.
    for (int step = 1; step <= kPreload; ++step) {
        if (last + step < count)
            want(last + step, 1);
        if (first - step >= 0)
            want(first - step, 1);
    }
    pages.renderer().request(Requester::Strip, batch);
    cache.trim(first - kPreload, last + kPreload);
}

void CustomCollectionView::rendered(const RenderRequest& request, const QImage& image)
{
    if (request.requester != Requester::Strip || pages.entry(request.index) != request.entry
        || request.pixels != thumbnailPixels())
        return;
    cache.insert(request.index, request.entry, request.pixels, image);
    const auto [first, last] = visibleRange();
    cache.trim(first - kPreload, last + kPreload);
    update(stripModel->index(request.index));
}

void CustomCollectionView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    if (previous.isValid())
        update(previous);
    if (current.isValid()) {
        update(current);
        emit selectedIndexChanged(current.row());
    }
}

void CustomCollectionView::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    const bool fresh = visiblePagesFresh();
    if (fresh && !settled)
        emit visiblePagesPainted();
    settled = fresh;
}

void CustomCollectionView::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    scheduleRequests();
}

void CustomCollectionView::showEvent(QShowEvent* event)
{
    QListView::showEvent(event);
    scheduleRequests();
}

void CustomCollectionView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    scheduleRequests();
}

void CustomCollectionView::keyPressEvent(QKeyEvent* event)
{
    // Up and down move through the pages too, as in a vertical list.
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        setSelectedIndex(selectedIndex() + (event->key() == Qt::Key_Down ? 1 : -1));
        return;
    }
    QListView::keyPressEvent(event);
}

} // namespace quillary
