#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "format/Fmt.h"
#include "platform/FolderNames.h"
#include "platform/XdgDirs.h"
#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/model/system/BundleChild.h"
#include "tests/support/AppImageHome.h"
#include "tests/support/TestClock.h"

namespace tamrel {
namespace {

using namespace std::chrono_literals;
using test::exists;
using test::waitFor;

// Two applications in a temporary home, the bigger with three leftovers, loaded into a model
// that moves through the real Trash (administrator moves through a fake platform).
class Uninstall : public ::testing::Test {
protected:
    Uninstall() : homeVar_("HOME", tree / "home") {}
    void SetUp() override { test::makeSmallAndBig(tree); }
    // A model over a fresh scan with the inventory loaded; `can` null: the real Trash.
    AppModel& start(TrashCan* can = nullptr) {
        AppModel::Options options;
        options.startUp = false;
        options.platform = &platform;
        options.trashCan = can;
        options.quitCheck = std::chrono::milliseconds(10);
        options.clock = &clock;
        model = std::make_unique<AppModel>(desktop, options);
        index = test::scanTree(tree.path());
        ActionsProbe::show(*model, index);
        model->loadApps(false);
        EXPECT_TRUE(waitFor([&] { return !model->apps().empty(); }));
        return *model;
    }
    // Gives Big an identifier of this test process alone. A running copy is found by its
    // identifier wherever it runs, so a copy started here must not be one of the Bigs that
    // tests running beside this one uninstall.
    void giveBigOwnIdentifier() {
        test::makeBundle(tree, "home/Applications/Big.app",
                         {{"CFBundleIdentifier", "com.example.big." + std::to_string(::getpid())},
                          {"CFBundleName", "Big"}});
    }
    const InstalledApp& named(const std::string& name) {
        for (const InstalledApp& a : model->apps()) {
            if (a.name == name) return a;
        }
        throw std::runtime_error("no " + name);
    }
    // Runs an uninstall to its end.
    void uninstall(const InstalledApp& app) {
        const InstalledApp copy = app;
        model->uninstall(copy);
        ASSERT_TRUE(waitFor([&] { return !model->uninstalling(); }));
    }

    test::ScopedDataHome data;
    test::TempDir tree;
    test::TestClock clock;
    test::ScopedEnv homeVar_;
    test::FakeDesktop desktop;
    test::FakePlatform platform;
    std::unique_ptr<AppModel> model;
    IndexRef index;
};

TEST_F(Uninstall, AnApplicationThatIsNotRunningGoesWithItsTickedLeftovers) {
    AppModel& m = start();
    const InstalledApp big = named("Big");
    ASSERT_EQ(m.selectedApp(), OptionalNode(big.node));
    ASSERT_EQ(big.leftovers.size(), 3u);
    // One leftover unticked.
    NodeSet picked = m.leftoverPicked();
    const std::string kept = index->path(big.leftovers[2].node);
    picked.erase(big.leftovers[2].node);
    m.setLeftoverPicked(picked);
    const std::uint64_t total =
        big.appSize + index->size(big.leftovers[0].node) + index->size(big.leftovers[1].node);
    const int before = m.revision();
    m.uninstall(big);
    EXPECT_TRUE(m.uninstalling());
    ASSERT_TRUE(waitFor([&] { return !m.uninstalling(); }));
    ASSERT_TRUE(m.toast());
    EXPECT_EQ(m.toast()->title, "Big uninstalled");
    EXPECT_EQ(m.toast()->detail, Fmt::bytes(total) + " moved to the Trash");
    EXPECT_TRUE(m.toast()->good);
    EXPECT_EQ(m.revision(), before + 1);
    EXPECT_FALSE(exists(big.path));
    EXPECT_TRUE(exists(homeTrashDirectory() + "/files/Big.app"));
    EXPECT_TRUE(exists(kept));
    EXPECT_TRUE(index->isRemoved(big.node));
    EXPECT_TRUE(platform.elevations.empty());
    // The first application of the list is selected with its default ticks.
    ASSERT_EQ(m.apps().size(), 1u);
    EXPECT_EQ(m.selectedApp(), OptionalNode(named("Small").node));
    EXPECT_TRUE(m.leftoverPicked().empty());

    // The last one: nothing left to select.
    uninstall(named("Small"));
    EXPECT_TRUE(m.apps().empty());
    EXPECT_FALSE(m.selectedApp());
    EXPECT_EQ(m.toast()->title, "Small uninstalled");
}

TEST_F(Uninstall, WhatMovesLeavesTheListAndTheSearchResults) {
    AppModel& m = start();
    const InstalledApp big = named("Big");
    const InstalledApp small = named("Small");
    ASSERT_EQ(m.selectedApp(), OptionalNode(big.node));
    // Moved through the basket: the inventory follows, and the first left is selected.
    m.trash({big.node}, {});
    ASSERT_TRUE(waitFor([&] { return !m.trashing(); }));
    EXPECT_EQ(m.apps().size(), 1u);
    EXPECT_EQ(m.selectedApp(), OptionalNode(small.node));
    // Uninstalled while a search lists it: the search runs again.
    m.setQuery("Small");
    clock.advance(AppModel::Options().searchDelay);
    ASSERT_TRUE(waitFor([&] { return !m.searching(); }));
    ASSERT_EQ(m.results(), NodeIds{small.node});
    uninstall(small);
    EXPECT_TRUE(m.searching());
    clock.advance(AppModel::Options().searchDelay);
    ASSERT_TRUE(waitFor([&] { return !m.searching(); }));
    EXPECT_TRUE(m.results().empty());
    EXPECT_TRUE(m.apps().empty());
}

TEST_F(Uninstall, ARunningCopyIsAskedToQuitFirst) {
    giveBigOwnIdentifier();
    test::BundleChild child(tree, "home/Applications/Big.app", false);
    AppModel& m = start();
    m.setLeftoverPicked({});
    uninstall(named("Big"));
    EXPECT_EQ(m.toast()->title, "Big uninstalled");
    EXPECT_TRUE(child.reapedByTerm());
    EXPECT_FALSE(exists(tree / "home/Applications/Big.app"));
}

TEST_F(Uninstall, ACopyThatNeverQuitsLeavesEverythingInPlace) {
    giveBigOwnIdentifier();
    test::BundleChild child(tree, "home/Applications/Big.app", true);
    AppModel& m = start();
    const int before = m.revision();
    m.uninstall(named("Big"));
    // The copy is waited for 30 checks of 10 ms: not given up before...
    clock.advance(29 * 10ms);
    QCoreApplication::processEvents();
    EXPECT_TRUE(m.uninstalling());
    // ... and given up then.
    clock.advance(10ms);
    ASSERT_TRUE(waitFor([&] { return !m.uninstalling(); }));
    ASSERT_TRUE(m.toast());
    EXPECT_EQ(m.toast()->title, "Big is still open");
    EXPECT_EQ(m.toast()->detail, "Quit it yourself (it may be asking to save), then try again");
    EXPECT_FALSE(m.toast()->good);
    EXPECT_EQ(m.revision(), before);
    EXPECT_TRUE(exists(tree / "home/Applications/Big.app"));
    EXPECT_EQ(m.apps().size(), 2u);
}

// Quitting while the administrator prompt waits for a password: the prompt is withdrawn and the
// model goes at once, leaving the item that needed the rights where it was.
TEST_F(Uninstall, QuittingWithdrawsAWaitingAdministratorPrompt) {
    AppModel& m = start();
    // One leftover lies outside the home folder as far as the remover knows, so it needs the
    // administrator's move.
    InstalledApps apps = m.apps();
    InstalledApp* big = nullptr;
    for (InstalledApp& a : apps) {
        if (a.name == "Big") big = &a;
    }
    ASSERT_TRUE(big);
    ASSERT_EQ(big->leftovers.size(), 3u);
    big->leftovers[0].system = true;
    const std::string system = index->path(big->leftovers[0].node);
    const InstalledApp chosen = *big;
    ActionsProbe::setApps(m, std::move(apps), index, m.revision());
    m.selectApp(chosen.node);
    ASSERT_EQ(m.leftoverPicked().size(), 3u);
    platform.waits = true;
    m.uninstall(chosen);
    // The prompt asks on the uninstall's worker while the main thread stays free.
    ASSERT_TRUE(waitFor([&] { return platform.prompting.load(); }));
    EXPECT_TRUE(m.uninstalling());
    model.reset();
    EXPECT_FALSE(platform.prompting);
    EXPECT_FALSE(platform.forsaken);
    ASSERT_EQ(platform.elevations.size(), 1u);
    ASSERT_EQ(platform.elevations[0].size(), 1u);
    EXPECT_EQ(platform.elevations[0][0].path, system);
    // What identifies it, as the detail listed it, goes with it.
    ASSERT_TRUE(platform.elevations[0][0].expected);
    EXPECT_TRUE(platform.elevations[0][0].expected->file);
    EXPECT_FALSE(platform.elevations[0][0].expected->mounts.empty());
    EXPECT_TRUE(exists(system));
    // What the user's own rights could move went before the prompt, whole.
    EXPECT_FALSE(exists(chosen.path));
    EXPECT_TRUE(exists(homeTrashDirectory() + "/files/Big.app/Contents/blob"));
}

TEST_F(Uninstall, FailuresAreNamedAndARefusedBundleIsNotUninstalled) {
    test::TempDir holding;
    test::RecordingTrashCan can(holding.path());
    AppModel& m = start(&can);
    const InstalledApp big = named("Big");
    for (const Leftover& l : big.leftovers)
        can.refuse(index->path(l.node));
    uninstall(big);
    EXPECT_EQ(m.toast()->title, "Big uninstalled");
    ASSERT_EQ(big.leftovers.size(), 3u);
    EXPECT_EQ(m.toast()->detail, "Couldn't remove com.example.big, com.example.big");
    EXPECT_TRUE(m.toast()->good);

    const InstalledApp small = named("Small");
    can.refuse(small.path);
    const int before = m.revision();
    uninstall(small);
    EXPECT_EQ(m.toast()->title, "Couldn't uninstall Small");
    EXPECT_EQ(m.toast()->detail, "It needs administrator rights, and they weren't given");
    EXPECT_FALSE(m.toast()->good);
    EXPECT_EQ(m.revision(), before + 1);
    EXPECT_EQ(m.apps().size(), 1u);
    EXPECT_EQ(m.selectedApp(), OptionalNode(small.node));
}

TEST_F(Uninstall, AnInventoryOfAnotherGenerationIsNeverUsed) {
    test::TempDir holding;
    test::RecordingTrashCan can(holding.path());
    AppModel& m = start(&can);
    const InstalledApp big = named("Big");
    // A new file shifts the ids of the next generation, which is adopted while the Apps screen
    // stays shown.
    tree.write("home/Library/Caches/aaa", 100000);
    ActionsProbe::adopt(m, test::scanTree(tree.path()));
    m.uninstall(big);
    EXPECT_FALSE(m.uninstalling());
    EXPECT_EQ(m.toast()->title, "The list of apps has changed");
    EXPECT_FALSE(m.toast()->good);
    // The list is loaded again, and then the uninstall works from the new generation.
    ASSERT_TRUE(waitFor([&] { return !m.appsLoading(); }));
    EXPECT_TRUE(can.asked().empty());
    uninstall(named("Big"));
    EXPECT_EQ(m.toast()->title, "Big uninstalled");
    const std::vector<std::string> asked = can.asked();
    EXPECT_EQ(asked.front(), big.path);
    for (const std::string& p : asked) {
        EXPECT_TRUE(p == big.path || p.find("com.example.big") != std::string::npos) << p;
    }
    // An application the inventory does not list (or lists elsewhere) is refused as well.
    InstalledApp stranger = named("Small");
    stranger.path = tree / "home/Applications/Elsewhere.app";
    m.uninstall(stranger);
    EXPECT_EQ(m.toast()->title, "The list of apps has changed");
}

// Records the uninstalls handed to remove(), whose failed home items would go on to the
// administrator's mover.
class UserRightsOnly : public test::RecordingTrashCan {
public:
    using RecordingTrashCan::RecordingTrashCan;
    Remover::Outcome remove(const std::vector<Remover::Item>& items, Platform& platform,
                            const std::atomic<bool>& stop) override {
        ++removes;
        return RecordingTrashCan::remove(items, platform, stop);
    }
    std::atomic<int> removes = 0;
};

// The home of makeAppImageHome, its XDG folders in it, loaded as Uninstall loads its home: the
// real Trash of that home's data folder.
class AppImageUninstall : public Uninstall {
protected:
    void SetUp() override { home = test::makeAppImageHome(tree); }
    std::set<std::string> picked() {
        std::set<std::string> out;
        for (NodeId n : model->leftoverPicked())
            out.insert(index->path(n).substr(home.size()));
        return out;
    }

    std::string home = tree / "home";
    test::ScopedEnv data{"XDG_DATA_HOME", home + "/.local/share"};
    test::ScopedEnv config{"XDG_CONFIG_HOME", home + "/.config"};
    test::ScopedEnv cache{"XDG_CACHE_HOME", home + "/.cache"};
    test::ScopedEnv state{"XDG_STATE_HOME", home + "/.local/state"};
};

TEST_F(AppImageUninstall, ARunningCopyQuitsThenTheFileItsEntriesOwnIconsAndTickedLeftoversGo) {
    AppModel& m = start();
    // Largest first; the one in Downloads is not listed.
    ASSERT_EQ(m.sortedApps().size(), 2u);
    EXPECT_EQ(m.sortedApps()[0]->name, "Obsidian");
    EXPECT_EQ(m.sortedApps()[1]->name, "krita");
    m.setAppSort(AppSort::lastUsed);  // never opened first
    EXPECT_EQ(m.sortedApps()[0]->name, "krita");
    const InstalledApp obsidian = named("Obsidian");
    ASSERT_EQ(m.selectedApp(), OptionalNode(obsidian.node));
    EXPECT_EQ(picked(),
              (std::set<std::string>{"/.cache/obsidian", "/.local/state/md.obsidian.Obsidian"}));

    // A copy of it runs, started as the AppImage starts its program: APPIMAGE names the file.
    test::SleepingChild running(tree / "run/obsidian", {{"APPIMAGE", obsidian.path}});
    EXPECT_TRUE(m.appRunning(obsidian));
    EXPECT_FALSE(m.appRunning(named("krita")));
    // The file, its entries, its own icons and the ticked leftovers go; the toast counts them all.
    const std::vector<std::string> gone = {
        "/Applications/Obsidian-1.5.3.AppImage",
        "/.local/share/applications/appimagekit-obsidian.desktop",
        "/.local/share/applications/obsidian-vault.desktop",
        "/.local/share/icons/hicolor/64x64/apps/appimagekit-obsidian.png",
        "/.local/share/icons/hicolor/32x32/apps/appimagekit-obsidian.png",
        "/.cache/obsidian",
        "/.local/state/md.obsidian.Obsidian"};
    std::uint64_t total = 0;
    for (const std::string& path : gone)
        total += index->size(*index->lookup(home + path));
    uninstall(obsidian);
    EXPECT_TRUE(running.endedWithin(5s));
    ASSERT_TRUE(m.toast());
    EXPECT_EQ(m.toast()->title, "Obsidian uninstalled");
    EXPECT_EQ(m.toast()->detail, Fmt::bytes(total) + " moved to the Trash");
    EXPECT_TRUE(platform.elevations.empty());

    for (const std::string& path : gone)
        EXPECT_FALSE(exists(home + path)) << path;
    // Unticked leftovers, what another program's entry uses, the other AppImages: in place.
    for (const char* kept : {"/.config/obsidian", "/.config/autostart/obsidian.desktop",
                             "/.local/share/applications/notes.desktop",
                             "/.local/share/icons/hicolor/64x64/apps/accessories-notes.png",
                             "/AppImages/krita-5.2.2-x86_64.appimage", "/.cache/krita",
                             "/Downloads/Slack-4.36.0-x86_64.AppImage"}) {
        EXPECT_TRUE(exists(home + kept)) << kept;
    }
    const auto trashed =
        folderNames(home + "/.local/share/Trash/files").value_or(std::vector<std::string>{});
    EXPECT_EQ(trashed.size(), 7u);
    EXPECT_TRUE(exists(home + "/.local/share/Trash/files/Obsidian-1.5.3.AppImage"));
    EXPECT_TRUE(exists(home + "/.local/share/Trash/info/Obsidian-1.5.3.AppImage.trashinfo"));

    ASSERT_EQ(m.apps().size(), 1u);
    EXPECT_EQ(m.selectedApp(), OptionalNode(named("krita").node));
    EXPECT_EQ(picked(), (std::set<std::string>{"/.cache/krita"}));
}

// A file the user's own rights cannot move stays: an AppImage in the home folder is never handed
// to the administrator's mover.
TEST_F(AppImageUninstall, AFileThatCannotBeMovedStaysWithoutAskingForRights) {
    test::TempDir holding;
    UserRightsOnly can(holding.path());
    AppModel& m = start(&can);
    const InstalledApp obsidian = named("Obsidian");
    can.refuse(obsidian.path);
    uninstall(obsidian);
    EXPECT_EQ(m.toast()->title, "Couldn't uninstall Obsidian");
    EXPECT_FALSE(m.toast()->good);
    EXPECT_EQ(can.removes, 0);
    EXPECT_TRUE(platform.elevations.empty());
    EXPECT_TRUE(exists(obsidian.path));
    EXPECT_EQ(can.asked().front(), obsidian.path);
    EXPECT_EQ(can.asked().size(), 7u);  // the file, two entries, two icons, two leftovers
    EXPECT_EQ(m.apps().size(), 2u);
}

}  // namespace
}  // namespace tamrel
