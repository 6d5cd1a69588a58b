#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include "model/system/Clock.h"
#include "ui/theme/EasedValue.h"
#include "ui/theme/Halo.h"

class QPainter;

namespace tamrel {

// One of the display pieces the screens are built from, with its plain painting (or plain
// geometry); none touches the model. Main thread only.
//
// The level meter: `segments` rounded bars (radius 2, 3 points apart) sharing the width;
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
// 0.9 s after 0.15 s); a later setFraction moves there with a 0.4 s ease-out. On screenClock().
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
    EasedValue anim_;
    Timer delay_;
    double target_ = 0;   // where the motion after the delay goes
    int durationMs_ = 0;  // and how long it takes
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

}  // namespace tamrel
