// The results screen against a real model over real folders, with the Trash in a temporary
// XDG_DATA_HOME: the main road from a scan to files in the Trash, and the keyboard, search,
// toast and generation rules around it.

#include "ui/results/ResultsView.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <functional>

#include "model/removal/TrashToast.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/ui/UiFixture.h"
#include "ui/results/BinList.h"
#include "ui/results/BinTray.h"
#include "ui/results/ExploreView.h"
#include "ui/results/ItemList.h"
#include "ui/results/ItemMenu.h"
#include "ui/results/ListScreens.h"
#include "ui/results/ResultsHeader.h"
#include "ui/results/ResultsText.h"
#include "ui/results/TreemapView.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ResultsScreenTest : public test::UiTest {
protected:
    void put(const std::string& relative, std::size_t bytes) {
        const std::size_t slash = relative.rfind('/');
        if (slash != std::string::npos) tree.mkdirs(relative.substr(0, slash));
        tree.write(relative, bytes);
    }
    std::string root() const { return tree.path() + "/disk"; }
    NodeId id(const std::string& relative) {
        const auto n = model().index()->lookup(root() + "/" + relative);
        EXPECT_TRUE(n) << relative;
        return n.value_or(NONE);
    }
    // Scans the disk folder and shows the results screen at the window's size.
    void open() {
        scanned(root());
        // The watcher's catch-up (the tree was just written) is handed over and applied first.
        ASSERT_TRUE(waitFor([&] {
            return model().sync() == Sync::live && !model().breakdown().empty() &&
                   !model().biggest().empty();
        }));
        view = std::make_unique<ResultsView>(model());
        view->resize(1320, 840);
        view->show();
        ASSERT_TRUE(test::exposed(*view));
    }
    ItemListView& exploreList() { return view->explore().list().view(); }
    int rowOf(ItemListView& list, NodeId node) {
        const auto& rows = list.rowModel().rows();
        for (int k = 0; k < int(rows.size()); ++k) {
            if (rows[std::size_t(k)].id == node) return k;
        }
        ADD_FAILURE() << "no row for node " << node;
        return -1;
    }
    void clickRow(ItemListView& list, NodeId node) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.rowRect(rowOf(list, node)).center());
    }
    void clickPickKey(ItemListView& list, NodeId node) {
        const RowGeometry g =
            rowGeometry(QRectF(list.rowRect(rowOf(list, node))).adjusted(0, 0, 0, -1));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, g.pick.center().toPoint());
    }
    void clickTile(NodeId node) {
        TreemapView& map = view->explore().treemap();
        for (const TreemapTile& t : map.tiles()) {
            if (!t.isOthers() && t.node() == node) {
                QTest::mouseClick(&map, Qt::LeftButton, {}, t.rect.center().toPoint());
                return;
            }
        }
        ADD_FAILURE() << "no tile for node " << node;
    }
    void expectPickSpring(const std::function<void(NodeId)>& click,
                          const std::function<double(NodeId)>& amount);

    std::unique_ptr<ResultsView> view;
};

TEST_F(ResultsScreenTest, MainRoadFromScanToTrash) {
    put("disk/Projects/site/bundle.js", 300'000);
    put("disk/Projects/site/index.html", 40'000);
    put("disk/Projects/notes.md", 20'000);
    put("disk/Movies/film.mp4", 900'000);
    put("disk/Installer.iso", 700'000);
    put("disk/readme.txt", 5'000);
    open();

    // Explore at the root: path bar, tabs, the list largest first and a tile per child.
    EXPECT_EQ(view->breadcrumbs().crumbTexts(), QStringList{"disk"});
    EXPECT_FALSE(view->breadcrumbs().upKey().isEnabled());
    // Dimmed to 0.4 at the root, as the path bar asks (other keys dim to their own 0.45).
    EXPECT_DOUBLE_EQ(view->breadcrumbs().upKeyOpacity(), 0.4);
    EXPECT_EQ(view->shownContent(), &view->explore());
    EXPECT_EQ(exploreList().rowModel().rows().front().name, "Movies");
    EXPECT_EQ(view->explore().treemap().tiles().size(), 4u);

    // A folder from the list, then one from the treemap.
    clickRow(exploreList(), id("Projects"));
    ASSERT_EQ(model().current(), id("Projects"));
    EXPECT_EQ(view->breadcrumbs().crumbTexts(), (QStringList{"disk", "Projects"}));
    clickTile(id("Projects/site"));
    ASSERT_EQ(model().current(), id("Projects/site"));
    EXPECT_TRUE(view->breadcrumbs().upKey().isEnabled());
    EXPECT_DOUBLE_EQ(view->breadcrumbs().upKeyOpacity(), 1);

    // Pick a file from the list; a click on a file row itself opens nothing.
    clickRow(exploreList(), id("Projects/site/bundle.js"));
    EXPECT_TRUE(model().basket().empty());
    EXPECT_EQ(model().current(), id("Projects/site"));
    clickPickKey(exploreList(), id("Projects/site/bundle.js"));
    EXPECT_EQ(model().basket(), NodeIds{id("Projects/site/bundle.js")});
    EXPECT_TRUE(view->tray().isVisible());

    // Back to the root with Ctrl+Up twice; pick two files from the treemap.
    QTest::keyClick(view.get(), Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(view.get(), Qt::Key_Up, Qt::ControlModifier);
    ASSERT_EQ(model().current(), 0u);
    clickTile(id("Installer.iso"));
    clickTile(id("Movies"));  // a folder tile opens
    EXPECT_EQ(model().current(), id("Movies"));
    clickTile(id("Movies/film.mp4"));
    EXPECT_EQ(model().basket(),
              (NodeIds{id("Projects/site/bundle.js"), id("Installer.iso"), id("Movies/film.mp4")}));
    for (const TreemapTile& t : view->explore().treemap().tiles())
        EXPECT_TRUE(t.picked);

    // Review the tray's list and take the first one back out.
    view->tray().toggleList();
    ASSERT_NE(view->tray().list(), nullptr);
    EXPECT_EQ(view->tray().list()->nodes(), model().basket());
    QTest::mouseClick(view->tray().list()->removeKey(0), Qt::LeftButton);
    EXPECT_EQ(model().basket(), (NodeIds{id("Installer.iso"), id("Movies/film.mp4")}));
    ASSERT_TRUE(
        waitFor([&] { return view->tray().list() && view->tray().list()->nodes().size() == 2; }));
    view->tray().list()->close();

    // Move to Trash asks first; the confirmation names the count and size.
    const std::uint64_t bytes = model().basketSize();
    QTest::mouseClick(&view->tray().trashKey(), Qt::LeftButton);
    ASSERT_TRUE(model().confirmTrash());
    QMessageBox* box = view->confirmation();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), confirmTrashTitle(2, bytes));
    EXPECT_EQ(box->informativeText(),
              "You can still put things back from the Trash until you empty it.");
    QPushButton* move = nullptr;
    for (QAbstractButton* b : box->buttons()) {
        if (b->text() == "Move to Trash") move = qobject_cast<QPushButton*>(b);
    }
    ASSERT_NE(move, nullptr);
    QTest::mouseClick(move, Qt::LeftButton);
    EXPECT_FALSE(model().confirmTrash());

    // The two files are in the Trash, nothing else moved and nothing was deleted.
    ASSERT_TRUE(waitFor([&] { return model().toast().has_value() && !model().trashing(); }));
    const fs::path trash = fs::path(data.path()) / "Trash" / "files";
    EXPECT_TRUE(fs::exists(trash / "Installer.iso"));
    EXPECT_TRUE(fs::exists(trash / "film.mp4"));
    EXPECT_FALSE(fs::exists(root() + "/Installer.iso"));
    EXPECT_FALSE(fs::exists(root() + "/Movies/film.mp4"));
    EXPECT_TRUE(fs::exists(root() + "/Projects/site/bundle.js"));
    EXPECT_TRUE(model().basket().empty());
    EXPECT_FALSE(view->tray().isVisible());
    // Gone from the Biggest list at once, before the model computes it again.
    for (const RowItem& r : view->biggest().list().view().rowModel().rows()) {
        EXPECT_NE(r.name, "Installer.iso");
        EXPECT_NE(r.name, "film.mp4");
    }

    // The toast reports it and clears itself after its lifetime of 3.2 s.
    EXPECT_TRUE(model().toast()->good);
    EXPECT_EQ(model().toast()->detail, "2 items moved to the Trash");
    EXPECT_TRUE(view->toast().isVisible());
    clock.advance(3199ms);
    EXPECT_TRUE(model().toast());
    clock.advance(1ms);
    EXPECT_FALSE(model().toast());
    EXPECT_FALSE(view->toast().isVisible());
}

TEST_F(ResultsScreenTest, ClearEmptiesTheBasketAndTheTrayLeaves) {
    put("disk/a.bin", 1000);
    put("disk/b.bin", 2000);
    put("disk/c.bin", 3000);
    open();
    for (const char* name : {"a.bin", "b.bin", "c.bin"})
        model().toggleBasket(id(name));
    ASSERT_EQ(model().basket().size(), 3u);
    ASSERT_TRUE(view->tray().isVisible());

    QSignalSpy changed(&model().basket, &PropertyNotifier::changed);
    QTest::mouseClick(&view->tray().clearKey(), Qt::LeftButton);
    EXPECT_TRUE(model().basket().empty());
    EXPECT_EQ(changed.count(), 1);  // one change, not one per entry
    EXPECT_EQ(model().basketSize(), 0u);
    ASSERT_TRUE(waitFor([&] { return !view->tray().isVisible(); }));
    // Nothing left the disk.
    for (const char* name : {"a.bin", "b.bin", "c.bin"})
        EXPECT_TRUE(fs::exists(root() + "/" + name));
}

TEST_F(ResultsScreenTest, ListEndsWithRoomForTheTray) {
    put("disk/a.bin", 1000);
    open();
    ItemListView& list = exploreList();
    const int last = list.rowModel().rowCount() - 1;
    ASSERT_EQ(list.rowModel().kindAt(last), RowListModel::Kind::pad);
    // 6 pt of the list's padding and 90 pt for the tray, below the last row.
    EXPECT_EQ(list.rowRect(last).height(), 96);
    EXPECT_EQ(list.emptyStateRect().top(), 0);

    // No rows of a longer list: the footer counts them all and the empty state sits below it.
    list.setRows({}, 5, {});
    ASSERT_EQ(list.rowModel().kindAt(0), RowListModel::Kind::footer);
    EXPECT_EQ(list.rowModel().footer(), "+ 5 more");
    EXPECT_EQ(list.emptyStateRect().top(), list.rowRect(0).bottom() + 1);
}

TEST_F(ResultsScreenTest, FocusRingFadesInAndOut) {
    put("disk/a.bin", 1000);
    open();
    SearchField& field = view->searchField();
    field.edit().clearFocus();  // a lone test window hands its first field the focus
    EXPECT_EQ(field.ringOpacity(), 0);
    SpringAnimator::setInstant(false);
    QTest::keyClick(view.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(field.edit().hasFocus());
    EXPECT_LT(field.ringOpacity(), 1);  // fades in over 0.15 s, not at once
    clock.advance(100ms);
    EXPECT_GT(field.ringOpacity(), 0);
    EXPECT_LT(field.ringOpacity(), 1);
    clock.advance(100ms);
    EXPECT_EQ(field.ringOpacity(), 1);
    QTest::keyClick(&field.edit(), Qt::Key_Escape);
    EXPECT_GT(field.ringOpacity(), 0);
    clock.advance(200ms);
    EXPECT_EQ(field.ringOpacity(), 0);
    SpringAnimator::setInstant(true);
}

TEST_F(ResultsScreenTest, TabKeysMoveOnTheTabSpring) {
    put("disk/a.bin", 1000);
    open();
    TabPicker& tabs = view->tabPicker();
    EXPECT_EQ(tabs.selectedAmount(Tab::explore), 1);
    EXPECT_EQ(tabs.selectedAmount(Tab::biggest), 0);
    SpringAnimator::setInstant(false);
    QTest::mouseClick(&tabs, Qt::LeftButton, {}, tabs.tabRect(Tab::biggest).center().toPoint());
    EXPECT_EQ(model().tab(), Tab::biggest);
    // The new key sinks and the old one rises over the spring, not at once.
    EXPECT_LT(tabs.selectedAmount(Tab::biggest), 0.5);
    EXPECT_GT(tabs.selectedAmount(Tab::explore), 0.5);
    clock.advance(2s);
    EXPECT_NEAR(tabs.selectedAmount(Tab::biggest), 1, 1e-3);
    EXPECT_NEAR(tabs.selectedAmount(Tab::explore), 0, 1e-3);
    SpringAnimator::setInstant(true);
}

TEST_F(ResultsScreenTest, TheScreensCrossFadeOnTheSpringOfWhatSwitchedThem) {
    put("disk/Photos/a.jpg", 50'000);
    open();
    EXPECT_EQ(view->leavingOpacity(), 0);
    SpringAnimator::setInstant(false);
    // A pressed tab: the new screen is there at once, under a picture of the old one that fades
    // out on the tab spring.
    TabPicker& tabs = view->tabPicker();
    QTest::mouseClick(&tabs, Qt::LeftButton, {}, tabs.tabRect(Tab::biggest).center().toPoint());
    EXPECT_EQ(view->shownContent(), &view->biggest());
    EXPECT_GT(view->leavingOpacity(), 0.5);
    clock.advance(2s);
    EXPECT_EQ(view->leavingOpacity(), 0);

    // A key of another screen selecting a tab with its own spring; a plain write: at once.
    selectTab(model(), Tab::system, Spring{0.3, 0.8});
    EXPECT_GT(view->leavingOpacity(), 0.5);
    EXPECT_LT(tabs.selectedAmount(Tab::system), 0.5);
    clock.advance(2s);
    EXPECT_EQ(view->leavingOpacity(), 0);
    model().setTab(Tab::biggest);
    EXPECT_EQ(view->leavingOpacity(), 0);
    EXPECT_EQ(tabs.selectedAmount(Tab::biggest), 1);
    EXPECT_EQ(tabs.selectedAmount(Tab::system), 0);

    // Typing a query switches at once.
    model().setQuery("a");
    EXPECT_EQ(view->shownContent(), &view->searchResults());
    EXPECT_EQ(view->leavingOpacity(), 0);

    // Opening a folder from the results goes back to Explore on the model's own spring.
    model().open(id("Photos"));
    EXPECT_EQ(view->shownContent(), &view->explore());
    EXPECT_GT(view->leavingOpacity(), 0.5);
    clock.advance(2s);
    EXPECT_EQ(view->leavingOpacity(), 0);
    SpringAnimator::setInstant(true);
}

TEST_F(ResultsScreenTest, PathBarMovesToANewFolderOnTheFolderSpring) {
    put("disk/Photos/a.jpg", 50'000);
    open();
    Breadcrumbs& bar = view->breadcrumbs();
    SpringAnimator::setInstant(false);
    model().open(id("Photos"));
    EXPECT_EQ(bar.crumbTexts(), (QStringList{"disk", "Photos"}));  // where it is going
    // Drawn at first as it was: the root alone and current, the up key dimmed.
    const auto start = bar.drawnCrumbs();
    ASSERT_EQ(start.size(), 1u);
    EXPECT_TRUE(start[0].look.current);
    EXPECT_LT(bar.upKeyOpacity(), 0.5);
    clock.advance(2s);
    const auto end = bar.drawnCrumbs();
    ASSERT_EQ(end.size(), 2u);
    EXPECT_EQ(end[1].look.text, "Photos");
    EXPECT_EQ(end[1].opacity, 1);
    EXPECT_NEAR(bar.upKeyOpacity(), 1, 1e-3);

    // Back up: "Photos" leaves while the root turns current again.
    model().up();
    EXPECT_EQ(bar.crumbTexts(), QStringList{"disk"});
    EXPECT_EQ(bar.drawnCrumbs().size(), 2u);
    clock.advance(2s);
    ASSERT_EQ(bar.drawnCrumbs().size(), 1u);
    EXPECT_TRUE(bar.drawnCrumbs()[0].look.current);
    EXPECT_NEAR(bar.upKeyOpacity(), 0.4, 1e-3);
    SpringAnimator::setInstant(true);

    // A path bar made inside a folder draws its up key whole from the start.
    model().open(id("Photos"));
    Breadcrumbs inside(model());
    const auto* dim = static_cast<QGraphicsOpacityEffect*>(inside.upKey().graphicsEffect());
    ASSERT_TRUE(dim);
    EXPECT_TRUE(!dim->isEnabled() || dim->opacity() == 1);
    EXPECT_EQ(inside.upKeyOpacity(), 1);
}

TEST_F(ResultsScreenTest, BiggestKeepsItsListUntilTheNextOneComes) {
    put("disk/Photos/a.jpg", 50'000);
    put("disk/big.bin", 90'000);
    open();
    model().setTab(Tab::biggest);
    ItemListView& list = view->biggest().list().view();
    const auto names = [&] {
        std::vector<std::string> out;
        for (const RowItem& row : list.rowModel().rows())
            out.push_back(row.name.toStdString());
        return out;
    };
    ASSERT_EQ(names(), (std::vector<std::string>{"big.bin", "a.jpg"}));

    // A new generation of the same folder is shown, its data not yet worked out, and a refresh
    // of it is adopted before they come: the list stays, carried over by path to each
    // generation, and a click acts on the generation shown.
    const IndexRef shown = test::scanTree(root());
    ActionsProbe::show(model(), shown);
    model().setTab(Tab::biggest);
    EXPECT_EQ(names(), (std::vector<std::string>{"big.bin", "a.jpg"}));
    EXPECT_EQ(list.rowModel().rows().front().id, *shown->lookup(root() + "/big.bin"));
    const IndexRef refreshed = test::scanTree(root());
    ActionsProbe::adopt(model(), refreshed);
    EXPECT_EQ(names(), (std::vector<std::string>{"big.bin", "a.jpg"}));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      rowGeometry(QRectF(list.rowRect(0)).adjusted(0, 0, 0, -1))
                          .pick.center()
                          .toPoint());
    EXPECT_EQ(model().basket(), NodeIds{*refreshed->lookup(root() + "/big.bin")});
    model().setBasket({});

    // Another folder: the root's list shows until that folder's files come.
    model().open(id("Photos"));
    model().setTab(Tab::biggest);
    EXPECT_EQ(names(), (std::vector<std::string>{"big.bin", "a.jpg"}));
    ASSERT_TRUE(waitFor([&] { return names() == std::vector<std::string>{"a.jpg"}; }));
}

// Picks a.bin and puts it back with `click`, checking that `amount` (its picked look, 0 to 1)
// moves there on a spring rather than at once, and that b.bin's look stays.
void ResultsScreenTest::expectPickSpring(const std::function<void(NodeId)>& click,
                                         const std::function<double(NodeId)>& amount) {
    put("disk/a.bin", 3000);
    put("disk/b.bin", 1000);
    open();
    const NodeId a = id("a.bin");
    EXPECT_EQ(amount(a), 0);
    SpringAnimator::setInstant(false);
    click(a);
    EXPECT_EQ(model().basket(), NodeIds{a});
    EXPECT_LT(amount(a), 0.5);
    clock.advance(2s);
    EXPECT_NEAR(amount(a), 1, 1e-3);
    click(a);
    EXPECT_TRUE(model().basket().empty());
    EXPECT_GT(amount(a), 0.5);
    clock.advance(2s);
    EXPECT_NEAR(amount(a), 0, 1e-3);
    EXPECT_EQ(amount(id("b.bin")), 0);
    SpringAnimator::setInstant(true);
}

TEST_F(ResultsScreenTest, TilesTurnToAndFromPickedOnThePickSpring) {
    expectPickSpring([&](NodeId n) { clickTile(n); },
                     [&](NodeId n) { return view->explore().treemap().pickAmount(n); });
}

TEST_F(ResultsScreenTest, RowPickKeyMovesOnThePickSpring) {
    expectPickSpring([&](NodeId n) { clickPickKey(exploreList(), n); },
                     [&](NodeId n) { return exploreList().pickAmount(n); });
}

TEST_F(ResultsScreenTest, HeaderKeepsItsGapsWhenNarrow) {
    put("disk/a-folder-with-a-rather-long-name/another-long-folder-name/x.bin", 1000);
    open();
    model().open(id("a-folder-with-a-rather-long-name/another-long-folder-name"));
    view->resize(640, 600);
    QApplication::processEvents();
    const QRect crumbs = view->breadcrumbs().geometry();
    const QRect field = view->searchField().geometry();
    const QRect rescan = view->rescanKey().geometry();
    // 12 pt of spacing on each side of a spacer that is at least 12 pt long.
    EXPECT_EQ(field.left() - (crumbs.right() + 1), 12 + 12 + 12);
    EXPECT_EQ(rescan.left() - (field.right() + 1), 12);
    EXPECT_EQ(crumbs.left(), 22);
    EXPECT_EQ(view->width() - (rescan.right() + 1), 22);
}

TEST_F(ResultsScreenTest, ToastClearsOnlyItsOwn) {
    // Each toast stays 3.2 s.
    put("disk/a.bin", 1000);
    open();
    model().setToast(Toast::make("first", "", true));
    clock.advance(2000ms);
    const Toast second = Toast::make("second", "", false);
    model().setToast(second);
    // The first toast's wait ends meanwhile; it must not clear the second one.
    clock.advance(2000ms);
    ASSERT_TRUE(model().toast());
    EXPECT_EQ(model().toast()->id, second.id);
    clock.advance(1200ms);  // the second one's own wait ends
    EXPECT_FALSE(model().toast());

    // A toast the model took back leaves no wait that could clear the next one early.
    model().setToast(Toast::make("third", "", true));
    clock.advance(2000ms);
    model().setToast(std::nullopt);
    model().setToast(Toast::make("fourth", "", true));
    clock.advance(2200ms);
    EXPECT_TRUE(model().toast());
}

TEST_F(ResultsScreenTest, ANewToastIsANewCardThatComesInAsTheOldOneLeaves) {
    put("disk/a.bin", 1000);
    open();
    ToastView& toast = view->toast();
    EXPECT_EQ(toast.cardsDrawn(), 0);
    model().setToast(Toast::make("first", "", true));
    EXPECT_EQ(toast.cardsDrawn(), 1);
    SpringAnimator::setInstant(false);
    model().setToast(Toast::make("second", "a longer detail line", false));
    // Both while the first leaves; then the second alone.
    EXPECT_EQ(toast.cardsDrawn(), 2);
    clock.advance(2s);
    EXPECT_EQ(toast.cardsDrawn(), 1);
    ASSERT_TRUE(model().toast());
    EXPECT_EQ(model().toast()->title, "second");
    model().setToast(std::nullopt);
    EXPECT_EQ(toast.cardsDrawn(), 1);  // it leaves on the spring
    clock.advance(2s);
    EXPECT_FALSE(toast.isVisible());
    EXPECT_EQ(toast.cardsDrawn(), 0);
    SpringAnimator::setInstant(true);
}

TEST_F(ResultsScreenTest, SearchKeysAndTheContentArea) {
    put("disk/Movies/film.mp4", 90'000);
    put("disk/Movies/trailer.mp4", 30'000);
    put("disk/Docs/film-notes.txt", 2'000);
    open();
    SearchField& field = view->searchField();
    EXPECT_EQ(field.edit().placeholderText(), "Find anything");
    EXPECT_EQ(field.trailingText(), "Ctrl+F");

    // Ctrl+F puts the focus in the field; typing searches and shows the results.
    QTest::keyClick(view.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(field.edit().hasFocus());
    QTest::keyClicks(&field.edit(), "film");
    EXPECT_EQ(model().query(), "film");
    EXPECT_EQ(view->shownContent(), &view->searchResults());
    ASSERT_TRUE(searched());
    ASSERT_FALSE(model().results().empty());
    EXPECT_EQ(view->searchResults().title(), "2 found");
    EXPECT_EQ(field.trailingText(), "2");
    const auto& rows = view->searchResults().list().view().rowModel().rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].subtitle, "/Movies");

    // While the next query is pending, the title and the count keep the last search's numbers.
    QTest::keyClicks(&field.edit(), "zz");
    EXPECT_TRUE(model().searching());
    EXPECT_EQ(view->searchResults().title(), "2 found");
    EXPECT_EQ(field.trailingText(), "2");
    ASSERT_TRUE(searched());
    EXPECT_EQ(view->searchResults().title(), "Nothing by that name");
    EXPECT_EQ(field.trailingText(), "0");

    // Escape clears the query and the focus; the tab shows again, also for a single blank.
    QTest::keyClick(&field.edit(), Qt::Key_Escape);
    EXPECT_EQ(model().query(), "");
    EXPECT_FALSE(field.edit().hasFocus());
    EXPECT_EQ(view->shownContent(), &view->explore());
    model().setTab(Tab::biggest);
    model().setQuery(" ");
    EXPECT_EQ(view->shownContent(), &view->searchResults());
    model().setQuery("");
    EXPECT_EQ(view->shownContent(), &view->biggest());

    // Ctrl+Up at the root changes nothing; the placeholders stand in for the other tabs.
    QTest::keyClick(view.get(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(model().current(), 0u);
    auto* screen = new QWidget;
    view->setTabScreen(Tab::apps, screen);
    model().setTab(Tab::apps);
    EXPECT_EQ(view->shownContent(), screen);
}

TEST_F(ResultsScreenTest, DeepPathsAndLongFolders) {
    put("disk/a/b/c/d/leaf4", 10);
    put("disk/a/b/c/d/e/leaf5", 10);
    for (int k = 0; k < 1000; ++k)
        put("disk/many/f" + std::to_string(k), 100 + std::size_t(k));
    open();
    // Depth 4 (5 entries): every crumb; depth 5 (6 entries): root, ellipsis, last three.
    model().open(id("a/b/c/d"));
    EXPECT_EQ(view->breadcrumbs().crumbTexts(), (QStringList{"disk", "a", "b", "c", "d"}));
    model().open(id("a/b/c/d/e"));
    EXPECT_EQ(view->breadcrumbs().crumbTexts(), (QStringList{"disk", "\u2026", "c", "d", "e"}));
    // A crumb opens its folder.
    QTest::mouseClick(&view->breadcrumbs(), Qt::LeftButton, {},
                      view->breadcrumbs().crumbRect(2).center().toPoint());
    EXPECT_EQ(model().current(), id("a/b/c"));

    // 1,000 children: 400 rows and a footer for the rest; the treemap gets all of them.
    model().open(id("many"));
    const RowListModel& rows = exploreList().rowModel();
    EXPECT_EQ(rows.rows().size(), 400u);
    EXPECT_EQ(rows.footer(), "+ 600 more");
    const auto& tiles = view->explore().treemap().tiles();
    ASSERT_EQ(tiles.size(), 91u);
    EXPECT_EQ(tiles.back().others, 910);
}

TEST_F(ResultsScreenTest, LongFolderNamesShareThePathBarAndTheCurrentOneStaysVisible) {
    const std::string a(240, 'a'), b(200, 'b'), c(220, 'c');
    put("disk/" + a + "/" + b + "/" + c + "/f.bin", 5000);
    open();
    view->resize(1120 - 228, 680);  // the content beside the sidebar at the window's minimum
    model().open(id(a + "/" + b + "/" + c));
    QApplication::processEvents();
    Breadcrumbs& bar = view->breadcrumbs();
    ASSERT_EQ(bar.crumbs().size(), 4u);
    // The bar is narrower than its crumbs would like: all of them fit inside it, the current
    // folder's included, each still wide enough to be read and clicked.
    for (int k = 0; k < 4; ++k) {
        EXPECT_LE(bar.crumbRect(k).right(), bar.width() + 0.5) << k;
        EXPECT_GE(bar.crumbRect(k).width(), 24) << k;
    }
    // The search field keeps its place and size.
    EXPECT_EQ(view->searchField().width(), 270);
    EXPECT_GE(view->searchField().x(), bar.geometry().right());
    // A crumb still opens its folder.
    QTest::mouseClick(&bar, Qt::LeftButton, {}, bar.crumbRect(1).center().toPoint());
    EXPECT_EQ(model().current(), id(a));
    // With room again, the crumbs take their natural widths back.
    view->resize(1320, 840);
    model().open(id(a + "/" + b + "/" + c));
    QApplication::processEvents();
    EXPECT_LE(bar.crumbRect(3).right(), bar.width() + 0.5);

    // Another root with a longer name than the bar held before is shown whole.
    put("another root folder/f.bin", 5000);
    scanned(tree.path() + "/another root folder");
    QApplication::processEvents();
    ASSERT_EQ(bar.crumbTexts(), QStringList{"another root folder"});
    const double natural = QFontMetricsF(Fonts::system(14, Fonts::Weight::bold))
                               .horizontalAdvance(QStringLiteral("another root folder"));
    EXPECT_GE(bar.crumbRect(0).width(), natural - 0.5);
}

TEST_F(ResultsScreenTest, ALongToastStaysInsideTheScreen) {
    put("disk/a.bin", 1000);
    open();
    view->resize(1120 - 228, 680);
    // Three long names that could not be moved, one with a line break and one with a
    // right-to-left override in it.
    const std::string longName(200, 'z');
    model().setToast(Toast::make(
        QStringLiteral("Couldn't move that"),
        QString::fromStdString("Skipped " + longName + ", new\nline.txt, bidi\u202Eexe.txt +2"),
        false));
    QApplication::processEvents();
    ToastView& toast = view->toast();
    ASSERT_TRUE(toast.isVisible());
    // The card stays within the screen, with the screen's side margins.
    EXPECT_GE(toast.x(), 0);
    EXPECT_LE(toast.geometry().right(), view->width());
    const ToastCard card = toastCard(*model().toast(), view->width() - 44);
    EXPECT_LE(card.size.width(), view->width() - 44);
    EXPECT_EQ(card.title, "Couldn't move that");
    // The detail wraps onto at most three lines, never holding the raw control characters.
    ASSERT_GE(card.detail.size(), 2);
    EXPECT_LE(card.detail.size(), 3);
    for (const QString& line : card.detail) {
        EXPECT_FALSE(line.contains(QChar(u'\n')));
        EXPECT_FALSE(line.contains(QChar(0x202E)));
    }
    // A short toast is laid out on one line at its natural width.
    const ToastCard small =
        toastCard(Toast::make(trashToastTitle(4'000, AppModel::ruleSet()),
                              "1 item moved to the Trash", true),
                  view->width() - 44);
    EXPECT_EQ(small.detail, QStringList{"1 item moved to the Trash"});
    EXPECT_LT(small.size.width(), 300);
}

TEST_F(ResultsScreenTest, TheTabsAreReachedAndSwitchedFromTheKeyboard) {
    put("disk/a.bin", 1000);
    open();
    TabPicker& tabs = view->tabPicker();
    // Tab from the search field's neighbours reaches the tabs; the arrows then move along them.
    EXPECT_EQ(tabs.focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    tabs.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(tabs.hasFocus());
    QTest::keyClick(&tabs, Qt::Key_Right);
    EXPECT_EQ(model().tab(), Tab::system);
    QTest::keyClick(&tabs, Qt::Key_Right);
    QTest::keyClick(&tabs, Qt::Key_Right);
    QTest::keyClick(&tabs, Qt::Key_Right);
    EXPECT_EQ(model().tab(), Tab::apps);
    QTest::keyClick(&tabs, Qt::Key_Right);  // the last stays the last
    EXPECT_EQ(model().tab(), Tab::apps);
    QTest::keyClick(&tabs, Qt::Key_Left);
    EXPECT_EQ(model().tab(), Tab::tidy);
    QTest::keyClick(&tabs, Qt::Key_Home);
    EXPECT_EQ(model().tab(), Tab::explore);
    QTest::keyClick(&tabs, Qt::Key_End);
    EXPECT_EQ(model().tab(), Tab::apps);
}

TEST_F(ResultsScreenTest, EmptyFolder) {
    put("disk/a.bin", 1000);
    put("disk/zeros/z", 0);
    tree.mkdirs("disk/empty");
    open();
    for (const char* folder : {"empty", "zeros"}) {
        model().open(id(folder));
        EXPECT_TRUE(exploreList().rowModel().rows().empty() == (std::string(folder) == "empty"));
        EXPECT_TRUE(view->explore().treemap().tiles().empty());  // "Empty folder"
    }
}

// The menus open while a live refresh shows another generation: each entry acts on its item
// by path in the generation shown by then; an item gone meanwhile is named in a toast, and
// nothing else is picked.
TEST_F(ResultsScreenTest, MenusActOnTheirItemInTheGenerationShownWhenChosen) {
    put("disk/folder/x.bin", 5000);
    put("disk/y.bin", 3000);
    put("disk/z.bin", 2000);
    put("disk/w.bin", 1000);
    open();
    const auto titles = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? "-" : a->text());
        return out;
    };
    const auto entry = [](QMenu* menu, const QString& title) {
        for (QAction* a : menu->actions())
            if (a->text() == title) return a;
        ADD_FAILURE() << title.toStdString();
        return static_cast<QAction*>(nullptr);
    };
    std::unique_ptr<QMenu> pick(makeItemMenu(model(), id("y.bin"), true, view.get()));
    EXPECT_EQ(titles(pick.get()), (QStringList{"Show in File Manager", "Open", "Copy Path", "-",
                                              "Pick for the Trash"}));
    std::unique_ptr<QMenu> look(makeItemMenu(model(), id("folder"), false, view.get()));
    EXPECT_EQ(titles(look.get()),
              (QStringList{"Look Inside", "Show in File Manager", "Open", "Copy Path"}));
    std::unique_ptr<QMenu> gone(makeItemMenu(model(), id("z.bin"), true, view.get()));

    // Inside a picked folder the entry reads "Unpick" and leaves the basket as it is.
    model().toggleBasket(id("folder"));
    std::unique_ptr<QMenu> inside(makeItemMenu(model(), id("folder/x.bin"), true, view.get()));
    ASSERT_EQ(inside->actions().back()->text(), "Unpick");
    inside->actions().back()->trigger();
    EXPECT_EQ(model().basket(), NodeIds{id("folder")});
    model().toggleBasket(id("folder"));
    model().toggleBasket(id("w.bin"));
    std::unique_ptr<QMenu> unpick(makeItemMenu(model(), id("w.bin"), true, view.get()));
    ASSERT_EQ(unpick->actions().back()->text(), "Unpick");

    // A live refresh: a file comes, z.bin leaves the disk (moved out of the tree).
    const IndexRef before = model().index();
    put("disk/folder/new.bin", 4000);
    ASSERT_EQ(::rename((root() + "/z.bin").c_str(), (tree.path() + "/z.bin").c_str()), 0);
    ASSERT_TRUE(waitLive([&] {
        return model().index() != before && !model().index()->lookup(root() + "/z.bin") &&
               model().index()->lookup(root() + "/folder/new.bin");
    }));
    model().setToast(std::nullopt);
    entry(unpick.get(), "Unpick")->trigger();
    EXPECT_TRUE(model().basket().empty());
    entry(pick.get(), "Pick for the Trash")->trigger();
    EXPECT_EQ(model().basket(), NodeIds{id("y.bin")});
    entry(look.get(), "Look Inside")->trigger();
    EXPECT_EQ(model().current(), id("folder"));
    EXPECT_FALSE(model().toast());
    // Chosen again once it is picked, the pick stays as it is.
    entry(pick.get(), "Pick for the Trash")->trigger();
    EXPECT_EQ(model().basket(), NodeIds{id("y.bin")});

    entry(gone.get(), "Pick for the Trash")->trigger();
    EXPECT_EQ(model().basket(), NodeIds{id("y.bin")});
    ASSERT_TRUE(model().toast());
    EXPECT_FALSE(model().toast()->good);
    EXPECT_EQ(model().toast()->title, QStringLiteral(u"\u201Cz.bin\u201D is no longer there"));

    // A refused open says so in a toast.
    desktop.works = false;
    openNode(model(), id("y.bin"));
    ASSERT_TRUE(model().toast());
    EXPECT_FALSE(model().toast()->good);
    EXPECT_EQ(model().toast()->detail, "y.bin");
}

TEST_F(ResultsScreenTest, RowClicksAndKindBarHover) {
    put("disk/Folder/inside.mp4", 50'000);
    put("disk/film.mp4", 40'000);
    put("disk/photo.jpg", 30'000);
    open();
    ItemListView& list = exploreList();

    // A double click (a click, then the second press) opens a file with its application; a
    // single click on it does nothing.
    auto doubleClick = [&](QPoint at) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(list.rowRect(rowOf(list, id("film.mp4"))).center());
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0], root() + "/film.mp4");
    EXPECT_EQ(model().current(), 0u);

    // A double click on a folder opens it once; the second click never reaches the new rows
    // (where a file now lies under the pointer).
    const QPoint folderRow = list.rowRect(rowOf(list, id("Folder"))).center();
    doubleClick(folderRow);
    EXPECT_EQ(model().current(), id("Folder"));
    EXPECT_EQ(desktop.opened.size(), 1u);
    EXPECT_TRUE(model().basket().empty());

    // Hovering a legend entry or a segment highlights that kind.
    model().open(0);
    ASSERT_TRUE(waitFor([&] { return model().breakdown().size() == 2; }));
    KindBar& bar = view->explore().summary().kindBar();
    const KindBarLayout layout = kindBarLayout(bar.parts(), bar.width());
    ASSERT_EQ(layout.segments.size(), 2u);
    QTest::mouseMove(&bar, QPoint(int(layout.segments[1].x + 1), 3));
    EXPECT_EQ(bar.hovered(), layout.segments[1].kind);
    QTest::mouseMove(&bar, QPoint(20, bar.height() - 6));  // the first legend entry
    EXPECT_EQ(bar.hovered(), layout.segments[0].kind);
    EXPECT_DOUBLE_EQ(bar.segmentOpacity(layout.segments[0].kind), 1);
    EXPECT_DOUBLE_EQ(bar.segmentOpacity(layout.segments[1].kind), 0.3);

    // The segments ease to their new opacity over 0.15 s rather than switching at once.
    SpringAnimator::setInstant(false);
    QTest::mouseMove(&bar, QPoint(int(layout.segments[1].x + 1), 3));
    const double midway = bar.segmentOpacity(layout.segments[1].kind);
    EXPECT_GE(midway, 0.3);
    EXPECT_LT(midway, 1);
    clock.advance(200ms);
    EXPECT_EQ(bar.segmentOpacity(layout.segments[1].kind), 1);
    EXPECT_DOUBLE_EQ(bar.segmentOpacity(layout.segments[0].kind), 0.3);
    SpringAnimator::setInstant(true);
}

TEST_F(ResultsScreenTest, TheConfirmationFollowsTheModelBothWays) {
    put("disk/a.bin", 4000);
    put("disk/b.bin", 3000);
    open();
    model().toggleBasket(id("a.bin"));
    model().toggleBasket(id("b.bin"));
    model().setConfirmTrash(true);
    ASSERT_NE(view->confirmation(), nullptr);
    EXPECT_TRUE(view->confirmation()->isVisible());
    // The title follows the basket while the question is open.
    model().toggleBasket(id("b.bin"));
    EXPECT_EQ(view->confirmation()->text(), confirmTrashTitle(1, model().basketSize()));
    // The model takes the question back: it closes.
    model().setConfirmTrash(false);
    ASSERT_TRUE(waitFor([&] { return view->confirmation() == nullptr; }));

    // Cancel leaves the basket and the files alone.
    model().setConfirmTrash(true);
    ASSERT_NE(view->confirmation(), nullptr);
    QAbstractButton* cancel = nullptr;
    for (QAbstractButton* b : view->confirmation()->buttons()) {
        if (b->text() == "Cancel") cancel = b;
    }
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(model().confirmTrash());
    EXPECT_EQ(model().basket(), NodeIds{id("a.bin")});
    EXPECT_FALSE(model().trashing());
    EXPECT_TRUE(fs::exists(root() + "/a.bin"));
}

TEST_F(ResultsScreenTest, AConfirmationOutlivesALiveRefreshOfTheFolder) {
    put("disk/a.bin", 4000);
    put("disk/b.bin", 3000);
    open();
    model().toggleBasket(id("a.bin"));
    QTest::mouseClick(&view->tray().trashKey(), Qt::LeftButton);
    ASSERT_NE(view->confirmation(), nullptr);

    // While the question is open, a file appears in the shown folder: the refreshed index
    // is adopted and the basket carried over to it by path.
    const IndexRef before = model().index();
    put("disk/new.bin", 2000);
    ASSERT_TRUE(waitLive([&] { return model().index() != before; }));
    ASSERT_EQ(model().basket(), NodeIds{id("a.bin")});

    // Confirming still moves what the basket holds.
    QAbstractButton* move = nullptr;
    for (QAbstractButton* b : view->confirmation()->buttons()) {
        if (b->text() == "Move to Trash") move = b;
    }
    ASSERT_NE(move, nullptr);
    QTest::mouseClick(move, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return model().toast().has_value() && !model().trashing(); }));
    EXPECT_TRUE(model().toast()->good);
    EXPECT_TRUE(fs::exists(fs::path(data.path()) / "Trash" / "files" / "a.bin"));
    EXPECT_FALSE(fs::exists(root() + "/a.bin"));
    EXPECT_TRUE(fs::exists(root() + "/b.bin"));
    EXPECT_TRUE(model().basket().empty());
}

}  // namespace
}  // namespace tamrel
