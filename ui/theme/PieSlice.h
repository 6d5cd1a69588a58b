#pragma once

#include <QPainterPath>
#include <QRectF>

namespace tamrel {

// The wedge from `startDeg` to `endDeg` (degrees from the positive x axis, clockwise on
// screen) of the largest circle centred in `rect`, closed through the centre.
QPainterPath pieSlice(const QRectF& rect, double startDeg, double endDeg);

}  // namespace tamrel
