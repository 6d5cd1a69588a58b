// The model's three removals, each after another process swapped the folder of what the user
// chose for a link to a folder holding the same names: nothing behind the link moves, and the
// toast says why the item stayed.

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

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
    // Another process replaces the folder `relative` of the home with a link to the bait's
    // folder of the same name.
    void swap(const std::string& relative) {
        const std::string folder = tree / ("home/" + relative);
        const std::string target = bait / relative.substr(relative.rfind('/') + 1);
        EXPECT_EQ(test::inChild([&] {
                      return std::rename(folder.c_str(), (folder + ".old").c_str()) == 0 &&
                                     ::symlink(target.c_str(), folder.c_str()) == 0
                                 ? 0
                                 : 1;
                  }),
                  0);
    }

    test::ScopedDataHome data;
    test::TempDir tree;
    test::TempDir bait;
    test::ScopedEnv homeVar_;
    test::FakeDesktop desktop;
    test::FakePlatform platform;
    std::unique_ptr<AppModel> model;
    IndexRef index;
};

TEST(SwappedFolder, NothingBehindTheLinkMoves) {
    struct Case {
        const char* name;
        const char* swapped;                    // below the home
        std::function<void(AppModel&)> choose;  // before the swap
        std::function<void(AppModel&)> remove;  // after it
        QString title;
        QString detail;
    };
    const QString why = QStringLiteral(u" \u2014 a link stands in its path");
    const auto uninstallBig = [](AppModel& m) {
        for (const InstalledApp& app : m.apps()) {
            if (app.name == "Big") m.uninstall(InstalledApp(app));
        }
    };
    const auto loadApps = [](AppModel& m) {
        m.loadApps(false);
        ASSERT_TRUE(waitFor([&] { return !m.apps().empty() && m.selectedApp(); }));
    };
    const std::vector<Case> cases = {
        {"the basket", "Library/Caches",
         [](AppModel& m) {
             m.toggleBasket(
                 *m.index()->lookup(homeDirectory() + "/Library/Caches/com.example.big"));
         },
         [](AppModel& m) { m.trash(m.basket(), {}); }, "Couldn't move that",
         "Skipped com.example.big" + why},
        {"the clean-up", "Library/Caches",
         [](AppModel& m) {
             ActionsProbe::setCleanPicked(
                 m, {*m.index()->lookup(homeDirectory() + "/Library/Caches/com.example.big")});
         },
         [](AppModel& m) { m.runClean(); }, "Couldn't move that", "Skipped com.example.big" + why},
        {"the uninstall, a leftover's folder swapped", "Library/Caches", loadApps, uninstallBig,
         "Big uninstalled", "Couldn't remove com.example.big" + why},
        {"the uninstall, the bundle's folder swapped", "Applications", loadApps, uninstallBig,
         "Couldn't uninstall Big", "A link stands in its path"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        World w;
        AppModel& m = *w.model;
        c.choose(m);
        w.swap(c.swapped);
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
        EXPECT_TRUE(exists(w.tree / ("home/" + std::string(c.swapped) + ".old")));
        EXPECT_TRUE(w.platform.elevations.empty());
    }
}

}  // namespace
}  // namespace tamrel
