#include "ui/theme/SegmentMeter.h"

#include <QPainter>
#include <cmath>

#include "ui/theme/ScreenClock.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {

namespace {

// A soft glow of `radius` points around a rounded rectangle: rings of falling opacity.
void paintRectGlow(QPainter& p, const QRectF& rect, double cornerRadius, const QColor& color,
                   double radius) {
    if (radius <= 0 || color.alpha() == 0) return;
    const int rings = 3;
    for (int i = rings; i >= 1; --i) {
        const double grow = radius * i / rings;
        QColor c = color;
        c.setAlphaF(static_cast<float>(color.alphaF() * 0.35 / i));
        p.setBrush(c);
        p.drawRoundedRect(rect.adjusted(-grow, -grow, grow, grow), cornerRadius + grow,
                          cornerRadius + grow);
    }
}

}  // namespace

int litSegments(double shown, int segments) {
    int lit = 0;
    for (int i = 0; i < segments; ++i) {
        if (shown * segments > i) ++lit;
    }
    return lit;
}

namespace {

// The segments: 3 apart, corner radius 2; a lit one's glow (at half its colour's opacity) 3
// around it. The fill on appearing (ms, after a delay) and on a later change.
constexpr double kSegmentGap = 3;
constexpr double kSegmentRadius = 2;
constexpr double kGlowSpread = 3;
constexpr float kGlowOpacity = 0.5f;
constexpr int kFillMs = 900, kFillDelayMs = 150, kChangeMs = 400;

QRectF segmentRect(const QRectF& rect, int segments, int i) {
    const double w = (rect.width() - kSegmentGap * (segments - 1)) / segments;
    return QRectF(rect.left() + i * (w + kSegmentGap), rect.top(), w, rect.height());
}

}  // namespace

void paintSegmentGlow(QPainter& p, const QRectF& rect, double shown, int segments,
                      const QColor& lit) {
    if (segments <= 0) return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const int on = litSegments(shown, segments);
    QColor glow = lit;
    glow.setAlphaF(kGlowOpacity * lit.alphaF());
    for (int i = 0; i < on; ++i)
        paintRectGlow(p, segmentRect(rect, segments, i), kSegmentRadius, glow, kGlowSpread);
    p.restore();
}

void paintSegments(QPainter& p, const QRectF& rect, double shown, int segments, const QColor& lit,
                   const QColor& unlit) {
    if (segments <= 0) return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const int on = litSegments(shown, segments);
    for (int i = 0; i < segments; ++i) {
        p.setBrush(i < on ? lit : unlit);
        p.drawRoundedRect(segmentRect(rect, segments, i), kSegmentRadius, kSegmentRadius);
    }
    p.restore();
}

void paintSegmentMeter(QPainter& p, const QRectF& rect, double shown, int segments,
                       const QColor& lit, const QColor& unlit) {
    paintSegmentGlow(p, rect, shown, segments, lit);
    paintSegments(p, rect, shown, segments, lit, unlit);
}

MeterMotion::MeterMotion(double fraction, QObject* parent)
    : QObject(parent), fraction_(fraction), delay_(screenClock(), [this] {
          anim_.animateTo(target_, durationMs_, QEasingCurve::OutCubic);
      }) {
    delay_.setSingleShot(true);
    connect(&anim_, &EasedValue::valueChanged, this, [this](double v) {
        shown_ = v;
        emit changed();
    });
}

void MeterMotion::moveTo(double target, int durationMs, int delayMs) {
    anim_.stop();
    delay_.stop();
    if (SpringAnimator::instant()) {
        if (anim_.value() == target) {
            emit changed();
        } else {
            anim_.setValue(target);  // and so shown_
        }
        return;
    }
    target_ = target;
    durationMs_ = durationMs;
    if (delayMs > 0) {
        delay_.start(std::chrono::milliseconds(delayMs));
    } else {
        anim_.animateTo(target_, durationMs_, QEasingCurve::OutCubic);
    }
}

void MeterMotion::appear() {
    if (appeared_) return;
    appeared_ = true;
    moveTo(fraction_, kFillMs, kFillDelayMs);
}

void MeterMotion::setFraction(double fraction) {
    if (fraction == fraction_) return;
    fraction_ = fraction;
    if (appeared_) moveTo(fraction_, kChangeMs, 0);
}

SegmentMeter::SegmentMeter(double fraction, int segments, const QColor& lit, const QColor& unlit,
                           double height, QWidget* parent)
    : QWidget(parent), segments_(segments), lit_(lit), unlit_(unlit), motion_(fraction) {
    setFixedHeight(static_cast<int>(std::ceil(height)));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    halo_ = new Halo(this, kGlowSpread, [this](QPainter& p, const QRectF& bars) {
        paintSegmentGlow(p, bars, motion_.shown(), segments_, lit_);
    });
    connect(&motion_, &MeterMotion::changed, this, [this] {
        update();
        if (halo_) halo_->update();
    });
}

SegmentMeter::~SegmentMeter() {
    delete halo_;
}

void SegmentMeter::showEvent(QShowEvent*) {
    motion_.appear();
}

void SegmentMeter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintSegments(p, QRectF(rect()), motion_.shown(), segments_, lit_, unlit_);
}

}  // namespace tamrel
