#pragma once

#include <QAbstractListModel>

#include <vector>

#include "ui/results/RowItems.h"

namespace tamrel {

// The rows of one file list as an item model: the RowItems, then a "+ n more" footer when the
// list has more entries than rows, then a clear pad that keeps the last rows clear of the basket
// tray floating over the list.
//
// setRows() compares the new rows with the shown ones by value: for the same list (the same
// folder, the same results) only the rows that changed are announced, rows added or dropped at
// the end are inserted or removed; another list resets the model, and the view goes back to the
// top. Main thread.
class RowListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum class Kind { item, footer, pad };

    explicit RowListModel(QObject* parent = nullptr);

    // Shows `rows` of `total` entries, `another` list than the one shown or the same one.
    // Returns true when the model was reset.
    bool setRows(std::vector<RowItem> rows, qint64 total, bool another);

    const std::vector<RowItem>& rows() const { return rows_; }
    qint64 total() const { return total_; }
    Kind kindAt(int row) const;
    // The item of an item row; undefined for the footer and the pad.
    const RowItem& item(int row) const { return rows_[std::size_t(row)]; }
    // "+ n more", or empty.
    QString footer() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    bool hasFooter() const { return total_ > qint64(rows_.size()); }
    // The footer (when the list has more entries than rows) and the pad.
    static int tailFor(qint64 total, std::size_t rows) {
        return (total > qint64(rows) ? 1 : 0) + 1;
    }

    std::vector<RowItem> rows_;
    qint64 total_ = 0;
    int tail_ = 1;  // footer and pad rows in the model now
};

}  // namespace tamrel
