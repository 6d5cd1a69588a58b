#include "ui/theme/Colors.h"

#include <QPalette>
#include <QWidget>

namespace tamrel::Color {

QColor withOpacity(const QColor& c, double opacity) {
    QColor out = c;
    out.setAlphaF(static_cast<float>(c.alphaF() * opacity));
    return out;
}

void setTextColor(QWidget* widget, const QColor& c) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, c);
    widget->setPalette(pal);
}

}  // namespace tamrel::Color
