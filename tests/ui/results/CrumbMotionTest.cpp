#include "ui/results/CrumbMotion.h"

#include <gtest/gtest.h>

#include <vector>

namespace tamrel {
namespace {

CrumbLook look(const char* text, double x, double width, bool current = false) {
    CrumbLook l;
    l.text = QString::fromUtf8(text);
    l.x = x;
    l.width = width;
    l.current = current;
    return l;
}

// The draws of `text`, in draw order.
std::vector<CrumbDraw> drawsOf(const std::vector<CrumbDraw>& draws, const char* text) {
    std::vector<CrumbDraw> out;
    for (const CrumbDraw& d : draws) {
        if (d.look.text == QString::fromUtf8(text)) out.push_back(d);
    }
    return out;
}

TEST(CrumbMotion, AtRestEveryCrumbOnceWithASeparatorBeforeAllButTheFirst) {
    const std::vector<CrumbLook> bar{look("disk", 34, 30), look("a", 80, 10, true)};
    for (double amount : {0.0, 1.0}) {
        const auto draws = crumbsInMotion(bar, bar, amount);
        ASSERT_EQ(draws.size(), 2u);
        EXPECT_EQ(draws[0].look, bar[0]);
        EXPECT_EQ(draws[0].opacity, 1);
        EXPECT_EQ(draws[0].separatorOpacity, 0);
        EXPECT_EQ(draws[1].look, bar[1]);
        EXPECT_EQ(draws[1].separatorOpacity, 1);
    }
    EXPECT_TRUE(crumbsInMotion({}, {}, 0.5).empty());
}

TEST(CrumbMotion, GoingDeeperTheNewCrumbFadesInAndTheChangedOneCrossFades) {
    // From the root (bold, current) into "photos": the root crumb turns semibold, "photos" comes.
    const std::vector<CrumbLook> from{look("disk", 34, 32, true)};
    const std::vector<CrumbLook> to{look("disk", 34, 30), look("photos", 80, 44, true)};

    const auto start = crumbsInMotion(from, to, 0);
    ASSERT_EQ(start.size(), 1u);  // nothing at opacity 0
    EXPECT_EQ(start[0].look, from[0]);
    EXPECT_EQ(start[0].opacity, 1);

    const auto half = crumbsInMotion(from, to, 0.5);
    const auto roots = drawsOf(half, "disk");
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_TRUE(roots[0].look.current);  // the old look leaves
    EXPECT_DOUBLE_EQ(roots[0].opacity, 0.5);
    EXPECT_FALSE(roots[1].look.current);  // the new one comes, in the same place
    EXPECT_DOUBLE_EQ(roots[1].opacity, 0.5);
    const auto photos = drawsOf(half, "photos");
    ASSERT_EQ(photos.size(), 1u);
    EXPECT_DOUBLE_EQ(photos[0].opacity, 0.5);
    EXPECT_DOUBLE_EQ(photos[0].separatorOpacity, 0.5);
    EXPECT_DOUBLE_EQ(photos[0].look.x, 80);  // where it ends up

    const auto end = crumbsInMotion(from, to, 1);
    ASSERT_EQ(end.size(), 2u);
    EXPECT_EQ(end[0].look, to[0]);
    EXPECT_EQ(end[1].look, to[1]);
}

TEST(CrumbMotion, GoingUpTheLastCrumbFadesOutWhereItWas) {
    const std::vector<CrumbLook> from{look("disk", 34, 30), look("photos", 80, 44, true)};
    const std::vector<CrumbLook> to{look("disk", 34, 32, true)};
    const auto quarter = crumbsInMotion(from, to, 0.25);
    const auto photos = drawsOf(quarter, "photos");
    ASSERT_EQ(photos.size(), 1u);
    EXPECT_DOUBLE_EQ(photos[0].opacity, 0.75);
    EXPECT_DOUBLE_EQ(photos[0].separatorOpacity, 0.75);
    EXPECT_DOUBLE_EQ(photos[0].look.x, 80);
    EXPECT_TRUE(drawsOf(crumbsInMotion(from, to, 1), "photos").empty());
}

TEST(CrumbMotion, AMatchedCrumbGlidesAndFollowsTheSpringPastItsEnd) {
    // The same crumb at another place and width (a longer ellipsis run moved it).
    const std::vector<CrumbLook> from{look("disk", 34, 30), look("c", 100, 10)};
    const std::vector<CrumbLook> to{look("disk", 34, 30), look("c", 120, 20)};
    const auto half = crumbsInMotion(from, to, 0.5);
    ASSERT_EQ(half.size(), 2u);
    EXPECT_DOUBLE_EQ(half[1].look.x, 110);
    EXPECT_DOUBLE_EQ(half[1].look.width, 15);
    EXPECT_EQ(half[1].opacity, 1);
    EXPECT_EQ(half[1].separatorOpacity, 1);

    // An overshoot carries the place past the end; opacities stay at most 1.
    const auto over = crumbsInMotion(from, to, 1.1);
    EXPECT_DOUBLE_EQ(over[1].look.x, 122);
    const std::vector<CrumbLook> deeper{look("disk", 34, 30), look("c", 100, 10),
                                        look("d", 130, 10)};
    for (const CrumbDraw& d : crumbsInMotion(from, deeper, 1.1)) {
        EXPECT_LE(d.opacity, 1);
        EXPECT_LE(d.separatorOpacity, 1);
    }
    // An undershoot below 0 shows only the leaving bar.
    for (const CrumbDraw& d : crumbsInMotion(from, deeper, -0.05))
        EXPECT_NE(d.look.text, "d");
}

TEST(CrumbMotion, LongCrumbsShareTheRoomAndShortOnesKeepTheirWidth) {
    // They fit: nothing changes.
    EXPECT_EQ(fitCrumbWidths({40, 220, 100}, 400, 24), (std::vector<double>{40, 220, 100}));
    // 340 of room for 40 + 220 + 220: the short one keeps 40, the long ones get 150 each.
    EXPECT_EQ(fitCrumbWidths({40, 220, 220}, 340, 24), (std::vector<double>{40, 150, 150}));
    // One below the limit keeps its own width: 40 + 100 + 2 * 110 = 360; with less room
    // it is cut as well.
    EXPECT_EQ(fitCrumbWidths({40, 220, 100, 220}, 360, 24),
              (std::vector<double>{40, 110, 100, 110}));
    EXPECT_EQ(fitCrumbWidths({40, 220, 100, 220}, 340, 24),
              (std::vector<double>{40, 100, 100, 100}));
    // No room at all: every long crumb keeps the least width, a shorter one its own.
    EXPECT_EQ(fitCrumbWidths({12, 220, 220}, 0, 24), (std::vector<double>{12, 24, 24}));
}

}  // namespace
}  // namespace tamrel
