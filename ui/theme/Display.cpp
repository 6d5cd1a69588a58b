#include "ui/theme/Display.h"

#include <QEvent>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
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

// ---- Halo

Halo::Halo(QWidget* owner, double spill, Painter paint)
    : owner_(owner), spill_(static_cast<int>(std::ceil(spill))), paint_(std::move(paint)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    owner_->installEventFilter(this);
    follow();
}

QRect Halo::haloRect(const QRect& owner, double spill) {
    const int s = static_cast<int>(std::ceil(spill));
    return owner.adjusted(-s, -s, s, s);
}

void Halo::follow() {
    QWidget* parent = owner_->isWindow() ? nullptr : owner_->parentWidget();
    if (parent == nullptr) {
        // Never a window of its own.
        hide();
        if (parentWidget() != nullptr) setParent(nullptr);
        return;
    }
    if (parentWidget() != parent) setParent(parent);
    setGeometry(haloRect(owner_->geometry(), spill_));
    stackUnder(owner_);
    // Shown with the parent unless the owner itself is hidden.
    const bool shown = owner_->isVisibleTo(parent);
    if (isVisibleTo(parent) != shown) setVisible(shown);
}

bool Halo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_) {
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Show:
            case QEvent::Hide:
            case QEvent::ParentChange:
            case QEvent::ZOrderChange:
                follow();
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Halo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paint_(p, QRectF(spill_, spill_, owner_->width(), owner_->height()));
}

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

namespace {
constexpr double kLedRadius = 3.5;
}  // namespace

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
    : QWidget(parent), color_(color), pulsing_(pulsing) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    halo_ = new Halo(this, 4, [this](QPainter& p, const QRectF& disc) {
        paintLedGlow(p, disc.center(), color_, look());
    });
    breath_.setStartValue(0.0);
    breath_.setEndValue(1.0);
    breath_.setDuration(700);
    breath_.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&breath_, &QVariantAnimation::valueChanged, this, [this] {
        update();
        if (halo_) halo_->update();
    });
    // Ease in and out for ever, reversing each time.
    connect(&breath_, &QVariantAnimation::finished, this, [this] {
        breath_.setDirection(breath_.direction() == QAbstractAnimation::Forward
                                 ? QAbstractAnimation::Backward
                                 : QAbstractAnimation::Forward);
        breath_.start();
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
    return ledLook(pulsing_, pulsing_ ? breath_.currentValue().toDouble() : 0.0);
}

void LED::showEvent(QShowEvent*) {
    if (pulsing_ && breath_.state() != QAbstractAnimation::Running) breath_.start();
}

void LED::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintLedDisc(p, QPointF(width() / 2.0, height() / 2.0), color_, look());
}

// ---- SegmentMeter

int litSegments(double shown, int segments) {
    int lit = 0;
    for (int i = 0; i < segments; ++i) {
        if (shown * segments > i) ++lit;
    }
    return lit;
}

namespace {

QRectF segmentRect(const QRectF& rect, int segments, int i) {
    const double gap = 3;
    const double w = (rect.width() - gap * (segments - 1)) / segments;
    return QRectF(rect.left() + i * (w + gap), rect.top(), w, rect.height());
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
    glow.setAlphaF(0.5f * lit.alphaF());
    for (int i = 0; i < on; ++i)
        paintRectGlow(p, segmentRect(rect, segments, i), 2, glow, 3);
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
        p.drawRoundedRect(segmentRect(rect, segments, i), 2, 2);
    }
    p.restore();
}

void paintSegmentMeter(QPainter& p, const QRectF& rect, double shown, int segments,
                       const QColor& lit, const QColor& unlit) {
    paintSegmentGlow(p, rect, shown, segments, lit);
    paintSegments(p, rect, shown, segments, lit, unlit);
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
    setFixedHeight(static_cast<int>(std::ceil(height)));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    halo_ = new Halo(this, 3, [this](QPainter& p, const QRectF& bars) {
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

namespace {

// Where each character of `text` starts, laid out as Fonts::drawTabular lays it out.
std::vector<double> tabularStarts(const QFont& font, const QString& text) {
    std::vector<double> xs;
    xs.reserve(static_cast<std::size_t>(text.size()));
    for (int i = 0; i < text.size(); ++i)
        xs.push_back(Fonts::tabularWidth(font, text.left(i)));
    return xs;
}

}  // namespace

double rollRise(const QFont& font) {
    return QFontMetricsF(font).capHeight();
}

std::vector<RollPiece> numberRoll(const QFont& font, const QString& from, const QString& to,
                                  double progress, double rise) {
    const double t = std::clamp(progress, 0.0, 1.0);
    const std::vector<double> fromX = tabularStarts(font, from);
    const std::vector<double> toX = tabularStarts(font, to);
    auto still = [&](int i) {
        return i < from.size() && i < to.size() && from.at(i) == to.at(i) &&
               std::abs(fromX[static_cast<std::size_t>(i)] - toX[static_cast<std::size_t>(i)]) <
                   0.01;
    };
    std::vector<RollPiece> pieces;
    for (int i = 0; i < to.size(); ++i) {
        const double x = toX[static_cast<std::size_t>(i)];
        if (still(i) || t >= 1) {
            pieces.push_back({to.at(i), x, 0, 1, true});
        } else if (t > 0) {
            pieces.push_back({to.at(i), x, (1 - t) * rise, t, true});
        } else {
            pieces.push_back({to.at(i), x, rise, 0, true});
        }
    }
    if (t < 1) {
        for (int i = 0; i < from.size(); ++i) {
            if (still(i)) continue;
            pieces.push_back({from.at(i), fromX[static_cast<std::size_t>(i)], -t * rise, 1 - t,
                              false});
        }
    }
    return pieces;
}

SizeTextMotion::SizeTextMotion(std::uint64_t bytes, QObject* parent)
    : QObject(parent), bytes_(bytes), roll_(1, this) {
    const Fmt::SplitBytes s = Fmt::split(bytes);
    number_ = s.number;
    unit_ = s.unit;
    from_ = number_;
    connect(&roll_, &SpringAnimator::valueChanged, this, &SizeTextMotion::changed);
}

void SizeTextMotion::setBytes(std::uint64_t bytes, bool animate) {
    if (bytes == bytes_) return;
    bytes_ = bytes;
    const Fmt::SplitBytes s = Fmt::split(bytes);
    // A roll cut short starts again from the number it was rolling to.
    from_ = number_;
    number_ = s.number;
    unit_ = s.unit;
    if (!animate || from_ == number_) {
        from_ = number_;
        roll_.setValue(1);
    } else {
        roll_.setValue(0);
        roll_.animateTo(1, kRollSpring);
    }
    emit changed();
}

void paintSizeText(QPainter& p, QPointF origin, const SizeTextMotion& motion, double size,
                   const QColor& color, const QColor& unitColor, double tracking) {
    if (motion.progress() >= 1 || motion.from() == motion.number()) {
        paintSizeText(p, origin, motion.bytes(), size, color, unitColor, tracking);
        return;
    }
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont number = Fonts::system(size, Fonts::Weight::bold, tracking);
    const double baseline = origin.y();
    const double opacity = p.opacity();
    p.setPen(color);
    for (const RollPiece& piece :
         numberRoll(number, motion.from(), motion.number(), motion.progress(), rollRise(number))) {
        if (piece.opacity <= 0) continue;
        p.setOpacity(opacity * piece.opacity);
        Fonts::drawTabular(p, QPointF(origin.x() + piece.x, baseline + piece.dy), number,
                           QString(piece.ch));
    }
    p.setOpacity(opacity);
    if (!motion.unit().isEmpty()) {
        const double w = Fonts::tabularWidth(number, motion.number());
        p.setFont(Fonts::system(size * 0.62, Fonts::Weight::semibold));
        p.setPen(unitColor);
        p.drawText(QPointF(origin.x() + w + 2, baseline), motion.unit());
    }
    p.restore();
}

SizeText::SizeText(std::uint64_t bytes, double size, const QColor& unitColor, QWidget* parent)
    : QWidget(parent), size_(size), color_(Color::ink), unitColor_(unitColor), motion_(bytes) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&motion_, &SizeTextMotion::changed, this, [this] { update(); });
}

void SizeText::setBytes(std::uint64_t bytes) {
    const QString before = motion_.number() + QLatin1Char(' ') + motion_.unit();
    motion_.setBytes(bytes, isVisible());
    if (motion_.number() + QLatin1Char(' ') + motion_.unit() != before) updateGeometry();
}

void SizeText::setColor(const QColor& color) {
    color_ = color;
    update();
}

QSize SizeText::sizeHint() const {
    const QFontMetricsF nfm(Fonts::system(size_, Fonts::Weight::bold));
    const double w = sizeTextWidth(motion_.bytes(), size_);
    return QSize(static_cast<int>(std::ceil(w)) + 1,
                 static_cast<int>(std::ceil(nfm.ascent() + nfm.descent())));
}

void SizeText::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const double baseline = QFontMetricsF(Fonts::system(size_, Fonts::Weight::bold)).ascent();
    paintSizeText(p, QPointF(0, baseline), motion_, size_, color_, unitColor_);
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
