#pragma once

#include <QScrollArea>
#include <QWidget>

#include <optional>
#include <vector>

#include "model/app/AppModel.h"
#include "ui/theme/EasedValue.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {

class KeyButton;
class LoadingState;

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

// One bucket: glyph, title, advice badge, size, blurb, four item lines (its largest items, each
// with the bytes the bucket counts of it, or empty fillers), the note of what the clean-up plan
// leaves out, and the keys "Clean these up" (where `keyLook` has it: a safe bucket some of whose
// shown items the plan holds) and "Look inside" (with a root). An item line opens its folder;
// its context menu is the item menu without picking. The card reads node ids only in `index`,
// the generation its bucket belongs to (null: no item lines).
// From the keyboard the item lines take the focus with Tab before the keys: Up and Down move
// between them, Enter opens the line's folder, the Menu key or Shift+F10 its menu.
class BucketCard : public QWidget, public FocusPart {
    Q_OBJECT
public:
    BucketCard(AppModel& model, SpaceBucket bucket, IndexRef index, CleanKeyLook keyLook,
               QWidget* parent = nullptr);
    const SpaceBucket& bucket() const { return bucket_; }
    KeyButton* cleanKey() const { return clean_; }
    KeyButton* lookKey() const { return look_; }
    // The item line under `pos`, as its node, or nothing (fillers included).
    std::optional<NodeId> itemAt(QPointF pos) const;
    // The rectangle of item line `row` (0 to 3).
    QRectF itemRect(int row) const;
    // What the plan leaves out, or empty.
    const QString& planNote() const { return keyLook_.note; }
    QRect focusPart() const override;
    // The item line with the keyboard's place, or -1.
    int focusLine() const { return focusLine_; }
    // The height of every card: with room for a two-line plan note under the items when
    // `noteRoom`.
    static double cardHeight(bool noteRoom = false);
    // The size, rolling its digits from `shown` (what the card of the same bucket it replaces
    // showed) to the bucket's bytes when `animate`.
    void rollFrom(std::uint64_t shown, bool animate);
    const SizeTextMotion& sizeMotion() const { return size_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

private:
    int lineCount() const;

    AppModel& model_;
    SpaceBucket bucket_;
    IndexRef index_;
    CleanKeyLook keyLook_;
    SizeTextMotion size_;
    KeyButton* clean_ = nullptr;
    KeyButton* look_ = nullptr;
    int hoverRow_ = -1;
    int focusLine_ = -1;
    int blurbWidth_ = -1;
    QString blurbText_;
    QString noteText_;  // the plan note laid out at blurbWidth_
};

// Space that no folder accounts for: purgeable space, local snapshots (neither on Linux),
// unseen space and the folders the scan could not read. There is no settings pane that grants
// access on this system, so the unreadable row has no "Allow…" key (as the sidebar's access
// box). The screen leaves the card out when it has no row.
class HiddenSpaceCard : public QWidget {
    Q_OBJECT
public:
    HiddenSpaceCard(const SystemDataReport& report, RuleSet rules, QWidget* parent = nullptr);
    const std::vector<HiddenRow>& rows() const { return rows_; }
    const QString& title() const { return title_; }
    double heightFor(double width) const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString title_;
    std::vector<HiddenRow> rows_;
};

// The System Data tab: the summary, the note for a folder scan, the grid of bucket cards
// (columns at least 360 wide) and the hidden-space card when it has a row; the loading state
// until the model has an index and a report (a new index keeps showing the previous report until
// its own comes). Texts follow AppModel::ruleSet().
class SystemDataView : public QScrollArea {
    Q_OBJECT
public:
    explicit SystemDataView(AppModel& model, QWidget* parent = nullptr);

    bool loading() const;
    SystemSummary* summary() const { return summary_; }
    const std::vector<BucketCard*>& cards() const { return cards_; }
    // The hidden-space card, or null when it has no row.
    HiddenSpaceCard* hiddenCard() const { return hidden_; }
    // The folder note shown, or empty.
    QString note() const { return note_; }
    // The grid's column count at the current width.
    int columns() const;

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    void rebuild();
    void relayout();

    AppModel& model_;
    QWidget* page_;
    LoadingState* loadingState_;
    SystemSummary* summary_ = nullptr;
    std::vector<BucketCard*> cards_;
    HiddenSpaceCard* hidden_ = nullptr;
    QString note_;
    QRectF noteRect_;
    friend class SystemDataPage;
};

}  // namespace tamrel
