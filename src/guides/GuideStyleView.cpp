#include "guides/GuideStyleView.h"

namespace quillary {

GuideStyleView::GuideStyleView(const QColor& initialColour, QWidget* parent)
    : QWidget(parent)
    , background(initialColour)
    , borderColour(initialColour)
    , shadow(initialColour)
{
}

void GuideStyleView::setBorderWidth(qreal width)
{
    border = width;
    styleChanged();
    update();
}

void GuideStyleView::setBackgroundColor(const QColor& colour)
{
    background = colour;
    styleChanged();
    update();
}

void GuideStyleView::setBorderColor(const QColor& colour)
{
    borderColour = colour;
    styleChanged();
    update();
}

void GuideStyleView::setCornerRadius(qreal value)
{
    radius = value;
    styleChanged();
    update();
}

void GuideStyleView::setShadowColor(const QColor& colour)
{
    shadow = colour;
    styleChanged();
    update();
}

void GuideStyleView::setShadowRadius(qreal value)
{
    shadowBlur = value;
    styleChanged();
    update();
}

void GuideStyleView::setShadowOpacity(qreal value)
{
    shadowAlpha = value;
    styleChanged();
    update();
}

} // namespace quillary
