#include "ui/theme/Glyph.h"

#include <QPainter>
#include <cmath>

#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Palette.h"
#include "ui/theme/Symbols.h"

namespace tamrel {

void paintGlyph(QPainter& p, QPointF topLeft, const QString& symbol, std::uint32_t hex,
                double size) {
    const QRectF r(topLeft, QSizeF(size, size));
    paintKeycap(p, roundedShape(r, size * 0.28), Palette::tint(hex, 0.45),
                Palette::shade(hex, 0.05), 2, 0);
    p.save();
    p.setFont(Fonts::symbol(size * 0.42));
    p.setPen(Palette::shade(hex, 0.55));
    p.drawText(r, Qt::AlignCenter, Symbols::glyph(symbol));
    p.restore();
}

Glyph::Glyph(const QString& symbol, std::uint32_t hex, double size, QWidget* parent)
    : QWidget(parent), symbol_(symbol), hex_(hex), size_(size) {
    setFixedSize(sizeHint());
}

QSize Glyph::sizeHint() const {
    const int side = static_cast<int>(std::ceil(size_));
    return QSize(side, side + 2);
}

void Glyph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintGlyph(p, QPointF(0, 0), symbol_, hex_, size_);
}

}  // namespace tamrel
