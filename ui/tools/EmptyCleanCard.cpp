#include "ui/tools/EmptyCleanCard.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMessageBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include "format/Fmt.h"
#include "model/apps/Owner.h"
#include "platform/XdgDirs.h"
#include "ui/results/AppIcon.h"
#include "ui/results/Confirmation.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Glyph.h"
#include "ui/theme/Keys.h"
#include "ui/theme/LED.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/Panel.h"
#include "ui/theme/Screen.h"
#include "ui/theme/ShownText.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/CleanMetrics.h"
#include "ui/tools/TickBox.h"
#include "ui/tools/ToolsBusy.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"

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
