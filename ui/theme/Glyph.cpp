#include "ui/theme/Glyph.h"

#include <QPainter>
#include <cmath>

#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Palette.h"
#include "ui/theme/Symbols.h"

namespace tamrel {
namespace {

// To the tile's side: the corner radius and the symbol's size. The face, edge and symbol: the
// colour towards white, towards black a little, and towards black by half and more.
constexpr double kGlyphRadius = 0.28;
constexpr double kGlyphSymbol = 0.42;
constexpr double kGlyphFaceTint = 0.45;
constexpr double kGlyphEdgeShade = 0.05;
constexpr double kGlyphSymbolShade = 0.55;

}  // namespace

void paintGlyph(QPainter& p, QPointF topLeft, const QString& symbol, std::uint32_t hex,
                double size) {
    const QRectF r(topLeft, QSizeF(size, size));
    paintKeycap(p, roundedShape(r, size * kGlyphRadius), Palette::tint(hex, kGlyphFaceTint),
                Palette::shade(hex, kGlyphEdgeShade), kGlyphDepth, 0);
    p.save();
    p.setFont(Fonts::symbol(size * kGlyphSymbol));
    p.setPen(Palette::shade(hex, kGlyphSymbolShade));
    p.drawText(r, Qt::AlignCenter, Symbols::glyph(symbol));
    p.restore();
}

Glyph::Glyph(const QString& symbol, std::uint32_t hex, double size, QWidget* parent)
    : QWidget(parent), symbol_(symbol), hex_(hex), size_(size) {
    setFixedSize(sizeHint());
}

QSize Glyph::sizeHint() const {
    const int side = static_cast<int>(std::ceil(size_));
    return QSize(side, side + static_cast<int>(kGlyphDepth));
}

void Glyph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintGlyph(p, QPointF(0, 0), symbol_, hex_, size_);
}

}  // namespace tamrel
