#include "ui/theme/LogoMark.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ui/theme/PieSlice.h"

namespace tamrel {

void paintLogoMark(QPainter& p, const QRectF& rect) {
    const double size = std::min(rect.width(), rect.height());
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QColor dark(0x2B, 0x25, 0x23);
    p.setBrush(dark);
    p.drawRoundedRect(rect, size * 0.26, size * 0.26);
    const QRectF inner = rect.adjusted(size * 0.2, size * 0.2, -size * 0.2, -size * 0.2);
    p.setBrush(QColor(0xFF, 0xF0, 0xDF));
    p.drawEllipse(inner);
    p.fillPath(pieSlice(inner, -90, 10), QColor(0xF7, 0xB0, 0xBF));
    const double hub = size * 0.09;
    p.setBrush(dark);
    p.drawEllipse(inner.center(), hub / 2, hub / 2);
    p.restore();
}

LogoMark::LogoMark(double size, QWidget* parent) : QWidget(parent) {
    const int side = static_cast<int>(std::ceil(size));
    setFixedSize(side, side);
}

void LogoMark::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintLogoMark(p, QRectF(rect()));
}

}  // namespace tamrel
