#pragma once

// Scroll bars that lie over the edge of a scroll area's content instead of
// beside it: a slim thumb that shows while the content moves or the pointer
// rests on it, and fades out a moment later. The scroll area's own bars stay
// the model (range, value, steps) but are never shown.

#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

#include <optional>
#include <utility>

namespace quillary {

class OverlayScrollBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int Thickness = 12;
    static constexpr int FadeDelayMs = 900;
    static constexpr int FadeMs = 250;

    OverlayScrollBar(QScrollBar* model, QWidget* parent);

    QScrollBar* model() const { return bar; }
    Qt::Orientation orientation() const { return bar->orientation(); }
    // Whether there is anything to scroll.
    bool isNeeded() const { return bar && bar->maximum() > bar->minimum(); }

    // 1 shown, 0 faded out.
    qreal opacity() const { return alpha; }
    // The thumb in this widget's coordinates; empty when nothing scrolls.
    QRectF thumbRect() const;

    // Shows the bar at once and fades it after the delay (unless the pointer
    // is on it or it is being dragged).
    void reveal();
    // Starts fading out now.
    void fadeOut();
    QTimer& fadeDelay() { return delay; }
    QVariantAnimation& fadeAnimation() { return fade; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int length() const;
    int along(const QPointF& point) const;
    void setOpacity(qreal value);

    QPointer<QScrollBar> bar;
    qreal alpha = 0;
    bool hovered = false;
    std::optional<int> grab; // where in the thumb the drag holds it
    QTimer delay;
    QVariantAnimation fade;
};

// Puts overlay bars on area (its own bars are switched off); they follow the
// viewport's size. Returns the vertical and the horizontal one.
std::pair<OverlayScrollBar*, OverlayScrollBar*> installOverlayScrollBars(QAbstractScrollArea* area);
OverlayScrollBar* overlayScrollBar(const QAbstractScrollArea* area, Qt::Orientation orientation);

// A scroll area with overlay bars.
class OverlayScrollArea : public QScrollArea {
    Q_OBJECT
public:
    explicit OverlayScrollArea(QWidget* parent = nullptr);
};

} // namespace quillary
