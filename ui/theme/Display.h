#pragma once

#include <QColor>
#include <QPainterPath>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>
#include <cstdint>

class QPainter;

namespace tamrel {

// The display pieces the screens are built from: the dark display panel (Screen), the
// indicator light (LED), the level meter (SegmentMeter), the key-shaped icon tile (Glyph), the
// application's mark (LogoMark, with pieSlice), the size read-out (SizeText), the section
// caption (Caption) and the white card (panel). Each has a plain painting function (or plain
// geometry) and a small widget; none touches the model. Main thread only.

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

class LED : public QWidget {
    Q_OBJECT
public:
    LED(const QColor& color, bool pulsing, QWidget* parent = nullptr);
    void setColor(const QColor& color);
    QColor color() const { return color_; }
    QSize sizeHint() const override { return QSize(15, 15); }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    QColor color_;
    bool pulsing_;
    QVariantAnimation breath_;
};

// --- The level meter: `segments` rounded bars (radius 2, 3 points apart) sharing the width;
// segment i is lit when shown × segments > i.
int litSegments(double shown, int segments);
void paintSegmentMeter(QPainter& painter, const QRectF& rect, double shown, int segments,
                       const QColor& lit, const QColor& unlit);

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

class SegmentMeter : public QWidget {
    Q_OBJECT
public:
    SegmentMeter(double fraction, int segments, const QColor& lit, const QColor& unlit,
                 double height, QWidget* parent = nullptr);
    void setFraction(double fraction) { motion_.setFraction(fraction); }
    double fraction() const { return motion_.fraction(); }
    double shown() const { return motion_.shown(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    int segments_;
    QColor lit_;
    QColor unlit_;
    MeterMotion motion_;
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

class SizeText : public QWidget {
    Q_OBJECT
public:
    SizeText(std::uint64_t bytes, double size, const QColor& unitColor, QWidget* parent = nullptr);
    void setBytes(std::uint64_t bytes);
    void setColor(const QColor& color);
    QString number() const { return number_; }
    QString unit() const { return unit_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::uint64_t bytes_ = 0;
    QString number_;
    QString unit_;
    double size_;
    QColor color_;
    QColor unitColor_;
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
