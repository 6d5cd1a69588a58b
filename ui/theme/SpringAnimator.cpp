#include "ui/theme/SpringAnimator.h"

#include <cmath>
#include <numbers>

#include "ui/theme/ScreenClock.h"

namespace tamrel {

namespace {

bool gInstant = false;

// Smaller steps than a frame keep the stiff, short springs of the keys (0.16 s) stable.
constexpr double kStep = 1.0 / 960.0;
// At rest once within this distance of the target and this slow (in value units).
constexpr double kRestDistance = 1e-4;
constexpr double kRestSpeed = 1e-3;

}  // namespace

SpringAnimator::SpringAnimator(double value, QObject* parent)
    : QObject(parent), value_(value), target_(value), timer_(screenClock(), [this] { tick(); }) {
    timer_.setInterval(std::chrono::milliseconds(kFrameMs));
    timer_.setPrecise(true);
}

void SpringAnimator::setInstant(bool on) {
    gInstant = on;
}
bool SpringAnimator::instant() {
    return gInstant;
}

void SpringAnimator::setValue(double value) {
    timer_.stop();
    velocity_ = 0;
    target_ = value;
    if (value_ != value) {
        value_ = value;
        emit valueChanged(value_);
    }
}

void SpringAnimator::animateTo(double target, Spring spring) {
    if (gInstant || spring.response <= 0) {
        setValue(target);
        emit settled();
        return;
    }
    target_ = target;
    spring_ = spring;
    if (!timer_.isActive()) {
        ticked_ = timer_.clock().now();
        timer_.start();
    }
}

void SpringAnimator::advance(double seconds) {
    const double omega = 2 * std::numbers::pi / spring_.response;
    const double k = omega * omega;
    const double c = 2 * omega * spring_.damping;
    while (seconds > 0) {
        const double dt = std::min(seconds, kStep);
        // Semi-implicit Euler: velocity first, then position with the new velocity.
        velocity_ += (-k * (value_ - target_) - c * velocity_) * dt;
        value_ += velocity_ * dt;
        seconds -= dt;
    }
    if (std::abs(value_ - target_) < kRestDistance && std::abs(velocity_) < kRestSpeed) {
        value_ = target_;
        velocity_ = 0;
        timer_.stop();
        emit valueChanged(value_);
        emit settled();
        return;
    }
    emit valueChanged(value_);
}

void SpringAnimator::tick() {
    const Clock::TimePoint now = timer_.clock().now();
    const double elapsed = std::min(std::chrono::duration<double>(now - ticked_).count(), 0.1);
    ticked_ = now;
    advance(elapsed);
}

}  // namespace tamrel
