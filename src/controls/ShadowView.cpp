#include "controls/ShadowView.h"

#include "controls/Appearance.h"

#include <QCache>
#include <QPainter>
#include <QPainterPath>

#include <vector>

namespace quillary {

namespace {

// One pass of a box blur over every channel of a premultiplied image, along
// rows (horizontal) or columns.
void boxBlur(QImage& image, int radius, bool horizontal)
{
    const int w = image.width(), h = image.height();
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    const int window = 2 * radius + 1;
    std::vector<QRgb> line(std::size_t(length), 0);
    for (int l = 0; l < lines; ++l) {
        auto pixel = [&](int i) -> QRgb& {
            return horizontal ? reinterpret_cast<QRgb*>(image.scanLine(l))[i]
                              : reinterpret_cast<QRgb*>(image.scanLine(i))[l];
        };
        for (int i = 0; i < length; ++i)
            line[std::size_t(i)] = pixel(i);
        int sum[4] = {0, 0, 0, 0};
        auto add = [&](int i, int sign) {
            if (i < 0 || i >= length)
                return;
            const QRgb p = line[std::size_t(i)];
            sum[0] += sign * qAlpha(p);
            sum[1] += sign * qRed(p);
            sum[2] += sign * qGreen(p);
            sum[3] += sign * qBlue(p);
        };
        for (int i = -radius; i <= radius; ++i)
            add(i, 1);
        for (int i = 0; i < length; ++i) {
            pixel(i) = qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
            add(i - radius, -1);
            add(i + radius + 1, 1);
        }
    }
}

} // namespace

void paintSoftShadow(QPainter& painter, const QRectF& box, qreal radius, qreal blur, const QColor& colour)
{
    if (box.isEmpty() || blur <= 0 || colour.alpha() == 0)
        return;
    static QCache<QString, QImage> cache(24);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int margin = qCeil(blur);
    const QSize size = (box.size() + QSizeF(2 * margin, 2 * margin)).toSize();
    const QString key = QStringLiteral("%1x%2 r%3 b%4 c%5 d%6")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(radius)
                            .arg(blur)
                            .arg(colour.rgba())
                            .arg(ratio);
    QImage* shadow = cache.object(key);
    if (!shadow) {
        auto* image = new QImage((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image->setDevicePixelRatio(ratio);
        image->fill(Qt::transparent);
        {
            QPainter shape(image);
            shape.setRenderHint(QPainter::Antialiasing);
            shape.setPen(Qt::NoPen);
            shape.setBrush(colour);
            shape.drawRoundedRect(QRectF(margin, margin, box.width(), box.height()), radius, radius);
        }
        // Three box passes come close to a gaussian.
        const int pass = qMax(1, qRound(blur * ratio / 3));
        for (int i = 0; i < 3; ++i) {
            boxBlur(*image, pass, true);
            boxBlur(*image, pass, false);
        }
        cache.insert(key, image);
        shadow = image;
    }
    painter.drawImage(box.topLeft() - QPointF(margin, margin) + QPointF(0, blur / 3), *shadow);
}

ShadowView::ShadowView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setShadowRadius(blur);
}

void ShadowView::setCornerRadius(qreal value)
{
    radius = value;
    update();
}

void ShadowView::setShadowRadius(qreal value)
{
    blur = qMax<qreal>(0, value);
    const int margin = qCeil(blur);
    // Room for the shadow, a little more below where it falls.
    setContentsMargins(margin, margin, margin, margin + qCeil(blur / 3));
    update();
}

void ShadowView::setBackgroundColor(const QColor& colour)
{
    background = colour;
    update();
}

QRectF ShadowView::cardRect() const
{
    return QRectF(contentsRect());
}

void ShadowView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = cardRect();
    const bool dark = appearance::isDark(palette());
    paintSoftShadow(painter, card, radius, blur, QColor(0, 0, 0, dark ? 150 : 70));
    QPainterPath outline;
    outline.addRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.fillPath(outline, background.isValid() ? background : palette().color(QPalette::Window));
    painter.setPen(QPen(appearance::separator(palette()), 1));
    painter.drawPath(outline);
}

} // namespace quillary
