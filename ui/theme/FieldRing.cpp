#include "ui/theme/FieldRing.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

#include "ui/theme/Colors.h"

namespace tamrel {

namespace {

constexpr double kFieldRingWidth = 1.5;

}  // namespace

FieldRing::FieldRing(QWidget* edit, QWidget* field) : QObject(field), edit_(edit) {
    edit_->installEventFilter(this);
    connect(&ring_, &EasedValue::valueChanged, field, qOverload<>(&QWidget::update));
}

void FieldRing::paint(QPainter& painter, QRectF box, double radius) const {
    if (ring_.value() <= 0) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Inside the edge: the pen's middle half its width in.
    const double in = kFieldRingWidth / 2;
    painter.setPen(QPen(Color::withOpacity(Color::tangerine, ring_.value()), kFieldRingWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box.adjusted(in, in, -in, -in), radius - in, radius - in);
    painter.restore();
}

bool FieldRing::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        ring_.animateTo(event->type() == QEvent::FocusIn ? 1 : 0, kFadeMs);
    }
    return false;
}

}  // namespace tamrel
