#pragma once

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

class LogoMark : public QWidget {
    Q_OBJECT
public:
    explicit LogoMark(double size, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

}  // namespace tamrel
