#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QPointF>
#include <QString>
#include <QStringList>

class QPainter;

namespace tamrel::Fonts {

// The text face of the screens is Inter, the monospaced design JetBrains Mono and the symbols
// the Material Icons font (Debian: fonts-inter, fonts-jetbrains-mono,
// fonts-material-design-icons-iconfont), all found by family name.
inline constexpr const char* kSystemFamily = "Inter";
inline constexpr const char* kMonoFamily = "JetBrains Mono";
inline constexpr const char* kSymbolFamily = "Material Icons";

enum class Weight { regular, medium, semibold, bold, heavy };

// The families above that the font database does not have (empty when all are there).
QStringList missingFamilies();
// A message naming the missing families and the packages that bring them, or empty.
QString missingMessage();

// The system font at `size` points (1 point = 1 logical pixel) and weight; `tracking` is the
// kerning added after every character, in points.
QFont system(double size, Weight weight, double tracking = 0);
// The monospaced design at that size and weight.
QFont mono(double size, Weight weight, double tracking = 0);
// The symbol font sized to stand beside text of `size` points.
QFont symbol(double size);

// The height of one line of `font`: ascent plus descent.
double lineHeight(const QFont& font);

// Text whose digits keep one width as numbers change: Inter's digits are proportional, so each
// digit is drawn centred in a cell as wide as the widest digit. Other characters keep their own
// advance. `tracking` is added after every character, as the font's letter spacing would.
double tabularWidth(const QFont& font, const QString& text);
// Draws `text` from `origin` (left end of the baseline); returns the width drawn.
double drawTabular(QPainter& painter, QPointF origin, const QFont& font, const QString& text);

}  // namespace tamrel::Fonts
