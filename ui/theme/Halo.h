#pragma once

#include <QWidget>
#include <functional>

class QPainter;

namespace tamrel {

// One of the display pieces the screens are built from, with its plain painting (or plain
// geometry); none touches the model. Main thread only.
//
// A glow that spills `spill` points around a widget without counting in its layout size:
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

}  // namespace tamrel
