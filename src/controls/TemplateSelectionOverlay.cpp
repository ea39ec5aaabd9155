#include "controls/TemplateSelectionOverlay.h"

#include "controls/ShadowView.h"

#include <QPainter>
#include <QPainterPath>

namespace quillary {

TemplateSelectionOverlay::TemplateSelectionOverlay(QWidget* parent)
    : StyledView(Qt::white, parent)
{
    setAttribute(Qt::WA_Hover);
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
    const qreal border = borderWidth(), radius = cornerRadius(), shadowBlur = shadowRadius();
    const QRectF box = QRectF(rect()).adjusted(shadowBlur, shadowBlur, -shadowBlur, -shadowBlur);
    if (shadowOpacity() > 0 && shadowBlur > 0) {
        QColor cast = shadowColor();
        cast.setAlphaF(cast.alphaF() * qBound(0.0, shadowOpacity(), 1.0));
        paintSoftShadow(painter, box, radius, shadowBlur, cast);
    }
    const QColor fill = currentColor();
    QPainterPath outline;
    outline.addRoundedRect(box.adjusted(border / 2, border / 2, -border / 2, -border / 2), radius, radius);
    if (fill.alpha() > 0)
        painter.fillPath(outline, fill);
    if (border > 0 && borderColor().alpha() > 0) {
        painter.setPen(QPen(borderColor(), border));
        painter.drawPath(outline);
    }
}

} // namespace quillary
