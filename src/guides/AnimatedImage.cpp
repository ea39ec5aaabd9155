#include "guides/AnimatedImage.h"

#include <QPainter>

namespace quillary {

AnimatedImage::AnimatedImage(QWidget* parent)
    : QWidget(parent)
    , glide(this, "pos")
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    glide.setDuration(IntervalMs * 2 / 3);
    glide.setEasingCurve(QEasingCurve::InOutSine);
    ticker.setInterval(IntervalMs);
    connect(&ticker, &QTimer::timeout, this, &AnimatedImage::animate);
    ticker.start();
}

void AnimatedImage::setImage(const QIcon& icon)
{
    image = icon;
    update();
}

QPoint AnimatedImage::target() const
{
    return glide.state() == QAbstractAnimation::Running ? resting : pos();
}

void AnimatedImage::animate()
{
    // Up is towards smaller y. A step begun while the last one still glides
    // goes from where that one ends, so that the image never drifts.
    const int d = toggle ? -Step : Step;
    const QPoint from = target();
    resting = QPoint(from.x(), from.y() + d);
    glide.stop();
    glide.setStartValue(pos());
    glide.setEndValue(resting);
    glide.start();
    toggle = !toggle;
}

void AnimatedImage::paintEvent(QPaintEvent*)
{
    if (image.isNull())
        return;
    QPainter painter(this);
    image.paint(&painter, rect());
}

} // namespace quillary
