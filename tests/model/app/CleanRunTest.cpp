#include <sys/time.h>

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/model/system/BundleChild.h"

namespace tamrel {
namespace {

using test::waitFor;

// A home with app caches (one of a program that runs during the test), a folder left by an
// application that is not installed, and a small file; shown in a model whose moves are
// recorded.
class CleanRun : public ::testing::Test {
protected:
    CleanRun() : homeVar_("HOME", tree / "home"), can(holding.path()) {}
    void put(const std::string& relative, std::size_t bytes) {
        tree.mkdirs(relative.substr(0, relative.rfind('/')));
        tree.write(relative, bytes);
    }
    void SetUp() override {
        put("home/Library/Caches/com.example.cache/c", 300'000);
        put("home/Library/Caches/com.example.bigger/c", 600'000);
        put("home/Library/Caches/worker/c", 400'000);
        // Named like an application that is not installed, and not changed for 60 days.
        put("home/Library/Containers/com.reopen.tool.app/x", 500'000);
        const timeval old[2] = {{std::time(nullptr) - 60 * 86400, 0},
                                {std::time(nullptr) - 60 * 86400, 0}};
        ::utimes((tree / "home/Library/Containers/com.reopen.tool.app").c_str(), old);
        put("home/small", 10'000);
        AppModel::Options options;
        options.startUp = false;
        options.trashCan = &can;
        model = std::make_unique<AppModel>(desktop, options);
        index = test::scanTree(tree.path());
        ActionsProbe::show(*model, index);
        ASSERT_TRUE(waitFor([&] { return !model->cleanPlan().empty(); }));
    }
    NodeId id(const std::string& relative) const { return *index->lookup(tree / relative); }
    std::string path(const std::string& relative) const { return tree / relative; }

    test::ScopedDataHome data;
    test::TempDir tree;
    test::TempDir holding;
    test::ScopedEnv homeVar_;
    test::RecordingTrashCan can;
    test::FakeDesktop desktop;
    std::unique_ptr<AppModel> model;
    IndexRef index;
};

TEST_F(CleanRun, MovesTheTicksLargestFirstAndHoldsBackWhatIsOpen) {
    test::BundleChild worker(tree, "bin/Worker.app", false);
    AppModel& m = *model;
    // Ticked on the screen: the caches by default, the leftover folder by hand; and a node the
    // plan does not list.
    m.setClean({id("home/Library/Containers/com.reopen.tool.app"),
                id("home/Library/Caches/worker")},
               true);
    NodeSet picked = m.cleanPicked();
    ASSERT_EQ(picked.size(), 4u);
    picked.insert(id("home/small"));
    ActionsProbe::setCleanPicked(m, picked);
    const int before = m.revision();
    m.runClean();
    ASSERT_TRUE(waitFor([&] { return m.revision() != before && !m.trashing(); }));
    EXPECT_EQ(can.asked(), (std::vector<std::string>{path("home/Library/Caches/com.example.bigger"),
                                                     path("home/Library/Caches/com.example.cache"),
                                                     path("home/small")}));
    ASSERT_TRUE(m.toast());
    EXPECT_TRUE(m.toast()->good);
    // Held back: the cache of the running program, and the folder whose note merely names a
    // word with "open" in it.
    EXPECT_EQ(m.toast()->detail, "Skipped worker, com.reopen.tool.app");
    EXPECT_EQ(m.cleanPicked(), (NodeSet{id("home/Library/Caches/worker"),
                                       id("home/Library/Containers/com.reopen.tool.app")}));
}

// Each held-back item's note already says why; a toast would only repeat it.
TEST_F(CleanRun, EverythingTickedOpenMovesNothingAndShowsNoToast) {
    AppModel& m = *model;
    // Ticked while nothing of that name ran; the program starts before the clean-up.
    const NodeId cache = id("home/Library/Caches/worker");
    m.setClean(NodeIds(m.cleanPicked().begin(), m.cleanPicked().end()), false);
    m.setClean({cache}, true);
    ASSERT_EQ(m.cleanPicked(), NodeSet{cache});
    test::BundleChild worker(tree, "bin/Worker.app", false);
    QSignalSpy preparing(&m.preparingClean, &PropertyNotifier::changed);
    QSignalSpy trashing(&m.trashing, &PropertyNotifier::changed);
    const int before = m.revision();
    m.runClean();
    EXPECT_TRUE(m.preparingClean());
    ASSERT_TRUE(waitFor([&] { return !m.preparingClean(); }));
    EXPECT_EQ(preparing.count(), 2);
    EXPECT_EQ(trashing.count(), 0);
    EXPECT_TRUE(can.asked().empty());
    EXPECT_TRUE(test::exists(path("home/Library/Caches/worker")));
    EXPECT_FALSE(m.toast());
    EXPECT_EQ(m.cleanPicked(), NodeSet{cache});
    EXPECT_EQ(m.revision(), before);
}

TEST_F(CleanRun, ThePreparationEndsInTheStepThatStartsTheMove) {
    AppModel& m = *model;
    ASSERT_FALSE(m.cleanPicked().empty());
    // Whoever hears that the preparation ended finds the move already running.
    std::vector<bool> busyWhenPrepared;
    QObject listener;
    QObject::connect(&m.preparingClean, &PropertyNotifier::changed, &listener, [&] {
        if (!m.preparingClean()) busyWhenPrepared.push_back(m.trashing());
    });
    m.runClean();
    ASSERT_TRUE(waitFor([&] { return !m.preparingClean() && !m.trashing(); }));
    EXPECT_EQ(busyWhenPrepared, std::vector<bool>{true});
    EXPECT_FALSE(can.asked().empty());
}

TEST_F(CleanRun, NothingTickedMovesNothing) {
    AppModel& m = *model;
    m.setClean(NodeIds(m.cleanPicked().begin(), m.cleanPicked().end()), false);
    ASSERT_TRUE(m.cleanPicked().empty());
    const int before = m.revision();
    m.runClean();
    ASSERT_TRUE(waitFor([&] { return !m.preparingClean(); }));
    EXPECT_TRUE(can.asked().empty());
    EXPECT_EQ(m.revision(), before);
    EXPECT_FALSE(m.toast());
}

// A live refresh that lands while the run is being prepared: the run goes on against the
// generation it planned on, and the outcome meets the new one by path.
TEST_F(CleanRun, ARunThatARefreshOvertakesFinishesOnItsOwnGeneration) {
    AppModel& m = *model;
    std::vector<std::string> ticked;
    for (NodeId node : m.cleanPicked())
        ticked.push_back(index->path(node));
    ASSERT_FALSE(ticked.empty());
    m.runClean();
    // A new file shifts the ids of the generation adopted before the plan comes back.
    put("home/Library/Caches/aaa/big", 900'000);
    const IndexRef next = test::scanTree(tree.path());
    ActionsProbe::adopt(m, next);
    ASSERT_TRUE(waitFor([&] { return !m.preparingClean() && !m.trashing(); }));
    std::vector<std::string> asked = can.asked();
    std::sort(asked.begin(), asked.end());
    std::sort(ticked.begin(), ticked.end());
    EXPECT_EQ(asked, ticked);
    ASSERT_TRUE(m.toast());
    EXPECT_TRUE(m.toast()->good);
    EXPECT_EQ(m.toast()->detail, QString::number(ticked.size()) + " items moved to the Trash");
}

// Removals never overlap: a call while one runs is refused with a toast, never dropped
// silently, and the run under way goes on.
TEST_F(CleanRun, ACallWhileARemovalRunsIsRefusedAloud) {
    AppModel& m = *model;
    const NodeId small = id("home/small");
    m.trash({small}, {});
    ASSERT_TRUE(m.trashing());
    const auto busy = [&] {
        ASSERT_TRUE(m.toast());
        EXPECT_FALSE(m.toast()->good);
        EXPECT_EQ(m.toast()->title, "Another removal is under way");
        m.setToast(std::nullopt);
    };
    m.runClean();
    busy();
    EXPECT_FALSE(m.preparingClean());
    m.trash({id("home/Library/Caches/worker")}, {});
    busy();
    const InstalledApp app{NONE, "", "", "", "", AppIdentity({}, {}), false, false, {}, 0, {}, 0};
    m.uninstall(app);
    busy();
    EXPECT_FALSE(m.uninstalling());
    ASSERT_TRUE(waitFor([&] { return !m.trashing(); }));
    EXPECT_EQ(can.asked(), std::vector<std::string>{path("home/small")});
    // Once it has ended, the next one runs.
    m.runClean();
    EXPECT_TRUE(m.preparingClean());
    ASSERT_TRUE(waitFor([&] { return !m.preparingClean() && !m.trashing(); }));
    EXPECT_GT(can.asked().size(), 1u);
}

}  // namespace
}  // namespace tamrel
