#include <sys/stat.h>

#include "core/saved/SavedIndex.h"
#include "tests/model/app/ModelFixture.h"
#include "tests/support/SameTree.h"

namespace tamrel::test {
namespace {

class LiveTest : public ModelTest {
protected:
    LiveTest() {
        put("home/a/x.bin", 40'000);
        put("home/a/inner/y.bin", 30'000);
        put("home/b/z.bin", 20'000);
        put("home/Library/Caches/com.one/blob", 400'000);
        put("home/Library/Caches/com.two/blob", 300'000);
        tree.mkdirs("away");
        root = tree / "home";
    }

    // Waits for the next adopted generation after `revision`, and for its derived data.
    void adopted(int revision) {
        AppModel& m = model();
        ASSERT_TRUE(waitLive([&] { return m.revision() > revision && m.sync() == Sync::live; }));
        const IndexRef shown = m.index();
        ASSERT_TRUE(waitFor([&] { return !m.cleanPlan().empty() || m.index() != shown; }));
    }

    std::string root;
};

TEST_F(LiveTest, AFolderDeletedOutsideMakesTheRootCurrent) {
    scanned(root);
    AppModel& m = model();
    m.open(id(root + "/a/inner"));
    const IndexRef before = m.index();
    const int revision = m.revision();
    QSignalSpy revisions(&m.revision, &PropertyNotifier::changed);
    moveAway(root + "/a", tree / "away");
    ASSERT_TRUE(waitLive([&] { return m.index() != before && m.sync() == Sync::live; }));
    EXPECT_EQ(m.revision(), revision + 1);
    EXPECT_EQ(m.current(), 0u);
    EXPECT_FALSE(m.index()->lookup(root + "/a"));
    // The derived data follows the new generation: no id of the old one remains.
    ASSERT_TRUE(waitFor([&] { return !m.biggest().empty() && m.biggest().size() == 3; }));
    for (NodeId n : m.biggest())
        EXPECT_LT(n, m.index()->count());
}

TEST_F(LiveTest, BasketEntriesDeletedOutsideDropOutAndTheRestKeepTheirOrder) {
    put("home/b/one.bin", 4096);
    put("home/b/two.bin", 4096);
    scanned(root);
    AppModel& m = model();
    m.toggleBasket(id(root + "/b/two.bin"));
    m.toggleBasket(id(root + "/a/inner"));
    m.toggleBasket(id(root + "/b/one.bin"));
    m.setHovered(id(root + "/a/inner/y.bin"));
    const IndexRef before = m.index();
    moveAway(root + "/a", tree / "away");
    ASSERT_TRUE(waitLive([&] { return m.index() != before && m.sync() == Sync::live; }));
    EXPECT_EQ(m.basket(), (NodeIds{id(root + "/b/two.bin"), id(root + "/b/one.bin")}));
    EXPECT_FALSE(m.hovered());
}

// A batch of changes arrives: the wait for the disk to fall quiet (re)starts on the clock.
void batchArrives(TestClock& clock, const std::function<void()>& change) {
    const std::uint64_t starts = clock.starts();
    change();
    ASSERT_TRUE(test::waitFor([&] { return clock.starts() > starts; }));
}

TEST_F(LiveTest, BatchesCloserThanTheQuietTimeLeadToOneRefresh) {
    scanned(root);
    AppModel& m = model();
    QSignalSpy revisions(&m.revision, &PropertyNotifier::changed);
    std::vector<Sync> syncs;
    QObject::connect(&m.sync, &PropertyNotifier::changed, [&] { syncs.push_back(m.sync()); });
    for (int i = 0; i < 10; ++i) {
        batchArrives(clock, [&] { put("home/b/new" + std::to_string(i), 4096); });
        clock.advance(options.quietTime / 3);  // a batch each 100 ms
    }
    EXPECT_EQ(revisions.count(), 0);
    clock.advance(options.quietTime);
    ASSERT_TRUE(waitFor([&] { return revisions.count() == 1 && m.sync() == Sync::live; }));
    ActionsProbe::finishWork(m);
    EXPECT_EQ(revisions.count(), 1);
    EXPECT_EQ(syncs, (std::vector<Sync>{Sync::updating, Sync::live}));
    EXPECT_TRUE(m.index()->lookup(root + "/b/new9"));
}

TEST_F(LiveTest, ADiskThatNeverFallsQuietIsStillFollowed) {
    // A whole-disk index sees every write of every program: batches may never stop long enough
    // for the quiet time. The changes are then taken once the first of them has waited the
    // longest wait.
    options.quietTime = std::chrono::milliseconds(1200);  // well above the batches' 100 ms
    options.liveMaxWait = std::chrono::milliseconds(600);
    scanned(root);
    AppModel& m = model();
    const int revision = m.revision();
    for (int i = 0; i < 8; ++i) {
        batchArrives(clock, [&] { put("home/b/busy" + std::to_string(i), 4096); });
        clock.advance(std::chrono::milliseconds(100));  // a batch each 100 ms: never quiet
    }
    ASSERT_TRUE(waitFor([&] { return m.revision() > revision && m.sync() == Sync::live; }));
    EXPECT_TRUE(m.index()->lookup(root + "/b/busy0"));
}

TEST_F(LiveTest, ChangesDuringARefreshLandOnTheAdoptedIndex) {
    scanned(root);
    AppModel& m = model();
    put("home/b/first", 4096);
    ASSERT_TRUE(waitLive([&] { return m.sync() == Sync::updating; }));
    put("home/b/second", 4096);
    ASSERT_TRUE(waitLive([&] {
        return m.index()->lookup(root + "/b/first") && m.index()->lookup(root + "/b/second") &&
               m.sync() == Sync::live;
    }));
}

TEST_F(LiveTest, AStoppedWatcherChangesNothing) {
    scanned(root);
    AppModel& m = model();
    put("other/o.bin", 4096);
    m.scan(tree / "other", true);
    ASSERT_TRUE(waitFor([&] {
        return m.phase() == Phase::results && m.index()->rootPath() == tree / "other" &&
               m.sync() == Sync::live;
    }));
    // The new watcher's own catch-up may still refresh the new index once (its files are newer
    // than the scan's stamp less the margin): let that settle before looking.
    QTest::qWait(900);
    ASSERT_TRUE(waitLive([&] { return m.sync() == Sync::live; }));
    ActionsProbe::finishWork(m);
    const IndexRef shown = m.index();
    const int revision = m.revision();
    put("home/b/late", 4096);
    QTest::qWait(600);  // the kernel's events of the change, were anything to take them
    clock.advance(options.liveMaxWait);
    ActionsProbe::finishWork(m);
    EXPECT_EQ(m.index(), shown);
    EXPECT_EQ(m.revision(), revision);
}

TEST_F(LiveTest, RefreshedGenerationsAreSavedOnceAnIntervalAndAtQuit) {
    // The event id of the saved index of the root (0 when there is none).
    const auto saved = [&]() -> std::uint64_t {
        const auto index = SavedIndex::load(root);
        return index ? index->eventID() : 0;
    };
    const auto holdsShown = [&] {
        const auto index = SavedIndex::load(root);
        const IndexRef shown = model().index();
        if (!index || index->eventID() != shown->eventID()) return false;
        expectSameTree(*index, *shown);
        return true;
    };

    // Refreshes within the interval save nothing; quitting saves the last one.
    options.saveInterval = std::chrono::hours(1);
    scanned(root);
    const std::uint64_t scannedID = saved();
    ASSERT_NE(scannedID, 0u);
    for (int i = 0; i < 2; ++i) {
        const int revision = model().revision();
        put("home/b/quit" + std::to_string(i), 4096);
        adopted(revision);
    }
    EXPECT_EQ(saved(), scannedID);
    const std::uint64_t lastAdopted = model().index()->eventID();
    EXPECT_NE(lastAdopted, scannedID);
    quit();
    EXPECT_EQ(saved(), lastAdopted);

    // Opened again from that file with a short interval: a refresh is saved once it has passed,
    // with the event id of the content saved.
    options.saveInterval = std::chrono::milliseconds(200);
    AppModel& m = model();
    m.scan(root, false);
    ASSERT_TRUE(waitLive([&] { return m.phase() == Phase::results && m.sync() == Sync::live; }));
    const int revision = m.revision();
    put("home/b/later", 4096);
    adopted(revision);
    ASSERT_TRUE(waitLive(holdsShown));
    EXPECT_TRUE(SavedIndex::load(root)->lookup(root + "/b/later"));
}

// A save writes the whole index: it comes only when the index differs from its saved file. The
// catch-up after a fresh scan lists again what changed while the scan ran and finds it as the
// scan did: neither `revision` nor a save follows, in the first idle minute or at quit.
TEST_F(LiveTest, NothingChangedSinceTheScanSavesNothing) {
    options.saveInterval = std::chrono::milliseconds(200);
    // The saved file, told apart by its inode and date: each save writes a new file.
    const auto savedFile = [&] {
        struct stat st {};
        ::stat(SavedIndex::cacheURL(root).c_str(), &st);
        return std::make_pair(st.st_ino, st.st_mtim.tv_nsec + st.st_mtim.tv_sec * 1'000'000'000);
    };
    // Made just before the scan: the catch-up lists it again.
    tree.mkdirs("home/made");
    scanned(root);
    AppModel& m = model();
    const auto scanSave = savedFile();
    const int revision = m.revision();
    for (int second = 0; second < 60; ++second) {
        clock.advance(std::chrono::seconds(1));
        ActionsProbe::finishWork(m);
    }
    EXPECT_EQ(m.revision(), revision);
    EXPECT_EQ(savedFile(), scanSave);
    quit();
    EXPECT_EQ(savedFile(), scanSave);

    // A change is still saved.
    AppModel& again = model();
    again.scan(root, false);
    ASSERT_TRUE(waitLive([&] { return again.sync() == Sync::live; }));
    put("home/b/new.bin", 4096);
    ASSERT_TRUE(waitLive([&] { return savedFile() != scanSave; }));
    EXPECT_TRUE(SavedIndex::load(root)->lookup(root + "/b/new.bin"));
}

TEST_F(LiveTest, TicksLiveByPathAcrossPlansAndGenerations) {
    scanned(root);
    AppModel& m = model();
    ASSERT_TRUE(waitFor([&] { return !m.cleanPlan().empty(); }));
    const NodeId one = id(root + "/Library/Caches/com.one");
    const NodeId two = id(root + "/Library/Caches/com.two");
    EXPECT_EQ(m.cleanPicked(), (NodeSet{one, two}));  // both on by default
    EXPECT_EQ(m.cleanSize(), m.index()->size(one) + m.index()->size(two));

    m.setClean({one}, false);
    m.setClean({id(root + "/a")}, true);  // not an item of the plan: ignored
    EXPECT_EQ(m.cleanPicked(), NodeSet{two});

    // The same plan stored again: the same ticks, and no announcement of them.
    QSignalSpy picked(&m.cleanPicked, &PropertyNotifier::changed);
    QSignalSpy plan(&m.cleanPlan, &PropertyNotifier::changed);
    m.applyCleanPlan(m.cleanPlan());
    EXPECT_EQ(picked.count(), 0);
    EXPECT_EQ(plan.count(), 1);

    // A new generation (a change on disk) and its new plan keep the untick by path.
    const int revision = m.revision();
    put("home/b/more", 4096);
    adopted(revision);
    ASSERT_TRUE(waitFor([&] { return m.cleanPicked().size() == 1; }));
    EXPECT_EQ(m.cleanPicked(), NodeSet{id(root + "/Library/Caches/com.two")});

    // And across a new scan of the same folder.
    m.rescan();
    ASSERT_TRUE(waitFor([&] { return m.phase() == Phase::results && !m.cleanPlan().empty(); }));
    EXPECT_EQ(m.cleanPicked(), NodeSet{id(root + "/Library/Caches/com.two")});
    m.setClean({id(root + "/Library/Caches/com.one")}, true);
    EXPECT_EQ(m.cleanPicked().size(), 2u);
}

TEST_F(LiveTest, DerivedDataOfAnEarlierFolderNeverLands) {
    scanned(root);
    AppModel& m = model();
    std::vector<std::optional<Spring>> springs;
    QObject::connect(&m.breakdown, &PropertyNotifier::changed, [&] { springs.push_back(m.animation()); });
    for (int i = 0; i < 20; ++i) {
        m.open(id(root + "/a"));
        m.open(id(root + "/b"));
    }
    ASSERT_TRUE(waitFor([&] { return !springs.empty(); }));
    ActionsProbe::finishWork(m);
    ASSERT_EQ(m.biggest().size(), 1u);
    EXPECT_EQ(m.index()->name(m.biggest()[0]), "z.bin");
    EXPECT_EQ(springs.back(), (Spring{0.5, 0.85}));
    EXPECT_LE(springs.size(), 2u);  // one run at a time; the newest follows the running one
}

}  // namespace
}  // namespace tamrel::test
