#include "ui/theme/Screen.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "ui/theme/Colors.h"

namespace tamrel {

int scanLineCount(double height) {
    if (height <= 0) return 0;
    return static_cast<int>(std::ceil(height / kScanLineStep));
}

void paintScreen(QPainter& p, const QRectF& rect, double radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 204));  // the light line one point under the lower edge
    p.drawRoundedRect(rect.translated(0, 1), radius, radius);
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    p.fillPath(shape, Color::screen);
    p.setClipPath(shape);
    const QColor lineColor(255, 255, 255, 6);  // 0.025
    const int lines = scanLineCount(rect.height());
    for (int i = 0; i < lines; ++i) {
        p.fillRect(QRectF(rect.left(), rect.top() + kScanLineStep * i, rect.width(), 1), lineColor);
    }
    p.setClipping(false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 0, 153), 1));
    p.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    p.restore();
}

Screen::Screen(double radius, QWidget* parent) : QWidget(parent), radius_(radius) {}

void Screen::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintScreen(p, QRectF(rect()).adjusted(0, 0, 0, -1), radius_);
}

}  // namespace tamrel
