#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "tests/ui/UiFixture.h"
#include "tests/ui/tools/ToolsTree.h"
#include "ui/theme/Keys.h"
#include "ui/tools/CleanView.h"

namespace tamrel {
namespace {

// The Clean up screen keeps its sums (what the plan found, what is ticked, each group's bytes)
// between paints; after ticks and moves it must draw what a screen made afresh draws.
class CleanPaint : public test::UiTest {
protected:
    void SetUp() override {
        test::makeToolsTree(tree);
        scanned(home());
        ASSERT_TRUE(waitFor([&] { return !model().cleanPlan().empty(); }));
        kept = make();
    }
    // A screen at the test's size with the developer group open.
    std::unique_ptr<CleanView> make() {
        auto view = std::make_unique<CleanView>(model());
        view->resize(1100, 800);
        view->show();
        for (CleanGroupCard* c : view->cards()) {
            if (c->group().id == "dev") c->expandKey()->click();
        }
        return view;
    }
    QImage picture(CleanView& view) { return view.grab().toImage(); }
    void expectSameAsFresh() {
        const auto fresh = make();
        EXPECT_TRUE(picture(*kept) == picture(*fresh));
    }
    const CleanGroup* group(const std::string& id) {
        for (const CleanGroup& g : model().cleanPlan())
            if (g.id == id) return &g;
        return nullptr;
    }
    std::unique_ptr<CleanView> kept;
};

TEST_F(CleanPaint, AKeptScreenDrawsWhatAFreshOneDraws) {
    expectSameAsFresh();
    const CleanGroup* dev = group("dev");
    ASSERT_NE(dev, nullptr);
    ASSERT_GE(dev->items.size(), 2u);
    const QImage before = picture(*kept);

    // An item unticked: the header's count and size and the group's figures change.
    model().setClean({dev->items[0].node}, false);
    EXPECT_FALSE(picture(*kept) == before);
    expectSameAsFresh();
    model().setClean({dev->items[0].node}, true);
    EXPECT_TRUE(picture(*kept) == before);

    // A file inside an item of the open group moves to the Trash: the item's row, the group's
    // bytes and the found total shrink with the new revision.
    const IndexRef index = model().index();
    NodeId inside = NONE;
    for (const CleanItem& item : dev->items) {
        if (!index->isDir(item.node)) continue;
        for (NodeId c : model().children(item.node)) {
            if (!index->isDir(c) && index->size(c) > 0) inside = c;
        }
    }
    ASSERT_NE(inside, NONE);
    QSignalSpy revision(&model().revision, &PropertyNotifier::changed);
    model().trash({inside}, {});
    ASSERT_TRUE(waitFor([&] { return revision.count() > 0 && !model().trashing(); }));
    QApplication::processEvents();
    EXPECT_FALSE(picture(*kept) == before);
    expectSameAsFresh();
}

}  // namespace
}  // namespace tamrel
