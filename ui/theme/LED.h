#pragma once

#include <QColor>
#include <QPointF>
#include <QPointer>
#include <QWidget>

#include "model/system/Clock.h"
#include "ui/theme/Halo.h"

class QPainter;

namespace tamrel {

// One of the display pieces the screens are built from, with its plain painting (or plain
// geometry); none touches the model. Main thread only.
//
// The indicator light: a 7-point disc with a glow, 0.9 at radius 4 when on, 0.4 at radius
// 1.5 when off. A pulsing light breathes between off (opacity 0.45) and on (opacity 1), 0.7 s
// each way, eased in and out; a steady one stays off, fully opaque.
inline constexpr int kLedSide = 7;
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
    QSize sizeHint() const override { return QSize(kLedSide, kLedSide); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    QColor color_;
    bool pulsing_;
    Timer breath_;               // a frame of the breath, on screenClock()
    Clock::TimePoint breathed_;  // when the breath began
    QPointer<Halo> halo_;
};
// The disc alone, and the glow alone, of paintLed (an LED widget draws one, its halo the other).
void paintLedDisc(QPainter& painter, QPointF centre, const QColor& color, const LedLook& look);
void paintLedGlow(QPainter& painter, QPointF centre, const QColor& color, const LedLook& look);

}  // namespace tamrel
