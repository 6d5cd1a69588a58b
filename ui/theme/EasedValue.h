#pragma once

#include <QEasingCurve>
#include <QObject>

#include <chrono>

#include "model/system/Clock.h"

namespace tamrel {

// The ease-out curve of the small fades (focus ring, kind bar hover): a cubic Bézier through
// (0.58, 1), slow at its end.
QEasingCurve easeOutCurve();
// How long the small fades take, in milliseconds.
inline constexpr int kFadeMs = 150;

// One number moved along an eased curve over a fixed duration, at the display rate of
// screenClock() (taken when it is made). A new target starts from the value reached so far.
// Jumps at once while SpringAnimator::instant() is set (tests, gallery). Main thread only.
class EasedValue : public QObject {
    Q_OBJECT
public:
    explicit EasedValue(double value = 0, QObject* parent = nullptr);
    double value() const { return value_; }
    bool moving() const { return timer_.isActive(); }
    void animateTo(double target, int milliseconds, const QEasingCurve& curve = easeOutCurve());
    // Jumps to `value` and stops.
    void setValue(double value);
    // Stops where it is.
    void stop() { timer_.stop(); }

signals:
    void valueChanged(double value);

private:
    void tick();

    double value_;
    double from_ = 0;
    double to_ = 0;
    std::chrono::milliseconds duration_{0};
    QEasingCurve curve_;
    Clock::TimePoint started_;
    Timer timer_;
};

}  // namespace tamrel
