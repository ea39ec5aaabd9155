#pragma once

// The appearance fields that designable views share (border, background,
// corner radius, shadow), settable as properties. Setting one repaints the
// view; drawing them is the subclass's.

#include <QColor>
#include <QWidget>

namespace quillary {

class StyledView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qreal borderWidth READ borderWidth WRITE setBorderWidth)
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius)
    Q_PROPERTY(QColor shadowColor READ shadowColor WRITE setShadowColor)
    Q_PROPERTY(qreal shadowRadius READ shadowRadius WRITE setShadowRadius)
    Q_PROPERTY(qreal shadowOpacity READ shadowOpacity WRITE setShadowOpacity)
public:
    // The colours start as given; the numbers at 0.
    StyledView(const QColor& initialColour, QWidget* parent);

    qreal borderWidth() const { return border; }
    void setBorderWidth(qreal width);
    QColor backgroundColor() const { return background; }
    void setBackgroundColor(const QColor& colour);
    QColor borderColor() const { return borderColour; }
    void setBorderColor(const QColor& colour);
    qreal cornerRadius() const { return radius; }
    void setCornerRadius(qreal value);
    QColor shadowColor() const { return shadow; }
    void setShadowColor(const QColor& colour);
    qreal shadowRadius() const { return shadowBlur; }
    void setShadowRadius(qreal value);
    qreal shadowOpacity() const { return shadowAlpha; }
    void setShadowOpacity(qreal value);

protected:
    // Subclasses that depend on a field (a mask on the corner radius) follow it here.
    virtual void styleChanged() {}

private:
    qreal border = 0;
    QColor background;
    QColor borderColour;
    qreal radius = 0;
    QColor shadow;
    qreal shadowBlur = 0;
    qreal shadowAlpha = 0;
};

} // namespace quillary
