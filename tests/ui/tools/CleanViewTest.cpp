#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "format/Fmt.h"
#include "platform/XdgDirs.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/model/system/BundleChild.h"
#include "tests/ui/RollWatch.h"
#include "tests/ui/UiFixture.h"
#include "tests/ui/tools/BoxButton.h"
#include "tests/ui/tools/ToolsTree.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Keys.h"
#include "ui/theme/SpringAnimator.h"
#include "ui/tools/CleanView.h"
#include "ui/tools/TickBox.h"
#include "ui/tools/ToolsBusy.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {
namespace {

TEST(CleanText, TitlesNotesAndCounts) {
    EXPECT_EQ(cleanConfirmTitle(1, 2'000'000), QStringLiteral("Move 1 item (2 MB) to the Trash?"));
    EXPECT_EQ(cleanConfirmTitle(0, 0), QStringLiteral("Move 0 items (0 bytes) to the Trash?"));
    EXPECT_EQ(cleanConfirmTitle(12, 1'500'000),
              QStringLiteral("Move 12 items (1.5 MB) to the Trash?"));
    EXPECT_FALSE(trashNote(1'048'576));
    ASSERT_TRUE(trashNote(1'048'577));
    EXPECT_EQ(*trashNote(1'048'577),
              QStringLiteral("Your Trash already holds 1 MB. The space comes back "
                             "once you empty it in the file manager."));
    EXPECT_EQ(groupCountLine(2'700'000, 2, 3), QStringLiteral("of 2.7 MB \u00B7 2/3"));
    EXPECT_EQ(groupMoreLine(200), QString());
    EXPECT_EQ(groupMoreLine(250), QStringLiteral("+ 50 more, included in the group tick"));
    EXPECT_EQ(groupHex("projects"), 0xFF7A59u);
    EXPECT_EQ(groupHex("nope"), 0xBDB8AEu);
    EXPECT_EQ(tickState(0, 3), TickState::none);
    EXPECT_EQ(tickState(1, 3), TickState::some);
    EXPECT_EQ(tickState(3, 3), TickState::all);
    EXPECT_EQ(tickState(0, 0), TickState::none);
    EXPECT_TRUE(tickLook(TickState::none, 0).symbol.isEmpty());
    EXPECT_EQ(tickLook(TickState::some, 1).symbol, QStringLiteral("minus"));
    EXPECT_EQ(tickLook(TickState::all, 1).fill, Color::tangerine);
    EXPECT_EQ(tickLook(TickState::all, 1).border.alpha(), 0);
    EXPECT_EQ(tickLook(TickState::none, 0).border, Color::keyEdge);
}

TEST(CleanText, OpenTrashFallsBackToTheHomeTrashFolder) {
    std::vector<QUrl> asked;
    EXPECT_TRUE(openTrash([&](const QUrl& url) {
        asked.push_back(url);
        return asked.size() == 2;
    }));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], QUrl(QStringLiteral("trash:///")));
    EXPECT_EQ(asked[1].toLocalFile().toStdString(), homeTrashDirectory() + "/files");
}

// The Clean up tab over a real model whose moves go to a real Trash in a temporary data home.
class CleanScreen : public test::UiTest {
protected:
    void SetUp() override {
        test::makeToolsTree(tree);
        scanned(home());
        ASSERT_TRUE(waitFor([&] { return !model().cleanPlan().empty(); }));
        view = std::make_unique<CleanView>(model());
        view->resize(1100, 800);
        view->show();
    }
    CleanGroupCard* cardOf(const std::string& id) {
        for (CleanGroupCard* c : view->cards())
            if (c->group().id == id) return c;
        return nullptr;
    }
    std::unique_ptr<CleanView> view;
};

TEST_F(CleanScreen, OpenTrashSaysSoWhereNothingOpensIt) {
    view->header()->setUrlOpener([](const QUrl&) { return false; });
    view->header()->openTrashKey()->click();
    ASSERT_TRUE(model().toast());
    EXPECT_FALSE(model().toast()->good);
    EXPECT_EQ(model().toast()->title, "Couldn't open the Trash");
    EXPECT_EQ(model().toast()->detail.toStdString(), homeTrashDirectory() + "/files");
}

TEST_F(CleanScreen, GroupAndItemTicksAreTriState) {
    AppModel& m = model();
    ASSERT_FALSE(view->showsEmptyState());
    ASSERT_EQ(view->cards().size(), m.cleanPlan().size());
    CleanGroupCard* dev = cardOf("dev");
    ASSERT_NE(dev, nullptr);
    ASSERT_EQ(dev->group().items.size(), 3u);
    EXPECT_EQ(dev->tickBox()->state(), TickState::all);
    const std::uint64_t before = m.cleanSize();

    // Open the group; a click on a row's name unticks that item.
    QTest::mouseClick(dev->expandKey(), Qt::LeftButton);
    ASSERT_TRUE(dev->isOpen());
    ASSERT_EQ(dev->rowCount(), 3u);
    view->resize(1100, 801);  // laid out again with the rows
    const NodeId first = dev->group().items[0].node;
    QTest::mouseClick(dev, Qt::LeftButton, {}, dev->rowRect(0).center().toPoint());
    EXPECT_FALSE(m.cleanPicked().contains(first));
    EXPECT_EQ(dev->tickBox()->state(), TickState::some);
    EXPECT_EQ(m.cleanSize(), before - m.index()->size(first));

    // The magnifier reveals without ticking.
    QTest::mouseClick(dev, Qt::LeftButton, {}, dev->magnifierRect(0).center().toPoint());
    EXPECT_FALSE(m.cleanPicked().contains(first));
    ASSERT_FALSE(desktop.revealed.empty());
    EXPECT_EQ(desktop.revealed.back(), m.index()->path(first));

    // Some -> all -> none through the group box.
    QTest::mouseClick(dev->tickBox(), Qt::LeftButton);
    EXPECT_EQ(dev->tickBox()->state(), TickState::all);
    EXPECT_TRUE(m.cleanPicked().contains(first));
    QTest::mouseClick(dev->tickBox(), Qt::LeftButton);
    EXPECT_EQ(dev->tickBox()->state(), TickState::none);
    for (const CleanItem& item : dev->group().items)
        EXPECT_FALSE(m.cleanPicked().contains(item.node));

    // Nothing ticked anywhere: the Clean key is off.
    for (CleanGroupCard* c : view->cards()) {
        if (c->tickBox()->state() != TickState::none)
            QTest::mouseClick(c->tickBox(), Qt::LeftButton);
        if (c->tickBox()->state() != TickState::none)
            QTest::mouseClick(c->tickBox(), Qt::LeftButton);
    }
    EXPECT_TRUE(m.cleanPicked().empty());
    EXPECT_FALSE(view->header()->cleanKey()->isEnabled());
    EXPECT_DOUBLE_EQ(view->header()->cleanKey()->drawnOpacity(), 0.5);

    // The open group stays open when the plan is computed again.
    QSignalSpy plan(&m.cleanPlan, &PropertyNotifier::changed);
    m.refreshDerived();
    ASSERT_TRUE(waitFor([&] { return plan.count() > 0 && cardOf("dev"); }));
    EXPECT_TRUE(cardOf("dev")->isOpen());
}

TEST_F(CleanScreen, AConfirmedCleanUpMovesTheTickedItemsToTheTrash) {
    AppModel& m = model();
    // Only the developer junk is ticked.
    std::vector<NodeId> all;
    for (const CleanGroup& g : m.cleanPlan())
        for (const CleanItem& item : g.items)
            all.push_back(item.node);
    m.setClean(all, false);
    CleanGroupCard* dev = cardOf("dev");
    ASSERT_NE(dev, nullptr);
    QTest::mouseClick(dev->tickBox(), Qt::LeftButton);
    std::vector<std::string> paths;
    for (const CleanItem& item : dev->group().items)
        paths.push_back(m.index()->path(item.node));
    const std::uint64_t size = m.cleanSize();

    QTest::mouseClick(view->header()->cleanKey(), Qt::LeftButton);
    ASSERT_TRUE(m.confirmClean());
    QMessageBox* box = view->confirmation();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), cleanConfirmTitle(3, size));
    QAbstractButton* move = test::boxButton(*box, QStringLiteral("Move to Trash"));
    ASSERT_NE(move, nullptr);
    move->click();
    EXPECT_FALSE(m.confirmClean());
    // One busy state from the preparation on: no second destructive run can start.
    EXPECT_TRUE(m.removalBusy());
    EXPECT_FALSE(view->header()->cleanKey()->isEnabled());
    // Off while busy, but not dimmed: items are ticked.
    EXPECT_DOUBLE_EQ(view->header()->cleanKey()->drawnOpacity(), 1.0);
    EXPECT_FALSE(ToolsBusy::startClean(m));
    ASSERT_TRUE(waitFor([&] { return !m.removalBusy(); }));
    for (const std::string& p : paths) {
        EXPECT_FALSE(test::exists(p)) << p;
        const std::string name = p.substr(p.rfind('/') + 1);
        EXPECT_TRUE(test::exists(homeTrashDirectory() + "/files/" + name)) << name;
    }
    ASSERT_TRUE(waitFor([&] { return cardOf("dev") == nullptr; }));
}

TEST_F(CleanScreen, ACleanUpOfOnlyOpenProgramsEndsItsBusyStateWithoutAToast) {
    AppModel& m = model();
    // A cache of a program that is not running when the plan is shown, and the only tick.
    put("home/.cache/worker/blob", 400'000);
    scanned(home());
    NodeId cache = 0;
    ASSERT_TRUE(waitFor([&] {
        const auto found = m.index()->lookup(home() + "/.cache/worker");
        if (!found) return false;
        cache = *found;
        for (const CleanGroup& g : m.cleanPlan())
            for (const CleanItem& item : g.items)
                if (item.node == cache) return true;
        return false;
    }));
    std::vector<NodeId> all;
    for (const CleanGroup& g : m.cleanPlan())
        for (const CleanItem& item : g.items)
            all.push_back(item.node);
    m.setClean(all, false);
    m.setClean({cache}, true);
    ASSERT_EQ(m.cleanPicked(), NodeSet{cache});

    // The program starts between the plan on screen and the confirmed clean-up.
    test::BundleChild worker(tree, "bin/Worker.app", false);
    QTest::mouseClick(view->header()->cleanKey(), Qt::LeftButton);
    QMessageBox* box = view->confirmation();
    ASSERT_NE(box, nullptr);
    QAbstractButton* move = test::boxButton(*box, QStringLiteral("Move to Trash"));
    ASSERT_NE(move, nullptr);
    move->click();
    EXPECT_TRUE(m.removalBusy());
    EXPECT_FALSE(view->header()->cleanKey()->isEnabled());
    EXPECT_EQ(view->header()->cleanKey()->text(), QStringLiteral("Cleaning\u2026"));

    // The model holds it back: the busy state ends and the key comes back for the same tick. No
    // toast: the item's own note says why it stayed.
    ASSERT_TRUE(waitFor([&] { return !m.removalBusy(); }));
    EXPECT_TRUE(view->header()->cleanKey()->isEnabled());
    EXPECT_EQ(view->header()->cleanKey()->text(), QStringLiteral("Clean"));
    EXPECT_TRUE(test::exists(home() + "/.cache/worker/blob"));
    EXPECT_FALSE(test::exists(homeTrashDirectory() + "/files/worker"));
    EXPECT_FALSE(m.toast());
}

TEST_F(CleanScreen, AnOpenConfirmationFollowsARefreshedGeneration) {
    AppModel& m = model();
    QTest::mouseClick(view->header()->cleanKey(), Qt::LeftButton);
    ASSERT_NE(view->confirmation(), nullptr);
    std::vector<std::string> before;
    for (const CleanGroupCard* c : view->cards())
        for (const CleanItem& item : c->group().items)
            before.push_back(m.index()->path(item.node));
    // A refreshed generation with one more node ahead of the others is adopted mid-way.
    put("home/.aaa/new", 1000);
    ActionsProbe::adopt(m, test::scanTree(home()));
    std::vector<std::string> after;
    for (const CleanGroupCard* c : view->cards())
        for (const CleanItem& item : c->group().items) {
            ASSERT_LT(item.node, m.index()->count());
            after.push_back(m.index()->path(item.node));
        }
    EXPECT_EQ(after, before);
    // The title names what the run would take now, in the shown generation.
    EXPECT_EQ(view->confirmation()->text(),
              cleanConfirmTitle(m.cleanPicked().size(), m.cleanSize()));
    m.setConfirmClean(false);
    EXPECT_TRUE(waitFor([&] { return view->confirmation() == nullptr; }));
}

// The expand key turns its chevron half a turn on the expand spring and the list fades in with
// it; closing turns it back and fades the list out before the card gives up the room.
TEST_F(CleanScreen, OpeningAGroupTurnsItsChevronAndFadesItsListIn) {
    CleanGroupCard* dev = cardOf("dev");
    ASSERT_NE(dev, nullptr);
    ASSERT_FALSE(dev->isOpen());
    EXPECT_EQ(dev->expandKey()->turn(), 0);
    EXPECT_EQ(dev->listOpacity(), 0);
    const double closedHeight = dev->heightFor(800);

    SpringAnimator::setInstant(false);
    QTest::mouseClick(dev->expandKey(), Qt::LeftButton);
    ASSERT_TRUE(dev->isOpen());
    EXPECT_EQ(dev->rowCount(), 3u);
    EXPECT_GT(dev->heightFor(800), closedHeight);
    EXPECT_EQ(dev->listOpacity(), 0);  // the list starts invisible
    dev->openness().advance(0.08);
    EXPECT_GT(dev->expandKey()->turn(), 0.0);
    EXPECT_LT(dev->expandKey()->turn(), std::numbers::pi);
    EXPECT_GT(dev->listOpacity(), 0.0);
    EXPECT_LT(dev->listOpacity(), 1.0);
    dev->openness().advance(3);
    EXPECT_FALSE(dev->openness().moving());
    EXPECT_DOUBLE_EQ(dev->expandKey()->turn(), std::numbers::pi);
    EXPECT_EQ(dev->listOpacity(), 1);

    // Closing: the rows stay while they fade, but take no clicks.
    const std::size_t ticked = model().cleanPicked().size();
    QTest::mouseClick(dev->expandKey(), Qt::LeftButton);
    ASSERT_FALSE(dev->isOpen());
    dev->openness().advance(0.08);
    EXPECT_EQ(dev->rowCount(), 3u);
    EXPECT_GT(dev->listOpacity(), 0.0);
    EXPECT_LT(dev->listOpacity(), 1.0);
    QTest::mouseClick(dev, Qt::LeftButton, {}, dev->rowRect(0).center().toPoint());
    EXPECT_EQ(model().cleanPicked().size(), ticked);
    QSignalSpy height(dev, &CleanGroupCard::heightChanged);
    dev->openness().advance(3);
    EXPECT_EQ(height.count(), 1);
    EXPECT_EQ(dev->rowCount(), 0u);
    EXPECT_EQ(dev->listOpacity(), 0);
    EXPECT_EQ(dev->expandKey()->turn(), 0);
    EXPECT_EQ(dev->heightFor(800), closedHeight);
    EXPECT_EQ(dev->height(), int(std::ceil(closedHeight)));  // laid out again
    SpringAnimator::setInstant(true);
}

// A move to the Trash (an animated step) rolls the header's and the group's ticked sizes; a tick
// (not animated) changes them at once. The plan worked out again afterwards keeps them.
TEST_F(CleanScreen, TickedSizesRollOnAnimatedStepsOnly) {
    AppModel& m = model();
    CleanGroupCard* dev = cardOf("dev");
    ASSERT_NE(dev, nullptr);
    ASSERT_EQ(dev->tickBox()->state(), TickState::all);
    ASSERT_EQ(dev->group().items.size(), 3u);
    const IndexRef index = m.index();
    const NodeId first = dev->group().items[0].node;
    const NodeId second = dev->group().items[1].node;
    const std::uint64_t third = index->size(dev->group().items[2].node);
    EXPECT_EQ(view->header()->tickedMotion().bytes(), m.cleanSize());

    SpringAnimator::setInstant(false);
    test::RollWatch header(view->header()->tickedMotion());
    test::RollWatch group(dev->pickedMotion());
    m.setClean({second}, false);
    EXPECT_EQ(view->header()->tickedMotion().bytes(), m.cleanSize());
    EXPECT_EQ(dev->pickedMotion().bytes(), index->size(first) + third);
    EXPECT_EQ(header.rolls(), 0);
    EXPECT_EQ(group.rolls(), 0);

    m.trash({first}, {});
    ASSERT_TRUE(waitFor([&] { return !m.trashing(); }));
    EXPECT_EQ(header.rolls(), 1);
    EXPECT_EQ(view->header()->tickedMotion().bytes(), m.cleanSize());
    ASSERT_TRUE(waitFor([&] {
        return cardOf("dev") && cardOf("dev")->pickedMotion().bytes() == third;
    }));
    SpringAnimator::setInstant(true);
}

// A card made for a new plan rolls its ticked size from what the card it replaces showed, and
// only in an animated step; the same size shows still.
TEST_F(CleanScreen, ANewCardRollsFromWhatItsPredecessorShowed) {
    SpringAnimator::setInstant(false);
    ASSERT_NE(cardOf("dev"), nullptr);
    CleanGroupCard card(model(), cardOf("dev")->group(), false);
    card.resize(800, 100);
    card.show();
    const SizeTextMotion& motion = card.pickedMotion();
    const std::uint64_t bytes = motion.bytes();
    ASSERT_GT(bytes, 1'000'000u);
    card.rollFrom(bytes / 3, true);
    EXPECT_TRUE(motion.rolling());
    EXPECT_EQ(motion.from(), Fmt::split(bytes / 3).number);
    EXPECT_EQ(motion.bytes(), bytes);
    clock.advance(std::chrono::seconds(2));
    EXPECT_FALSE(motion.rolling());
    card.rollFrom(bytes, true);
    EXPECT_FALSE(motion.rolling());
    card.rollFrom(bytes / 3, false);
    EXPECT_FALSE(motion.rolling());
    EXPECT_EQ(motion.bytes(), bytes);
    SpringAnimator::setInstant(true);
}

TEST_F(CleanScreen, AGroupShowsAtMostTwoHundredRows) {
    CleanGroup big;
    big.id = "caches";
    big.title = "Many";
    for (NodeId n = 0; n < 250; ++n)
        big.items.push_back({n % model().index()->count(), true, {}});
    CleanGroupCard card(model(), big, true);
    EXPECT_EQ(card.rowCount(), 200u);
    EXPECT_EQ(card.moreLine(), QStringLiteral("+ 50 more, included in the group tick"));
    big.items.resize(200);
    CleanGroupCard exact(model(), big, true);
    EXPECT_EQ(exact.rowCount(), 200u);
    EXPECT_TRUE(exact.moreLine().isEmpty());
    EXPECT_GT(card.heightFor(800), exact.heightFor(800));
}

}  // namespace
}  // namespace tamrel
