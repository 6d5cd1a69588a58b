#include "ui/theme/Display.h"

#include <QPainter>
#include <QRadialGradient>
#include <cmath>

#include "format/Fmt.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Palette.h"
#include "ui/theme/Symbols.h"

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

// ---- panel

void paintPanel(QPainter& p, const QRectF& rect, double radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 10));  // black 0.04, one point down
    p.drawRoundedRect(rect.translated(0, 1), radius, radius);
    p.setBrush(Color::panel);
    p.drawRoundedRect(rect, radius, radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Color::line, 1));
    p.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    p.restore();
}

Panel::Panel(double radius, QWidget* parent) : QWidget(parent), radius_(radius) {}

void Panel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintPanel(p, QRectF(rect()).adjusted(0, 0, 0, -1), radius_);
}

// ---- Screen

int scanLineCount(double height) {
    if (height <= 0) return 0;
    return static_cast<int>(std::ceil(height / 3.0));
}

void paintScreen(QPainter& p, const QRectF& rect, double radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 204));  // the light line one point under the lower edge
    p.drawRoundedRect(rect.translated(0, 1), radius, radius);
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    p.fillPath(shape, Color::screen);
    p.setClipPath(shape);
    const QColor lineColor(255, 255, 255, 6);  // 0.025
    const int lines = scanLineCount(rect.height());
    for (int i = 0; i < lines; ++i) {
        p.fillRect(QRectF(rect.left(), rect.top() + 3.0 * i, rect.width(), 1), lineColor);
    }
    p.setClipping(false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 0, 153), 1));
    p.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    p.restore();
}

Screen::Screen(double radius, QWidget* parent) : QWidget(parent), radius_(radius) {}

void Screen::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintScreen(p, QRectF(rect()).adjusted(0, 0, 0, -1), radius_);
}

// ---- LED

LedLook ledLook(bool pulsing, double on) {
    LedLook look;
    look.glowOpacity = 0.4 + (0.9 - 0.4) * on;
    look.glowRadius = 1.5 + (4.0 - 1.5) * on;
    look.opacity = pulsing ? 0.45 + (1.0 - 0.45) * on : 1.0;
    return look;
}

void paintLed(QPainter& p, QPointF centre, const QColor& color, const LedLook& look) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(p.opacity() * look.opacity);
    p.setPen(Qt::NoPen);
    const double r = 3.5;
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
    p.setBrush(color);
    p.drawEllipse(centre, r, r);
    p.restore();
}

LED::LED(const QColor& color, bool pulsing, QWidget* parent)
    : QWidget(parent), color_(color), pulsing_(pulsing) {
    setFixedSize(15, 15);
    breath_.setStartValue(0.0);
    breath_.setEndValue(1.0);
    breath_.setDuration(700);
    breath_.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&breath_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    // Ease in and out for ever, reversing each time.
    connect(&breath_, &QVariantAnimation::finished, this, [this] {
        breath_.setDirection(breath_.direction() == QAbstractAnimation::Forward
                                 ? QAbstractAnimation::Backward
                                 : QAbstractAnimation::Forward);
        breath_.start();
    });
}

void LED::setColor(const QColor& color) {
    color_ = color;
    update();
}

void LED::showEvent(QShowEvent*) {
    if (pulsing_ && breath_.state() != QAbstractAnimation::Running) breath_.start();
}

void LED::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const double on = pulsing_ ? breath_.currentValue().toDouble() : 0.0;
    paintLed(p, QPointF(width() / 2.0, height() / 2.0), color_, ledLook(pulsing_, on));
}

// ---- SegmentMeter

int litSegments(double shown, int segments) {
    int lit = 0;
    for (int i = 0; i < segments; ++i) {
        if (shown * segments > i) ++lit;
    }
    return lit;
}

void paintSegmentMeter(QPainter& p, const QRectF& rect, double shown, int segments,
                       const QColor& lit, const QColor& unlit) {
    if (segments <= 0) return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const double gap = 3;
    const double w = (rect.width() - gap * (segments - 1)) / segments;
    const int on = litSegments(shown, segments);
    QColor glow = lit;
    glow.setAlphaF(0.5f * lit.alphaF());
    for (int i = 0; i < segments; ++i) {
        const QRectF seg(rect.left() + i * (w + gap), rect.top(), w, rect.height());
        if (i < on) paintRectGlow(p, seg, 2, glow, 3);
    }
    for (int i = 0; i < segments; ++i) {
        const QRectF seg(rect.left() + i * (w + gap), rect.top(), w, rect.height());
        p.setBrush(i < on ? lit : unlit);
        p.drawRoundedRect(seg, 2, 2);
    }
    p.restore();
}

MeterMotion::MeterMotion(double fraction, QObject* parent) : QObject(parent), fraction_(fraction) {
    anim_.setEasingCurve(QEasingCurve::OutCubic);
    delay_.setSingleShot(true);
    connect(&delay_, &QTimer::timeout, &anim_, [this] { anim_.start(); });
    connect(&anim_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        shown_ = v.toDouble();
        emit changed();
    });
}

void MeterMotion::moveTo(double target, int durationMs, int delayMs) {
    anim_.stop();
    delay_.stop();
    if (SpringAnimator::instant()) {
        shown_ = target;
        emit changed();
        return;
    }
    anim_.setStartValue(shown_);
    anim_.setEndValue(target);
    anim_.setDuration(durationMs);
    if (delayMs > 0) {
        delay_.start(delayMs);
    } else {
        anim_.start();
    }
}

void MeterMotion::appear() {
    if (appeared_) return;
    appeared_ = true;
    moveTo(fraction_, 900, 150);
}

void MeterMotion::setFraction(double fraction) {
    if (fraction == fraction_) return;
    fraction_ = fraction;
    if (appeared_) moveTo(fraction_, 400, 0);
}

SegmentMeter::SegmentMeter(double fraction, int segments, const QColor& lit, const QColor& unlit,
                           double height, QWidget* parent)
    : QWidget(parent), segments_(segments), lit_(lit), unlit_(unlit), motion_(fraction) {
    // The glow spills 3 points around the bars; the widget keeps room for it.
    setFixedHeight(static_cast<int>(std::ceil(height)) + 6);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&motion_, &MeterMotion::changed, this, [this] { update(); });
}

void SegmentMeter::showEvent(QShowEvent*) {
    motion_.appear();
}

void SegmentMeter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintSegmentMeter(p, QRectF(rect()).adjusted(0, 3, 0, -3), motion_.shown(), segments_, lit_,
                      unlit_);
}

// ---- Glyph

void paintGlyph(QPainter& p, QPointF topLeft, const QString& symbol, std::uint32_t hex,
                double size) {
    const QRectF r(topLeft, QSizeF(size, size));
    paintKeycap(p, roundedShape(r, size * 0.28), Palette::tint(hex, 0.45),
                Palette::shade(hex, 0.05), 2, 0);
    p.save();
    p.setFont(Fonts::symbol(size * 0.42));
    p.setPen(Palette::shade(hex, 0.55));
    p.drawText(r, Qt::AlignCenter, Symbols::glyph(symbol));
    p.restore();
}

Glyph::Glyph(const QString& symbol, std::uint32_t hex, double size, QWidget* parent)
    : QWidget(parent), symbol_(symbol), hex_(hex), size_(size) {
    setFixedSize(sizeHint());
}

QSize Glyph::sizeHint() const {
    const int side = static_cast<int>(std::ceil(size_));
    return QSize(side, side + 2);
}

void Glyph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintGlyph(p, QPointF(0, 0), symbol_, hex_, size_);
}

// ---- PieSlice and LogoMark

QPainterPath pieSlice(const QRectF& rect, double startDeg, double endDeg) {
    const QPointF c = rect.center();
    const double r = std::min(rect.width(), rect.height()) / 2;
    QPainterPath path(c);
    // QPainterPath angles run counter-clockwise on screen; ours run clockwise.
    path.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), -startDeg, -(endDeg - startDeg));
    path.closeSubpath();
    return path;
}

void paintLogoMark(QPainter& p, const QRectF& rect) {
    const double size = std::min(rect.width(), rect.height());
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QColor dark(0x2B, 0x25, 0x23);
    p.setBrush(dark);
    p.drawRoundedRect(rect, size * 0.26, size * 0.26);
    const QRectF inner = rect.adjusted(size * 0.2, size * 0.2, -size * 0.2, -size * 0.2);
    p.setBrush(QColor(0xFF, 0xF0, 0xDF));
    p.drawEllipse(inner);
    p.fillPath(pieSlice(inner, -90, 10), QColor(0xF7, 0xB0, 0xBF));
    const double hub = size * 0.09;
    p.setBrush(dark);
    p.drawEllipse(inner.center(), hub / 2, hub / 2);
    p.restore();
}

LogoMark::LogoMark(double size, QWidget* parent) : QWidget(parent) {
    const int side = static_cast<int>(std::ceil(size));
    setFixedSize(side, side);
}

void LogoMark::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintLogoMark(p, QRectF(rect()));
}

// ---- SizeText

double sizeTextWidth(std::uint64_t bytes, double size, double tracking) {
    const Fmt::SplitBytes s = Fmt::split(bytes);
    double w = Fonts::tabularWidth(Fonts::system(size, Fonts::Weight::bold, tracking), s.number);
    if (!s.unit.isEmpty()) {
        const QFontMetricsF unit(Fonts::system(size * 0.62, Fonts::Weight::semibold));
        w += 2 + unit.horizontalAdvance(s.unit);
    }
    return w;
}

void paintSizeText(QPainter& p, QPointF origin, std::uint64_t bytes, double size,
                   const QColor& color, const QColor& unitColor, double tracking) {
    const Fmt::SplitBytes s = Fmt::split(bytes);
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(color);
    const QFont number = Fonts::system(size, Fonts::Weight::bold, tracking);
    const double w = Fonts::drawTabular(p, origin, number, s.number);
    if (!s.unit.isEmpty()) {
        p.setFont(Fonts::system(size * 0.62, Fonts::Weight::semibold));
        p.setPen(unitColor);
        p.drawText(QPointF(origin.x() + w + 2, origin.y()), s.unit);
    }
    p.restore();
}

SizeText::SizeText(std::uint64_t bytes, double size, const QColor& unitColor, QWidget* parent)
    : QWidget(parent), size_(size), color_(Color::ink), unitColor_(unitColor) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setBytes(bytes);
}

void SizeText::setBytes(std::uint64_t bytes) {
    bytes_ = bytes;
    const Fmt::SplitBytes s = Fmt::split(bytes);
    if (s.number == number_ && s.unit == unit_) return;
    number_ = s.number;
    unit_ = s.unit;
    updateGeometry();
    update();
}

void SizeText::setColor(const QColor& color) {
    color_ = color;
    update();
}

QSize SizeText::sizeHint() const {
    const QFontMetricsF nfm(Fonts::system(size_, Fonts::Weight::bold));
    const double w = sizeTextWidth(bytes_, size_);
    return QSize(static_cast<int>(std::ceil(w)) + 1,
                 static_cast<int>(std::ceil(nfm.ascent() + nfm.descent())));
}

void SizeText::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const double baseline = QFontMetricsF(Fonts::system(size_, Fonts::Weight::bold)).ascent();
    paintSizeText(p, QPointF(0, baseline), bytes_, size_, color_, unitColor_);
}

// ---- Caption

QString captionText(const QString& text) {
    if (text.isEmpty()) return text;
    // The first character as the user sees it: a surrogate pair stays whole.
    const int first = text.at(0).isHighSurrogate() && text.size() > 1 ? 2 : 1;
    return text.left(first).toUpper() + text.mid(first);
}

Caption::Caption(const QString& text, QWidget* parent) : QWidget(parent), text_(captionText(text)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize Caption::sizeHint() const {
    const QFontMetricsF fm(Fonts::system(12, Fonts::Weight::semibold));
    return QSize(static_cast<int>(std::ceil(fm.horizontalAdvance(text_))),
                 static_cast<int>(std::ceil(fm.ascent() + fm.descent())));
}

void Caption::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFont f = Fonts::system(12, Fonts::Weight::semibold);
    p.setFont(f);
    p.setPen(Color::ink2);
    p.drawText(QPointF(0, QFontMetricsF(f).ascent()), text_);
}

}  // namespace tamrel
