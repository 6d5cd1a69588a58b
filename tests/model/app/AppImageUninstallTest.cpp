#include <gtest/gtest.h>

#include <set>
#include <string>

#include "format/Fmt.h"
#include "platform/FolderNames.h"
#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/support/AppImageHome.h"

namespace tamrel {
namespace {

using namespace std::chrono_literals;
using test::exists;
using test::waitFor;

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

// The home of makeAppImageHome with its XDG folders in it, loaded into a model that moves
// through the real Trash of that home's data folder.
class AppImageUninstall : public ::testing::Test {
protected:
    AppModel& start(TrashCan* can = nullptr) {
        AppModel::Options options;
        options.startUp = false;
        options.platform = &platform;
        options.trashCan = can;
        options.quitCheck = std::chrono::milliseconds(20);
        model = std::make_unique<AppModel>(desktop, options);
        index = test::scanTree(tree.path());
        ActionsProbe::show(*model, index);
        model->loadApps(false);
        EXPECT_TRUE(waitFor([&] { return !model->apps().empty(); }));
        return *model;
    }
    const InstalledApp& named(const std::string& name) {
        for (const InstalledApp& a : model->apps()) {
            if (a.name == name) return a;
        }
        throw std::runtime_error("no " + name);
    }
    std::set<std::string> picked() {
        std::set<std::string> out;
        for (NodeId n : model->leftoverPicked()) out.insert(index->path(n).substr(home.size()));
        return out;
    }

    test::TempDir tree;
    std::string home = test::makeAppImageHome(tree);
    test::ScopedEnv homeVar{"HOME", home};
    test::ScopedEnv data{"XDG_DATA_HOME", home + "/.local/share"};
    test::ScopedEnv config{"XDG_CONFIG_HOME", home + "/.config"};
    test::ScopedEnv cache{"XDG_CACHE_HOME", home + "/.cache"};
    test::ScopedEnv state{"XDG_STATE_HOME", home + "/.local/state"};
    test::FakeDesktop desktop;
    test::FakePlatform platform;
    std::unique_ptr<AppModel> model;
    IndexRef index;
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
    EXPECT_EQ(picked(), (std::set<std::string>{"/.cache/obsidian",
                                               "/.local/state/md.obsidian.Obsidian"}));

    // A copy of it runs, started as the AppImage starts its program: APPIMAGE names the file.
    test::SleepingChild running(tree / "run/obsidian", {{"APPIMAGE", obsidian.path}});
    EXPECT_TRUE(m.appRunning(obsidian));
    EXPECT_FALSE(m.appRunning(named("krita")));
    const std::uint64_t total = obsidian.appSize +
                                index->size(*index->lookup(home + "/.cache/obsidian")) +
                                index->size(*index->lookup(home + "/.local/state/md.obsidian.Obsidian"));
    m.uninstall(obsidian);
    ASSERT_TRUE(waitFor([&] { return !m.uninstalling(); }));
    EXPECT_TRUE(running.endedWithin(5s));
    ASSERT_TRUE(m.toast());
    EXPECT_EQ(m.toast()->title, "Obsidian uninstalled");
    EXPECT_EQ(m.toast()->detail, Fmt::bytes(total) + " moved to the Trash");
    EXPECT_TRUE(platform.elevations.empty());

    for (const char* gone :
         {"/Applications/Obsidian-1.5.3.AppImage",
          "/.local/share/applications/appimagekit-obsidian.desktop",
          "/.local/share/applications/obsidian-vault.desktop",
          "/.local/share/icons/hicolor/64x64/apps/appimagekit-obsidian.png",
          "/.local/share/icons/hicolor/32x32/apps/appimagekit-obsidian.png", "/.cache/obsidian",
          "/.local/state/md.obsidian.Obsidian"}) {
        EXPECT_FALSE(exists(home + gone)) << gone;
    }
    // Unticked leftovers, what another program's entry uses, the other AppImages: in place.
    for (const char* kept :
         {"/.config/obsidian", "/.config/autostart/obsidian.desktop",
          "/.local/share/applications/notes.desktop",
          "/.local/share/icons/hicolor/64x64/apps/accessories-notes.png",
          "/AppImages/krita-5.2.2-x86_64.appimage", "/.cache/krita",
          "/Downloads/Slack-4.36.0-x86_64.AppImage"}) {
        EXPECT_TRUE(exists(home + kept)) << kept;
    }
    const auto trashed = folderNames(home + "/.local/share/Trash/files").value_or(
        std::vector<std::string>{});
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
    m.uninstall(obsidian);
    ASSERT_TRUE(waitFor([&] { return !m.uninstalling(); }));
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
