#pragma once

#include <memory>

#include <QWidget>

#include <optional>
#include <vector>

#include "model/app/AppModel.h"
#include "ui/theme/RowList.h"

namespace tamrel {

// The leftovers of the detail by kind: a tick box per kind (all, some, none of its items) and a
// row per leftover with its box, name, folder, lock, size and magnifier. A click on a row outside
// the magnifier flips its tick; the magnifier reveals it. It behaves as every list (RowList; it
// takes the focus with Tab), its lines the kinds' boxes and the rows: Space flips the box or the
// row's tick, Enter reveals a row's item (or flips a kind's box).
class LeftoverList : public QWidget {
    Q_OBJECT
public:
    LeftoverList(AppModel& model, const InstalledApp& app, IndexRef index,
                 QWidget* parent = nullptr);
    double heightFor() const;
    // The hit areas: a kind's box, a leftover's row and magnifier (by its index in the app's
    // leftovers), in this widget.
    QRectF groupBoxRect(Leftover::Kind kind) const;
    QRectF rowRect(std::size_t leftover) const;
    QRectF magnifierRect(std::size_t leftover) const;
    // The lock of a leftover outside the home folder (empty for one inside), which carries the
    // tooltip that says why it needs a password.
    QRectF lockRect(std::size_t leftover) const;
    bool showsEmptyText() const;
    // The list's behaviour: the line under the pointer and the keyboard's place.
    RowList& rowList() const { return *rowList_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    struct Line {
        QRectF rect;
        std::optional<Leftover::Kind> group;  // a group header
        std::size_t leftover = 0;             // else this leftover
    };
    std::vector<Line> lines() const;
    // A kind's box: ticks every leftover of the kind, or unticks them all when all are ticked.
    void flipGroup(Leftover::Kind kind);
    void flipLeftover(NodeId node);
    bool current() const { return index_ && model_.index() == index_; }
    // Space and Enter on a line, and a click on it at `pos` (none: from the keyboard).
    void actOn(int line, bool enter, std::optional<QPointF> pos);

    AppModel& model_;
    InstalledApp app_;
    IndexRef index_;
    std::vector<Line> lines_;  // as laid out at the present width
    // Gone before the base class is (see RowList).
    std::unique_ptr<RowList> rowList_;
};

}  // namespace tamrel
