#include "ui/results/RowListModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QLocale>
#include <QSignalSpy>

namespace tamrel {
namespace {

std::vector<RowItem> rowsOf(std::vector<NodeId> ids, std::uint64_t size = 10) {
    std::vector<RowItem> rows;
    for (NodeId id : ids) {
        RowItem r;
        r.id = id;
        r.name = QString::number(id);
        r.size = size;
        rows.push_back(r);
    }
    return rows;
}

TEST(RowListModel, UpdatesOnlyWhatChangedAndResetsForAnotherList) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    RowListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);

    EXPECT_TRUE(model.setRows(rowsOf({5, 6, 7}), 3, true));
    EXPECT_EQ(model.rowCount(), 4);  // three rows and the pad
    EXPECT_EQ(model.kindAt(3), RowListModel::Kind::pad);

    // The same list: one row picked, only that one is announced.
    auto picked = rowsOf({5, 6, 7});
    picked[1].picked = true;
    EXPECT_FALSE(model.setRows(picked, 3, false));
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0][0].toModelIndex().row(), 1);
    EXPECT_EQ(resets.size(), 1);

    // A trashed row drops out at the end; more entries than rows bring the footer.
    EXPECT_FALSE(model.setRows(rowsOf({5, 6}), 1200, false));
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.kindAt(2), RowListModel::Kind::footer);
    EXPECT_EQ(model.footer(), "+ 1,198 more");

    // The same list refreshed with another first row: no reset, the view keeps its place.
    EXPECT_FALSE(model.setRows(rowsOf({9, 5}), 2, false));
    EXPECT_EQ(resets.size(), 1);
    // Another folder: a reset, which takes the view back to the top.
    EXPECT_TRUE(model.setRows(rowsOf({9, 5}), 2, true));
    EXPECT_EQ(resets.size(), 2);
    EXPECT_TRUE(model.setRows({}, 0, false));
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_FALSE(model.setRows({}, 0, false));
}

}  // namespace
}  // namespace tamrel
