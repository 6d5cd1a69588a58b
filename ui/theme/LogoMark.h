#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace tamrel {

// One of the display pieces the screens are built from, with its plain painting (or plain
// geometry); none touches the model. Main thread only.
//
// The mark: a dark rounded square (radius 0.26 × size) holding a cream disc with a pink
// wedge from −90° to 10° and a dark hub, inset 0.2 × size.
void paintLogoMark(QPainter& painter, const QRectF& rect);
// The mark's colours (also the Scanning screen's dial) and its proportions to its side.
inline const QColor kMarkCase{0x2B, 0x25, 0x23};
inline const QColor kMarkDisc{0xFF, 0xF0, 0xDF};
inline const QColor kMarkWedge{0xF7, 0xB0, 0xBF};
inline constexpr double kMarkRadius = 0.26;
inline constexpr double kMarkInset = 0.2;
inline constexpr double kMarkHub = 0.09;
// The wedge runs from twelve o'clock to ten degrees past three (degrees, clockwise on screen).
inline constexpr double kTwelveOClock = -90;
inline constexpr double kMarkWedgeEnd = 10;

class LogoMark : public QWidget {
    Q_OBJECT
public:
    explicit LogoMark(double size, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

}  // namespace tamrel
