#include "controls/QuillaryStyle.h"

#include "controls/Appearance.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>

namespace quillary {

namespace {

bool hovered(const QStyleOption* option)
{
    return option->state.testFlag(QStyle::State_MouseOver) && option->state.testFlag(QStyle::State_Enabled);
}

bool pressed(const QStyleOption* option)
{
    return option->state.testFlag(QStyle::State_Sunken) || option->state.testFlag(QStyle::State_On);
}

QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

// A 1-pixel line drawn on pixel centres.
QRectF hairlineRect(const QRect& rect)
{
    return QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
}

void drawChevron(QPainter* painter, const QRectF& box, const QColor& colour)
{
    const QPointF c = box.center();
    const qreal w = 4, h = 2.5;
    QPainterPath chevron;
    chevron.moveTo(c.x() - w, c.y() - h / 2);
    chevron.lineTo(c.x(), c.y() + h);
    chevron.lineTo(c.x() + w, c.y() - h / 2);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(chevron);
    painter->restore();
}

} // namespace

QuillaryStyle::QuillaryStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
    setObjectName(QStringLiteral("quillary"));
}

void QuillaryStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) || qobject_cast<QScrollBar*>(widget))
        widget->setAttribute(Qt::WA_Hover);
}

void QuillaryStyle::unpolish(QWidget* widget)
{
    QProxyStyle::unpolish(widget);
}

void QuillaryStyle::drawButtonPanel(const QStyleOption* option, QPainter* painter, bool isDefault, bool flat) const
{
    const QPalette& palette = option->palette;
    const bool enabled = option->state.testFlag(State_Enabled);
    const QRectF frame = hairlineRect(option->rect).adjusted(1, 1, -1, -1);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    QColor fill = isDefault ? appearance::accent(palette) : palette.color(QPalette::Button);
    QColor border = isDefault ? fill.darker(115) : appearance::separator(palette);
    if (!enabled) {
        fill = isDefault ? withAlpha(appearance::accent(palette), 110) : palette.color(QPalette::Button);
        border = withAlpha(border, 120);
    } else if (pressed(option)) {
        fill = isDefault ? fill.darker(118) : (appearance::isDark(palette) ? fill.lighter(130) : fill.darker(108));
    } else if (hovered(option)) {
        fill = isDefault ? fill.lighter(110) : (appearance::isDark(palette) ? fill.lighter(118) : fill.darker(103));
    }
    if (flat && !hovered(option) && !pressed(option)) {
        painter->restore();
        return;
    }
    if (!flat && enabled && !pressed(option)) {
        // A soft lip under the button: it stands on the surface.
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(0, 0, 0, appearance::isDark(palette) ? 70 : 22));
        painter->drawRoundedRect(frame.translated(0, 1), Radius, Radius);
    }
    painter->setPen(flat ? Qt::NoPen : QPen(border, 1));
    painter->setBrush(fill);
    painter->drawRoundedRect(frame, Radius, Radius);
    if (option->state.testFlag(State_HasFocus) && enabled) {
        painter->setPen(QPen(withAlpha(appearance::accent(palette), isDefault ? 255 : 200), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(frame.adjusted(-0.5, -0.5, 0.5, 0.5), Radius + 0.5, Radius + 0.5);
        if (isDefault) {
            painter->setPen(QPen(withAlpha(palette.color(QPalette::HighlightedText), 160), 1));
            painter->drawRoundedRect(frame.adjusted(2, 2, -2, -2), Radius - 2, Radius - 2);
        }
    }
    painter->restore();
}

void QuillaryStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                  const QWidget* widget) const
{
    const QPalette& palette = option->palette;
    switch (element) {
    case PE_PanelButtonCommand:
    case PE_PanelButtonBevel: {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        const bool isDefault = button && button->features.testFlag(QStyleOptionButton::DefaultButton);
        const bool flat = button && button->features.testFlag(QStyleOptionButton::Flat);
        drawButtonPanel(option, painter, isDefault, flat);
        return;
    }
    case PE_PanelButtonTool: {
        // A tool button that is not flat looks like any other button.
        if (option->state.testFlag(State_Raised)) {
            drawButtonPanel(option, painter, false, false);
            return;
        }
        if (!pressed(option) && !hovered(option))
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        const QColor text = palette.color(QPalette::ButtonText);
        painter->setBrush(withAlpha(text, pressed(option) ? 46 : 22));
        painter->drawRoundedRect(QRectF(option->rect).adjusted(1, 1, -1, -1), Radius, Radius);
        painter->restore();
        return;
    }
    case PE_FrameFocusRect:
        // Buttons, switches and fields show focus in their own frame.
        if (qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QComboBox*>(widget))
            return;
        break;
    case PE_PanelLineEdit: {
        const auto* frameOption = qstyleoption_cast<const QStyleOptionFrame*>(option);
        // The field inside an editable combo box: the combo draws the frame.
        if (widget && qobject_cast<const QComboBox*>(widget->parentWidget()))
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF frame = hairlineRect(option->rect);
        if (frameOption && frameOption->lineWidth <= 0) {
            painter->fillRect(option->rect, palette.brush(QPalette::Base));
            painter->restore();
            return;
        }
        const bool focused = option->state.testFlag(State_HasFocus) && option->state.testFlag(State_Enabled);
        painter->setPen(QPen(focused ? appearance::accent(palette) : appearance::separator(palette), focused ? 1.6 : 1));
        painter->setBrush(palette.brush(QPalette::Base));
        painter->drawRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), Radius, Radius);
        if (focused) {
            painter->setPen(QPen(withAlpha(appearance::accent(palette), 60), 3));
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(frame.adjusted(-0.5, -0.5, 0.5, 0.5), Radius + 1, Radius + 1);
        }
        painter->restore();
        return;
    }
    case PE_FrameLineEdit:
        return; // drawn with the panel
    case PE_IndicatorCheckBox: {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(option->rect).adjusted(1, 1, -1, -1);
        const bool on = option->state.testFlag(State_On);
        const bool partial = option->state.testFlag(State_NoChange);
        const bool enabled = option->state.testFlag(State_Enabled);
        QColor accentColour = appearance::accent(palette);
        if (!enabled)
            accentColour.setAlpha(110);
        if (on || partial) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(hovered(option) ? accentColour.lighter(110) : accentColour);
            painter->drawRoundedRect(box, 4, 4);
            painter->setPen(QPen(palette.color(QPalette::HighlightedText), 1.8, Qt::SolidLine, Qt::RoundCap,
                                 Qt::RoundJoin));
            if (partial) {
                painter->drawLine(QPointF(box.left() + 4, box.center().y()), QPointF(box.right() - 4, box.center().y()));
            } else {
                QPainterPath tick;
                tick.moveTo(box.left() + box.width() * 0.25, box.top() + box.height() * 0.52);
                tick.lineTo(box.left() + box.width() * 0.43, box.top() + box.height() * 0.70);
                tick.lineTo(box.left() + box.width() * 0.76, box.top() + box.height() * 0.32);
                painter->setBrush(Qt::NoBrush);
                painter->drawPath(tick);
            }
        } else {
            painter->setPen(QPen(hovered(option) ? appearance::accent(palette) : palette.color(QPalette::Mid), 1));
            painter->setBrush(palette.brush(QPalette::Base));
            painter->drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        }
        if (option->state.testFlag(State_HasFocus)) {
            painter->setPen(QPen(withAlpha(appearance::accent(palette), 120), 2));
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(box.adjusted(-1, -1, 1, 1), 5, 5);
        }
        painter->restore();
        return;
    }
    case PE_FrameGroupBox: {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(appearance::separator(palette), 1));
        painter->setBrush(appearance::raisedSurface(palette));
        painter->drawRoundedRect(hairlineRect(option->rect), Radius + 2, Radius + 2);
        painter->restore();
        return;
    }
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void QuillaryStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                const QWidget* widget) const
{
    if (element == CE_PushButtonLabel) {
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
            button && button->features.testFlag(QStyleOptionButton::DefaultButton)) {
            QStyleOptionButton onAccent(*button);
            onAccent.palette.setColor(QPalette::ButtonText, button->palette.color(QPalette::HighlightedText));
            onAccent.state.setFlag(State_HasFocus, false);
            QProxyStyle::drawControl(element, &onAccent, painter, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void QuillaryStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                       const QWidget* widget) const
{
    const QPalette& palette = option->palette;
    if (control == CC_ScrollBar) {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (!bar)
            return;
        if (bar->maximum == bar->minimum)
            return; // nothing to scroll: no thumb
        const QRect slider = subControlRect(CC_ScrollBar, option, SC_ScrollBarSlider, widget);
        const bool horizontal = bar->orientation == Qt::Horizontal;
        const bool active = hovered(option) || option->activeSubControls.testFlag(SC_ScrollBarSlider)
                            || option->state.testFlag(State_Sunken);
        const qreal thickness = active ? 7 : 5;
        // A slim thumb along the far edge, a little wider under the pointer.
        const QRectF bounds = QRectF(slider).adjusted(horizontal ? 2 : 0, horizontal ? 0 : 2, horizontal ? -2 : 0,
                                                      horizontal ? 0 : -2);
        const QRectF thumb = horizontal
                                 ? QRectF(bounds.left(), bounds.bottom() - 2 - thickness, bounds.width(), thickness)
                                 : QRectF(bounds.right() - 2 - thickness, bounds.top(), thickness, bounds.height());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        const QColor ink = palette.color(QPalette::WindowText);
        painter->setBrush(withAlpha(ink, active ? 130 : 85));
        painter->drawRoundedRect(thumb, thickness / 2, thickness / 2);
        painter->restore();
        return;
    }
    if (control == CC_ComboBox) {
        const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
        if (!combo)
            return;
        if (combo->editable) {
            QStyleOptionFrame frame;
            frame.QStyleOption::operator=(*option);
            frame.lineWidth = 1;
            drawPrimitive(PE_PanelLineEdit, &frame, painter, nullptr);
        } else {
            drawButtonPanel(option, painter, false, !combo->frame);
        }
        const QRect arrow = subControlRect(CC_ComboBox, option, SC_ComboBoxArrow, widget);
        drawChevron(painter, arrow, palette.color(option->state.testFlag(State_Enabled) ? QPalette::Active
                                                                                          : QPalette::Disabled,
                                                  QPalette::ButtonText));
        return;
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    // Flat tool buttons (the list's + and -) draw no frame of their own for
    // the focus, and focus rectangles are drawn by nobody here: a ring.
    if (control == CC_ToolButton && option->state.testFlag(State_HasFocus)
        && option->state.testFlag(State_Enabled)) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(appearance::accent(palette), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(option->rect).adjusted(1.5, 1.5, -1.5, -1.5), Radius, Radius);
        painter->restore();
    }
}

QRect QuillaryStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                                    const QWidget* widget) const
{
    if (control == CC_ScrollBar) {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (!bar)
            return {};
        // No arrows: the whole bar is track.
        const QRect groove = option->rect;
        const bool horizontal = bar->orientation == Qt::Horizontal;
        const int length = horizontal ? groove.width() : groove.height();
        const qint64 range = qint64(bar->maximum) - bar->minimum;
        int sliderLength = length;
        if (range > 0) {
            sliderLength = int(qint64(length) * bar->pageStep / (range + bar->pageStep));
            sliderLength = qBound(qMin(pixelMetric(PM_ScrollBarSliderMin, option, widget), length), sliderLength, length);
        }
        const int start = sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition,
                                                  length - sliderLength, bar->upsideDown);
        auto span = [&](int from, int extent) {
            return horizontal ? QRect(groove.left() + from, groove.top(), extent, groove.height())
                              : QRect(groove.left(), groove.top() + from, groove.width(), extent);
        };
        QRect rect;
        switch (subControl) {
        case SC_ScrollBarGroove: rect = groove; break;
        case SC_ScrollBarSlider: rect = span(start, sliderLength); break;
        case SC_ScrollBarSubPage: rect = span(0, start); break;
        case SC_ScrollBarAddPage: rect = span(start + sliderLength, length - start - sliderLength); break;
        default: return {}; // SubLine, AddLine, First, Last
        }
        return visualRect(option->direction, groove, rect);
    }
    return QProxyStyle::subControlRect(control, option, subControl, widget);
}

QRect QuillaryStyle::subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const
{
    if (element == SE_LineEditContents) {
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        if (frame && frame->lineWidth > 0 && !(widget && qobject_cast<const QComboBox*>(widget->parentWidget()))) {
            // The field adds 2 pixels of its own on either side.
            const int inset = TextOffset - 2;
            return option->rect.adjusted(inset, 2, -inset, -2);
        }
    }
    return QProxyStyle::subElementRect(element, option, widget);
}

int QuillaryStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_ScrollBarExtent: return ScrollBarExtent;
    case PM_ScrollBarSliderMin: return 28;
    case PM_ButtonMargin: return 14;
    case PM_ButtonShiftHorizontal:
    case PM_ButtonShiftVertical: return 0;
    case PM_IndicatorWidth:
    case PM_IndicatorHeight: return 18;
    // The text of a cell in lists and pop-ups sits this far from its edge.
    case PM_FocusFrameHMargin: return TextOffset - 1;
    default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QSize QuillaryStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                      const QWidget* widget) const
{
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    switch (type) {
    case CT_PushButton:
        result.setHeight(qMax(result.height(), 32));
        result.setWidth(qMax(result.width(), 84));
        break;
    case CT_LineEdit:
        result.setHeight(qMax(result.height(), 30));
        result.setWidth(result.width() + 2 * (TextOffset - 2));
        break;
    case CT_ComboBox:
        result.setHeight(qMax(result.height(), 30));
        break;
    default: break;
    }
    return result;
}

int QuillaryStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const
{
    switch (hint) {
    case SH_DialogButtonBox_ButtonsHaveIcons: return 0;
    case SH_ScrollBar_ContextMenu: return 0;
    case SH_ComboBox_Popup: return 0; // a list below the box, the same on every platform
    default: return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

} // namespace quillary
