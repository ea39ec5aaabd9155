#include "controls/StyledView.h"

namespace quillary {

StyledView::StyledView(const QColor& initialColour, QWidget* parent)
    : QWidget(parent)
    , background(initialColour)
    , borderColour(initialColour)
    , shadow(initialColour)
{
}

void StyledView::setBorderWidth(qreal width)
{
    border = width;
    styleChanged();
    update();
}

void StyledView::setBackgroundColor(const QColor& colour)
{
    background = colour;
    styleChanged();
    update();
}

void StyledView::setBorderColor(const QColor& colour)
{
    borderColour = colour;
    styleChanged();
    update();
}

void StyledView::setCornerRadius(qreal value)
{
    radius = value;
    styleChanged();
    update();
}

void StyledView::setShadowColor(const QColor& colour)
{
    shadow = colour;
    styleChanged();
    update();
}

void StyledView::setShadowRadius(qreal value)
{
    shadowBlur = value;
    styleChanged();
    update();
}

void StyledView::setShadowOpacity(qreal value)
{
    shadowAlpha = value;
    styleChanged();
    update();
}

} // namespace quillary
