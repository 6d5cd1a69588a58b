#pragma once

#include <QRectF>
#include <QWidget>

class QPainter;

namespace tamrel {

// One of the display pieces the screens are built from, with its plain painting (or plain
// geometry); none touches the model. Main thread only.
//
// The dark display panel: Color::screen with scan lines (1 point of white at 0.025 every
// 3 points from the top), a black 0.6 border inside its edge and a white 0.8 line one point
// under its lower edge. `rect` is the panel.
void paintScreen(QPainter& painter, const QRectF& rect, double radius);
// Scan lines of a panel `height` points high: y = 0, 3, 6, … below the height; 0 when ≤ 0.
int scanLineCount(double height);
inline constexpr double kScanLineStep = 3;

class Screen : public QWidget {
    Q_OBJECT
public:
    explicit Screen(double radius, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double radius_;
};

}  // namespace tamrel
