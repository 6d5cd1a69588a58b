#pragma once

#include <QRectF>
#include <QWidget>

class QPainter;

namespace tamrel {

// One of the display pieces the screens are built from, with its plain painting (or plain
// geometry); none touches the model. Main thread only.
//
// The white card: radius `radius`, Color::panel, a 1-point Color::line border inside its
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

}  // namespace tamrel
