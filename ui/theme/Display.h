#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui/theme/SpringAnimator.h"

class QPainter;

namespace tamrel {

// The display pieces the screens are built from: the dark display panel (Screen), the
// indicator light (LED), the level meter (SegmentMeter), the key-shaped icon tile (Glyph), the
// application's mark (LogoMark, with pieSlice), the size read-out (SizeText), the section
// caption (Caption) and the white card (panel). Each has a plain painting function (or plain
// geometry) and a small widget; none touches the model. Main thread only.

// --- A glow that spills `spill` points around a widget without counting in its layout size:
// a transparent sibling, stacked just under its owner and grown by `spill` on every side, that
// follows the owner's geometry and visibility and paints what `paint` draws. `paint` gets the
// owner's rectangle in the halo's coordinates. A widget cannot paint outside itself, and a
// layout sizes a widget by its whole rectangle; the halo lets an LED stay 7 points and a meter
// its own height in every layout while their glow still shows around them.
//
// The owner holds the halo and deletes it; the halo lives in the owner's parent (none while
// the owner is a window of its own, when no glow shows). Mouse events pass through it.
class Halo : public QWidget {
    Q_OBJECT
public:
    using Painter = std::function<void(QPainter&, const QRectF& owner)>;
    Halo(QWidget* owner, double spill, Painter paint);

    // The rectangle the halo takes in the owner's parent: the owner's grown by the spill.
    static QRect haloRect(const QRect& owner, double spill);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent*) override;

private:
    void follow();

    QWidget* owner_;
    int spill_;
    Painter paint_;
};

// --- The white card: radius `radius`, Color::panel, a 1-point Color::line border inside its
// edge and a faint shadow one point down. `rect` is the card; the shadow falls 1 point below.
void paintPanel(QPainter& painter, const QRectF& rect, double radius);
// The radius of every card.
inline constexpr double kCardRadius = 18;

// A widget that draws the card behind its children (it adds no padding); the card fills the
// widget less the 1 point of shadow at the bottom.
class Panel : public QWidget {
    Q_OBJECT
public:
    explicit Panel(double radius = kCardRadius, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double radius_;
};

// --- The dark display panel: Color::screen with scan lines (1 point of white at 0.025 every
// 3 points from the top), a black 0.6 border inside its edge and a white 0.8 line one point
// under its lower edge. `rect` is the panel.
void paintScreen(QPainter& painter, const QRectF& rect, double radius);
// Scan lines of a panel `height` points high: y = 0, 3, 6, … below the height; 0 when ≤ 0.
int scanLineCount(double height);

class Screen : public QWidget {
    Q_OBJECT
public:
    explicit Screen(double radius, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double radius_;
};

// --- The indicator light: a 7-point disc with a glow, 0.9 at radius 4 when on, 0.4 at radius
// 1.5 when off. A pulsing light breathes between off (opacity 0.45) and on (opacity 1), 0.7 s
// each way, eased in and out; a steady one stays off, fully opaque.
struct LedLook {
    double opacity;
    double glowOpacity;
    double glowRadius;
};
// The look at a breathing phase `on` from 0 (off) to 1 (on).
LedLook ledLook(bool pulsing, double on);
void paintLed(QPainter& painter, QPointF centre, const QColor& color, const LedLook& look);

// The widget is the 7-point disc in every layout; its glow spills around it through a Halo.
// Given a larger rectangle, it draws the disc at the centre.
class LED : public QWidget {
    Q_OBJECT
public:
    LED(const QColor& color, bool pulsing, QWidget* parent = nullptr);
    ~LED() override;
    void setColor(const QColor& color);
    QColor color() const { return color_; }
    LedLook look() const;
    Halo* halo() const { return halo_; }
    QSize sizeHint() const override { return QSize(7, 7); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    QColor color_;
    bool pulsing_;
    QVariantAnimation breath_;
    QPointer<Halo> halo_;
};
// The disc alone, and the glow alone, of paintLed (an LED widget draws one, its halo the other).
void paintLedDisc(QPainter& painter, QPointF centre, const QColor& color, const LedLook& look);
void paintLedGlow(QPainter& painter, QPointF centre, const QColor& color, const LedLook& look);

// --- The level meter: `segments` rounded bars (radius 2, 3 points apart) sharing the width;
// segment i is lit when shown × segments > i.
int litSegments(double shown, int segments);
void paintSegmentMeter(QPainter& painter, const QRectF& rect, double shown, int segments,
                       const QColor& lit, const QColor& unlit);
// The segments alone, and the glow of the lit ones alone (3 points around each), of
// paintSegmentMeter.
void paintSegments(QPainter& painter, const QRectF& rect, double shown, int segments,
                   const QColor& lit, const QColor& unlit);
void paintSegmentGlow(QPainter& painter, const QRectF& rect, double shown, int segments,
                      const QColor& lit);

// The motion of a meter's shown fraction: appear() fills from 0 to the fraction (ease-out
// 0.9 s after 0.15 s); a later setFraction moves there with a 0.4 s ease-out.
class MeterMotion : public QObject {
    Q_OBJECT
public:
    explicit MeterMotion(double fraction, QObject* parent = nullptr);
    void appear();
    void setFraction(double fraction);
    double fraction() const { return fraction_; }
    double shown() const { return shown_; }

signals:
    void changed();

private:
    void moveTo(double target, int durationMs, int delayMs);

    double fraction_;
    double shown_ = 0;
    bool appeared_ = false;
    QVariantAnimation anim_;
    QTimer delay_;
};

// The widget is exactly `height` high in every layout; the glow of its lit segments spills
// around it through a Halo.
class SegmentMeter : public QWidget {
    Q_OBJECT
public:
    SegmentMeter(double fraction, int segments, const QColor& lit, const QColor& unlit,
                 double height, QWidget* parent = nullptr);
    ~SegmentMeter() override;
    void setFraction(double fraction) { motion_.setFraction(fraction); }
    double fraction() const { return motion_.fraction(); }
    double shown() const { return motion_.shown(); }
    Halo* halo() const { return halo_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    int segments_;
    QColor lit_;
    QColor unlit_;
    MeterMotion motion_;
    QPointer<Halo> halo_;
};

// --- The icon tile: a key of side `size` (radius size × 0.28, face tint(hex, 0.45), edge
// shade(hex, 0.05), depth 2) with the symbol at size × 0.42 in shade(hex, 0.55). `topLeft` is
// the tile's corner; the edge takes 2 points below it.
void paintGlyph(QPainter& painter, QPointF topLeft, const QString& symbol, std::uint32_t hex,
                double size);

class Glyph : public QWidget {
    Q_OBJECT
public:
    Glyph(const QString& symbol, std::uint32_t hex, double size, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString symbol_;
    std::uint32_t hex_;
    double size_;
};

// --- The wedge from `startDeg` to `endDeg` (degrees from the positive x axis, clockwise on
// screen) of the largest circle centred in `rect`, closed through the centre.
QPainterPath pieSlice(const QRectF& rect, double startDeg, double endDeg);

// --- The mark: a dark rounded square (radius 0.26 × size) holding a cream disc with a pink
// wedge from −90° to 10° and a dark hub, inset 0.2 × size.
void paintLogoMark(QPainter& painter, const QRectF& rect);

class LogoMark : public QWidget {
    Q_OBJECT
public:
    explicit LogoMark(double size, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// --- A size read-out: the number of Fmt::split in bold at `size` with digits of one width,
// then 2 points, then the unit semibold at size × 0.62 in `unitColor`, on one baseline. Never
// wraps or truncates. `tracking` is added after every character of the number.
// Its width, and the read-out drawn from `origin` (left end of the baseline) in `color`.
double sizeTextWidth(std::uint64_t bytes, double size, double tracking = 0);
void paintSizeText(QPainter& painter, QPointF origin, std::uint64_t bytes, double size,
                   const QColor& color, const QColor& unitColor, double tracking = 0);

// The counting-up roll of a read-out's number as it changes from `from` to `to`, at `progress`
// from 0 (the change begins) to 1 (done). Both texts are laid out from the same left end with
// digits of one width; a character that is the same, at the same place, in both stays still.
// Every other old character rises out of its place by `rise` points and fades out; every other
// new one rises into its place from `rise` points below and fades in.
struct RollPiece {
    QChar ch;
    double x;        // from the left end of the number
    double dy;       // down is positive
    double opacity;  // 0…1
    bool incoming;   // a character of `to` (else of `from`)
};
std::vector<RollPiece> numberRoll(const QFont& font, const QString& from, const QString& to,
                                  double progress, double rise);
// How far a changing character rises: the height of the number's capitals.
double rollRise(const QFont& font);

// The motion of one read-out: the shown count and, while a change plays, the number it rolls
// from. A change of count while `animate` is asked rolls the number with a smooth spring
// (response 0.5 s, no bounce); a change without it, or the first count, shows at once. A change
// mid-roll starts a new roll from the number the cut-short one was rolling to. progress() is 1 at rest.
// Main thread only.
class SizeTextMotion : public QObject {
    Q_OBJECT
public:
    explicit SizeTextMotion(std::uint64_t bytes = 0, QObject* parent = nullptr);

    void setBytes(std::uint64_t bytes, bool animate);
    std::uint64_t bytes() const { return bytes_; }
    QString number() const { return number_; }
    QString unit() const { return unit_; }
    QString from() const { return from_; }
    double progress() const { return roll_.value(); }
    bool rolling() const { return roll_.moving(); }
    // The spring that drives the roll (tests step it with advance()).
    SpringAnimator& spring() { return roll_; }

    static constexpr Spring kRollSpring{0.5, 1.0};

signals:
    void changed();

private:
    std::uint64_t bytes_;
    QString number_;
    QString unit_;
    QString from_;
    SpringAnimator roll_;
};
// The read-out of `motion` as it is now: the number rolling from its old text, the unit of the
// new count. Lays out as paintSizeText of the new count.
void paintSizeText(QPainter& painter, QPointF origin, const SizeTextMotion& motion, double size,
                   const QColor& color, const QColor& unitColor, double tracking = 0);

// The read-out as a widget: a new count rolls its number in while the widget is shown.
class SizeText : public QWidget {
    Q_OBJECT
public:
    SizeText(std::uint64_t bytes, double size, const QColor& unitColor, QWidget* parent = nullptr);
    void setBytes(std::uint64_t bytes);
    void setColor(const QColor& color);
    QString number() const { return motion_.number(); }
    QString unit() const { return motion_.unit(); }
    SizeTextMotion& motion() { return motion_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double size_;
    QColor color_;
    QColor unitColor_;
    SizeTextMotion motion_;
};

// --- A section caption: the text with its first character upper-cased, 12 points semibold in
// Color::ink2.
QString captionText(const QString& text);

class Caption : public QWidget {
    Q_OBJECT
public:
    explicit Caption(const QString& text, QWidget* parent = nullptr);
    QString text() const { return text_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
};

}  // namespace tamrel
