#include "controls/OverlayScrollBars.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace quillary {

OverlayScrollBar::OverlayScrollBar(QScrollBar* model, QWidget* parent)
    : QWidget(parent)
    , bar(model)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_Hover);
    setAccessibleName(model->orientation() == Qt::Vertical ? tr("Vertical scroll bar") : tr("Horizontal scroll bar"));
    delay.setSingleShot(true);
    delay.setInterval(FadeDelayMs);
    connect(&delay, &QTimer::timeout, this, &OverlayScrollBar::fadeOut);
    fade.setDuration(FadeMs);
    fade.setEasingCurve(QEasingCurve::OutCubic);
    connect(&fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) { setOpacity(value.toReal()); });
    connect(model, &QScrollBar::valueChanged, this, &OverlayScrollBar::reveal);
    connect(model, &QScrollBar::rangeChanged, this, [this] {
        setVisible(isNeeded());
        update();
    });
    setVisible(isNeeded());
}

void OverlayScrollBar::setOpacity(qreal value)
{
    if (qFuzzyCompare(alpha, value))
        return;
    alpha = value;
    update();
}

void OverlayScrollBar::reveal()
{
    fade.stop();
    setOpacity(1);
    if (hovered || grab)
        delay.stop();
    else
        delay.start();
}

void OverlayScrollBar::fadeOut()
{
    delay.stop();
    if (hovered || grab || alpha == 0)
        return;
    fade.stop();
    fade.setStartValue(alpha);
    fade.setEndValue(0.0);
    fade.start();
}

int OverlayScrollBar::length() const
{
    return orientation() == Qt::Vertical ? height() : width();
}

int OverlayScrollBar::along(const QPointF& point) const
{
    return qRound(orientation() == Qt::Vertical ? point.y() : point.x());
}

QRectF OverlayScrollBar::thumbRect() const
{
    if (!isNeeded())
        return {};
    const qint64 range = qint64(bar->maximum()) - bar->minimum();
    const int total = length();
    const int thumb = qBound(qMin(28, total), int(qint64(total) * bar->pageStep() / (range + bar->pageStep())), total);
    const int start = QStyle::sliderPositionFromValue(bar->minimum(), bar->maximum(), bar->value(), total - thumb);
    return orientation() == Qt::Vertical ? QRectF(0, start, width(), thumb) : QRectF(start, 0, thumb, height());
}

void OverlayScrollBar::paintEvent(QPaintEvent*)
{
    if (alpha <= 0 || !isNeeded())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(alpha);
    const bool wide = hovered || grab;
    const qreal thickness = wide ? 8 : 5;
    const QRectF thumb = thumbRect();
    const QRectF drawn = orientation() == Qt::Vertical
                             ? QRectF(width() - 2 - thickness, thumb.top() + 2, thickness, thumb.height() - 4)
                             : QRectF(thumb.left() + 2, height() - 2 - thickness, thumb.width() - 4, thickness);
    if (wide) {
        // A faint track while the pointer is on the bar.
        QColor track = palette().color(QPalette::WindowText);
        track.setAlpha(22);
        painter.setPen(Qt::NoPen);
        painter.setBrush(track);
        const QRectF whole = orientation() == Qt::Vertical ? QRectF(drawn.left(), 2, thickness, height() - 4)
                                                          : QRectF(2, drawn.top(), width() - 4, thickness);
        painter.drawRoundedRect(whole, thickness / 2, thickness / 2);
    }
    QColor ink = palette().color(QPalette::WindowText);
    ink.setAlpha(wide ? 150 : 110);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawRoundedRect(drawn, thickness / 2, thickness / 2);
}

void OverlayScrollBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isNeeded()) {
        event->ignore();
        return;
    }
    const QRectF thumb = thumbRect();
    const int at = along(event->position());
    const int thumbStart = along(thumb.topLeft());
    const int thumbLength = orientation() == Qt::Vertical ? int(thumb.height()) : int(thumb.width());
    if (at >= thumbStart && at < thumbStart + thumbLength) {
        grab = at - thumbStart;
        bar->setSliderDown(true);
    } else {
        bar->triggerAction(at < thumbStart ? QAbstractSlider::SliderPageStepSub : QAbstractSlider::SliderPageStepAdd);
    }
    reveal();
    event->accept();
}

void OverlayScrollBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!grab) {
        event->ignore();
        return;
    }
    const QRectF thumb = thumbRect();
    const int thumbLength = orientation() == Qt::Vertical ? int(thumb.height()) : int(thumb.width());
    const int position = along(event->position()) - *grab;
    bar->setValue(QStyle::sliderValueFromPosition(bar->minimum(), bar->maximum(), qMax(0, position),
                                                  length() - thumbLength));
    event->accept();
}

void OverlayScrollBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (grab) {
        grab.reset();
        bar->setSliderDown(false);
        reveal();
    }
    event->accept();
}

void OverlayScrollBar::wheelEvent(QWheelEvent* event)
{
    // The content scrolls under the bar as it does beside it.
    if (QWidget* target = parentWidget())
        if (auto* area = qobject_cast<QAbstractScrollArea*>(target)) {
            QCoreApplication::sendEvent(area->viewport(), event);
            return;
        }
    event->ignore();
}

void OverlayScrollBar::enterEvent(QEnterEvent* event)
{
    hovered = true;
    reveal();
    QWidget::enterEvent(event);
}

void OverlayScrollBar::leaveEvent(QEvent* event)
{
    hovered = false;
    reveal();
    QWidget::leaveEvent(event);
}

// ---------------------------------------------------------------------------

namespace {

// Keeps the bars on the viewport's edges.
class OverlayPlacer : public QObject {
public:
    OverlayPlacer(QAbstractScrollArea* area, OverlayScrollBar* vertical, OverlayScrollBar* horizontal)
        : QObject(area)
        , area(area)
        , vertical(vertical)
        , horizontal(horizontal)
    {
        area->installEventFilter(this);
        area->viewport()->installEventFilter(this);
        place();
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Move:
        case QEvent::Show:
        case QEvent::LayoutRequest:
            place();
            break;
        default:
            break;
        }
        return false;
    }

    void place()
    {
        const QRect port = area->viewport()->geometry();
        const int t = OverlayScrollBar::Thickness;
        vertical->setGeometry(port.right() + 1 - t, port.top(), t, port.height() - (horizontal->isNeeded() ? t : 0));
        horizontal->setGeometry(port.left(), port.bottom() + 1 - t, port.width() - (vertical->isNeeded() ? t : 0), t);
        vertical->raise();
        horizontal->raise();
    }

private:
    QAbstractScrollArea* area;
    OverlayScrollBar* vertical;
    OverlayScrollBar* horizontal;
};

} // namespace

std::pair<OverlayScrollBar*, OverlayScrollBar*> installOverlayScrollBars(QAbstractScrollArea* area)
{
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* vertical = new OverlayScrollBar(area->verticalScrollBar(), area);
    vertical->setObjectName(QStringLiteral("overlayVertical"));
    auto* horizontal = new OverlayScrollBar(area->horizontalScrollBar(), area);
    horizontal->setObjectName(QStringLiteral("overlayHorizontal"));
    new OverlayPlacer(area, vertical, horizontal);
    return {vertical, horizontal};
}

OverlayScrollBar* overlayScrollBar(const QAbstractScrollArea* area, Qt::Orientation orientation)
{
    return area->findChild<OverlayScrollBar*>(orientation == Qt::Vertical ? QStringLiteral("overlayVertical")
                                                                          : QStringLiteral("overlayHorizontal"),
                                              Qt::FindDirectChildrenOnly);
}

OverlayScrollArea::OverlayScrollArea(QWidget* parent)
    : QScrollArea(parent)
{
    installOverlayScrollBars(this);
}

} // namespace quillary
