#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "format/Fmt.h"
#include "platform/XdgDirs.h"
#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/model/system/BundleChild.h"

namespace tamrel {
namespace {

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
    const std::uint64_t total = big.appSize + index->size(big.leftovers[0].node) +
                                index->size(big.leftovers[1].node);
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
    const auto started = std::chrono::steady_clock::now();
    uninstall(named("Big"));
    // 30 checks of 10 ms were waited for.
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(250));
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
    for (const Leftover& l : big.leftovers) can.refuse(index->path(l.node));
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

}  // namespace
}  // namespace tamrel
