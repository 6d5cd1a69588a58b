#include "ui/tools/HiddenSpaceCard.h"

#include <QPainter>
#include <algorithm>
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Glyph.h"
#include "ui/theme/Panel.h"
#include "ui/tools/SystemDataMetrics.h"
#include "ui/tools/ToolsPaint.h"

namespace tamrel {

namespace {

// The texts of a hidden-space row in a card `width` wide: after the glyph, to the padding.
double hiddenTextWidth(double width) {
    return width - kCardPad - (kCardPad + kHiddenGlyph + kHiddenGap);
}

}  // namespace

// ---- Hidden space card

HiddenSpaceCard::HiddenSpaceCard(const SystemDataReport& report, RuleSet rules, QWidget* parent)
    : QWidget(parent), title_(hiddenCardTitle(rules)), rows_(hiddenRows(report, rules)) {}

double HiddenSpaceCard::heightFor(double width) const {
    double h = kCardPad + Fonts::cardTitle.lineHeight();
    const double textW = hiddenTextWidth(width);
    for (const HiddenRow& row : rows_) {
        const double texts = Fonts::hiddenTitle.lineHeight() + kHiddenLineGap +
                             wrappedHeight(row.text, Fonts::secondary.font(), textW);
        h += kHiddenGap + std::max(kHiddenRowLeast, texts);
    }
    return h + kCardPad + 1;
}

void HiddenSpaceCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    const QFont& title = Fonts::cardTitle.font();
    paintLine(p, QRectF(kCardPad, kCardPad, width() - 2 * kCardPad, Fonts::lineHeight(title)),
              title_, title, Color::ink);
    double y = kCardPad + Fonts::lineHeight(title);
    const double textX = kCardPad + kHiddenGlyph + kHiddenGap;
    const double textW = hiddenTextWidth(width());
    for (const HiddenRow& row : rows_) {
        y += kHiddenGap;
        paintGlyph(p, QPointF(kCardPad, y), row.symbol, 0xBDB8AE, kHiddenGlyph);
        const QFont& t = Fonts::hiddenTitle.font();
        const double lh = Fonts::lineHeight(t);
        const double valueW = Fonts::tabularWidth(Fonts::hiddenValue.font(), row.value);
        paintLine(p, QRectF(textX, y, textW - valueW - kHiddenValueGap, lh), row.title, t,
                  Color::ink);
        p.setFont(Fonts::hiddenValue.font());
        paintDigitsRight(p, QRectF(textX, y, textW, lh), row.value, Fonts::hiddenValue.font(),
                         Color::ink);
        const double textH = wrappedHeight(row.text, Fonts::secondary.font(), textW);
        p.setFont(Fonts::secondary.font());
        p.setPen(Color::ink2);
        p.drawText(QRectF(textX, y + lh + kHiddenLineGap, textW, textH), Qt::TextWordWrap,
                   row.text);
        y += std::max(kHiddenRowLeast, lh + kHiddenLineGap + textH);
    }
}

}  // namespace tamrel
