#pragma once

#include <memory>

#include <QFrame>
#include <QWidget>

#include <vector>

#include "model/app/AppModel.h"
#include "ui/theme/RowList.h"

class QAbstractButton;
class QVBoxLayout;

namespace tamrel {

// The rows of the picked items (name, size, a key that takes it back out), in basket order. It
// behaves as every list (RowList; the tray gives it the focus when its list is opened from the
// keyboard): the ring marks the take-out key of the keyboard's place, and Space or Enter takes
// that item out. Its place follows its item by path as the basket changes; when the item is
// taken out, the row that comes to its place has it.
class BinRows : public QWidget {
    Q_OBJECT
public:
    explicit BinRows(AppModel& model, QWidget* parent = nullptr);
    // The nodes listed, in basket order.
    const NodeIds& nodes() const { return nodes_; }
    // The take-out key of row k.
    QAbstractButton* removeKey(int k) const;
    RowList& rowList() const { return *rowList_; }

signals:
    // The rows were made again: the popup takes their size.
    void rowsMade();

private:
    void refresh();
    // Takes row k's item out of the basket, while its index generation is shown.
    void takeOut(int k);

    AppModel& model_;
    QVBoxLayout* column_;
    IndexRef index_;  // the generation of nodes_
    NodeIds nodes_;
    std::vector<QWidget*> rows_;
    std::vector<QAbstractButton*> keys_;
    // Gone before the base class is (see RowList).
    std::unique_ptr<RowList> rowList_;
};

// The list of picked items in a popup above the tray's counter: "Ready for the Trash", then the
// rows. Closes on a click outside and on Escape.
class BinList : public QFrame {
    Q_OBJECT
public:
    explicit BinList(AppModel& model, QWidget* parent = nullptr);
    BinRows& rows() const { return *rows_; }
    const NodeIds& nodes() const { return rows_->nodes(); }
    QAbstractButton* removeKey(int k) const { return rows_->removeKey(k); }

signals:
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    BinRows* rows_;
};

}  // namespace tamrel
