#include "controls/TemplateSelectionOverlay.h"

#include "controls/ShadowView.h"

#include <QPainter>
#include <QPainterPath>

namespace quillary {

TemplateSelectionOverlay::TemplateSelectionOverlay(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_Hover);
}

void TemplateSelectionOverlay::setBorderWidth(qreal width)
{
    border = width;
    update();
}

void TemplateSelectionOverlay::setBackgroundColor(const QColor& colour)
{
    background = colour;
    update();
}

void TemplateSelectionOverlay::setHighlightColor(const QColor& colour)
{
    highlight = colour;
    update();
}

void TemplateSelectionOverlay::setSelectedColor(const QColor& colour)
{
    selected = colour;
}

void TemplateSelectionOverlay::setBorderColor(const QColor& colour)
{
    borderColour = colour;
    update();
}

void TemplateSelectionOverlay::setCornerRadius(qreal value)
{
    radius = value;
    update();
}

void TemplateSelectionOverlay::setShadowColor(const QColor& colour)
{
    shadow = colour;
    update();
}

void TemplateSelectionOverlay::setShadowRadius(qreal value)
{
    shadowBlur = value;
    update();
}

void TemplateSelectionOverlay::setShadowOpacity(qreal value)
{
    shadowAlpha = value;
    update();
}

void TemplateSelectionOverlay::enterEvent(QEnterEvent* event)
{
    hovered = true;
    update();
    QWidget::enterEvent(event);
}

void TemplateSelectionOverlay::leaveEvent(QEvent* event)
{
    hovered = false;
    update();
    QWidget::leaveEvent(event);
}

void TemplateSelectionOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(shadowBlur, shadowBlur, -shadowBlur, -shadowBlur);
    if (shadowAlpha > 0 && shadowBlur > 0) {
        QColor cast = shadow;
        cast.setAlphaF(cast.alphaF() * qBound(0.0, shadowAlpha, 1.0));
        paintSoftShadow(painter, box, radius, shadowBlur, cast);
    }
    const QColor fill = currentColor();
    QPainterPath outline;
    outline.addRoundedRect(box.adjusted(border / 2, border / 2, -border / 2, -border / 2), radius, radius);
    if (fill.alpha() > 0)
        painter.fillPath(outline, fill);
    if (border > 0 && borderColour.alpha() > 0) {
        painter.setPen(QPen(borderColour, border));
        painter.drawPath(outline);
    }
}

} // namespace quillary
