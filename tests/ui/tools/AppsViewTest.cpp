#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "platform/XdgDirs.h"
#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/model/system/BundleChild.h"
#include "tests/support/AppImageHome.h"
#include "tests/ui/RollWatch.h"
#include "tests/ui/UiFixture.h"
#include "tests/ui/tools/BoxButton.h"
#include "tests/ui/tools/ToolsTree.h"
#include "ui/theme/FieldRing.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/SpringAnimator.h"
#include "ui/tools/AppsView.h"
#include "ui/tools/RunningCheck.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {
namespace {

InstalledApp appWith(std::vector<Leftover> leftovers, std::uint64_t leftoverSize = 0) {
    InstalledApp app{.node = 1,
                     .path = "/apps/Viewer.app",
                     .name = "Viewer",
                     .bundleID = "com.example.viewer",
                     .version = "",
                     .identity = AppIdentity({"com.example.viewer"}, {"Viewer"}),
                     .appStore = false,
                     .homebrew = false,
                     .lastUsed = std::nullopt,
                     .appSize = 0,
                     .leftovers = {},
                     .leftoverSize = 0};
    app.leftovers = std::move(leftovers);
    app.leftoverSize = leftoverSize;
    return app;
}

TEST(AppsText, ConfirmationSentences) {
    const InstalledApp app = appWith({});
    EXPECT_EQ(uninstallTitle(nullptr), QStringLiteral("Uninstall this app?"));
    EXPECT_EQ(uninstallTitle(&app), QStringLiteral("Uninstall Viewer?"));
    EXPECT_EQ(uninstallMessage(nullptr, 3, true, true), QString());
    EXPECT_EQ(
        uninstallMessage(&app, 1, false, false),
        QStringLiteral("The app and 1 leftover item go to the Trash, so you can put them back."));
    EXPECT_EQ(
        uninstallMessage(&app, 0, false, false),
        QStringLiteral("The app and 0 leftover items go to the Trash, so you can put them back."));
    EXPECT_EQ(
        uninstallMessage(&app, 2, true, true),
        QStringLiteral("The app and 2 leftover items go to the Trash, so you can put them back. "
                       "Viewer will be asked to quit first. Some items are outside your home "
                       "folder, so the system will ask for your password."));
}

TEST(AppsText, RowsFactsAndKindGroups) {
    InstalledApp app = appWith({}, 1'048'576);
    EXPECT_EQ(appDataLine(app), QString());
    app.leftoverSize = 1'048'577;
    EXPECT_EQ(appDataLine(app), QStringLiteral("+1 MB data"));
    EXPECT_EQ(appUseLine(app, QDateTime::currentDateTime()), QStringLiteral("Never opened"));
    EXPECT_EQ(lastUsedFact(app, QDateTime::currentDateTime()), QStringLiteral("Never"));
    app.lastUsed = std::chrono::system_clock::now() - std::chrono::hours(24 * 3);
    EXPECT_EQ(appUseLine(app, QDateTime::currentDateTime()), QStringLiteral("Used 3 days ago"));
    app.version = "2.1";
    // Laid out 6 apart; a long identifier gives way in the middle, the version never.
    const QFont font = Fonts::system(12, Fonts::Weight::medium);
    const QFontMetricsF fm(font);
    auto pieces = identityPieces(app, font, 1000);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].text, QStringLiteral("2.1"));
    EXPECT_DOUBLE_EQ(pieces[1].x, fm.horizontalAdvance(QStringLiteral("2.1")) + 6);
    EXPECT_EQ(pieces[2].text, QStringLiteral("com.example.viewer"));
    app.bundleID = "com.example.a-very-long-identifier-that-cannot-fit.helper";
    pieces = identityPieces(app, font, 160);
    EXPECT_EQ(pieces[0].text, QStringLiteral("2.1"));
    EXPECT_TRUE(pieces[2].text.startsWith(QStringLiteral("com.")));
    EXPECT_TRUE(pieces[2].text.endsWith(QStringLiteral("helper")));
    EXPECT_TRUE(pieces[2].text.contains(QChar(0x2026)));
    EXPECT_LE(pieces[2].x + fm.horizontalAdvance(pieces[2].text), 160.0);
    app.version.clear();
    EXPECT_EQ(identityPieces(app, font, 1000).front().text, QStringLiteral("\u00B7"));
    EXPECT_EQ(leftoverFact(app), QStringLiteral("1 MB in 0 places"));
    app.leftovers = {{1, Leftover::Kind::other},
                     {2, Leftover::Kind::cache},
                     {3, Leftover::Kind::support},
                     {4, Leftover::Kind::cache}};
    const auto groups = leftoverGroups(app);
    ASSERT_EQ(groups.size(), 3u);  // kinds without leftovers are skipped
    EXPECT_EQ(groups[0].kind, Leftover::Kind::support);
    EXPECT_EQ(groups[1].kind, Leftover::Kind::cache);
    ASSERT_EQ(groups[1].items.size(), 2u);
    EXPECT_EQ(groups[1].items[0]->node, 2u);           // the application's order within a kind
    EXPECT_EQ(groups[2].kind, Leftover::Kind::other);  // last
    EXPECT_EQ(kindLabel(Leftover::Kind::support), QStringLiteral("App data"));
    app.leftovers.resize(1);
    EXPECT_EQ(leftoverFact(app), QStringLiteral("1 MB in 1 place"));
    EXPECT_EQ(detailFootnote(app, true),
              QStringLiteral("Viewer is open. Tamrel will ask it to quit first."));
}

// An AppImage on a file system that records no access times has no use line, no "Last used"
// fact and, while no application's use is known, no "Last used" order; the kinds of the Linux
// rows have their Linux labels; the placeholder tells apart loading, an empty inventory and none
// picked.
TEST(AppsText, UnknownUseLinuxKindsAndTheEmptyState) {
    InstalledApp app = appWith({});
    app.appImage = true;
    app.lastUsedKnown = false;
    app.lastUsed = std::chrono::system_clock::now();
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_EQ(appUseLine(app, now), QString());
    EXPECT_EQ(lastUsedFact(app, now), QString());
    const std::vector<AppSort> all = {AppSort::size, AppSort::name, AppSort::lastUsed};
    const std::vector<AppSort> undated = {AppSort::size, AppSort::name};
    EXPECT_EQ(offeredAppSorts({app}, AppSort::size), undated);
    EXPECT_EQ(offeredAppSorts({app}, AppSort::lastUsed), all);  // the order in use stays
    EXPECT_EQ(offeredAppSorts({}, AppSort::name), undated);
    EXPECT_EQ(offeredAppSorts({app, appWith({})}, AppSort::size), all);
    EXPECT_EQ(kindLabel(Leftover::Kind::container), QStringLiteral("Flatpak & Snap data"));
    EXPECT_EQ(kindLabel(Leftover::Kind::agent), QStringLiteral("Autostart entries"));
    EXPECT_EQ(kindLabel(Leftover::Kind::state), QStringLiteral("Saved state"));
    EXPECT_EQ(appsPlaceholder(true, true),
              QStringLiteral("Finding your apps and what they left around\u2026"));
    EXPECT_EQ(appsPlaceholder(false, true),
              QStringLiteral("No apps to uninstall here. Programs from your package manager, "
                             "Flatpak or Snap are removed with those."));
    EXPECT_EQ(appsPlaceholder(false, false), QStringLiteral("Pick an app"));
}

// The Apps tab over a real model and real application folders; moves go to a real Trash in a
// temporary data home, administrator moves to the fake platform.
class AppsScreen : public test::UiTest {
protected:
    void SetUp() override {
        test::makeToolsTree(tree);
        options.platform = &platform;
        options.quitCheck = std::chrono::milliseconds(10);
        scanned(home());
        view = std::make_unique<AppsView>(model());
        view->resize(1100, 760);
        view->show();
        ASSERT_TRUE(waitFor([&] { return view->current() && view->detail() != nullptr; }));
    }
    std::vector<std::string> listed() {
        std::vector<std::string> names;
        for (const InstalledApp* a : view->list().rows().apps())
            names.push_back(a->name);
        return names;
    }
    const InstalledApp& named(const std::string& name) {
        for (const InstalledApp& a : model().apps())
            if (a.name == name) return a;
        throw std::runtime_error(name);
    }
    test::FakePlatform platform;
    std::unique_ptr<AppsView> view;
};

TEST_F(AppsScreen, FilterAndSortMenuShapeTheList) {
    AppModel& m = model();
    EXPECT_EQ(listed(), (std::vector<std::string>{"Big", "Notes", "Small"}));  // by size
    EXPECT_EQ(view->detail()->app().name, "Big");
    QTest::keyClicks(&view->list().filter(), QStringLiteral("  NOTES "));
    EXPECT_EQ(m.appFilter(), QStringLiteral("  NOTES "));
    EXPECT_EQ(listed(), (std::vector<std::string>{"Notes"}));
    // A selected application hidden by the filter stays in the detail.
    EXPECT_EQ(view->detail()->app().name, "Big");
    view->list().filter().clear();
    QTest::keyClicks(&view->list().filter(), QStringLiteral("org.example"));
    EXPECT_EQ(listed(), (std::vector<std::string>{"Notes"}));  // found by its bundle identifier
    view->list().filter().clear();
    m.setAppFilter(QString());
    QMenu* menu = view->list().sortButton().menu();
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Size"));
    EXPECT_TRUE(menu->actions()[0]->isChecked());
    menu->actions()[1]->trigger();
    EXPECT_EQ(m.appSort(), AppSort::name);
    EXPECT_TRUE(view->list().sortButton().menu()->actions()[1]->isChecked());
    EXPECT_EQ(listed(), (std::vector<std::string>{"Big", "Notes", "Small"}));
    view->list().sortButton().menu()->actions()[2]->trigger();
    EXPECT_EQ(m.appSort(), AppSort::lastUsed);
    // Enter on the sort key opens its menu, as Space does; the filter shows the search field's
    // ring while it has the focus.
    bool opened = false;
    QTimer::singleShot(0, [&] {
        opened = QApplication::activePopupWidget() == view->list().sortButton().menu();
        if (opened) view->list().sortButton().menu()->close();
    });
    QTest::keyClick(&view->list().sortButton(), Qt::Key_Return);
    EXPECT_TRUE(opened);
    view->activateWindow();
    ASSERT_TRUE(test::exposed(*view, true));
    view->list().filter().setFocus(Qt::TabFocusReason);
    EXPECT_EQ(view->list().filterRing().opacity(), 1);
    view->list().sortButton().setFocus(Qt::TabFocusReason);
    EXPECT_EQ(view->list().filterRing().opacity(), 0);

    // A click on a row selects it.
    AppRows& rows = view->list().rows();
    QTest::mouseClick(&rows, Qt::LeftButton, {}, rows.rowRect(2).center());
    EXPECT_EQ(view->detail()->app().name, rows.apps()[2]->name);
}

TEST_F(AppsScreen, TicksThenUninstallMovesTheBundleAndTheTickedLeftovers) {
    AppModel& m = model();
    AppDetail* detail = view->detail();
    const InstalledApp big = named("Big");
    ASSERT_EQ(big.leftovers.size(), 4u);
    EXPECT_FALSE(view->detail()->leftovers().showsEmptyText());
    EXPECT_EQ(m.leftoverPicked().size(), 4u);
    std::uint64_t all = big.appSize;
    for (const Leftover& l : big.leftovers)
        all += m.index()->size(l.node);
    EXPECT_EQ(detail->toRemove(), all);

    // A kind's box: all -> none -> all.
    LeftoverList& list = detail->leftovers();
    const Leftover cache =
        *std::find_if(big.leftovers.begin(), big.leftovers.end(),
                      [](const Leftover& l) { return l.kind == Leftover::Kind::cache; });
    const QPoint box = list.groupBoxRect(Leftover::Kind::cache).center().toPoint();
    QTest::mouseClick(&list, Qt::LeftButton, {}, box);
    EXPECT_FALSE(m.leftoverPicked().contains(cache.node));
    EXPECT_EQ(detail->toRemove(), all - m.index()->size(cache.node));
    QTest::mouseClick(&list, Qt::LeftButton, {}, box);
    EXPECT_TRUE(m.leftoverPicked().contains(cache.node));

    // A click on a row flips its tick; the magnifier only reveals.
    const auto at = std::size_t(std::find(big.leftovers.begin(), big.leftovers.end(), cache) -
                                big.leftovers.begin());
    QTest::mouseClick(&list, Qt::LeftButton, {}, list.magnifierRect(at).center().toPoint());
    EXPECT_TRUE(m.leftoverPicked().contains(cache.node));
    EXPECT_EQ(desktop.revealed.back(), m.index()->path(cache.node));
    QTest::mouseClick(&list, Qt::LeftButton, {}, list.rowRect(at).center().toPoint());
    EXPECT_FALSE(m.leftoverPicked().contains(cache.node));
    const std::string cachePath = m.index()->path(cache.node);

    QTest::mouseClick(detail->uninstallKey(), Qt::LeftButton);
    ASSERT_TRUE(m.confirmUninstall());
    QMessageBox* box2 = view->confirmation();
    ASSERT_NE(box2, nullptr);
    EXPECT_EQ(box2->text(), QStringLiteral("Uninstall Big?"));
    EXPECT_EQ(
        box2->informativeText(),
        QStringLiteral("The app and 3 leftover items go to the Trash, so you can put them back."));
    QAbstractButton* go = test::boxButton(*box2, QStringLiteral("Uninstall"));
    ASSERT_NE(go, nullptr);
    go->click();
    EXPECT_TRUE(m.removalBusy());
    ASSERT_TRUE(waitFor([&] { return !m.uninstalling(); }));
    EXPECT_FALSE(test::exists(big.path));
    EXPECT_TRUE(test::exists(homeTrashDirectory() + "/files/Big.app"));
    EXPECT_TRUE(test::exists(cachePath));  // unticked: left in place
    EXPECT_FALSE(test::exists(tree.path() + "/home/Library/Logs/com.example.big"));
    ASSERT_TRUE(waitFor([&] { return view->detail() && view->detail()->app().name == "Notes"; }));
    EXPECT_EQ(listed(), (std::vector<std::string>{"Notes", "Small"}));
}

// The "to remove" read-out follows the ticks at once, and rolls when a move to the Trash (an
// animated step) shrinks a ticked leftover.
TEST_F(AppsScreen, TheToRemoveReadOutRollsOnAnimatedStepsOnly) {
    AppModel& m = model();
    m.selectApp(named("Big").node);
    AppDetail* detail = view->detail();
    ASSERT_NE(detail, nullptr);
    ASSERT_EQ(detail->app().name, "Big");
    EXPECT_EQ(detail->removeMotion().bytes(), detail->toRemove());
    const Leftover cache = *std::find_if(
        detail->app().leftovers.begin(), detail->app().leftovers.end(),
        [](const Leftover& l) { return l.kind == Leftover::Kind::cache; });

    SpringAnimator::setInstant(false);
    test::RollWatch watch(detail->removeMotion());
    LeftoverList& list = detail->leftovers();
    QTest::mouseClick(&list, Qt::LeftButton, {},
                      list.groupBoxRect(Leftover::Kind::cache).center().toPoint());
    EXPECT_FALSE(m.leftoverPicked().contains(cache.node));
    EXPECT_EQ(detail->removeMotion().bytes(), detail->toRemove());
    EXPECT_EQ(watch.rolls(), 0);
    QTest::mouseClick(&list, Qt::LeftButton, {},
                      list.groupBoxRect(Leftover::Kind::cache).center().toPoint());
    ASSERT_TRUE(m.leftoverPicked().contains(cache.node));

    const std::uint64_t before = detail->toRemove();
    const NodeId inside = *m.index()->lookup(home() + "/Library/Caches/com.example.big/x");
    m.trash({inside}, {});
    ASSERT_TRUE(waitFor([&] { return !m.trashing(); }));
    ASSERT_EQ(view->detail(), detail);
    EXPECT_LT(detail->toRemove(), before);
    EXPECT_EQ(detail->removeMotion().bytes(), detail->toRemove());
    EXPECT_EQ(watch.rolls(), 1);
    SpringAnimator::setInstant(true);
}

// Asks that come while a listing runs collapse into one more listing, for the newest
// application; every answer is kept for its own application.
TEST_F(AppsScreen, ABurstOfRunningChecksListsTheProcessesTwice) {
    RunningCheck check(model());
    QSignalSpy changed(&check, &RunningCheck::changed);
    const InstalledApp big = named("Big"), small = named("Small"), notes = named("Notes");
    check.check(big);
    check.check(small);
    check.check(notes);
    EXPECT_TRUE(check.busy());
    EXPECT_FALSE(check.running(big).has_value());  // nothing is read on the main thread
    ASSERT_TRUE(waitFor([&] { return !check.busy(); }));
    EXPECT_EQ(check.running(big), std::optional<bool>(false));
    EXPECT_FALSE(check.running(small).has_value());
    EXPECT_EQ(check.running(notes), std::optional<bool>(false));
    EXPECT_EQ(changed.count(), 2);
    // The same answer again tells of no change.
    check.check(big);
    ASSERT_TRUE(waitFor([&] { return !check.busy(); }));
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(AppsScreen, ACopyRunningUnderTheSameIdentifierMakesTheApplicationOpen) {
    AppModel& m = model();
    // An application whose identifier belongs to this test process alone: a running copy is
    // found by its identifier wherever it runs, also by tests running beside this one.
    const std::string id = "org.example.solo." + std::to_string(::getpid());
    test::makeBundle(tree, "home/Applications/Solo.app",
                     {{"CFBundleIdentifier", id}, {"CFBundleName", "Solo"}});
    scanned(home());
    ASSERT_TRUE(waitFor([&] {
        return view->current() && std::any_of(m.apps().begin(), m.apps().end(),
                                              [](const InstalledApp& a) { return a.name == "Solo"; });
    }));
    m.selectApp(named("Solo").node);
    AppDetail* detail = view->detail();
    ASSERT_NE(detail, nullptr);
    ASSERT_EQ(detail->app().name, "Solo");
    // Whether it runs is found off the main thread, when the detail shows it.
    RunningCheck& running = view->runningCheck();
    const InstalledApp solo = named("Solo");
    ASSERT_TRUE(waitFor([&] { return running.running(solo).has_value(); }));
    EXPECT_FALSE(*running.running(solo));
    const QString closed = QStringLiteral("Everything goes to the Trash, so you can put it back.");
    EXPECT_EQ(detail->footnote(), closed);
    const auto askAgain = [&] {
        running.check(solo);
        EXPECT_TRUE(running.busy());
        ASSERT_TRUE(waitFor([&] { return !running.busy(); }));
    };
    // Another application running changes nothing.
    test::makeBundle(tree, "elsewhere/Other.app", {{"CFBundleIdentifier", id + ".other"}});
    test::BundleChild other(tree, "elsewhere/Other.app", false);
    askAgain();
    EXPECT_EQ(detail->footnote(), closed);
    // A copy outside the scanned folders, its identifier spelt in other case: Solo is open.
    test::makeBundle(tree, "elsewhere/Solo Copy.app",
                     {{"CFBundleIdentifier", QString::fromStdString(id).toUpper().toStdString()}});
    test::BundleChild copy(tree, "elsewhere/Solo Copy.app", false);
    // A click in the detail reads no processes: the answer stays until asked again.
    detail->refresh();
    EXPECT_EQ(detail->footnote(), closed);
    // The application list loaded again asks again: the detail shows it open.
    m.loadApps(true);
    ASSERT_TRUE(waitFor([&] { return view->detail() && view->detail()->running(); }));
    detail = view->detail();
    EXPECT_EQ(detail->footnote(), QStringLiteral("Solo is open. Tamrel will ask it to quit first."));
    QTest::mouseClick(detail->uninstallKey(), Qt::LeftButton);
    QMessageBox* box = view->confirmation();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->informativeText().contains(QStringLiteral("Solo will be asked to quit first.")));
    // The uninstall asks that same copy to quit, and only it.
    QAbstractButton* go = test::boxButton(*box, QStringLiteral("Uninstall"));
    ASSERT_NE(go, nullptr);
    go->click();
    EXPECT_TRUE(copy.reapedByTerm());
    ASSERT_TRUE(waitFor([&] { return !m.uninstalling(); }));
    EXPECT_TRUE(test::exists(homeTrashDirectory() + "/files/Solo.app"));
    EXPECT_EQ(::kill(other.pid(), 0), 0);
}

TEST_F(AppsScreen, TheConfirmingButtonIsOffWhileAnotherMoveRuns) {
    AppModel& m = model();
    QTest::mouseClick(view->detail()->uninstallKey(), Qt::LeftButton);
    QMessageBox* box = view->confirmation();
    ASSERT_NE(box, nullptr);
    QAbstractButton* go = test::boxButton(*box, QStringLiteral("Uninstall"));
    ASSERT_NE(go, nullptr);
    EXPECT_TRUE(go->isEnabled());
    // A move of the basket starts while the question is open.
    const NodeId report = *m.index()->lookup(home() + "/Documents/report.pdf");
    m.trash({report}, {});
    ASSERT_TRUE(m.trashing());
    EXPECT_FALSE(go->isEnabled());
    EXPECT_FALSE(view->detail()->uninstallKey()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !m.trashing(); }));
    EXPECT_TRUE(go->isEnabled());
    m.setConfirmUninstall(false);
    EXPECT_TRUE(test::exists(homeTrashDirectory() + "/files/report.pdf"));
    EXPECT_TRUE(test::exists(home() + "/Applications/Big.app"));
}

TEST_F(AppsScreen, AnInventoryOfAnotherGenerationIsNeitherShownNorUsed) {
    AppModel& m = model();
    ActionsProbe::adopt(m, test::scanTree(home()));
    // Until the inventory of the shown generation arrives: no rows, no detail, no uninstall.
    EXPECT_FALSE(view->current());
    EXPECT_TRUE(listed().empty());
    EXPECT_EQ(view->detail(), nullptr);
    m.setConfirmUninstall(true);
    ASSERT_NE(view->confirmation(), nullptr);
    EXPECT_EQ(view->confirmation()->text(), QStringLiteral("Uninstall this app?"));
    m.setConfirmUninstall(false);
    ASSERT_TRUE(waitFor([&] { return view->current() && view->detail() != nullptr; }));
    EXPECT_EQ(view->detail()->app().name, "Big");
    EXPECT_TRUE(test::exists(named("Big").path));
}

// The Apps tab over a home with AppImages (makeAppImageHome), its XDG folders in it.
class AppImagesScreen : public test::UiTest {
protected:
    void show(const std::string& target) {
        scanned(target);
        view = std::make_unique<AppsView>(model());
        view->resize(1100, 760);
        view->show();
        ASSERT_TRUE(waitFor([&] { return view->current() && !model().appsLoading(); }));
    }
    std::string appHome = test::makeAppImageHome(tree);
    test::ScopedEnv data{"XDG_DATA_HOME", appHome + "/.local/share"};
    test::ScopedEnv config{"XDG_CONFIG_HOME", appHome + "/.config"};
    test::ScopedEnv cache{"XDG_CACHE_HOME", appHome + "/.cache"};
    test::ScopedEnv state{"XDG_STATE_HOME", appHome + "/.local/state"};
    std::unique_ptr<AppsView> view;
};

TEST_F(AppImagesScreen, ListsAppImagesWithTheirUseAndLinuxKinds) {
    show(home());
    std::vector<std::string> names;
    for (const InstalledApp* a : view->list().rows().apps()) names.push_back(a->name);
    EXPECT_EQ(names, (std::vector<std::string>{"Obsidian", "krita"}));
    ASSERT_NE(view->detail(), nullptr);
    const InstalledApp& obsidian = view->detail()->app();
    EXPECT_EQ(obsidian.name, "Obsidian");
    EXPECT_EQ(identityPieces(obsidian, Fonts::system(12, Fonts::Weight::medium), 1000)[0].text,
              QStringLiteral("1.5.4"));
    QStringList kinds;
    for (const KindGroup& g : leftoverGroups(obsidian)) kinds << kindLabel(g.kind);
    EXPECT_EQ(kinds, (QStringList{"Caches", "Preferences", "Saved state", "Autostart entries"}));
    // The default ticks: the cache (a name match) and the state named by the identifier.
    EXPECT_EQ(model().leftoverPicked().size(), 2u);
    const InstalledApp* krita = view->list().rows().apps()[1];
    if (krita->lastUsedKnown) {
        EXPECT_EQ(appUseLine(*krita, QDateTime::currentDateTime()), QStringLiteral("Never opened"));
        EXPECT_EQ(view->list().sortButton().menu()->actions().size(), 3);
    }
}

TEST_F(AppImagesScreen, WithoutAppsTheDetailTellsWhereProgramsAreRemoved) {
    show(tree / "data");
    EXPECT_TRUE(model().apps().empty());
    EXPECT_TRUE(view->list().rows().apps().empty());
    EXPECT_EQ(view->detail(), nullptr);
    EXPECT_EQ(view->placeholderText(), appsPlaceholder(false, true));
}

}  // namespace
}  // namespace tamrel
