#include "ui/tools/EmptyCleanCard.h"

#include <QPainter>
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/LED.h"
#include "ui/theme/Panel.h"
#include "ui/tools/CleanMetrics.h"
#include "ui/tools/ToolsPaint.h"

namespace tamrel {

EmptyCleanCard::EmptyCleanCard(QWidget* parent) : QWidget(parent) {
    led_ = new LED(Color::led, false, this);
}

double EmptyCleanCard::cardHeight() {
    return kEmptyPad + kEmptyLed + kEmptyGap + Fonts::emptyTitle.lineHeight() + kEmptyGap +
           Fonts::blurb.lineHeight() + kEmptyPad + 1;
}

void EmptyCleanCard::resizeEvent(QResizeEvent*) {
    led_->setGeometry((width() - kEmptyLed) / 2, kEmptyPad, kEmptyLed, kEmptyLed);
}

void EmptyCleanCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    const QFont& title = Fonts::emptyTitle.font();
    const QFont& text = Fonts::blurb.font();
    double y = kEmptyPad + kEmptyLed + kEmptyGap;
    paintLine(p, QRectF(0, y, width(), Fonts::lineHeight(title)),
              QStringLiteral("Nothing to clean right now"), title, Color::ink, Qt::ElideRight,
              Qt::AlignHCenter | Qt::AlignVCenter);
    y += Fonts::lineHeight(title) + kEmptyGap;
    paintLine(
        p, QRectF(0, y, width(), Fonts::lineHeight(text)),
        QStringLiteral(
            "Caches, logs, build folders and installers will show up here as they pile up."),
        text, Color::ink2, Qt::ElideRight, Qt::AlignHCenter | Qt::AlignVCenter);
}

}  // namespace tamrel
