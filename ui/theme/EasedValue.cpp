#include "ui/theme/EasedValue.h"

#include <QPointF>

#include <algorithm>

#include "ui/theme/ScreenClock.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {

QEasingCurve easeOutCurve() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

EasedValue::EasedValue(double value, QObject* parent)
    : QObject(parent), value_(value), timer_(screenClock(), [this] { tick(); }) {
    timer_.setInterval(std::chrono::milliseconds(kFrameMs));
    timer_.setPrecise(true);
}

void EasedValue::setValue(double value) {
    timer_.stop();
    if (value_ == value) return;
    value_ = value;
    emit valueChanged(value_);
}

void EasedValue::animateTo(double target, int milliseconds, const QEasingCurve& curve) {
    if (SpringAnimator::instant() || milliseconds <= 0) return setValue(target);
    timer_.stop();
    if (value_ == target) return;
    from_ = value_;
    to_ = target;
    duration_ = std::chrono::milliseconds(milliseconds);
    curve_ = curve;
    started_ = timer_.clock().now();
    timer_.start();
}

void EasedValue::tick() {
    const double t =
        std::min(std::chrono::duration<double>(timer_.clock().now() - started_) / duration_, 1.0);
    value_ = from_ + (to_ - from_) * curve_.valueForProgress(t);
    if (t >= 1) {
        value_ = to_;
        timer_.stop();
    }
    emit valueChanged(value_);
}

}  // namespace tamrel
