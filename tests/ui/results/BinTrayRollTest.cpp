#include <QTest>
#include <gtest/gtest.h>

#include "format/Fmt.h"
#include "platform/XdgDirs.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/ui/Printers.h"
#include "tests/ui/RollWatch.h"
#include "tests/ui/UiFixture.h"
#include "ui/results/BinTray.h"
#include "ui/results/ExploreView.h"
#include "ui/results/ItemList.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {
namespace {

class BinTrayRollTest : public test::UiTest {};

// The picked size rolls its digits when a pick changes it while the tray shows, and shows the
// first size at once as the tray comes in.
TEST_F(BinTrayRollTest, APickWhileTheTrayShowsRollsTheSize) {
    scanned(tree.path() + "/data");
    QWidget host;
    host.resize(900, 600);
    BinTray tray(model(), &host);
    host.show();
    model().toggleBasket(id(tree.path() + "/data/photos/a.jpg"));
    ASSERT_TRUE(tray.isVisible());
    EXPECT_EQ(tray.sizeMotion().number(), Fmt::split(model().basketSize()).number);
    EXPECT_FALSE(tray.sizeMotion().rolling());

    SpringAnimator::setInstant(false);
    const QString before = tray.sizeMotion().number();
    model().toggleBasket(id(tree.path() + "/data/photos/b.jpg"));
    EXPECT_EQ(tray.sizeMotion().number(), Fmt::split(model().basketSize()).number);
    EXPECT_EQ(tray.sizeMotion().from(), before);
    EXPECT_TRUE(tray.sizeMotion().rolling());
    EXPECT_FALSE(tray.grab().isNull());  // drawn mid-roll
    SpringAnimator::setInstant(true);
}

// The folder summary's size and the sizes of the rows that shrink roll when a move to the Trash
// shrinks the folder (an animated step), and when another folder is opened.
TEST_F(BinTrayRollTest, TheFolderSizeRollsWhenAMoveShrinksTheFolder) {
    scanned(tree.path() + "/data");
    AppModel& m = model();
    ExploreView view(m);
    view.resize(1100, 700);
    view.show();
    FolderSummary* summary = view.findChild<FolderSummary*>();
    ASSERT_NE(summary, nullptr);
    const IndexRef index = m.index();
    EXPECT_EQ(summary->sizeMotion().bytes(), index->size(0));

    ItemListView* list = view.findChild<ItemListView*>();
    ASSERT_NE(list, nullptr);
    const NodeId photos = id(tree.path() + "/data/photos");
    const NodeId notes = id(tree.path() + "/data/notes.txt");
    EXPECT_EQ(list->sizeRoll(photos), nullptr);

    SpringAnimator::setInstant(false);
    test::RollWatch watch(summary->sizeMotion());
    const QString before = summary->sizeMotion().number();
    const QString photosBefore = Fmt::split(index->size(photos)).number;
    // Seen as the step is announced, after the screen took it: the photos row rolls, the notes
    // row (unchanged) does not.
    std::optional<QString> rowFrom;
    bool notesRolled = false;
    QObject::connect(&m.revision, &PropertyNotifier::changed, &view, [&] {
        if (const SizeTextMotion* roll = list->sizeRoll(photos)) rowFrom = roll->from();
        notesRolled = notesRolled || list->sizeRoll(notes) != nullptr;
    });
    m.trash({id(tree.path() + "/data/photos/a.jpg")}, {});
    ASSERT_TRUE(waitFor([&] { return !m.trashing(); }));
    EXPECT_EQ(summary->sizeMotion().bytes(), m.index()->size(0));
    EXPECT_EQ(watch.rolls(), 1);
    EXPECT_EQ(watch.from(), before);
    ASSERT_TRUE(rowFrom.has_value());
    EXPECT_EQ(*rowFrom, photosBefore);
    EXPECT_FALSE(notesRolled);
    // The roll ends and lets go of its motion.
    clock.advance(std::chrono::seconds(2));
    EXPECT_EQ(list->sizeRoll(photos), nullptr);
    EXPECT_TRUE(test::exists(homeTrashDirectory() + "/files/a.jpg"));

    // Opening a folder is an animated step too: the size rolls to the new folder's.
    m.open(id(tree.path() + "/data/photos"));
    EXPECT_EQ(summary->sizeMotion().bytes(), m.index()->size(m.current()));
    EXPECT_EQ(watch.rolls(), 2);
    SpringAnimator::setInstant(true);
}

}  // namespace
}  // namespace tamrel
