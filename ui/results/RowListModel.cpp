#include "ui/results/RowListModel.h"

#include "ui/results/ResultsText.h"

namespace tamrel {

RowListModel::RowListModel(QObject* parent) : QAbstractListModel(parent) {}

RowListModel::Kind RowListModel::kindAt(int row) const {
    if (row < int(rows_.size())) return Kind::item;
    if (hasFooter() && row == int(rows_.size())) return Kind::footer;
    return Kind::pad;
}

QString RowListModel::footer() const {
    return moreFooter(total_, qint64(rows_.size()));
}

int RowListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return int(rows_.size()) + tail_;
}

QVariant RowListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    switch (kindAt(index.row())) {
        case Kind::item:
            return item(index.row()).name;
        case Kind::footer:
            return footer();
        case Kind::pad:
            return {};
    }
    return {};
}

bool RowListModel::setRows(std::vector<RowItem> rows, qint64 total, bool another) {
    if (another || rows_.empty() || rows.empty()) {
        if (rows.empty() && rows_.empty() && total == total_) return false;
        beginResetModel();
        rows_ = std::move(rows);
        total_ = total;
        tail_ = tailFor(total_, rows_.size());
        endResetModel();
        return true;
    }

    const int oldCount = int(rows_.size());
    const int newCount = int(rows.size());
    const int newTail = tailFor(total, rows.size());
    const bool tailMoves = oldCount != newCount || newTail != tail_;
    if (tailMoves) {
        // The footer and the pad sit after the rows: out while the rows change, back after.
        beginRemoveRows({}, oldCount, oldCount + tail_ - 1);
        tail_ = 0;
        endRemoveRows();
    }
    for (int k = 0; k < std::min(oldCount, newCount); ++k) {
        if (rows_[std::size_t(k)] == rows[std::size_t(k)]) continue;
        rows_[std::size_t(k)] = std::move(rows[std::size_t(k)]);
        emit dataChanged(index(k), index(k));
    }
    if (newCount < oldCount) {
        beginRemoveRows({}, newCount, oldCount - 1);
        rows_.resize(std::size_t(newCount));
        endRemoveRows();
    } else if (newCount > oldCount) {
        beginInsertRows({}, oldCount, newCount - 1);
        for (int k = oldCount; k < newCount; ++k)
            rows_.push_back(std::move(rows[std::size_t(k)]));
        endInsertRows();
    }
    const bool footerChanged = total != total_;
    total_ = total;
    if (tailMoves) {
        beginInsertRows({}, newCount, newCount + newTail - 1);
        tail_ = newTail;
        endInsertRows();
    } else if (footerChanged && hasFooter()) {
        emit dataChanged(index(newCount), index(newCount));
    }
    return false;
}

}  // namespace tamrel
