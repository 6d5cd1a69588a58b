#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/support/ScopedEnv.h"
#include "tests/ui/Printers.h"
#include "platform/XdgDirs.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/ui/shell/KeyboardWindow.h"
#include "tests/ui/tools/BoxButton.h"
#include "ui/home/ScanningView.h"
#include "ui/home/Sidebar.h"
#include "ui/home/WelcomeView.h"
#include "ui/results/BinList.h"
#include "ui/results/BinTray.h"
#include "ui/results/ExploreView.h"
#include "ui/results/ItemList.h"
#include "ui/results/ResultsHeader.h"
#include "ui/results/ResultsView.h"
#include "ui/results/TreemapView.h"
#include "ui/shell/MainWindow.h"
#include "ui/theme/ReadingOrder.h"
#include "ui/shell/RootView.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/Keys.h"
#include "ui/tools/AppsView.h"
#include "ui/tools/CleanView.h"
#include "ui/tools/SystemDataView.h"
#include "ui/tools/TickBox.h"
#include "ui/tools/ToolsBusy.h"

namespace tamrel {
namespace {

TEST(ReadingOrder, RowsFromTheTopEachFromTheLeftAndPartsWhereTheyStand) {
    // A column beside a tall pane is one row with it; a card's own part (its rows) reads
    // after the key above it and before the one below it.
    class Card : public QWidget, public FocusPart {
    public:
        using QWidget::QWidget;
        QRect focusPart() const override { return QRect(0, 40, width(), 40); }
    };
    QWidget root;
    root.resize(600, 400);
    const auto at = [](QWidget* w, int x, int y, int width, int height, bool focus = true) {
        w->setGeometry(x, y, width, height);
        w->setFocusPolicy(focus ? Qt::TabFocus : Qt::NoFocus);
        return w;
    };
    QWidget* left = at(new QWidget(&root), 0, 0, 200, 400, false);
    QWidget* a = at(new QWidget(left), 10, 10, 50, 20);
    QWidget* b = at(new QWidget(left), 10, 200, 50, 20);
    QWidget* pane = at(new QWidget(&root), 220, 0, 380, 400);  // a tall pane, itself a stop
    QWidget* header = at(new QWidget(&root), 0, 0, 0, 0);
    header->hide();  // hidden: not read
    auto* card = new Card(pane);
    at(card, 10, 100, 300, 130);
    QWidget* top = at(new QWidget(card), 250, 5, 30, 20);
    QWidget* bottom = at(new QWidget(card), 10, 100, 30, 20);
    QWidget* off = at(new QWidget(card), 100, 100, 30, 20);
    off->setEnabled(false);
    EXPECT_EQ(readingOrder(&root), (std::vector<QWidget*>{a, b, pane, top, card, bottom}));
}

class KeyboardTest : public test::KeyboardWindow {
protected:
    // Tab from the first control round to it again: each control once, in the window's order;
    // Shift+Tab from there round again visits them in the reverse order.
    void expectTabWalksTheOrder(const char* screen = "") {
        SCOPED_TRACE(screen);
        const std::vector<QWidget*> order = window->focusOrder();
        ASSERT_GT(order.size(), 3u);
        order.front()->setFocus(Qt::TabFocusReason);
        const std::size_t n = order.size();
        for (std::size_t i = 1; i <= n; ++i) {
            press(Qt::Key_Tab);
            ASSERT_EQ(focused(), order[i % n])
                << i << " " << order[i % n]->metaObject()->className();
        }
        for (std::size_t i = 1; i <= n; ++i) {
            press(Qt::Key_Backtab, Qt::ShiftModifier);
            ASSERT_EQ(focused(), order[(n - i) % n]) << "back " << i;
        }
    }
    // Every key the mouse can press on the screen (shown and enabled) is in the order.
    void expectEveryKeyReached(const char* screen) {
        SCOPED_TRACE(screen);
        const std::vector<QWidget*> order = window->focusOrder();
        for (QAbstractButton* key : window->findChildren<QAbstractButton*>()) {
            if (!key->isVisibleTo(window.get()) || !key->isEnabled() || key->isWindow()) continue;
            EXPECT_NE(std::find(order.begin(), order.end(), key), order.end())
                << key->metaObject()->className() << " " << key->text().toStdString();
        }
    }
};

TEST_F(KeyboardTest, TabReachesEveryControlOfEveryScreenInReadingOrder) {
    // No control has the focus (nor its ring) before the keyboard is used; Tab gives it to the
    // sidebar's first row, past the window keys, which only Tab from a neighbour reaches.
    EXPECT_EQ(QApplication::focusWidget(), window.get());
    press(Qt::Key_Tab);
    Sidebar* sidebar = window->rootView()->sidebar();
    EXPECT_EQ(QApplication::focusWidget(), sidebar->volumeRows().front());
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), window->windowKeys()->zoomKey());
    // Welcome: the window keys, the sidebar's rows top to bottom, then the screen's keys.
    std::vector<QWidget*> order = window->focusOrder();
    ASSERT_GE(order.size(), 5u);
    EXPECT_EQ(order[0], window->windowKeys()->closeKey());
    EXPECT_EQ(order[2], window->windowKeys()->zoomKey());
    EXPECT_EQ(order[3], sidebar->volumeRows().front());
    const auto indexOf = [&](QWidget* w) {
        return std::find(order.begin(), order.end(), w) - order.begin();
    };
    EXPECT_LT(indexOf(sidebar->placeRows().back()), indexOf(sidebar->openFolderRow()));
    expectEveryKeyReached("Welcome");
    expectTabWalksTheOrder("Welcome");
    ActionsProbe::setPhase(model(), Phase::scanning);
    expectTabWalksTheOrder("Scanning");

    showResults();

    model().toggleBasket(model().children(0).front());
    for (Tab tab : allTabs()) {
        model().setTab(tab);
        if (tab == Tab::apps) {
            ASSERT_TRUE(waitFor([&] { return model().selectedApp().has_value(); }));
        }
        QApplication::processEvents();
        order = window->focusOrder();
        // The header reads left to right, then the tabs, the screen, and the tray over it last.
        const auto crumbs = indexOf(&results->breadcrumbs());
        EXPECT_LT(indexOf(sidebar->openFolderRow()), crumbs);
        EXPECT_LT(crumbs, indexOf(&results->searchField().edit()));
        EXPECT_LT(indexOf(&results->searchField().edit()), indexOf(&results->rescanKey()));
        EXPECT_LT(indexOf(&results->rescanKey()), indexOf(&results->tabPicker()));
        EXPECT_EQ(order[order.size() - 3], &results->tray());
        EXPECT_EQ(order.back(), &results->tray().trashKey());
        expectEveryKeyReached(qPrintable(rawValue(tab)));
        expectTabWalksTheOrder(qPrintable(rawValue(tab)));
    }
    // A clean-up group open: its rows between its keys and the next card.
    auto* clean = qobject_cast<CleanView*>(results->tabScreen(Tab::tidy));
    ASSERT_TRUE(clean && !clean->cards().empty());
    model().setTab(Tab::tidy);
    clean->cards().front()->expandKey()->click();
    expectTabWalksTheOrder("Clean up, a group open");
    model().setQuery(QStringLiteral("mkv"));
    ASSERT_TRUE(searched());
    expectTabWalksTheOrder("search results");
    model().setQuery(QString());
    model().setTab(Tab::explore);
    QApplication::processEvents();
    order = window->focusOrder();
    // Explore: the file list (left column) before the treemap (right).
    EXPECT_LT(indexOf(&results->explore().list().view()), indexOf(&results->explore().treemap()));
}

// A person with a keyboard and nothing else, from the Welcome screen to an uninstall: keys only,
// each to the control that has the focus. After every screen change the focus is where the new
// screen starts, and no key but Tab ever leaves it on a window key (press checks).
TEST_F(KeyboardTest, KeyboardOnlyFromWelcomeToUninstall) {
    AppModel& m = model();
    const auto confirm = [&](QMessageBox* box, const QString& action) {
        ASSERT_TRUE(box);
        QAbstractButton* go = test::boxButton(*box, action);
        for (int i = 0; i < 4 && focused() != go; ++i)
            press(Qt::Key_Tab);
        ASSERT_EQ(focused(), go);
        press(Qt::Key_Space);
        // The box gone, the desktop makes the window active again (the offscreen platform does
        // not): the focus comes back to the window's own control.
        window->activateWindow();
        ASSERT_TRUE(test::exposed(*window, true));
        expectOffWindowKeys();
    };
    // Welcome: "Just my Home" scans the home; Stop has the focus, then the results' file list.
    // (The scan may end within the key's own events: the focus is looked at as it begins.)
    bool onStop = false;
    const auto scanStarts = QObject::connect(&m.phase, &PropertyNotifier::changed, window.get(), [&] {
        auto* scanning = qobject_cast<ScanningView*>(window->rootView()->screen());
        if (scanning) onStop = focused() == scanning->stopKey();
    });
    auto* welcome = qobject_cast<WelcomeView*>(window->rootView()->screen());
    ASSERT_TRUE(welcome && tabTo(welcome->homeKey()));
    press(Qt::Key_Return);
    QObject::disconnect(scanStarts);
    EXPECT_TRUE(onStop);
    ASSERT_TRUE(waitFor([&] {
        return m.phase() == Phase::results && m.sync() == Sync::live && m.systemReport() &&
               !m.cleanPlan().empty();
    }));
    results = qobject_cast<ResultsView*>(window->rootView()->screen());
    ItemListView& list = results->explore().list().view();
    EXPECT_EQ(focused(), &list);

    // Explore: down to the films, into them, two of them picked.
    const std::string films = home() + "/Films";
    for (int i = 0; i < 20 && list.rowList().currentKey().toStdString() != films; ++i)
        press(Qt::Key_Down);
    press(Qt::Key_Return);
    EXPECT_EQ(m.index()->path(m.current()), films);
    EXPECT_EQ(focused(), &list);
    press(Qt::Key_Space);
    // The second from its menu: the Menu key on its row, Up to the menu's last entry, Enter.
    press(Qt::Key_Down);
    press(Qt::Key_Menu);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    QTest::keyClick(menu, Qt::Key_Up);
    ASSERT_TRUE(menu->activeAction());
    EXPECT_EQ(menu->activeAction()->text(), "Pick for the Trash");
    QTest::keyClick(menu, Qt::Key_Return);
    window->activateWindow();  // as the desktop does once the menu is gone
    ASSERT_TRUE(test::exposed(*window, true));
    EXPECT_EQ(focused(), &list);
    EXPECT_EQ(m.basket(), (NodeIds{id(films + "/a.mkv"), id(films + "/b.mkv")}));

    // The tray: its list opened and closed again, then the move to the Trash, confirmed.
    ASSERT_TRUE(tabTo(&results->tray()));
    press(Qt::Key_Return);
    ASSERT_TRUE(results->tray().list());
    EXPECT_EQ(focused(), &results->tray().list()->rows());
    press(Qt::Key_Escape);
    EXPECT_EQ(focused(), &results->tray());
    ASSERT_TRUE(tabTo(&results->tray().trashKey()));
    press(Qt::Key_Return);
    confirm(results->confirmation(), QStringLiteral("Move to Trash"));
    ASSERT_TRUE(waitFor([&] { return !m.trashing() && !test::exists(films + "/b.mkv"); }));
    EXPECT_TRUE(test::exists(homeTrashDirectory() + "/files/a.mkv"));
    EXPECT_TRUE(test::exists(films + "/c.mkv"));
    ActionsProbe::finishWork(m);
    expectOffWindowKeys();

    // System Data from the tabs: "Look inside" opens the folder its card names, in Explore.
    ASSERT_TRUE(tabTo(&results->tabPicker(), false));
    press(Qt::Key_Right);
    EXPECT_EQ(m.tab(), Tab::system);
    EXPECT_EQ(focused(), &results->tabPicker());
    const auto& buckets = qobject_cast<SystemDataView*>(results->tabScreen(Tab::system))->cards();
    const auto looked = std::find_if(buckets.begin(), buckets.end(),
                                     [](BucketCard* c) { return c->lookKey() != nullptr; });
    ASSERT_NE(looked, buckets.end());
    const NodeId root = (*looked)->bucket().roots.front();
    ASSERT_TRUE(tabTo((*looked)->lookKey()));
    press(Qt::Key_Return);
    EXPECT_EQ(m.current(), root);
    EXPECT_EQ(m.tab(), Tab::explore);
    EXPECT_EQ(focused(), &list);

    // Clean up: a group opened, its first item unticked, the rest cleaned.
    ASSERT_TRUE(tabTo(&results->tabPicker(), false));
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Right);
    ASSERT_EQ(m.tab(), Tab::tidy);
    auto* clean = qobject_cast<CleanView*>(results->tabScreen(Tab::tidy));
    const auto group = std::find_if(clean->cards().begin(), clean->cards().end(), [](auto* c) {
        return c->group().items.size() > 1 && c->tickBox()->state() == TickState::all;
    });
    ASSERT_NE(group, clean->cards().end());
    CleanGroupCard* card = *group;
    const std::string kept = m.index()->path(card->group().items[0].node);
    const std::string cleaned = m.index()->path(card->group().items[1].node);
    ASSERT_TRUE(tabTo(card->expandKey()));
    press(Qt::Key_Return);
    ASSERT_TRUE(card->isOpen());
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), card);
    press(Qt::Key_Space);
    EXPECT_FALSE(m.cleanPicked().contains(id(kept)));
    ASSERT_TRUE(tabTo(clean->header()->cleanKey(), false));
    press(Qt::Key_Return);
    confirm(clean->confirmation(), QStringLiteral("Move to Trash"));
    ASSERT_TRUE(waitFor([&] { return !m.removalBusy() && !test::exists(cleaned); }));
    EXPECT_TRUE(test::exists(kept));
    ActionsProbe::finishWork(m);
    expectOffWindowKeys();

    // Apps: the list's place is its selection; one leftover unticked; the application uninstalled.
    ASSERT_TRUE(tabTo(&results->tabPicker(), false));
    press(Qt::Key_Right);
    ASSERT_EQ(m.tab(), Tab::apps);
    auto* apps = qobject_cast<AppsView*>(results->tabScreen(Tab::apps));
    ASSERT_TRUE(waitFor([&] { return m.selectedApp() && apps->detail(); }));
    AppRows& rows = apps->list().rows();
    ASSERT_TRUE(tabTo(&rows));
    const auto selectedName = [&] { return apps->detail() ? apps->detail()->app().name : ""; };
    for (int i = 0; i < 4 && selectedName() != "Big"; ++i)
        press(Qt::Key_Down);
    ASSERT_EQ(selectedName(), "Big");
    EXPECT_EQ(rows.apps()[std::size_t(rows.rowList().currentRow())]->node, *m.selectedApp());
    const std::string bundle = apps->detail()->app().path;
    LeftoverList& leftovers = apps->detail()->leftovers();
    ASSERT_TRUE(tabTo(&leftovers));
    press(Qt::Key_Down);  // from the first kind's box to its first leftover
    const std::string left = leftovers.rowList().currentKey().toStdString();
    press(Qt::Key_Space);
    EXPECT_FALSE(m.leftoverPicked().contains(id(left)));
    ASSERT_TRUE(tabTo(apps->detail()->uninstallKey()));
    press(Qt::Key_Return);
    confirm(apps->confirmation(), QStringLiteral("Uninstall"));
    ASSERT_TRUE(waitFor([&] { return !m.uninstalling() && !test::exists(bundle); }));
    EXPECT_TRUE(test::exists(homeTrashDirectory() + "/files/Big.app"));
    EXPECT_TRUE(test::exists(left));
    ActionsProbe::finishWork(m);
    expectOffWindowKeys();
}

TEST_F(KeyboardTest, ListsAndTilesMoveOpenPickAndShowTheirMenu) {
    showResults();
    AppModel& m = model();
    ItemListView& list = results->explore().list().view();
    list.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(list.hasFocus());
    EXPECT_EQ(list.rowList().currentRow(), 0);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    press(Qt::Key_Up);
    EXPECT_EQ(list.rowList().currentRow(), 1);
    press(Qt::Key_End);
    const int last = int(list.rowModel().rows().size()) - 1;
    EXPECT_EQ(list.rowList().currentRow(), last);
    press(Qt::Key_Home);
    // Space picks the row's item and takes it back out.
    const NodeId first = list.rowModel().rows().front().id;
    press(Qt::Key_Space);
    EXPECT_EQ(m.basket(), NodeIds{first});
    press(Qt::Key_Space);
    EXPECT_TRUE(m.basket().empty());
    // The Menu key, and Shift+F10, open the item menu of the row.
    for (const auto& [key, mods] : {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
                                    std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        press(key, mods);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        EXPECT_EQ(menu->actions().front()->text(), "Look Inside");
        menu->close();
        delete menu;
    }
    // Escape in the search field clears the query and leaves the field for the list below.
    press(Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(focused(), &results->searchField().edit());
    QTest::keyClicks(focused(), QStringLiteral("mkv"));
    EXPECT_EQ(m.query(), "mkv");
    press(Qt::Key_Escape);
    EXPECT_TRUE(m.query().isEmpty());
    EXPECT_EQ(focused(), &list);
    // Enter looks inside a folder; Alt+Up comes back as Ctrl+Up does.
    ASSERT_TRUE(list.rowModel().rows().front().isDir);
    press(Qt::Key_Return);
    EXPECT_EQ(m.current(), first);
    press(Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(m.current(), 0u);

    // The treemap: the largest tile first, the arrows to the neighbours, Enter goes in.
    TreemapView& map = results->explore().treemap();
    map.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(map.focusNode());
    EXPECT_EQ(*map.focusNode(), first);
    press(Qt::Key_Right);
    const NodeId right = *map.focusNode();
    EXPECT_NE(right, first);
    press(Qt::Key_Left);
    EXPECT_EQ(*map.focusNode(), first);
    press(Qt::Key_Space);
    EXPECT_EQ(m.basket(), NodeIds{first});
    press(Qt::Key_Space);
    press(Qt::Key_Return);
    EXPECT_EQ(m.current(), first);
    // In the new folder the place starts again on its largest tile.
    ASSERT_TRUE(map.focusNode());
    EXPECT_EQ(m.index()->parentOf(*map.focusNode()), first);

    // The path bar: the crumbs, the current folder's first; Left then Enter opens the root.
    Breadcrumbs& crumbs = results->breadcrumbs();
    crumbs.setFocus(Qt::TabFocusReason);
    EXPECT_EQ(crumbs.focusCrumb(), int(crumbs.crumbs().size()) - 1);
    press(Qt::Key_Left);
    press(Qt::Key_Return);
    EXPECT_EQ(m.current(), 0u);

    // The tray's counter opens the list of picked items, which takes the focus on its first row.
    m.toggleBasket(first);
    BinTray& tray = results->tray();
    tray.setFocus(Qt::TabFocusReason);
    press(Qt::Key_Space);
    ASSERT_TRUE(tray.list());
    EXPECT_EQ(QApplication::focusWidget(), &tray.list()->rows());
    EXPECT_EQ(tray.list()->rows().rowList().currentRow(), 0);
    press(Qt::Key_Space);
    EXPECT_TRUE(m.basket().empty());
}

TEST_F(KeyboardTest, TicksRowsAndApplicationsFromTheKeyboard) {
    showResults();
    AppModel& m = model();
    // Clean up: Space on a group's box ticks or unticks the group; its rows, once open, move
    // with the arrows and tick with Space.
    m.setTab(Tab::tidy);
    auto* clean = qobject_cast<CleanView*>(results->tabScreen(Tab::tidy));
    ASSERT_TRUE(clean && !clean->cards().empty());
    CleanGroupCard* card = clean->cards().front();
    std::vector<NodeId> nodes;
    for (const CleanItem& item : card->group().items)
        nodes.push_back(item.node);
    card->tickBox()->setFocus(Qt::TabFocusReason);
    const bool wasAll = card->tickBox()->state() == TickState::all;
    press(Qt::Key_Space);
    EXPECT_EQ(card->tickBox()->state(), wasAll ? TickState::none : TickState::all);
    EXPECT_EQ(card->focusPolicy(), Qt::NoFocus);  // closed: no rows to reach
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(card->expandKey()));
    press(Qt::Key_Space);
    ASSERT_TRUE(card->isOpen());
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(card));
    EXPECT_EQ(card->rowList().currentRow(), 0);
    const bool on = m.cleanPicked().contains(nodes.front());
    press(Qt::Key_Space);
    EXPECT_EQ(m.cleanPicked().contains(nodes.front()), !on);
    // Closing the group hands the place back to its expand key.
    card->expandKey()->click();
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(card->expandKey()));

    // System Data: a bucket's item lines, Enter opens the line's folder.
    m.setTab(Tab::system);
    auto* system = qobject_cast<SystemDataView*>(results->tabScreen(Tab::system));
    ASSERT_TRUE(system);
    const auto withLines = std::find_if(system->cards().begin(), system->cards().end(),
                                        [&](BucketCard* c) {
                                            return !c->bucket().top.empty() &&
                                                   m.index()->isDir(c->bucket().top.front());
                                        });
    ASSERT_NE(withLines, system->cards().end());
    (*withLines)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ((*withLines)->rowList().currentRow(), 0);
    const NodeId folder = (*withLines)->bucket().top.front();
    press(Qt::Key_Return);
    EXPECT_EQ(m.current(), folder);

    // Apps: the rows move with the arrows and select with Enter; the leftovers tick with Space.
    m.setTab(Tab::apps);
    auto* apps = qobject_cast<AppsView*>(results->tabScreen(Tab::apps));
    ASSERT_TRUE(apps);
    ASSERT_TRUE(waitFor([&] { return m.selectedApp() && m.apps().size() > 1 && apps->detail(); }));
    AppRows& rows = apps->list().rows();
    rows.setFocus(Qt::TabFocusReason);
    const int selectedRow = rows.rowList().currentRow();
    EXPECT_EQ(rows.apps()[std::size_t(selectedRow)]->node, *m.selectedApp());
    press(selectedRow == 0 ? Qt::Key_Down : Qt::Key_Up);
    press(Qt::Key_Return);
    const NodeId other = rows.apps()[std::size_t(rows.rowList().currentRow())]->node;
    EXPECT_EQ(m.selectedApp(), other);
    LeftoverList& leftovers = apps->detail()->leftovers();
    ASSERT_TRUE(leftovers.focusPolicy() & Qt::TabFocus);
    {
        leftovers.setFocus(Qt::TabFocusReason);
        const NodeSet before = m.leftoverPicked();
        press(Qt::Key_Space);  // the first kind's box
        EXPECT_NE(m.leftoverPicked(), before);
        press(Qt::Key_Space);
        EXPECT_EQ(m.leftoverPicked(), before);
    }
}


// After Clean has run, the focus stays on the Clean up screen, however the run's steps land: the
// Clean key turns off as the run starts, the cards of what was cleaned go as it ends, and
// "Open Trash" shows only once the Trash's size is known. While the screen has no control the
// window holds the focus (no control outside the screen takes it); the first control that shows
// there takes it.
class CleanFocus : public test::UiTest {};

TEST_F(CleanFocus, StaysOnTheCleanUpScreenAfterTheRun) {
    // The Trash in the home, so that the index sees what it holds.
    tree.mkdirs("home/.local/share");
    test::ScopedEnv data{"XDG_DATA_HOME", home() + "/.local/share"};
    put("home/.cache/pip/http/wheel", 600'000);
    scanned(home());
    ASSERT_TRUE(waitFor([&] { return !model().cleanPlan().empty(); }));
    AppModel& m = model();
    NodeIds all;
    for (const CleanGroup& g : m.cleanPlan())
        for (const CleanItem& item : g.items)
            all.push_back(item.node);
    m.setClean(all, true);
    MainWindow window(m);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(test::exposed(window, true));
    m.setTab(Tab::tidy);
    QApplication::processEvents();
    auto* results = qobject_cast<ResultsView*>(window.rootView()->screen());
    auto* clean = qobject_cast<CleanView*>(results->tabScreen(Tab::tidy));
    ASSERT_TRUE(clean);
    clean->header()->cleanKey()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(clean->header()->cleanKey(), Qt::Key_Return);
    QMessageBox* box = clean->confirmation();
    ASSERT_TRUE(box);
    test::boxButton(*box, QStringLiteral("Move to Trash"))->click();
    window.activateWindow();
    ASSERT_TRUE(test::exposed(window, true));
    ASSERT_TRUE(waitFor([&] { return !m.removalBusy() && m.cleanPlan().empty(); }));
    ActionsProbe::finishWork(m);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), &window) << "held for the screen";

    // The Trash of the index grows past 1 MiB: "Open Trash" shows and takes the focus.
    put("home/.local/share/Trash/files/old.bin", 2'000'000);
    ASSERT_TRUE(waitLive([&] { return clean->header()->openTrashKey()->isVisible(); }));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), clean->header()->openTrashKey());
}

}  // namespace
}  // namespace tamrel
