// The model's three removals, each after another process changed what the user chose: its
// folder swapped for a link to a folder holding the same names, the item itself replaced by
// another folder of the user's (renamed in by another user, no link anywhere), or another folder
// mounted over its folder. Nothing but the item chosen moves, also when a refreshed generation
// came in between, and the toast says why the item stayed.

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/PathText.h"
#include "platform/XdgDirs.h"
#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/support/Child.h"

namespace tamrel {
namespace {

using test::exists;
using test::waitFor;

// Two applications in a temporary home, shown in a model that moves through the real Trash.
class World {
public:
    World() : homeVar_("HOME", tree / "home") {
        test::makeSmallAndBig(tree);
        // Big's cache, big enough for the clean-up plan; and what the swapped link leads to.
        tree.write("home/Library/Caches/com.example.big/data", 300'000);
        bait.mkdirs("Caches/com.example.big");
        bait.write("Caches/com.example.big/secret", 300'000);
        test::makeBundle(bait, "Applications/Big.app",
                         {{"CFBundleIdentifier", "com.example.big"}, {"CFBundleName", "Big"}});
        bait.write("Applications/Big.app/secret", 10);
        AppModel::Options options;
        options.startUp = false;
        options.platform = &platform;
        options.quitCheck = std::chrono::milliseconds(10);
        model = std::make_unique<AppModel>(desktop, options);
        index = test::scanTree(tree.path());
        ActionsProbe::show(*model, index);
        EXPECT_TRUE(waitFor([&] { return !model->cleanPlan().empty(); }));
    }
    enum class Change { link, folder, mount };
    // Another process changes the folder `relative` of the home; returns where what was there
    // is now. link: the folder is replaced by a link to the bait's folder of the same name;
    // folder: another user (nobody, when this is root) renames it aside and the user's own
    // folder "thesis" (holding a "secret") in under its name, in a folder all may write to;
    // mount: the bait's folder is bind-mounted over it.
    std::string change(Change how, const std::string& relative) {
        const std::string folder = tree / ("home/" + relative);
        const std::string target = bait / relative.substr(relative.rfind('/') + 1);
        if (how == Change::mount) {
            EXPECT_EQ(::mount(target.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr), 0);
            mounted = folder;
            return folder;
        }
        if (how == Change::folder) {
            const std::string thesis = "home/" + parentPath(relative) + "/thesis";
            tree.mkdirs(thesis);
            tree.write(thesis + "/secret", 10);
            ::chmod(tree.path().c_str(), 0755);
            test::renameInAsAnotherUser(folder, tree / thesis);
            return folder + ".x";
        }
        EXPECT_EQ(test::inChild([&] {
                      return std::rename(folder.c_str(), (folder + ".old").c_str()) == 0 &&
                                     ::symlink(target.c_str(), folder.c_str()) == 0
                                 ? 0
                                 : 1;
                  }),
                  0);
        return folder + ".old";
    }
    ~World() {
        if (!mounted.empty()) ::umount2(mounted.c_str(), MNT_DETACH);
    }

    test::ScopedDataHome data;
    test::TempDir tree;
    test::TempDir bait;
    test::ScopedEnv homeVar_;
    test::FakeDesktop desktop;
    test::FakePlatform platform;
    std::unique_ptr<AppModel> model;
    IndexRef index;
    std::string mounted;
};

TEST(SwappedFolder, NothingButWhatWasChosenMoves) {
    using enum World::Change;
    struct Case {
        const char* name;
        World::Change how;
        const char* changed;                    // below the home
        std::function<void(AppModel&)> choose;  // before the change
        std::function<void(AppModel&)> remove;  // after it
        QString title;
        QString detail;
        bool refresh = false;  // a refreshed generation comes in between
    };
    const QString linked = QStringLiteral(u" \u2014 a link stands in its path");
    const QString changed = QStringLiteral(u" \u2014 changed since it was picked");
    const std::string cache = "/Library/Caches/com.example.big";
    const auto uninstallBig = [](AppModel& m) {
        for (const InstalledApp& app : m.apps()) {
            if (app.name == "Big") m.uninstall(InstalledApp(app));
        }
    };
    const auto loadApps = [](AppModel& m) {
        m.loadApps(true);
        ASSERT_TRUE(waitFor([&] {
            return !m.appsLoading() && !m.apps().empty() && m.selectedApp() &&
                   m.apps().front().node < m.index()->count();
        }));
    };
    const auto pick = [&](AppModel& m) { m.toggleBasket(*m.index()->lookup(homeDirectory() + cache)); };
    const auto trashPicked = [](AppModel& m) { m.trash(m.basket(), {}); };
    const auto tick = [&](AppModel& m) {
        m.setClean({*m.index()->lookup(homeDirectory() + cache)}, true);
    };
    const auto runClean = [](AppModel& m) { m.runClean(); };
    const std::vector<Case> cases = {
        {"the basket, its folder a link", link, "Library/Caches", pick, trashPicked,
         "Couldn't move that", "Skipped com.example.big" + linked},
        {"the clean-up, its folder a link", link, "Library/Caches",
         [&](AppModel& m) {
             ActionsProbe::setCleanPicked(m, {*m.index()->lookup(homeDirectory() + cache)});
         },
         runClean, "Couldn't move that", "Skipped com.example.big" + linked},
        {"the uninstall, a leftover's folder a link", link, "Library/Caches", loadApps,
         uninstallBig, "Big uninstalled", "Couldn't remove com.example.big" + linked},
        {"the uninstall, the bundle's folder a link", link, "Applications", loadApps, uninstallBig,
         "Couldn't uninstall Big", "A link stands in its path"},
        {"the basket, the item another folder", folder, "Library/Caches/com.example.big", pick,
         trashPicked, "Couldn't move that", "Skipped com.example.big" + changed, true},
        {"the clean-up, the item another folder", folder, "Library/Caches/com.example.big", tick,
         runClean, "Couldn't move that", "Skipped com.example.big" + changed},
        {"the clean-up, ticked by the plan, the item another folder", folder,
         "Library/Caches/com.example.big",
         [&](AppModel& m) {
             ASSERT_TRUE(
                 m.cleanPicked().contains(*m.index()->lookup(homeDirectory() + cache)));
         },
         runClean, "Couldn't move that", "Skipped com.example.big" + changed, true},
        {"the uninstall, a leftover another folder", folder, "Library/Caches/com.example.big",
         loadApps,
         [&](AppModel& m) {
             loadApps(m);
             uninstallBig(m);
         },
         "Big uninstalled", "Couldn't remove com.example.big" + changed, true},
        {"the uninstall, the bundle another folder", folder, "Applications/Big.app", loadApps,
         uninstallBig, "Couldn't uninstall Big", "Changed since it was picked"},
        {"the basket, a folder mounted over its folder", mount, "Library/Caches", pick,
         trashPicked, "Couldn't move that", "Skipped com.example.big" + changed},
        {"the uninstall, a folder mounted over the bundle's folder", mount, "Applications",
         loadApps, uninstallBig, "Couldn't uninstall Big", "Changed since it was picked"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.how == mount && ::geteuid() != 0) continue;  // mounting needs root
        World w;
        AppModel& m = *w.model;
        c.choose(m);
        const std::string aside = w.change(c.how, c.changed);
        if (c.refresh) ActionsProbe::adopt(m, test::scanTree(w.tree.path()));
        m.setToast(std::nullopt);
        c.remove(m);
        ASSERT_TRUE(waitFor([&] { return !m.removalBusy() && m.toast(); }));
        EXPECT_EQ(m.toast()->title, c.title);
        EXPECT_EQ(m.toast()->detail, c.detail);
        EXPECT_TRUE(exists(w.bait / "Caches/com.example.big/secret"));
        EXPECT_TRUE(exists(w.bait / "Applications/Big.app/secret"));
        std::error_code ec;
        for (const auto& e :
             std::filesystem::directory_iterator(homeTrashDirectory() + "/files", ec)) {
            EXPECT_FALSE(exists(e.path().string() + "/secret")) << e.path();
        }
        EXPECT_TRUE(exists(aside));
        EXPECT_TRUE(w.platform.elevations.empty());
    }
}

}  // namespace
}  // namespace tamrel
