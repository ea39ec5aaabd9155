#pragma once

// A card that floats over what lies behind it: a rounded panel in a surface
// colour with a soft shadow around it. The shadow lies inside the view's
// bounds, in its contents margins, so a layout set on the view places its
// children on the card.

#include <QColor>
#include <QWidget>

class QPainter;

namespace quillary {

// Draws a blurred shadow of the rounded rectangle box (blur in pixels,
// shadow shifted down by a third of it). Blurred images are cached by size.
void paintSoftShadow(QPainter& painter, const QRectF& box, qreal radius, qreal blur, const QColor& colour);

class ShadowView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius)
    Q_PROPERTY(qreal shadowRadius READ shadowRadius WRITE setShadowRadius)
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
public:
    explicit ShadowView(QWidget* parent = nullptr);

    qreal cornerRadius() const { return radius; }
    void setCornerRadius(qreal value);
    qreal shadowRadius() const { return blur; }
    void setShadowRadius(qreal value);
    // An invalid colour (the default) takes the palette's window colour.
    QColor backgroundColor() const { return background; }
    void setBackgroundColor(const QColor& colour);

    // The card without its shadow.
    QRectF cardRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal radius = 12;
    qreal blur = 16;
    QColor background;
};

} // namespace quillary
