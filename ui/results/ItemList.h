#pragma once

#include <QListView>
#include <QStyledItemDelegate>
#include <QWidget>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "model/app/AppModel.h"
#include "ui/results/RowItems.h"
#include "ui/results/RowListModel.h"
#include "ui/theme/RowList.h"
#include "ui/theme/SizeText.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {

// Where the parts of one file row lie within the row's rectangle.
struct RowGeometry {
    QRectF icon;      // 28 x 28
    QRectF text;      // name over subtitle
    QRectF shareBar;  // 48 x 4
    QRectF size;      // 74 wide, right-aligned text
    QRectF pick;      // the 22 x 22 round pick button
};
RowGeometry rowGeometry(const QRectF& row);
// The filled width of a share bar `width` wide: the share of it, all of it from 1 up, never
// under 4 pt.
double shareFill(double width, double fraction);

inline constexpr int rowHeight = 46;
// Below the last row: the list's own 6 pt padding and 90 pt of room for the Trash basket tray
// that floats over the foot of the screen.
inline constexpr int listFootRoom = 6 + 90;

// Paints the rows, the footer and the pad of a RowListModel.
class RowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// A scrolling card of file rows: a click on a folder opens it, a double click on a file opens
// the file, the round key on the right picks the item for the Trash (shown while hovered or
// picked), the right button shows the item menu. "Nothing in here" when there are no rows.
//
// It behaves as every list (RowList; it takes the focus with Tab, a ring marks its place, the
// first row to begin with): Enter opens the row (Look Inside for a folder, the file with its
// application otherwise), Space picks or unpicks it, the Menu key or Shift+F10 opens its item
// menu. Its place and its scroll position follow their rows, by path, while the same list is
// shown again (the folder refreshed, a new index generation); another list starts at the top.
//
// The rows belong to the model's index generation shown when they were set; while another one
// is shown (before the screen sets new rows) no row is acted on.
class ItemListView : public QListView {
    Q_OBJECT
public:
    explicit ItemListView(AppModel& model, QWidget* parent = nullptr);

    // Shows `rows`, the head of a list of `total` entries, as the list named `list` (a folder's
    // path, a query). Rows whose item changed are redrawn; another list starts again at the top.
    void setRows(std::vector<RowItem> rows, qint64 total, const QString& list);
    RowListModel& rowModel() { return rows_; }
    // How far the pick key of node's row is in its picked look (0 to 1, may overshoot while it
    // moves on the pick spring after the row was picked or unpicked).
    double pickAmount(NodeId node) const;
    // The size of node's row while it rolls its digits after an animated step of the model
    // changed it, else null (the row shows its size still).
    const SizeTextMotion* sizeRoll(NodeId node) const;
    // The viewport rectangle of row `row`.
    QRect rowRect(int row) const { return visualRect(rows_.index(row)); }
    // The list's behaviour: the row under the pointer and the keyboard's place.
    RowList& rowList() const { return *rowList_; }
    // Where "Nothing in here" is drawn while there are no rows: below the "+ n more" footer when
    // one is shown, otherwise at the top, with 50 pt above and below.
    QRectF emptyStateRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    // The item row under a viewport point, or -1.
    int itemAt(QPoint p) const;
    void clickRow(int row, QPointF pos, bool second);
    // Starts the roll of each row whose size differs from the one shown, in an animated step.
    void rollSizes(const std::vector<RowItem>& rows, bool sameGeneration);
    bool rowsCurrent() const { return index_ && model_.index() == index_; }

    AppModel& model_;
    RowListModel rows_;
    RowDelegate delegate_;
    IndexRef index_;  // the generation the rows were built from
    QString list_;    // what the rows are a list of
    // Gone before the base class is (see RowList).
    std::unique_ptr<RowList> rowList_;
    // Rows whose picked state changed, while their key moves to the new look.
    std::unordered_map<NodeId, std::unique_ptr<SpringAnimator>> picking_;
    // Rows whose size changed in an animated step, while their number rolls.
    std::unordered_map<NodeId, std::unique_ptr<SizeTextMotion>> rolling_;
};

// The file list as a card (white, rounded, thin border) with the list 6 pt inside it.
class ItemList : public QWidget {
    Q_OBJECT
public:
    explicit ItemList(AppModel& model, QWidget* parent = nullptr);
    void setRows(std::vector<RowItem> rows, qint64 total, const QString& list) {
        view_->setRows(std::move(rows), total, list);
    }
    ItemListView& view() { return *view_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ItemListView* view_;
};

}  // namespace tamrel
