#include "ui/theme/PieSlice.h"

#include <algorithm>

namespace tamrel {

QPainterPath pieSlice(const QRectF& rect, double startDeg, double endDeg) {
    const QPointF c = rect.center();
    const double r = std::min(rect.width(), rect.height()) / 2;
    QPainterPath path(c);
    // QPainterPath angles run counter-clockwise on screen; ours run clockwise.
    path.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), -startDeg, -(endDeg - startDeg));
    path.closeSubpath();
    return path;
}

}  // namespace tamrel
