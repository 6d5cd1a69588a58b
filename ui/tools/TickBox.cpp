#include "ui/tools/TickBox.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Keys.h"

namespace tamrel {
namespace {

QColor blend(const QColor& a, const QColor& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t),
                            float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

constexpr Spring kTickSpring{0.2, 0.7};

}  // namespace

TickState tickState(std::size_t ticked, std::size_t count) {
    if (ticked == 0 || count == 0) return TickState::none;
    return ticked >= count ? TickState::all : TickState::some;
}

TickLook tickLook(TickState state, double on) {
    TickLook look;
    look.fill = blend(Color::keyFace, Color::tangerine, on);
    look.border = Color::withOpacity(Color::keyEdge, std::clamp(1.0 - on, 0.0, 1.0));
    if (state == TickState::some) look.symbol = QStringLiteral("minus");
    if (state == TickState::all) look.symbol = QStringLiteral("checkmark");
    return look;
}

namespace {

// The box's corner radius, its border's width and its symbol's size.
constexpr double kTickRadius = 6;
constexpr double kTickBorder = 1.5;
constexpr double kTickSymbolPoints = 13;

}  // namespace

QPainterPath tickBoxShape(QPointF topLeft) {
    return roundedShape(QRectF(topLeft, QSizeF(kTickSide, kTickSide)), kTickRadius);
}

void paintTickBox(QPainter& painter, QPointF topLeft, TickState state, double on) {
    const TickLook look = tickLook(state, on);
    const QRectF box(topLeft, QSizeF(kTickSide, kTickSide));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(look.fill);
    painter.drawPath(roundedShape(box, kTickRadius));
    if (look.border.alphaF() > 0) {
        // Stroked inside the edge: the path inset by half the line width.
        const double in = kTickBorder / 2;
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(look.border, kTickBorder, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        painter.drawPath(roundedShape(box.adjusted(in, in, -in, -in), kTickRadius - in));
    }
    if (!look.symbol.isEmpty())
        paintSymbol(painter, box, look.symbol, kTickSymbolPoints, Qt::white);
    painter.restore();
}

TickBox::TickBox(TickState state, QWidget* parent)
    : KeyControl(parent), state_(state), on_(state == TickState::none ? 0 : 1) {
    setFixedSize(int(kTickSide), int(kTickSide));
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab like every key; Space clicks it.
    setFocusPolicy(Qt::TabFocus);
    connect(&on_, &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
}

void TickBox::setState(TickState state) {
    if (state == state_) return;
    state_ = state;
    on_.animateTo(state == TickState::none ? 0 : 1, kTickSpring);
    update();
}

void TickBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintTickBox(p, QPointF(0, 0), state_, on_.value());
    if (hasFocus()) paintFocusRing(p, tickBoxShape(QPointF(0, 0)));
}

}  // namespace tamrel
