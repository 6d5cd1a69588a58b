#pragma once

#include <QObject>

#include "model/app/AppValues.h"
#include "model/system/Clock.h"

namespace tamrel {

// A display frame, in milliseconds: the tick of everything that moves on screen.
inline constexpr int kFrameMs = 16;

// One animated number driven by a damped spring (response in seconds, damping fraction), the
// motion of the screens' springs: stiffness (2π / response)², damping 4π · fraction / response,
// unit mass. A new target starts from the current value and velocity, so a spring retargeted
// mid-flight bends smoothly. Ticks at the display rate of screenClock() (taken when it is made)
// while moving, by the time that passed on it, and stops once at rest.
//
// When instant() is set (tests, the gallery) every animateTo jumps to its target at once.
//
// Main thread only.
class SpringAnimator : public QObject {
    Q_OBJECT
public:
    explicit SpringAnimator(double value = 0, QObject* parent = nullptr);

    double value() const { return value_; }
    double target() const { return target_; }
    double velocity() const { return velocity_; }
    bool moving() const { return timer_.isActive(); }

    // Moves towards `target` with `spring`; a spring with response 0 jumps.
    void animateTo(double target, Spring spring);
    // Jumps to `value` and stops.
    void setValue(double value);
    // Advances the motion by `seconds` (the timer calls it; tests may call it directly).
    void advance(double seconds);

    static void setInstant(bool on);
    static bool instant();

signals:
    void valueChanged(double value);
    void settled();

private:
    void tick();

    double value_;
    double target_;
    double velocity_ = 0;
    Spring spring_{};
    Timer timer_;
    Clock::TimePoint ticked_;  // the time of the last tick
};

}  // namespace tamrel
