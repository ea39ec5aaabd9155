#include "controls/ProgressCircle.h"

#include <QPainter>

namespace quillary {

ProgressCircle::ProgressCircle(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(tr("Progress"));
    timer.setInterval(50);
    connect(&timer, &QTimer::timeout, this, [this] {
        angle = (angle + 30) % 360;
        update();
    });
}

void ProgressCircle::startAnimation()
{
    if (timer.isActive())
        return;
    timer.start();
    setAccessibleDescription(tr("Working"));
    update();
}

void ProgressCircle::stopAnimation()
{
    timer.stop();
    setAccessibleDescription(QString());
    update();
}

void ProgressCircle::paintEvent(QPaintEvent*)
{
    if (!timer.isActive())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height()) - 4;
    const QRectF circle((width() - side) / 2, (height() - side) / 2, side, side);
    QPen track(palette().color(QPalette::Mid), 2.5);
    painter.setPen(track);
    painter.drawEllipse(circle);
    QPen arc(palette().color(QPalette::Highlight), 2.5, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(arc);
    painter.drawArc(circle, -angle * 16, 100 * 16);
}

} // namespace quillary
