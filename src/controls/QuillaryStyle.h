#pragma once

// The application's own drawing of the standard controls, over Fusion: push
// buttons and tool buttons with rounded corners (the default button in the
// accent colour), text fields with a rounded frame, a focus ring and their
// text set in from the frame, check boxes, combo boxes and group boxes to
// match, and slim scroll bars without arrows. Colours come from the palette,
// so the light and the dark palette of Appearance both work.

#include <QProxyStyle>

namespace quillary {

class QuillaryStyle : public QProxyStyle {
    Q_OBJECT
public:
    // How far the text of a field or a cell sits from its frame.
    static constexpr int TextOffset = 7;
    static constexpr qreal Radius = 6;
    static constexpr int ScrollBarExtent = 10;

    QuillaryStyle();

    void polish(QWidget* widget) override;
    void unpolish(QWidget* widget) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl subControl,
                         const QWidget* widget = nullptr) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

private:
    void drawButtonPanel(const QStyleOption* option, QPainter* painter, bool isDefault, bool flat) const;
};

} // namespace quillary
