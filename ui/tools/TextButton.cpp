#include "ui/tools/TextButton.h"

#include <QPainter>
#include <cmath>
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/tools/CleanMetrics.h"
#include "ui/tools/ToolsPaint.h"

namespace tamrel {

// ---- TextButton

TextButton::TextButton(const QString& text, QWidget* parent) : KeyControl(parent) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

QSize TextButton::sizeHint() const {
    const QFont f = Fonts::label.font();
    return QSize(
        int(std::ceil(QFontMetricsF(f).horizontalAdvance(text()))) + kLinkSlack + 2 * kPadH,
        int(std::ceil(Fonts::lineHeight(f))) + 2 * kPadV);
}

void TextButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setOpacity(isDown() ? kLinkHeldOpacity : 1);
    paintLine(p, rect().adjusted(kPadH, kPadV, -kPadH, -kPadV), text(), Fonts::label.font(),
              Color::tangerine);
    if (hasFocus()) paintFocusRing(p, roundedShape(QRectF(rect()), kLinkRingRadius));
}

}  // namespace tamrel
