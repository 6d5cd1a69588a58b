#include "ui/tools/TextButton.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMessageBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include "format/Fmt.h"
#include "model/apps/Owner.h"
#include "platform/XdgDirs.h"
#include "ui/results/AppIcon.h"
#include "ui/results/Confirmation.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Glyph.h"
#include "ui/theme/Keys.h"
#include "ui/theme/LED.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/Panel.h"
#include "ui/theme/Screen.h"
#include "ui/theme/ShownText.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/CleanMetrics.h"
#include "ui/tools/TickBox.h"
#include "ui/tools/ToolsBusy.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"

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
