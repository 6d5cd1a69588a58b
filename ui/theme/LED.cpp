#include "ui/theme/LED.h"

#include <QEasingCurve>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

#include "ui/theme/ScreenClock.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {

namespace {

constexpr double kLedRadius = kLedSide / 2.0;
// The glow off and on (opacity, radius); a pulsing light's opacity while off; a breath, each
// way (ms).
constexpr double kGlowOffOpacity = 0.4, kGlowOffRadius = 1.5;
constexpr double kGlowOnOpacity = 0.9, kGlowOnRadius = 4.0;
constexpr double kPulseOffOpacity = 0.45;
constexpr int kBreathMs = 700;

// The breathing phase `elapsed` after the breath began: from 0 (off) to 1 (on) and back.
double breathPhase(Clock::Duration elapsed) {
    const double way = std::chrono::duration<double, std::milli>(elapsed).count() / kBreathMs;
    const double t = std::fmod(way, 2.0);
    static const QEasingCurve inOut(QEasingCurve::InOutQuad);
    return inOut.valueForProgress(t <= 1 ? t : 2 - t);
}

}  // namespace

LedLook ledLook(bool pulsing, double on) {
    LedLook look;
    look.glowOpacity = kGlowOffOpacity + (kGlowOnOpacity - kGlowOffOpacity) * on;
    look.glowRadius = kGlowOffRadius + (kGlowOnRadius - kGlowOffRadius) * on;
    look.opacity = pulsing ? kPulseOffOpacity + (1.0 - kPulseOffOpacity) * on : 1.0;
    return look;
}

void paintLedGlow(QPainter& p, QPointF centre, const QColor& color, const LedLook& look) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(p.opacity() * look.opacity);
    p.setPen(Qt::NoPen);
    const double r = kLedRadius;
    const double outer = r + look.glowRadius;
    QRadialGradient glow(centre, outer);
    QColor inner = color;
    inner.setAlphaF(static_cast<float>(look.glowOpacity));
    QColor clear = color;
    clear.setAlpha(0);
    glow.setColorAt(0, inner);
    glow.setColorAt(r / outer, inner);
    glow.setColorAt(1, clear);
    p.setBrush(glow);
    p.drawEllipse(centre, outer, outer);
    p.restore();
}

void paintLedDisc(QPainter& p, QPointF centre, const QColor& color, const LedLook& look) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(p.opacity() * look.opacity);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(centre, kLedRadius, kLedRadius);
    p.restore();
}

void paintLed(QPainter& p, QPointF centre, const QColor& color, const LedLook& look) {
    paintLedGlow(p, centre, color, look);
    paintLedDisc(p, centre, color, look);
}

LED::LED(const QColor& color, bool pulsing, QWidget* parent)
    : QWidget(parent), color_(color), pulsing_(pulsing), breath_(screenClock()) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // The halo holds the widest glow.
    halo_ = new Halo(this, kGlowOnRadius, [this](QPainter& p, const QRectF& disc) {
        paintLedGlow(p, disc.center(), color_, look());
    });
    // Eases in and out for ever, from its first showing.
    breath_.setInterval(std::chrono::milliseconds(kFrameMs));
    breath_.setPrecise(true);
    breath_.onTimeout([this] {
        update();
        if (halo_) halo_->update();
    });
}

LED::~LED() {
    delete halo_;
}

void LED::setColor(const QColor& color) {
    color_ = color;
    update();
    if (halo_) halo_->update();
}

LedLook LED::look() const {
    const bool breathing = pulsing_ && breath_.isActive();
    return ledLook(pulsing_, breathing ? breathPhase(breath_.clock().now() - breathed_) : 0.0);
}

void LED::showEvent(QShowEvent*) {
    if (pulsing_ && !breath_.isActive()) {
        breathed_ = breath_.clock().now();
        breath_.start();
    }
}

void LED::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintLedDisc(p, QPointF(width() / 2.0, height() / 2.0), color_, look());
}

}  // namespace tamrel
