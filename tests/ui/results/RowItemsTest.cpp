#include "ui/results/RowItems.h"

#include <gtest/gtest.h>

#include <QLocale>

#include "format/Fmt.h"
#include "tests/support/IndexBuilder.h"

namespace tamrel {
namespace {

constexpr std::uint32_t day = 86'400;

class RowItemsTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        test::IndexBuilder b("/");
        b.file("/Users/me/Projects/site/index.html", 4000, now - 3 * day);
        b.file("/Users/me/Downloads/big.iso", 9000, now - 100);
        b.file("/Users/meg/notes.txt", 10, now - 400 * day);
        b.dir("/Users/me/Tools.APP").file("/Users/me/Tools.APP/bin", 30);
        b.dir("/Users/me/locked", 0, Flag::denied);
        for (int k = 0; k < 1234; ++k)
            b.file("/Users/me/many/f" + std::to_string(k), 1);
        index = b.build();
    }
    NodeId id(std::string_view path) { return test::idOf(*index, path); }
    std::vector<RowItem> rows(std::vector<NodeId> ids, std::uint64_t maxSize,
                              std::optional<NodeId> base) {
        return rowItems(*index, ids, maxSize, base, picked, "/Users/me",
                        QDateTime::fromSecsSinceEpoch(now));
    }

    static constexpr std::uint32_t now = 1'700'000'000;
    std::unique_ptr<DiskIndex> index;
    std::function<bool(NodeId)> picked = [](NodeId) { return false; };
};

TEST_F(RowItemsTest, SubtitlesWithoutABase) {
    const auto r =
        rows({id("/Users/me/Projects/site/index.html"), id("/Users/meg/notes.txt"),
              id("/Users/me/many"), id("/Users/me/Tools.APP"), id("/Users/me/locked"), 0},
             0, std::nullopt);
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[0].subtitle, "3 days ago");
    EXPECT_EQ(r[1].subtitle, "a year ago");
    EXPECT_EQ(r[2].subtitle, "1,234 files");
    EXPECT_EQ(r[3].subtitle, "1 file");
    EXPECT_EQ(r[4].subtitle, "no access");
    EXPECT_TRUE(r[4].denied && r[4].isDir);
    EXPECT_EQ(r[5].subtitle, Fmt::files(index->items(0)));
    // A maxSize of 0 scales by 1.
    EXPECT_EQ(r[0].fraction, 4000.0);
    EXPECT_EQ(r[3].appPath, QString("/Users/me/Tools.APP"));
    EXPECT_FALSE(r[2].appPath);
}

TEST_F(RowItemsTest, SubtitlesRelativeToAFolder) {
    const std::vector<NodeId> ids = {id("/Users/me/Projects/site/index.html"),
                                     id("/Users/me/Projects"), id("/Users/meg/notes.txt"),
                                     id("/Users/me/Downloads/big.iso"), 0};
    const NodeId me = id("/Users/me");
    auto r = rows(ids, 4000, me);
    EXPECT_EQ(r[0].subtitle, "/Projects/site");
    EXPECT_EQ(r[1].subtitle, "/");           // a direct child of the base
    EXPECT_EQ(r[2].subtitle, "/Users/meg");  // not below /Users/me, and not home either
    EXPECT_EQ(r[0].fraction, 1.0);
    EXPECT_GT(r[3].fraction, 1.0);
    EXPECT_EQ(r[4].subtitle, Fmt::files(index->items(0)));  // the root reads as without a base

    // Explored at the root "/": the dropped base takes the leading slash, no "~" there.
    r = rows(ids, 4000, NodeId(0));
    EXPECT_EQ(r[0].subtitle, "Users/me/Projects/site");
    EXPECT_EQ(r[1].subtitle, "Users/me");

    // Outside the base: absolute, the home folder at the start written "~".
    r = rows(ids, 4000, id("/Users/meg"));
    EXPECT_EQ(r[0].subtitle, "~/Projects/site");
    EXPECT_EQ(r[1].subtitle, "~");
    EXPECT_EQ(r[2].subtitle, "/");
}

TEST_F(RowItemsTest, PickedAndForeignIds) {
    const NodeId projects = id("/Users/me/Projects");
    picked = [&](NodeId n) { return n == projects || index->isAncestor(projects, n); };
    auto r = rows(
        {id("/Users/me/Projects/site/index.html"), index->count() + 5, id("/Users/meg/notes.txt")},
        1, std::nullopt);
    ASSERT_EQ(r.size(), 2u);  // an id from beyond this index is never read
    EXPECT_TRUE(r[0].picked);
    EXPECT_FALSE(r[1].picked);
}

}  // namespace
}  // namespace tamrel
