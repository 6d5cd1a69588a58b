#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPainterPath>
#include <QPointF>
#include <QString>

#include <cstddef>

#include "ui/theme/SpringAnimator.h"
#include "ui/theme/Keys.h"

class QPainter;

namespace tamrel {

// How much of what a tick box stands for is ticked.
enum class TickState { none, some, all };

// The state of a box standing for `count` members of which `ticked` are ticked: none for 0 (and
// for an empty group), all when every member is, some otherwise.
TickState tickState(std::size_t ticked, std::size_t count);

// The look of a box at a blend `on` from 0 (none) to 1 (some or all): the fill from keyFace to
// tangerine, the 1.5-point keyEdge border fading out, and the symbol ("minus" for some,
// "checkmark" for all, none for none) in white.
struct TickLook {
    QColor fill;
    QColor border;
    QString symbol;
};
TickLook tickLook(TickState state, double on);

// Draws the 20 × 20 box with its top-left corner at `topLeft`.
void paintTickBox(QPainter& painter, QPointF topLeft, TickState state, double on);
// The box's outline there (for its focus ring).
QPainterPath tickBoxShape(QPointF topLeft);

inline constexpr double kTickSide = 20;

// The tick box: shows the state its caller hands in and emits clicked() when clicked or when
// Space is pressed while it has the focus (it takes it with Tab); it never changes its state
// itself. A change of state blends in a spring (response 0.2 s, damping 0.7).
class TickBox : public KeyControl {
    Q_OBJECT
public:
    explicit TickBox(TickState state = TickState::none, QWidget* parent = nullptr);

    TickState state() const { return state_; }
    void setState(TickState state);

    QSize sizeHint() const override { return QSize(int(kTickSide), int(kTickSide)); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    TickState state_;
    SpringAnimator on_;
};

}  // namespace tamrel
