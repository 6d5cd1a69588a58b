#include "ui/theme/Panel.h"

#include <QPainter>

#include "ui/theme/Colors.h"

namespace tamrel {

void paintPanel(QPainter& p, const QRectF& rect, double radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 10));  // black 0.04, one point down
    p.drawRoundedRect(rect.translated(0, 1), radius, radius);
    p.setBrush(Color::panel);
    p.drawRoundedRect(rect, radius, radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Color::line, 1));
    p.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    p.restore();
}

Panel::Panel(double radius, QWidget* parent) : QWidget(parent), radius_(radius) {}

void Panel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintPanel(p, QRectF(rect()).adjusted(0, 0, 0, -1), radius_);
}

}  // namespace tamrel
