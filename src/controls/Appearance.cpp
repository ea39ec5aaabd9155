#include "controls/Appearance.h"

#include "controls/QuillaryStyle.h"

#include <QApplication>
#include <QStyleHints>

#include <cmath>

namespace quillary::appearance {

namespace {

struct Colours {
    QColor window, windowText, base, alternateBase, text, button, buttonText, highlight, highlightedText,
        placeholder, light, midlight, mid, dark, disabledText, toolTipBase, toolTipText, link;
};

// Text colours meet a contrast of 4.5:1 against the surfaces they sit on;
// the accent carries white text at the same contrast.
const Colours kLight{
    .window = {244, 245, 247},
    .windowText = {28, 30, 33},
    .base = {255, 255, 255},
    .alternateBase = {247, 248, 250},
    .text = {28, 30, 33},
    .button = {255, 255, 255},
    .buttonText = {28, 30, 33},
    .highlight = {38, 113, 185},
    .highlightedText = {255, 255, 255},
    .placeholder = {100, 107, 118},
    .light = {255, 255, 255},
    .midlight = {227, 230, 234},
    .mid = {184, 190, 199},
    .dark = {138, 145, 155},
    .disabledText = {160, 166, 174},
    .toolTipBase = {255, 255, 255},
    .toolTipText = {28, 30, 33},
    .link = {30, 100, 170},
};

const Colours kDark{
    .window = {31, 33, 36},
    .windowText = {232, 234, 237},
    .base = {39, 41, 45},
    .alternateBase = {44, 47, 51},
    .text = {232, 234, 237},
    .button = {50, 53, 58},
    .buttonText = {232, 234, 237},
    .highlight = {38, 113, 185},
    .highlightedText = {255, 255, 255},
    .placeholder = {158, 164, 172},
    .light = {70, 74, 80},
    .midlight = {58, 61, 66},
    .mid = {92, 97, 104},
    .dark = {21, 23, 26},
    .disabledText = {112, 117, 124},
    .toolTipBase = {50, 53, 58},
    .toolTipText = {232, 234, 237},
    .link = {110, 170, 230},
};

double channel(double c)
{
    c /= 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour)
{
    return 0.2126 * channel(colour.red()) + 0.7152 * channel(colour.green()) + 0.0722 * channel(colour.blue());
}

} // namespace

ColorScheme chooseScheme(const QString& override, const QPalette& platformPalette)
{
    const QString wanted = override.trimmed().toLower();
    if (wanted == QLatin1String("dark"))
        return ColorScheme::Dark;
    if (wanted == QLatin1String("light"))
        return ColorScheme::Light;
    return isDark(platformPalette) ? ColorScheme::Dark : ColorScheme::Light;
}

ColorScheme systemScheme()
{
    const QString override = qEnvironmentVariable("QUILLARY_APPEARANCE");
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    if (override.isEmpty()) {
        switch (QGuiApplication::styleHints()->colorScheme()) {
        case Qt::ColorScheme::Dark: return ColorScheme::Dark;
        case Qt::ColorScheme::Light: return ColorScheme::Light;
        default: break;
        }
    }
#endif
    return chooseScheme(override, QGuiApplication::palette());
}

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Window).lightness() < 128;
}

QPalette paletteFor(ColorScheme scheme)
{
    const Colours& c = scheme == ColorScheme::Dark ? kDark : kLight;
    QPalette palette;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor muted = disabled ? c.disabledText : QColor();
        palette.setColor(group, QPalette::Window, c.window);
        palette.setColor(group, QPalette::WindowText, disabled ? muted : c.windowText);
        palette.setColor(group, QPalette::Base, c.base);
        palette.setColor(group, QPalette::AlternateBase, c.alternateBase);
        palette.setColor(group, QPalette::Text, disabled ? muted : c.text);
        palette.setColor(group, QPalette::Button, c.button);
        palette.setColor(group, QPalette::ButtonText, disabled ? muted : c.buttonText);
        palette.setColor(group, QPalette::BrightText, Qt::white);
        palette.setColor(group, QPalette::Highlight, disabled ? c.mid : c.highlight);
        palette.setColor(group, QPalette::HighlightedText, c.highlightedText);
        palette.setColor(group, QPalette::PlaceholderText, disabled ? muted : c.placeholder);
        palette.setColor(group, QPalette::Light, c.light);
        palette.setColor(group, QPalette::Midlight, c.midlight);
        palette.setColor(group, QPalette::Mid, c.mid);
        palette.setColor(group, QPalette::Dark, c.dark);
        palette.setColor(group, QPalette::Shadow, Qt::black);
        palette.setColor(group, QPalette::ToolTipBase, c.toolTipBase);
        palette.setColor(group, QPalette::ToolTipText, c.toolTipText);
        palette.setColor(group, QPalette::Link, c.link);
        palette.setColor(group, QPalette::LinkVisited, c.link);
    }
    return palette;
}

void apply(QApplication& app)
{
    const ColorScheme scheme = systemScheme();
    app.setStyle(new QuillaryStyle);
    app.setPalette(paletteFor(scheme));
}

QColor accent(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Highlight);
}

QColor raisedSurface(const QPalette& palette)
{
    return isDark(palette) ? palette.color(QPalette::Base).lighter(112) : QColor(250, 251, 252);
}

QColor separator(const QPalette& palette)
{
    return isDark(palette) ? QColor(70, 74, 80) : QColor(210, 214, 220);
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& text, const QColor& background, double minimum)
{
    const QColor opaque = QColor(text.red(), text.green(), text.blue());
    if (contrastRatio(opaque, background) >= minimum)
        return opaque;
    const QColor end = contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background)
                           ? QColor(Qt::black) : QColor(Qt::white);
    // A small margin above the minimum: antialiased glyph edges are never
    // quite the full colour.
    for (int step = 1; step <= 20; ++step) {
        const qreal t = step / 20.0;
        const QColor mixed = QColor::fromRgbF(opaque.redF() + (end.redF() - opaque.redF()) * t,
                                              opaque.greenF() + (end.greenF() - opaque.greenF()) * t,
                                              opaque.blueF() + (end.blueF() - opaque.blueF()) * t);
        if (contrastRatio(mixed, background) >= minimum + 0.3)
            return mixed;
    }
    return end;
}

} // namespace quillary::appearance
