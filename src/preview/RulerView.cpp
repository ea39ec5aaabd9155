#include "preview/RulerView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace quillary {

RulerView::RulerView(bool leftToRight, int low, int high, QWidget* parent)
    : QWidget(parent)
    , vertical(leftToRight)
    , lowest(low)
    , highest(high)
{
    setCursor(vertical ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    if (vertical)
        resize(kThickness, parent->height());
    else
        resize(parent->width(), kThickness);
    moveTo(low);
}

int RulerView::position() const
{
    return (vertical ? x() : y()) + kThickness / 2;
}

void RulerView::moveTo(int at)
{
    const int bounded = std::clamp(at, lowest, highest) - kThickness / 2;
    if (vertical)
        move(bounded, 0);
    else
        move(0, bounded);
    if (parentWidget())
        parentWidget()->update();
}

void RulerView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QPen pen(dashColor, 2);
    // 4 on, 6 off, starting 4 into the pattern (in pen widths: 2, 3, phase 2).
    pen.setDashPattern({2, 3});
    pen.setDashOffset(2);
    painter.setPen(pen);
    const qreal middle = kThickness / 2.0;
    if (vertical)
        painter.drawLine(QPointF(middle, 0), QPointF(middle, height()));
    else
        painter.drawLine(QPointF(0, middle), QPointF(width(), middle));
}

void RulerView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void RulerView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint inParent = mapToParent(event->position().toPoint());
    moveTo(vertical ? inParent.x() : inParent.y());
}

void RulerView::keyPressEvent(QKeyEvent* event)
{
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    switch (event->key()) {
    case Qt::Key_Left: if (vertical) moveTo(position() - step); break;
    case Qt::Key_Right: if (vertical) moveTo(position() + step); break;
    case Qt::Key_Up: if (!vertical) moveTo(position() - step); break;
    case Qt::Key_Down: if (!vertical) moveTo(position() + step); break;
    default: QWidget::keyPressEvent(event);
    }
}

} // namespace quillary
