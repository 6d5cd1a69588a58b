#include <QSignalSpy>

#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/support/FileOpens.h"

namespace tamrel {
namespace {

using test::waitFor;
using Clock = std::chrono::system_clock;

AppModel::Options quiet() {
    AppModel::Options options;
    options.startUp = false;
    return options;
}

InstalledApp app(NodeId node, std::string name, std::string id, std::uint64_t size,
                 std::uint64_t leftovers = 0) {
    return InstalledApp{.node = node,
                        .path = "/Applications/" + name + ".app",
                        .name = name,
                        .bundleID = id,
                        .version = "",
                        .identity = AppIdentity({id}, {name}),
                        .appStore = false,
                        .homebrew = false,
                        .lastUsed = std::nullopt,
                        .appSize = size,
                        .leftovers = {},
                        .leftoverSize = leftovers};
}

std::vector<std::string> names(const InstalledApps& apps) {
    std::vector<std::string> out;
    for (const InstalledApp& a : apps)
        out.push_back(a.name);
    return out;
}
std::vector<std::string> names(const AppRefs& apps) {
    std::vector<std::string> out;
    for (const InstalledApp* a : apps)
        out.push_back(a->name);
    return out;
}

// A model showing a small tree, with inventories set directly.
class AppList : public ::testing::Test {
protected:
    void SetUp() override {
        tree.write("f", 10);
        index = test::scanTree(tree.path());
        ActionsProbe::show(model, index);
    }
    void set(InstalledApps apps) { ActionsProbe::setApps(model, std::move(apps), index, 0); }

    test::TempDir tree;
    test::FakeDesktop desktop;
    AppModel model{desktop, quiet()};
    IndexRef index;
};

TEST_F(AppList, OrdersBySizeNameAndLastUse) {
    constexpr std::uint64_t GB = 1'000'000'000;
    InstalledApps apps = {app(1, "banana", "b.b", GB + GB / 2), app(2, "Apple", "a.a", GB, GB),
                          app(3, "cherry", "c.c", GB), app(4, "apple", "a.b", GB)};
    apps[0].lastUsed = Clock::from_time_t(2000);
    apps[2].lastUsed = Clock::from_time_t(1000);
    set(apps);
    // Sums: 2 GB first; equal sums keep the inventory's order.
    EXPECT_EQ(names(model.sortedApps()),
              (std::vector<std::string>{"Apple", "banana", "cherry", "apple"}));
    model.setAppSort(AppSort::name);
    EXPECT_EQ(names(model.sortedApps()),
              (std::vector<std::string>{"Apple", "apple", "banana", "cherry"}));
    model.setAppSort(AppSort::lastUsed);
    EXPECT_EQ(names(model.sortedApps()),
              (std::vector<std::string>{"Apple", "apple", "cherry", "banana"}));
}

TEST_F(AppList, FiltersByNameOrIdentifierIgnoringCaseAndBlanks) {
    set({app(1, "Text Edit", "com.x.editor", 5), app(2, "Notes", "org.EDIT.notes", 4),
         app(3, "Mail", "com.mail", 3)});
    model.setAppFilter(" \tEDIT  ");
    EXPECT_EQ(names(model.sortedApps()), (std::vector<std::string>{"Text Edit", "Notes"}));
    model.setAppFilter("  \t ");
    EXPECT_EQ(model.sortedApps().size(), 3u);
    // Other blanks, such as a no-break space and an em space, are trimmed as well.
    model.setAppFilter(QStringLiteral("\u00A0mail\u2003"));
    EXPECT_EQ(names(model.sortedApps()), (std::vector<std::string>{"Mail"}));
    // A line break is not a blank.
    model.setAppFilter("mail\n");
    EXPECT_TRUE(model.sortedApps().empty());
}

TEST_F(AppList, SelectingTicksEveryLeftoverButSharedGroupDataOfASharedTeam) {
    InstalledApp shared = app(1, "Shared", "s.s", 1);
    shared.leftovers = {{10, Leftover::Kind::support, false},
                        {11, Leftover::Kind::group, false},
                        {12, Leftover::Kind::cache, true}};
    InstalledApp own = shared;
    own.node = 2;
    own.identity.teamExclusive = true;
    set({shared, own});
    QSignalSpy picked(&model.leftoverPicked, &PropertyNotifier::changed);
    model.selectApp(1);
    EXPECT_EQ(model.selectedApp(), OptionalNode(1));
    EXPECT_EQ(model.leftoverPicked(), (NodeSet{10, 12}));
    model.selectApp(2);
    EXPECT_EQ(model.leftoverPicked(), (NodeSet{10, 11, 12}));
    EXPECT_EQ(picked.count(), 2);
    model.selectApp(2);
    EXPECT_EQ(picked.count(), 2);
    // No application has the node: it is still the selection, with nothing ticked.
    model.selectApp(99);
    EXPECT_EQ(model.selectedApp(), OptionalNode(99));
    EXPECT_TRUE(model.leftoverPicked().empty());
}

// On Linux a name match outside the cache home may be a same-named tool's settings, a dotfile kept
// in git or unsaved work: selecting the application offers it unticked.
TEST_F(AppList, SelectingLeavesLinuxNameMatchesOutsideTheCacheHomeUnticked) {
    InstalledApp nvim = app(1, "Neovim", "io.neovim.nvim", 1);
    nvim.leftovers = {
        {10, Leftover::Kind::prefs, false, true},    {11, Leftover::Kind::state, false, true},
        {12, Leftover::Kind::support, false, true},  {13, Leftover::Kind::cache, false, true},
        {14, Leftover::Kind::support, false, false}, {15, Leftover::Kind::container, false, false}};
    set({nvim});
    model.selectApp(1);
    EXPECT_EQ(model.leftoverPicked(), (NodeSet{13, 14, 15}));
}

// A home with two applications and their leftovers, as the inventory scanner finds them.
class AppLoad : public ::testing::Test {
protected:
    // The settings home is set as the default would be, and before any worker starts: the
    // environment is not changed while one may read it.
    AppLoad()
        : homeVar_("HOME", tree / "home"), configVar_("XDG_CONFIG_HOME", tree / "home/.config") {}
    void SetUp() override {
        test::makeSmallAndBig(tree);
        index = test::scanTree(tree.path());
        ActionsProbe::show(model, index);
    }
    // Starts a load and waits for its end; whether the stored inventory was replaced.
    bool load(bool force) {
        QSignalSpy stored(&model.apps, &PropertyNotifier::changed);
        model.loadApps(force);
        EXPECT_TRUE(waitFor([&] { return !model.appsLoading(); }));
        return stored.count() > 0;
    }

    test::ScopedDataHome data;
    test::TempDir tree;
    test::ScopedEnv homeVar_;
    test::ScopedEnv configVar_;
    test::FakeDesktop desktop;
    AppModel model{desktop, quiet()};
    IndexRef index;
};

TEST_F(AppLoad, LoadsOnceSelectsTheFirstAndLoadsAgainAfterAChange) {
    EXPECT_TRUE(load(false));
    ASSERT_EQ(names(model.apps()).size(), 2u);
    const InstalledApp big = *model.sortedApps().front();
    EXPECT_EQ(big.name, "Big");
    EXPECT_EQ(model.selectedApp(), OptionalNode(big.node));
    ASSERT_EQ(big.leftovers.size(), 3u);
    EXPECT_EQ(model.leftoverPicked().size(), 3u);
    // Current: nothing to do.
    EXPECT_FALSE(load(false));
    // One load at a time, whatever force says.
    QSignalSpy stored(&model.apps, &PropertyNotifier::changed);
    model.loadApps(true);
    model.loadApps(true);
    ASSERT_TRUE(waitFor([&] { return !model.appsLoading(); }));
    EXPECT_EQ(stored.count(), 1);
    // The selection survives a reload that still has its node.
    EXPECT_EQ(model.selectedApp(), OptionalNode(big.node));

    // The content changed: the next load scans again.
    const int before = model.revision();
    model.trash({*index->lookup(tree / "home/Library/Application Support")}, {});
    ASSERT_TRUE(waitFor([&] { return model.revision() != before; }));
    EXPECT_TRUE(load(false));
}

TEST_F(AppLoad, AnInventoryMadeWhileTheContentChangedIsStale) {
    const int before = model.revision();
    model.loadApps(false);
    model.trash({*index->lookup(tree / "home/Library/Logs")}, {});
    ASSERT_TRUE(waitFor([&] { return !model.appsLoading() && model.revision() != before; }));
    EXPECT_FALSE(model.apps().empty());
    EXPECT_TRUE(load(false));
    EXPECT_FALSE(load(false));
}

TEST_F(AppLoad, AResultForAnotherGenerationIsDroppedAndTheNextLoadScans) {
    model.loadApps(false);
    tree.write("home/new", 10);
    ActionsProbe::adopt(model, test::scanTree(tree.path()));
    ASSERT_TRUE(waitFor([&] { return !model.appsLoading(); }));
    EXPECT_TRUE(model.apps().empty());
    EXPECT_FALSE(model.selectedApp());
    EXPECT_TRUE(load(false));
    // Loaded from another generation than the one shown now: stale, although the revision
    // may be the same.
    ActionsProbe::show(model, test::scanTree(tree.path()));
    EXPECT_TRUE(load(false));
}

// The Apps screen asks for the inventory again when a new generation comes; when that happens
// while the previous generation's load still runs, the ask must not be lost with the dropped
// result, or the screen would wait for an inventory that never comes.
TEST_F(AppLoad, AnAskDuringALoadOfAnotherGenerationIsAnsweredAfterIt) {
    model.loadApps(false);
    tree.write("home/new", 10);
    const IndexRef next = test::scanTree(tree.path());
    ActionsProbe::adopt(model, next);
    ASSERT_TRUE(model.appsLoading());
    model.loadApps(false);
    ASSERT_TRUE(waitFor([&] { return !model.appsLoading() && !model.apps().empty(); }));
    EXPECT_EQ(model.apps().size(), 2u);
    ASSERT_TRUE(model.selectedApp());
    EXPECT_EQ(next->path(*model.selectedApp()), tree / "home/Applications/Big.app");
    EXPECT_FALSE(load(false));  // current for the shown generation

    // An ask for the generation being loaded is answered by that load alone.
    QSignalSpy stored(&model.apps, &PropertyNotifier::changed);
    model.loadApps(true);
    model.loadApps(true);
    // A second load would start in the same step as the first one's result: not seen idle.
    ASSERT_TRUE(waitFor([&] { return !model.appsLoading(); }));
    EXPECT_EQ(stored.count(), 1);
}

// The paths of `nodes` in `index`; "?" for an id beyond it.
std::set<std::string> pathsOf(const DiskIndex& index, const NodeSet& nodes) {
    std::set<std::string> out;
    for (NodeId n : nodes)
        out.insert(n < index.count() ? index.path(n) : "?");
    return out;
}

TEST_F(AppLoad, ASelectionAndItsTicksReachANewGenerationByPathOnly) {
    ASSERT_TRUE(load(false));
    const InstalledApp big = *model.sortedApps().front();
    ASSERT_EQ(big.name, "Big");
    ASSERT_EQ(model.selectedApp(), OptionalNode(big.node));
    ASSERT_EQ(big.leftovers.size(), 3u);
    // The user leaves one leftover behind.
    NodeSet picked = model.leftoverPicked();
    picked.erase(big.leftovers[2].node);
    model.setLeftoverPicked(picked);
    const std::set<std::string> pickedPaths = pathsOf(*index, picked);
    // New entries in every folder on the way shift the ids of the next generation, which is
    // adopted while the Apps screen stays shown; the inventory is then loaded again (as a
    // refused uninstall does).
    for (const char* file :
         {"a0", "home/a0", "home/Library/a0", "home/Library/Caches/a0",
          "home/Library/Application Support/a0", "home/Library/Logs/a0", "home/Applications/a0"}) {
        tree.write(file, 10);
    }
    const IndexRef next = test::scanTree(tree.path());
    ActionsProbe::adopt(model, next);
    ASSERT_TRUE(load(true));
    const NodeId bigNow = *next->lookup(big.path);
    EXPECT_EQ(model.selectedApp(), OptionalNode(bigNow));
    EXPECT_EQ(pathsOf(*next, model.leftoverPicked()), pickedPaths);
}

// The rule profile is built where the inventory is loaded, off the main thread; selecting an
// application decides its ticks with that profile and opens no settings file.
TEST_F(AppLoad, SelectingReadsNoSettingsFileOnTheMainThread) {
    const std::string dirs = tree / "home/.config/user-dirs.dirs";
    tree.mkdirs("home/.config");
    std::ofstream(dirs) << "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n";
    // The derived data of the shown index reads it too, on its own workers: let that end first.
    ASSERT_TRUE(waitFor([&] { return !model.breakdown().empty(); }));
    test::FileOpens opens(dirs);
    ASSERT_TRUE(opens.valid());
    ASSERT_TRUE(load(false));
    EXPECT_GT(opens.count(), 0);  // by the worker that loaded the inventory
    ASSERT_EQ(model.apps().size(), 2u);
    for (const InstalledApp& app : model.apps()) {
        model.selectApp(app.node);
        EXPECT_EQ(model.leftoverPicked().size(), app.leftovers.size()) << app.name;
    }
    EXPECT_EQ(opens.count(), 0);
}

TEST_F(AppLoad, ALoadThatFindsNothingClearsAStaleSelection) {
    ASSERT_TRUE(load(false));
    const NodeId small = *index->lookup(tree / "home/Applications/Small.app");
    model.selectApp(small);
    // Both bundles leave the disk (moved aside, nothing deleted) and the index is scanned again.
    test::TempDir aside;
    test::moveAway(tree / "home/Applications", aside.path());
    const IndexRef next = test::scanTree(tree.path());
    ActionsProbe::show(model, next);
    ASSERT_TRUE(load(false));
    EXPECT_TRUE(model.apps().empty());
    EXPECT_FALSE(model.selectedApp());
    // Never taken as current: the next showing scans again.
    EXPECT_TRUE(load(false));
}

}  // namespace
}  // namespace tamrel
