#pragma once

#include <QWidget>

#include <optional>
#include <vector>

#include "model/app/AppModel.h"
#include "ui/theme/EasedValue.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {

// The card at the top of System Data: the title, the total and the stacked bar of the report's
// buckets, purgeable and unseen space. Hovering a segment dims the others to 0.35 and shows its
// title and size as a tooltip.
class SystemSummary : public QWidget {
    Q_OBJECT
public:
    explicit SystemSummary(RuleSet rules, QWidget* parent = nullptr);
    void setReport(const SystemDataReport& report);
    // The total, rolling its digits from `shown` (what the summary it replaces showed) to the
    // report's total when `animate`.
    void rollFrom(std::uint64_t shown, bool animate);
    const SizeTextMotion& totalMotion() const { return total_; }
    const std::vector<BarSegment>& segments() const { return segments_; }
    // The bar's segment rectangles in this widget.
    std::vector<QRectF> segmentRects() const;
    std::optional<std::size_t> hovered() const { return hovered_; }
    // The opacity segment `i` is drawn at now: while a segment is hovered every other one fades
    // to 0.35, and all return to 1 when none is, each change in a 0.15 s ease-out.
    double segmentOpacity(std::size_t i) const;
    static double cardHeight();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    QRectF barRect() const;
    void setHovered(std::optional<std::size_t> over);
    RuleSet rules_;
    std::vector<BarSegment> segments_;
    std::optional<std::size_t> hovered_;
    std::vector<double> fadeFrom_;  // the opacities when the running fade began
    EasedValue fade_{1};            // 0 -> 1 over the fade
    SizeTextMotion total_{0};
};

}  // namespace tamrel
