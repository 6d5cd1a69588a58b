#pragma once

#include <memory>

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "model/app/AppModel.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/RowList.h"
#include "ui/theme/SizeText.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {

class RoundKey;
class TickBox;

// One group of the plan: its tick box (all, some or none of its items), glyph, title, risk
// badge, blurb, ticked size of total and count, and an expand key that shows up to 200 item
// rows. A row's box or a click anywhere on it outside the magnifier flips its tick; the
// magnifier reveals the item; its context menu is the item menu with picking.
//
// From the keyboard: Tab reaches the group's box, its expand key and then, while the group is
// open, its rows, which behave as every list (RowList): Space flips the row's tick, Enter reveals
// its item, the Menu key or Shift+F10 opens its menu, and Escape, from anywhere in the card,
// closes the open group (its expand key takes the focus).
class CleanGroupCard : public QWidget, public FocusPart {
    Q_OBJECT
public:
    CleanGroupCard(AppModel& model, CleanGroup group, bool open, QWidget* parent = nullptr);
    const CleanGroup& group() const { return group_; }
    bool isOpen() const { return open_; }
    TickBox* tickBox() const { return tick_; }
    RoundKey* expandKey() const { return expand_; }
    // 0 closed, 1 open, on the expand spring (response 0.3 s, damping 0.85): the chevron's
    // turn is half a turn times this, and the item list fades with it.
    SpringAnimator& openness() { return openness_; }
    // The opacity the item list is drawn at now.
    double listOpacity() const;
    double heightFor(double width) const;
    // Rows drawn: min(items, 200) while open or fading out after closing, else 0.
    std::size_t rowCount() const;
    QRectF rowRect(std::size_t row) const;
    QRectF magnifierRect(std::size_t row) const;
    QRect focusPart() const override;
    // The rows' behaviour: the row under the pointer and the keyboard's place.
    RowList& rowList() const { return *rowList_; }
    // "+ N more, included in the group tick", or empty.
    QString moreLine() const;
    void refresh();
    // The ticked size of the group, rolling its digits when an animated step changes it.
    const SizeTextMotion& pickedMotion() const { return picked_; }
    // Rolls the ticked size from `shown` (what the card of the same group it replaces showed)
    // to the group's own when `animate`.
    void rollFrom(std::uint64_t shown, bool animate);

signals:
    void openChanged(bool open);
    // The card needs another height: a closed list has faded out.
    void heightChanged();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;

private:
    double headerHeight() const;
    // The title over the blurb.
    static double groupTextsHeight();
    // The top of the first row.
    double listTop() const;
    // The rows take the focus only while they are there to act on.
    void followRows();
    void flip(NodeId node);
    // The node of row `row`.
    NodeId nodeAt(int row) const { return group_.items[std::size_t(row)].node; }
    // What row `row` shows, worked out when it is first drawn after refresh() (a path and an
    // owner lookup per row, too slow for every paint).
    struct RowTexts {
        QString icon;  // the path whose icon the row shows
        QString name;
        QString parent;
        double parentWidth = 0;
        QString note;
        double noteWidth = 0;
        QString size;
        double sizeWidth = 0;
    };
    const RowTexts& rowTexts(std::size_t row, const DiskIndex& index, const std::string& home);
    // The list is laid out and drawn: open, or closed and still fading out.
    bool showsList() const;

    AppModel& model_;
    CleanGroup group_;
    bool open_;
    SpringAnimator openness_;
    TickBox* tick_;
    RoundKey* expand_ = nullptr;
    // Gone before the base class is (see RowList).
    std::unique_ptr<RowList> rowList_;
    std::vector<std::optional<RowTexts>> rowTexts_;  // by row, emptied by refresh()
    // The group's bytes, and its ticked items and their bytes (the read-out's), as of refresh().
    std::uint64_t total_ = 0;
    std::size_t pickedCount_ = 0;
    SizeTextMotion picked_{0};
};

}  // namespace tamrel
