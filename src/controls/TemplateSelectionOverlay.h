#pragma once

// A plain view that lights up while the pointer is on it: its background is
// highlightColor then, backgroundColor otherwise, drawn with rounded corners,
// an optional border and an optional soft shadow.

#include <QColor>
#include <QWidget>

namespace quillary {

class TemplateSelectionOverlay : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qreal borderWidth READ borderWidth WRITE setBorderWidth)
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(QColor highlightColor READ highlightColor WRITE setHighlightColor)
    Q_PROPERTY(QColor selectedColor READ selectedColor WRITE setSelectedColor)
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius)
    Q_PROPERTY(QColor shadowColor READ shadowColor WRITE setShadowColor)
    Q_PROPERTY(qreal shadowRadius READ shadowRadius WRITE setShadowRadius)
    Q_PROPERTY(qreal shadowOpacity READ shadowOpacity WRITE setShadowOpacity)
public:
    explicit TemplateSelectionOverlay(QWidget* parent = nullptr);

    qreal borderWidth() const { return border; }
    void setBorderWidth(qreal width);
    QColor backgroundColor() const { return background; }
    void setBackgroundColor(const QColor& colour);
    QColor highlightColor() const { return highlight; }
    void setHighlightColor(const QColor& colour);
    QColor selectedColor() const { return selected; }
    void setSelectedColor(const QColor& colour);
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

    bool isHovered() const { return hovered; }
    // What the background shows now: highlightColor while hovered.
    QColor currentColor() const { return hovered ? highlight : background; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    qreal border = 0;
    QColor background = Qt::white;
    QColor highlight = Qt::white;
    QColor selected = Qt::white;
    QColor borderColour = Qt::white;
    qreal radius = 0;
    QColor shadow = Qt::white;
    qreal shadowBlur = 0;
    qreal shadowAlpha = 0;
    bool hovered = false;
};

} // namespace quillary
