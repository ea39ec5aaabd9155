#pragma once

// One look for every window: a palette for the light and one for the dark
// scheme, drawn by QuillaryStyle. The scheme follows the system: the colour
// scheme the platform reports where Qt knows it, otherwise the lightness of
// the platform palette's window colour. QUILLARY_APPEARANCE=dark or =light
// forces one of them (for trying both, and for screenshots).

#include <QColor>
#include <QPalette>
#include <QString>

class QApplication;

namespace quillary {

enum class ColorScheme { Light, Dark };

namespace appearance {

// The scheme asked for by override ("dark", "light", anything else: none),
// else the one platformPalette shows.
ColorScheme chooseScheme(const QString& override, const QPalette& platformPalette);
// The scheme of the running system, QUILLARY_APPEARANCE included.
ColorScheme systemScheme();

// The application's palette for a scheme (all three colour groups).
QPalette paletteFor(ColorScheme scheme);
bool isDark(const QPalette& palette);

// Installs the style and the palette of the system's scheme.
void apply(QApplication& app);

// Colours the controls share beyond the palette's roles.
QColor accent(const QPalette& palette);
// A surface a little off the window colour: cards, slots, strip cells.
QColor raisedSurface(const QPalette& palette);
// Hairlines and control borders.
QColor separator(const QPalette& palette);

// WCAG contrast ratio of two opaque colours (1 to 21).
double contrastRatio(const QColor& a, const QColor& b);
// text, or the nearest colour toward black or white (whichever can reach
// it) that meets minimum against the opaque background.
QColor readableOn(const QColor& text, const QColor& background, double minimum = 4.5);

} // namespace appearance
} // namespace quillary
