#include "ui/results/ResultsText.h"

#include <gtest/gtest.h>

#include <QLocale>

#include "format/Fmt.h"
#include "tests/support/IndexBuilder.h"
#include "ui/results/KindBarGeometry.h"

namespace tamrel {
namespace {

using Parts = std::vector<std::pair<FileKind, std::uint64_t>>;

TEST(PathCrumbs, FiveShownWholeSixFolded) {
    const std::vector<NodeId> root = {0};
    EXPECT_EQ(pathCrumbs(root), root);
    const std::vector<NodeId> five = {0, 3, 9, 14, 20};
    EXPECT_EQ(pathCrumbs(five), five);
    const std::vector<NodeId> six = {0, 3, 9, 14, 20, 31};
    EXPECT_EQ(pathCrumbs(six), (std::vector<NodeId>{0, NONE, 14, 20, 31}));
    const std::vector<NodeId> nine = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(pathCrumbs(nine), (std::vector<NodeId>{0, NONE, 6, 7, 8}));
}

TEST(PathCrumbs, RootNames) {
    EXPECT_EQ(rootDisplayName("/", std::nullopt, "/home/me"), "Computer");
    EXPECT_EQ(rootDisplayName("/", QString("System"), "/home/me"), "System");
    EXPECT_EQ(rootDisplayName("/home/me", QString("System"), "/home/me"), "Home");
    EXPECT_EQ(rootDisplayName("/home/me/Projects", std::nullopt, "/home/me"), "Projects");
    EXPECT_EQ(rootDisplayName("/mnt/usb/", std::nullopt, "/home/me"), "usb");
}

TEST(RelativePaths, CutOnlyAtFolderBoundaries) {
    EXPECT_EQ(belowBase("/Users/me/Projects/site", "/Users/me"), "/Projects/site");
    EXPECT_EQ(belowBase("/Users/me", "/Users/me"), "/");
    EXPECT_EQ(belowBase("/Users/me/Downloads", "/"), "Users/me/Downloads");
    EXPECT_EQ(belowBase("/home/alice/x", "/home/al"), std::nullopt);
    EXPECT_EQ(belowBase("/elsewhere", "/home/al"), std::nullopt);

    EXPECT_EQ(tildeHome("/home/me/Downloads", "/home/me"), "~/Downloads");
    EXPECT_EQ(tildeHome("/home/me", "/home/me/"), "~");
    EXPECT_EQ(tildeHome("/home/meg/x", "/home/me"), "/home/meg/x");
    EXPECT_EQ(tildeHome("/backup/home/me/x", "/home/me"), "/backup/home/me/x");
    EXPECT_EQ(tildeHome("/Projects/home/me", "/home/me"), "/Projects/home/me");
}

TEST(ListFooter, CountsTheRest) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(moreFooter(400, 400), "");
    EXPECT_EQ(moreFooter(0, 0), "");
    EXPECT_EQ(moreFooter(1200, 400), "+ 800 more");
    EXPECT_EQ(moreFooter(5000, 300), "+ 4,700 more");
}

TEST(KindBar, ShareThresholdAndMinimumWidth) {
    // 1,000 bytes: 6 bytes is exactly 0.6 % and is dropped; 7 stays at its 3 pt minimum.
    const Parts parts = {
        {FileKind::video, 900}, {FileKind::image, 87}, {FileKind::audio, 7}, {FileKind::code, 6}};
    const KindBarLayout bar = kindBarLayout(parts, 300);
    ASSERT_EQ(bar.segments.size(), 3u);
    EXPECT_EQ(bar.segments[2].kind, FileKind::audio);
    EXPECT_EQ(bar.segments[2].width, 3);
    EXPECT_DOUBLE_EQ(bar.segments[0].width, (300 - 4.5) * 0.9);
    EXPECT_DOUBLE_EQ(bar.segments[1].x, bar.segments[0].width + 1.5);
    EXPECT_EQ(bar.legendCount, 3);
    // The dropped kind's share stays empty at the end of the bar.
    EXPECT_LT(bar.rowWidth, 300 - 1);

    const Parts one = {{FileKind::document, 123}};
    const KindBarLayout single = kindBarLayout(one, 200);
    ASSERT_EQ(single.segments.size(), 1u);
    EXPECT_DOUBLE_EQ(single.segments[0].width, 200 - 1.5);

    Parts eight;
    for (int k = 0; k < 8; ++k)
        eight.push_back({FileKind::allCases()[k], 100});
    const KindBarLayout many = kindBarLayout(eight, 400);
    EXPECT_EQ(many.segments.size(), 8u);
    EXPECT_EQ(many.legendCount, 6);

    EXPECT_TRUE(kindBarLayout({}, 300).segments.empty());
    const Parts zero = {{FileKind::video, 0}};
    EXPECT_TRUE(kindBarLayout(zero, 300).segments.empty());
}

TEST(ResultsTexts, CountsTimesAndThePendingSearch) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(confirmTrashTitle(1, 2'000'000),
              "Move 1 item (" + Fmt::bytes(2'000'000) + ") to the Trash?");
    EXPECT_EQ(confirmTrashTitle(3, 0), "Move 3 items (" + Fmt::bytes(0) + ") to the Trash?");
    EXPECT_EQ(pickedLine(1234), "1234 PICKED");

    EXPECT_EQ(searchTitle(false, false, 0), "Nothing by that name");
    EXPECT_EQ(searchTitle(true, false, 5000), "5,000 found");
    // A pending search keeps the total the last one stored, also before it has listed any.
    EXPECT_EQ(searchTitle(true, true, 5000), "5,000 found");
    EXPECT_EQ(searchTitle(false, true, 0), "0 found");
    EXPECT_EQ(searchTitle(false, true, 12), "12 found");
    EXPECT_EQ(searchCount(300), "300");

    EXPECT_EQ(searchCaption(0.0123, RuleSet::designed),
              "in 12.3 ms \u00B7 biggest first \u00B7 try ext:dmg size:>1gb mtime:>90d");
    EXPECT_EQ(searchCaption(0.0123, RuleSet::linuxDesktop),
              "in 12.3 ms \u00B7 biggest first \u00B7 try ext:iso size:>1gb mtime:>90d");
    EXPECT_EQ(scanTimeText(12.34), "read in 12.3s");
}

TEST(ResultsTexts, GoneNodesLeaveTheLists) {
    test::IndexBuilder b("/r");
    b.file("/r/Photos/a.jpg", 500).file("/r/Photos/old/b.jpg", 400).file("/r/c.iso", 300);
    b.removed("/r/Photos/old");
    auto index = b.build();
    const NodeId a = test::idOf(*index, "/r/Photos/a.jpg");
    const NodeId inRemoved = test::idOf(*index, "/r/Photos/old/b.jpg");
    const NodeId c = test::idOf(*index, "/r/c.iso");
    const std::vector<NodeId> ids = {inRemoved, a, index->count() + 3, c};
    EXPECT_EQ(presentNodes(*index, ids), (std::vector<NodeId>{a, c}));

    EXPECT_EQ(biggestCaption(*index, 0), "anywhere");
    EXPECT_EQ(biggestCaption(*index, test::idOf(*index, "/r/Photos")), "in Photos");
    EXPECT_EQ(searchScope(nullptr, 0), "");
    EXPECT_EQ(searchScope(index.get(), 0), "anything");
    EXPECT_EQ(searchScope(index.get(), test::idOf(*index, "/r/Photos")), "in Photos");
}

}  // namespace
}  // namespace tamrel
