#include "ui/results/TreemapGeometry.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/IndexBuilder.h"
#include "ui/theme/Fonts.h"

namespace tamrel {
namespace {

// A folder /r/d with `n` sized files (sizes falling) and `zeros` empty ones.
std::unique_ptr<DiskIndex> folderOf(int n, int zeros = 0) {
    test::IndexBuilder b("/r");
    for (int k = 0; k < n; ++k)
        b.file("/r/d/f" + std::to_string(k), 100'000 - k);
    for (int k = 0; k < zeros; ++k)
        b.file("/r/d/z" + std::to_string(k), 0);
    return b.build();
}

std::vector<NodeId> kidsOf(const DiskIndex& index, std::string_view path) {
    return index.sortedChildren(test::idOf(index, path));
}

TEST(TreemapTiles, CapAndOthersTile) {
    const QRectF r(9, 9, 800, 600);
    {
        auto index = folderOf(90, 5);
        auto tiles = treemapTiles(*index, kidsOf(*index, "/r/d"), r);
        ASSERT_EQ(tiles.size(), 90u);  // exactly 90: no others tile; zeros get nothing
        for (const auto& t : tiles)
            EXPECT_FALSE(t.isOthers());
    }
    {
        auto index = folderOf(91, 5);
        auto tiles = treemapTiles(*index, kidsOf(*index, "/r/d"), r);
        ASSERT_EQ(tiles.size(), 91u);
        EXPECT_TRUE(tiles.back().isOthers());
        EXPECT_EQ(tiles.back().others, 1);  // the zero-sized ones are not counted
        EXPECT_EQ(tiles.back().othersSize, 100'000u - 90);
    }
    {
        auto index = folderOf(1000);
        auto tiles = treemapTiles(*index, kidsOf(*index, "/r/d"), r);
        ASSERT_EQ(tiles.size(), 91u);
        EXPECT_EQ(tiles.back().others, 910);
    }
}

TEST(TreemapTiles, NothingToShow) {
    auto zeros = folderOf(0, 4);
    EXPECT_TRUE(treemapTiles(*zeros, kidsOf(*zeros, "/r/d"), QRectF(0, 0, 500, 500)).empty());
    auto some = folderOf(3);
    const auto kids = kidsOf(*some, "/r/d");
    EXPECT_TRUE(treemapTiles(*some, kids, QRectF(0, 0, 4, 500)).empty());
    EXPECT_TRUE(treemapTiles(*some, kids, QRectF(0, 0, 500, 4)).empty());
    EXPECT_EQ(treemapTiles(*some, kids, QRectF(0, 0, 4.5, 4.5)).size(), 3u);
}

TEST(TreemapTiles, PickedFollowsTheBasketAndItsFolders) {
    test::IndexBuilder b("/r");
    b.file("/r/a/x", 50).file("/r/a/y", 40).file("/r/b", 30).file("/r/c", 20);
    auto index = b.build();
    const NodeId a = test::idOf(*index, "/r/a"), c = test::idOf(*index, "/r/c");
    auto top = treemapTiles(*index, index->sortedChildren(0), QRectF(0, 0, 300, 200));
    auto inA = treemapTiles(*index, index->sortedChildren(a), QRectF(0, 0, 300, 200));
    const std::vector<NodeId> basket = {a, c, 0xFFFF};  // an id beyond the index is ignored
    markPicked(top, *index, basket);
    markPicked(inA, *index, basket);
    for (const auto& t : top)
        EXPECT_EQ(t.picked, t.node() == a || t.node() == c);
    for (const auto& t : inA)
        EXPECT_TRUE(t.picked);  // inside a picked folder
}

TEST(TileLook, LabelThresholds) {
    auto look = [](double w, double h, bool picked = false) {
        TreemapTile t;
        t.id = 1;
        t.rect = QRectF(0, 0, w + 6, h + 6);  // inner = w x h
        t.picked = picked;
        return tileLook(t);
    };
    EXPECT_FALSE(look(60, 100).label);
    EXPECT_FALSE(look(100, 34).label);
    EXPECT_TRUE(look(60.5, 34.5).label);
    EXPECT_FALSE(look(100, 50).sizeLine);  // title only up to 50 pt high
    EXPECT_TRUE(look(100, 50.5).sizeLine);
    EXPECT_EQ(look(100, 70).titleLines, 1);
    EXPECT_EQ(look(100, 70.5).titleLines, 2);
    EXPECT_FALSE(look(180, 200).big);
    EXPECT_TRUE(look(180.5, 90.5).big);

    EXPECT_EQ(look(100, 41).depth, 4);
    EXPECT_EQ(look(100, 40).depth, 2.5);
    EXPECT_EQ(look(100, 16).depth, 1.5);
    EXPECT_EQ(look(300, 300).radius, 12);
    EXPECT_DOUBLE_EQ(look(30, 300).radius, 10);

    EXPECT_FALSE(look(26, 100, true).badge);  // stripes but no badge at 26 pt or less
    EXPECT_TRUE(look(27, 100, true).badge);
    EXPECT_FALSE(look(27, 100, false).badge);
}

// A title that does not fit is broken at blanks only and elided where a word does not fit,
// whatever the scale: at 1.5 the font and the width both grow by half.
TEST(TileLook, TitleLinesNeverBreakAWord) {
    const QChar ellipsis(0x2026);
    const struct {
        const char* title;
        double width;
        int allowed;
        int lines;    // drawn
        bool elided;  // the last line ends in "…"
    } cases[] = {
        {"Documents", 200, 2, 1, false},
        {"Documents", 45, 2, 1, true},
        {"Documents", 45, 1, 1, true},
        {"/var/tmp", 40, 2, 1, true},
        {"node_modules", 60, 2, 1, true},
        {"Application Support", 90, 2, 2, false},
        {"Application Support", 90, 1, 1, true},
        {"Application Support", 50, 2, 1, true},  // "Application" alone does not fit
        {"My Old Documentation", 60, 2, 2, true},
        {"a b c d e f g h i j k", 30, 2, 2, true},
        {"a b", 200, 2, 1, false},
    };
    for (double scale : {1.0, 1.5}) {
        QFont font = Fonts::tileTitle.font();
        font.setPointSizeF(font.pointSizeF() * scale);
        const QFontMetricsF fm(font);
        for (const auto& c : cases) {
            const QString title = QString::fromUtf8(c.title);
            const double width = c.width * scale;
            const QStringList lines = tileTitleLines(title, fm, width, c.allowed);
            const std::string what = std::string(c.title) + " in " + std::to_string(width) + ": " +
                                     lines.join(QLatin1Char('|')).toStdString();
            ASSERT_EQ(lines.size(), c.lines) << what;
            qsizetype at = 0;  // where the next line's text is in the title
            for (qsizetype k = 0; k < lines.size(); ++k) {
                QString line = lines[k];
                EXPECT_LE(fm.horizontalAdvance(line), width) << what;
                const bool cut = line.endsWith(ellipsis);
                EXPECT_EQ(cut, c.elided && k == lines.size() - 1) << what;
                if (cut) line.chop(1);
                // Each line starts a word and, unless elided, ends one.
                while (at < title.size() && title[at] == QLatin1Char(' '))
                    ++at;
                EXPECT_EQ(title.mid(at, line.size()), line) << what;
                at += line.size();
                if (!cut) {
                    EXPECT_TRUE(at == title.size() || title[at] == QLatin1Char(' ')) << what;
                }
            }
            if (!c.elided) {
                EXPECT_EQ(at, title.size()) << what;
            }
        }
    }
}

TEST(TileLook, HitTestingSkipsGuttersAndPrefersTheLiftedTile) {
    std::vector<TreemapTile> tiles(2);
    tiles[0].rect = QRectF(0, 0, 100, 100);
    tiles[1].rect = QRectF(100, 0, 100, 100);
    EXPECT_EQ(tileAt(tiles, {50, 50}), 0);
    EXPECT_EQ(tileAt(tiles, {150, 50}), 1);
    EXPECT_EQ(tileAt(tiles, {99, 50}), -1);  // the gutter between them
    EXPECT_EQ(tileAt(tiles, {150, 1}), -1);
    EXPECT_EQ(tileAt(tiles, {300, 50}), -1);
    tiles[1].rect = QRectF(50, 0, 100, 100);  // overlapping: the lifted tile wins
    EXPECT_EQ(tileAt(tiles, {80, 50}, 1), 1);
    EXPECT_EQ(tileAt(tiles, {80, 50}), 0);
}

TEST(TileLook, StripesCoverTheTile) {
    const auto lines = stripeLines(QRectF(0, 0, 40, 20));
    // x from -20 while below 40, every 10: six lines rising to the right.
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines.front(), QLineF(-20, 20, 0, 0));
    EXPECT_EQ(lines.back(), QLineF(30, 20, 50, 0));
}

}  // namespace
}  // namespace tamrel

namespace tamrel {
namespace {

// The arrows move the keyboard's place to a tile beyond the ring tile's edge that way: one
// sharing its span across the move first (the nearest, then the one sharing the most), else
// the nearest; the others tile is passed over; with nothing that way the place stays.
TEST(TileToward, TheTileBeyondTheEdgeThatWay) {
    const auto tile = [](std::int64_t id, double x, double y, double w, double h) {
        TreemapTile t;
        t.id = id;
        t.rect = QRectF(x, y, w, h);
        return t;
    };
    struct Case {
        int from, key, to;
    };
    //  +----+----+----+
    //  | 0  | 1  | 2  |
    //  +----+----+----+
    //  | 3       | -1 |   (-1: the others tile)
    //  +---------+----+
    const std::vector<TreemapTile> grid = {tile(0, 0, 0, 100, 100), tile(1, 100, 0, 100, 100),
                                           tile(2, 200, 0, 100, 100), tile(3, 0, 100, 200, 100),
                                           tile(-1, 200, 100, 100, 100)};
    const Case gridCases[] = {
        {-1, Qt::Key_Right, 0}, {0, Qt::Key_Right, 1}, {1, Qt::Key_Right, 2},
        {2, Qt::Key_Right, 2},  {2, Qt::Key_Left, 1},  {0, Qt::Key_Down, 3},
        {2, Qt::Key_Down, 3},   // the others tile below is no control: the nearest of the rest
        {3, Qt::Key_Up, 0},     // 0 and 1 share as much of 3's width: the first
        {3, Qt::Key_Right, 2},  // nothing beside it: the nearest beyond its edge
        {0, Qt::Key_Up, 0},     {1, Qt::Key_Home, 1},  // not an arrow
    };
    for (const Case& c : gridCases)
        EXPECT_EQ(tileToward(grid, c.from, c.key), c.to) << c.from << " " << c.key;

    //  +--------------+---+
    //  |      0       |   |    0 is wide: 3's centre lies right of 0's, and 1 is what is to
    //  +-----+--------+ 1 |    its right
    //  |     |   3    |   |
    //  |  2  +--------+   |
    //  |     |   4    |   |
    //  +-----+--------+---+
    //  |      5         |-1|
    //  +----------------+--+
    const std::vector<TreemapTile> wide = {
        tile(0, 0, 0, 240, 60),     tile(1, 240, 0, 60, 140),   tile(2, 0, 60, 100, 80),
        tile(3, 100, 60, 140, 50),  tile(4, 100, 110, 140, 30), tile(5, 0, 140, 220, 60),
        tile(-1, 220, 140, 80, 60),
    };
    const Case wideCases[] = {
        {0, Qt::Key_Right, 1}, {0, Qt::Key_Down, 3},  // shares 140 of 0's width; 2 only 100
        {2, Qt::Key_Right, 3},                        // shares 50 of 2's height; 4 only 30
        {4, Qt::Key_Up, 3},                           // the nearest, not 0 beyond it
        {1, Qt::Key_Left, 0},  {4, Qt::Key_Right, 1}, {5, Qt::Key_Up, 4},
        {1, Qt::Key_Down, 5},   // nothing below shares its width but the others tile
        {5, Qt::Key_Right, 1},  // only 1 lies beyond its right edge, above it
        {1, Qt::Key_Right, 1}, {0, Qt::Key_Up, 0},    {2, Qt::Key_Left, 2},
        {3, Qt::Key_Down, 4},
    };
    for (const Case& c : wideCases)
        EXPECT_EQ(tileToward(wide, c.from, c.key), c.to) << c.from << " " << c.key;
    EXPECT_EQ(tileToward(std::vector<TreemapTile>{tile(-1, 0, 0, 10, 10)}, -1, Qt::Key_Right), -1);
}

}  // namespace
}  // namespace tamrel
