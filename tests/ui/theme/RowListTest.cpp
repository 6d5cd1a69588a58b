#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include "tests/model/app/FakeDesktop.h"
#include "tests/ui/Printers.h"
#include "tests/ui/shell/KeyboardWindow.h"
#include "ui/results/BinList.h"
#include "ui/results/BinTray.h"
#include "ui/results/ExploreView.h"
#include "ui/results/ItemList.h"
#include "ui/results/ListScreens.h"
#include "ui/results/TreemapView.h"
#include "ui/theme/RowList.h"
#include "ui/tools/AppsView.h"
#include "ui/tools/CleanView.h"
#include "ui/tools/SystemDataView.h"

namespace tamrel {
namespace {

using ListsKeepTheirPlace = test::KeyboardWindow;

// A live refresh lands (a file written in the home: a new index generation, its rows in another
// order, the cards and the detail made anew) while the keyboard's place is on a row of each kind
// of list: the place stays on the same item (and in Apps, the selection with it), the focus on
// the list, and Tab goes on from it to a control of the screen. In the treemap, reached with
// Shift+Tab, Enter then acts on the tile that shows the ring.
TEST_F(ListsKeepTheirPlace, ALiveRefreshLeavesThePlaceOnItsItem) {
    showResults();
    AppModel& m = model();
    for (const char* film : {"a.mkv", "b.mkv", "c.mkv"})
        m.toggleBasket(id(home() + "/Films/" + film));
    const auto clean = [&] { return qobject_cast<CleanView*>(results->tabScreen(Tab::tidy)); };
    const auto bucket = [&]() -> QWidget* {
        auto* system = qobject_cast<SystemDataView*>(results->tabScreen(Tab::system));
        for (BucketCard* card : system->cards())
            if (card->bucket().top.size() > 2) return card;
        return nullptr;
    };
    const auto apps = [&] { return qobject_cast<AppsView*>(results->tabScreen(Tab::apps)); };
    const auto placeOf = [](QWidget* list) { return RowList::of(list)->currentKey(); };
    struct Case {
        const char* name;
        std::function<void()> show;
        std::function<QWidget*()> list;
    };
    const Case cases[] = {
        {"Explore", [&] { m.setTab(Tab::explore); },
         [&] { return &results->explore().list().view(); }},
        {"Biggest", [&] { m.setTab(Tab::biggest); },
         [&] { return &results->biggest().list().view(); }},
        {"search",
         [&] {
             m.setQuery(QStringLiteral("mkv"));
             ASSERT_TRUE(searched());
         },
         [&] { return &results->searchResults().list().view(); }},
        {"tray",
         [&] {
             m.setQuery(QString());
             results->tray().toggleList();
         },
         [&] { return results->tray().list() ? &results->tray().list()->rows() : nullptr; }},
        {"Clean up",
         [&] {
             results->tray().toggleList();
             m.setTab(Tab::tidy);
             clean()->cards().front()->expandKey()->click();
         },
         [&] { return clean()->cards().front(); }},
        {"System Data", [&] { m.setTab(Tab::system); }, bucket},
        {"Apps",
         [&] {
             m.setTab(Tab::apps);
             ASSERT_TRUE(waitFor([&] { return apps()->detail() && m.apps().size() > 2; }));
         },
         [&] { return &apps()->list().rows(); }},
        {"leftovers",
         [&] {
             for (const InstalledApp& app : m.apps())
                 if (app.name == "Big") m.selectApp(app.node);
         },
         [&] { return &apps()->detail()->leftovers(); }},
    };
    int written = 0;
    const auto refreshed = [&] {
        const IndexRef before = m.index();
        // Larger than anything in the home: the first row of the lists that show it.
        ++written;
        put("home/new-" + std::to_string(written) + ".mkv", std::size_t(9'000'000 + written));
        ASSERT_TRUE(waitLive([&] { return m.index() != before && m.sync() == Sync::live; }));
        ActionsProbe::finishWork(m);
        ActionsProbe::finishWork(m);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.show();
        QApplication::processEvents();
        ASSERT_TRUE(c.list());
        c.list()->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        const QString place = placeOf(c.list());
        ASSERT_FALSE(place.isEmpty());
        refreshed();
        ASSERT_TRUE(c.list());
        EXPECT_EQ(focused(), c.list());
        EXPECT_EQ(placeOf(c.list()), place);
        if (c.list() == &apps()->list().rows()) {
            EXPECT_EQ(apps()->detail()->app().path, place.toStdString());
        }
        press(Qt::Key_Tab);
        ASSERT_TRUE(focused());
        expectOffWindowKeys();
    }

    // The treemap, reached with Shift+Tab: its ring stays on its tile, and Enter opens that one.
    m.setTab(Tab::explore);
    TreemapView& map = results->explore().treemap();
    ASSERT_TRUE(tabTo(&map, false));
    press(Qt::Key_Right);
    ASSERT_TRUE(map.focusNode());
    const std::string tile = m.index()->path(*map.focusNode());
    refreshed();
    ASSERT_TRUE(map.focusNode());
    EXPECT_EQ(m.index()->path(*map.focusNode()), tile);
    const bool folder = m.index()->isDir(*map.focusNode());
    press(Qt::Key_Return);
    EXPECT_TRUE(folder ? m.index()->path(m.current()) == tile : m.inBasket(id(tile)));
}


using ListMenus = test::KeyboardWindow;

// The desktop sends the Menu key to the focused control as a context menu event at its centre.
// In each kind of list, with the ring on a row away from the centre, that event opens the menu of
// the ring's row, whose entries act on that row's item ("Copy Path" copies its path, "Pick for
// the Trash" picks exactly it); the treemap's is the ring tile's. Lists without item menus open
// none, and the window's own menu never opens over a list.
TEST_F(ListMenus, AKeyboardMenuIsTheRingRowsWhereverTheEventPointsAt) {
    showResults();
    AppModel& m = model();
    // The event as the desktop sends it; a menu with an event loop of its own (the window's)
    // is closed at once and counted.
    int nestedMenus = 0;
    const auto keyboardMenu = [&]() -> QMenu* {
        QWidget* w = focused();
        const QPoint centre = w->rect().center();
        QTimer closer;
        closer.setSingleShot(true);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                ++nestedMenus;
                popup->close();
            }
        });
        closer.start(0);
        QContextMenuEvent event(QContextMenuEvent::Keyboard, centre, w->mapToGlobal(centre));
        QApplication::sendEvent(w, &event);
        closer.stop();
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    };
    // The menu closed, the desktop makes the window active again (the offscreen platform does
    // not), then the entry acts.
    const auto choose = [&](QMenu* menu, const QString& title) {
        QAction* chosen = nullptr;
        for (QAction* a : menu->actions())
            if (a->text() == title && a->isEnabled()) chosen = a;
        menu->hide();
        window->activateWindow();
        EXPECT_TRUE(test::exposed(*window, true));
        if (chosen) chosen->trigger();
        menu->close();
        return chosen != nullptr;
    };
    // Through the menu the Menu key opens: the path it copies, and what its pick entry picked.
    const auto checkMenu = [&](const std::string& ringPath, bool picks) {
        QMenu* menu = keyboardMenu();
        ASSERT_TRUE(menu);
        ASSERT_TRUE(choose(menu, QStringLiteral("Copy Path")));
        ASSERT_FALSE(desktop.copied.empty());
        EXPECT_EQ(desktop.copied.back().toStdString(), ringPath);
        if (!picks) return;
        m.setBasket({});
        menu = keyboardMenu();
        ASSERT_TRUE(menu);
        ASSERT_TRUE(choose(menu, QStringLiteral("Pick for the Trash")));
        EXPECT_EQ(m.basket(), NodeIds{id(ringPath)});
        m.setBasket({});
    };
    const auto clean = [&] { return qobject_cast<CleanView*>(results->tabScreen(Tab::tidy)); };
    const auto apps = [&] { return qobject_cast<AppsView*>(results->tabScreen(Tab::apps)); };
    struct Case {
        const char* name;
        std::function<void()> show;
        std::function<QWidget*()> list;
        bool menus;  // item menus, with a pick entry
        bool picks;
    };
    const Case cases[] = {
        {"Explore", [&] { m.setTab(Tab::explore); },
         [&] { return &results->explore().list().view(); }, true, true},
        {"Biggest", [&] { m.setTab(Tab::biggest); },
         [&] { return &results->biggest().list().view(); }, true, true},
        {"search",
         [&] {
             m.setQuery(QStringLiteral("bin"));
             ASSERT_TRUE(searched());
         },
         [&] { return &results->searchResults().list().view(); }, true, true},
        {"Clean up",
         [&] {
             m.setQuery(QString());
             m.setTab(Tab::tidy);
             clean()->cards().front()->expandKey()->click();
         },
         [&] { return clean()->cards().front(); }, true, true},
        {"System Data", [&] { m.setTab(Tab::system); },
         [&]() -> QWidget* {
             auto* system = qobject_cast<SystemDataView*>(results->tabScreen(Tab::system));
             for (BucketCard* card : system->cards())
                 if (card->bucket().top.size() > 2) return card;
             return nullptr;
         },
         true, false},
        {"tray",
         [&] {
             m.toggleBasket(id(home() + "/Films/a.mkv"));
             m.toggleBasket(id(home() + "/Films/b.mkv"));
             results->tray().toggleList();
         },
         [&] { return results->tray().list() ? &results->tray().list()->rows() : nullptr; },
         false, false},
        {"Apps",
         [&] {
             results->tray().toggleList();
             m.setTab(Tab::apps);
             ASSERT_TRUE(waitFor([&] { return apps()->detail() && m.apps().size() > 2; }));
         },
         [&] { return &apps()->list().rows(); }, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.show();
        QApplication::processEvents();
        QWidget* list = c.list();
        ASSERT_TRUE(list);
        list->setFocus(Qt::TabFocusReason);
        RowList& rows = *RowList::of(list);
        // The ring on the last row away from the centre (one the Trash takes, where it picks).
        const QPoint centre = rows.pointer()->mapFrom(list, list->rect().center());
        int ring = -1;
        for (int k = 0; k < 12; ++k) {
            if (rows.rowAt(centre) != rows.currentRow() &&
                (!c.picks || m.mayPick(id(rows.currentKey().toStdString()))))
                ring = rows.currentRow();
            press(Qt::Key_Down);
        }
        ASSERT_GE(ring, 0);
        rows.setCurrentRow(ring);
        if (c.menus) {
            checkMenu(rows.currentKey().toStdString(), c.picks);
        } else {
            EXPECT_FALSE(keyboardMenu());
        }
        EXPECT_EQ(focused(), list);
    }
    // The treemap: the ring on a tile off its centre.
    m.setTab(Tab::explore);
    TreemapView& map = results->explore().treemap();
    map.setFocus(Qt::TabFocusReason);
    press(Qt::Key_End);
    ASSERT_TRUE(map.focusNode());
    for (const TreemapTile& tile : map.tiles()) {
        if (tile.id == std::int64_t(*map.focusNode())) {
            EXPECT_FALSE(tile.rect.contains(QRectF(map.rect()).center()));
        }
    }
    checkMenu(m.index()->path(*map.focusNode()), m.mayPick(*map.focusNode()));
    EXPECT_EQ(nestedMenus, 0) << "the window's menu opened over a list";
}

}  // namespace
}  // namespace tamrel
