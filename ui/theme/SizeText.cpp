#include "ui/theme/SizeText.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "format/Fmt.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"

namespace tamrel {

QFont sizeTextFont(double size, double tracking) {
    return Fonts::system(size, Fonts::Weight::bold, tracking);
}

double sizeTextHeight(double size) {
    return Fonts::lineHeight(sizeTextFont(size));
}

QFont sizeTextUnitFont(double size) {
    return Fonts::system(size * kSizeTextUnitScale, Fonts::Weight::semibold);
}

double sizeTextWidth(std::uint64_t bytes, double size, double tracking) {
    const Fmt::SplitBytes s = Fmt::split(bytes);
    double w = Fonts::tabularWidth(sizeTextFont(size, tracking), s.number);
    if (!s.unit.isEmpty()) {
        const QFontMetricsF unit(sizeTextUnitFont(size));
        w += kSizeTextUnitGap + unit.horizontalAdvance(s.unit);
    }
    return w;
}

void paintSizeText(QPainter& p, QPointF origin, std::uint64_t bytes, double size,
                   const QColor& color, const QColor& unitColor, double tracking) {
    const Fmt::SplitBytes s = Fmt::split(bytes);
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(color);
    const QFont number = sizeTextFont(size, tracking);
    const double w = Fonts::drawTabular(p, origin, number, s.number);
    if (!s.unit.isEmpty()) {
        p.setFont(sizeTextUnitFont(size));
        p.setPen(unitColor);
        p.drawText(QPointF(origin.x() + w + kSizeTextUnitGap, origin.y()), s.unit);
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
            pieces.push_back(
                {from.at(i), fromX[static_cast<std::size_t>(i)], -t * rise, 1 - t, false});
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
    const QFont number = sizeTextFont(size, tracking);
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
        p.setFont(sizeTextUnitFont(size));
        p.setPen(unitColor);
        p.drawText(QPointF(origin.x() + w + kSizeTextUnitGap, baseline), motion.unit());
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
    const QFontMetricsF nfm(sizeTextFont(size_));
    const double w = sizeTextWidth(motion_.bytes(), size_);
    return QSize(static_cast<int>(std::ceil(w)) + 1,
                 static_cast<int>(std::ceil(nfm.ascent() + nfm.descent())));
}

void SizeText::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const double baseline = QFontMetricsF(sizeTextFont(size_)).ascent();
    paintSizeText(p, QPointF(0, baseline), motion_, size_, color_, unitColor_);
}

}  // namespace tamrel
