#include "ui/results/TreemapView.h"

#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "tests/ui/UiFixture.h"
#include "ui/results/ExploreView.h"
#include "ui/results/ItemList.h"

namespace tamrel {
namespace {

// The treemap keeps pictures of its well and its tiles between paints; whatever happened to it
// since, it must draw what a treemap built afresh for the same folder, size and basket draws.
class TreemapViewTest : public test::UiTest {
protected:
    TreemapViewTest() {
        put("disk/big.iso", 900'000);
        put("disk/films/a.mp4", 500'000);
        put("disk/films/b.mp4", 300'000);
        put("disk/notes.txt", 60'000);
        put("disk/photo.jpg", 200'000);
        for (int k = 0; k < 12; ++k)
            put("disk/many/f" + std::to_string(k) + ".bin", 10'000 + 3'000 * k);
    }
    void SetUp() override { scanned(tree.path() + "/disk"); }
    NodeId at(const std::string& relative) {
        return *model().index()->lookup(tree.path() + "/disk/" + relative);
    }
    void show(TreemapView& map, NodeId folder, QSize size = {640, 700}) {
        map.setFolder(model().index(), folder, model().children(folder));
        map.resize(size);
    }
    QImage picture(TreemapView& map) { return map.grab().toImage(); }
    // A treemap made now for the folder, at the size of `kept`.
    QImage fresh(const TreemapView& kept, NodeId folder) {
        TreemapView map(model());
        show(map, folder, kept.size());
        return picture(map);
    }
    const TreemapTile& tileOf(const TreemapView& map, NodeId node) {
        for (const TreemapTile& t : map.tiles()) {
            if (!t.isOthers() && t.node() == node) return t;
        }
        ADD_FAILURE() << "no tile for " << node;
        return map.tiles().front();
    }
};

TEST_F(TreemapViewTest, AKeptTreemapDrawsWhatAFreshOneDraws) {
    TreemapView map(model());
    show(map, 0);
    const QImage first = picture(map);
    EXPECT_TRUE(first == fresh(map, 0));

    // A tile risen under the pointer is drawn over the rest; back at rest, nothing of it stays.
    const QPoint over = tileOf(map, at("big.iso")).rect.center().toPoint();
    QMouseEvent move(QEvent::MouseMove, over, map.mapToGlobal(over), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&map, &move);
    EXPECT_FALSE(picture(map) == first);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&map, &leave);
    EXPECT_TRUE(picture(map) == first);

    // A pick turns a tile orange; taking it back turns it back.
    model().toggleBasket(at("big.iso"));
    const QImage picked = picture(map);
    EXPECT_FALSE(picked == first);
    EXPECT_TRUE(picked == fresh(map, 0));
    model().toggleBasket(at("big.iso"));
    EXPECT_TRUE(picture(map) == first);

    // Another size, another folder, and back.
    map.resize(500, 420);
    EXPECT_TRUE(picture(map) == fresh(map, 0));
    show(map, at("many"), map.size());
    EXPECT_TRUE(picture(map) == fresh(map, at("many")));
    show(map, 0, QSize(640, 700));
    EXPECT_TRUE(picture(map) == first);
}

// Entering another folder fades the old tiles out while the new ones come in; once the spring
// settles nothing of the old folder is drawn.
TEST_F(TreemapViewTest, EnteringAFolderFadesTheOldTilesOut) {
    TreemapView map(model());
    map.setFocusPolicy(Qt::NoFocus);  // shown alone it would take the focus and its ring
    show(map, 0);
    map.show();
    const QImage root = picture(map);
    SpringAnimator::setInstant(false);
    show(map, at("many"), map.size());
    EXPECT_DOUBLE_EQ(map.leavingOpacity(), 1);
    // At first the root's tiles are all that is seen; the new ones come in as they fade out.
    EXPECT_TRUE(picture(map) == root);
    clock.advance(std::chrono::seconds(2));
    EXPECT_EQ(map.leavingOpacity(), 0);
    SpringAnimator::setInstant(true);
    TreemapView other(model());
    show(other, at("many"), map.size());
    other.show();
    EXPECT_TRUE(picture(map) == picture(other));
}

// Explore sorts only the head of a wide folder: its rows and tiles are those of the full order.
TEST_F(TreemapViewTest, AWideFolderShowsTheHeadOfTheFullOrder) {
    for (int k = 0; k < 460; ++k)
        put("disk/wide/f" + std::to_string(k) + ".bin", 1'000 + 97 * (k % 23));
    scanned(tree.path() + "/disk");
    const NodeId wide = at("wide");
    model().open(wide);
    ExploreView explore(model());
    explore.resize(1100, 800);
    explore.show();
    ASSERT_TRUE(test::exposed(explore));
    const NodeIds full = model().children(wide);
    ASSERT_EQ(full.size(), 460u);

    const auto& rows = explore.list().view().rowModel().rows();
    ASSERT_EQ(rows.size(), 400u);
    EXPECT_EQ(explore.list().view().rowModel().total(), 460);
    for (std::size_t k = 0; k < rows.size(); ++k)
        ASSERT_EQ(rows[k].id, full[k]) << k;
    const std::vector<TreemapTile> expected =
        treemapTiles(*model().index(), full, explore.treemap().tileArea());
    const std::vector<TreemapTile>& tiles = explore.treemap().tiles();
    ASSERT_EQ(tiles.size(), expected.size());
    ASSERT_EQ(tiles.size(), std::size_t(treemapTileCap) + 1);  // and the others tile
    for (std::size_t k = 0; k < tiles.size(); ++k) {
        EXPECT_EQ(tiles[k].id, expected[k].id) << k;
        EXPECT_EQ(tiles[k].rect, expected[k].rect) << k;
        EXPECT_EQ(tiles[k].others, expected[k].others) << k;
        EXPECT_EQ(tiles[k].othersSize, expected[k].othersSize) << k;
    }
}

}  // namespace
}  // namespace tamrel
