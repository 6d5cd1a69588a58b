#include "ui/tools/SystemSummary.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include "ui/theme/Colors.h"
#include "ui/theme/EasedValue.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Palette.h"
#include "ui/theme/Panel.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/SystemDataMetrics.h"
#include "ui/tools/ToolsPaint.h"

namespace tamrel {

// ---- Summary

SystemSummary::SystemSummary(RuleSet rules, QWidget* parent) : QWidget(parent), rules_(rules) {
    setMouseTracking(true);
    connect(&fade_, &EasedValue::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&total_, &SizeTextMotion::changed, this, qOverload<>(&QWidget::update));
}

void SystemSummary::rollFrom(std::uint64_t shown, bool animate) {
    const std::uint64_t total = barTotal(segments_);
    total_.setBytes(shown, false);
    total_.setBytes(total, animate);
}

double SystemSummary::segmentOpacity(std::size_t i) const {
    const double target = hovered_ && *hovered_ != i ? kSegmentDimmed : 1.0;
    if (!fade_.moving() || i >= fadeFrom_.size()) return target;
    const double t = fade_.value();
    return fadeFrom_[i] + (target - fadeFrom_[i]) * t;
}

void SystemSummary::setHovered(std::optional<std::size_t> over) {
    if (over == hovered_) return;
    std::vector<double> from(segments_.size());
    for (std::size_t i = 0; i < from.size(); ++i)
        from[i] = segmentOpacity(i);
    fadeFrom_ = std::move(from);
    hovered_ = over;
    fade_.setValue(0);
    fade_.animateTo(1, kFadeMs);
    update();
}

double SystemSummary::cardHeight() {
    const double header =
        std::max(Fonts::screenTitle.lineHeight() + kTitleGap + Fonts::subtitle.lineHeight(),
                 sizeTextHeight(kTotalSize));
    return kHeaderPad + header + kSummaryBarGap + kSummaryBar + kHeaderPad;
}

void SystemSummary::setReport(const SystemDataReport& report) {
    segments_ = barSegments(report, rules_);
    total_.setBytes(barTotal(segments_), false);
    hovered_.reset();
    fade_.setValue(1);
    fadeFrom_.clear();
    update();
}

QRectF SystemSummary::barRect() const {
    return QRectF(kHeaderPad, cardHeight() - kHeaderPad - kSummaryBar, width() - 2 * kHeaderPad,
                  kSummaryBar);
}

std::vector<QRectF> SystemSummary::segmentRects() const {
    const QRectF bar = barRect();
    const std::vector<double> widths = barWidths(segments_, bar.width());
    std::vector<QRectF> rects;
    rects.reserve(widths.size());
    double x = bar.left();
    for (double w : widths) {
        rects.emplace_back(x, bar.top(), w, bar.height());
        x += w + kBarSegmentGap;
    }
    return rects;
}

void SystemSummary::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintCard(p, QRectF(0, 0, width(), height() - 1), kCardRadius);
    const QFont& title = Fonts::screenTitle.font();
    const QFont& sub = Fonts::subtitle.font();
    const double sizeW = sizeTextWidth(total_.bytes(), kTotalSize, kTotalTracking);
    const double textW = width() - 2 * kHeaderPad - sizeW - kSummaryTextGap;
    paintLine(p, QRectF(kHeaderPad, kHeaderPad, textW, Fonts::lineHeight(title)),
              QStringLiteral("System Data, explained"), title, Color::ink);
    paintLine(p,
              QRectF(kHeaderPad, kHeaderPad + Fonts::lineHeight(title) + kTitleGap, textW,
                     Fonts::lineHeight(sub)),
              summaryLine(rules_), sub, Color::ink2);
    const double ascent = QFontMetricsF(sizeTextFont(kTotalSize)).ascent();
    paintSizeText(p, QPointF(width() - kHeaderPad - sizeW, kHeaderPad + ascent), total_, kTotalSize,
                  Color::ink, Color::ink2, kTotalTracking);
    const std::vector<QRectF> rects = segmentRects();
    p.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        p.setOpacity(segmentOpacity(i));
        p.setBrush(Palette::color(segments_[i].hex));
        p.drawRoundedRect(rects[i], kSegmentRadius, kSegmentRadius);
    }
}

void SystemSummary::mouseMoveEvent(QMouseEvent* event) {
    std::optional<std::size_t> over;
    const std::vector<QRectF> rects = segmentRects();
    for (std::size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].contains(event->position())) over = i;
    }
    if (over != hovered_) {
        setHovered(over);
        if (over)
            QToolTip::showText(event->globalPosition().toPoint(), segmentTip(segments_[*over]),
                               this);
        else
            QToolTip::hideText();
    }
}

void SystemSummary::leaveEvent(QEvent*) {
    setHovered(std::nullopt);
}

}  // namespace tamrel
