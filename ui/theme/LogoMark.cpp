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
    p.setBrush(kMarkCase);
    p.drawRoundedRect(rect, size * kMarkRadius, size * kMarkRadius);
    const double inset = size * kMarkInset;
    const QRectF inner = rect.adjusted(inset, inset, -inset, -inset);
    p.setBrush(kMarkDisc);
    p.drawEllipse(inner);
    p.fillPath(pieSlice(inner, kTwelveOClock, kMarkWedgeEnd), kMarkWedge);
    const double hub = size * kMarkHub;
    p.setBrush(kMarkCase);
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
