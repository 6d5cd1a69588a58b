#include "core/live/Watcher.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <pthread.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>

#include "core/index/DiskIndex.h"
#include "core/index/IndexWriter.h"
#include "core/live/Refresher.h"
#include "core/scan/EventID.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "platform/UniqueFd.h"
#include "tests/support/Child.h"
#include "tests/support/HeapCounter.h"
#include "tests/support/RandomTree.h"
#include "tests/support/SameTree.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

using namespace std::chrono_literals;

// Counts the handler calls of one watcher and lets a test wait for them.
class Recorder {
public:
    Watcher::HistoryHandler history() {
        return [this](Changes c) {
            std::lock_guard g(m_);
            ++historyCalls_;
            handed_ = std::move(c);
            historyThread_ = std::this_thread::get_id();
            cv_.notify_all();
        };
    }
    Watcher::LiveHandler live() {
        return [this] {
            std::lock_guard g(m_);
            ++liveCalls_;
            char name[32] = {};
            ::pthread_getname_np(::pthread_self(), name, sizeof name);
            threadName_ = name;
            cv_.notify_all();
        };
    }
    bool waitHistory(std::chrono::milliseconds limit = 10s) {
        std::unique_lock g(m_);
        return cv_.wait_for(g, limit, [&] { return historyCalls_ > 0; });
    }
    // Waits for a live call after the `seen`th.
    bool waitLive(int seen, std::chrono::milliseconds limit = 10s) {
        std::unique_lock g(m_);
        return cv_.wait_for(g, limit, [&] { return liveCalls_ > seen; });
    }
    // Waits until no live call has come for `quiet`.
    void waitQuiet(std::chrono::milliseconds quiet) {
        for (;;) {
            const int before = liveCalls();
            std::this_thread::sleep_for(quiet);
            if (liveCalls() == before) return;
        }
    }
    int liveCalls() {
        std::lock_guard g(m_);
        return liveCalls_;
    }
    int historyCalls() {
        std::lock_guard g(m_);
        return historyCalls_;
    }
    Changes handed() {
        std::lock_guard g(m_);
        return handed_;
    }
    std::thread::id historyThread() {
        std::lock_guard g(m_);
        return historyThread_;
    }
    std::string threadName() {
        std::lock_guard g(m_);
        return threadName_;
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    int historyCalls_ = 0;
    int liveCalls_ = 0;
    Changes handed_;
    std::thread::id historyThread_;
    std::string threadName_;
};

Watcher::Options quick(bool fanotify) {
    Watcher::Options o;
    o.allowFanotify = fanotify;
    o.latency = 100ms;
    o.walkThreads = 4;
    return o;
}

// Every case runs on inotify, and on fanotify where this process may use it.
class WatcherTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            test::TempDir probe;
            Watcher w(
                probe.path(), 0, [](Changes) {}, [] {}, quick(true));
            if (w.status().mode != Watcher::Status::Mode::fanotify)
                GTEST_SKIP() << "no fanotify here";
        }
    }
    Watcher::Options options() const { return quick(GetParam()); }
    Watcher::Status::Mode mode() const {
        return GetParam() ? Watcher::Status::Mode::fanotify : Watcher::Status::Mode::inotify;
    }
};

// Waits for a live batch that reports `path`, taking the changes (into `taken` when given);
// true when one did.
bool liveReports(Watcher& w, Recorder& r, const std::string& path, bool deep = false,
                 Changes* taken = nullptr) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    Changes local;
    Changes& all = taken ? *taken : local;
    int seen = r.liveCalls();
    while (std::chrono::steady_clock::now() < end) {
        if (r.waitLive(seen, 500ms)) seen = r.liveCalls();
        Changes got = w.take();
        all.dirs.merge(got.dirs);
        all.deep.merge(got.deep);
        if ((deep ? all.deep : all.dirs).contains(path)) return true;
    }
    return false;
}

TEST_P(WatcherTest, SinceZeroHandsOverAtOnceThenGoesLive) {
    test::TempDir dir;
    dir.mkdirs("a");
    Recorder r;
    Watcher w(dir.path(), 0, r.history(), r.live(), options());
    EXPECT_EQ(r.historyCalls(), 1) << "handed over before the constructor returned";
    EXPECT_EQ(r.historyThread(), std::this_thread::get_id());
    EXPECT_TRUE(r.handed().isEmpty());
    EXPECT_EQ(w.status().mode, mode());
    EXPECT_FALSE(w.status().catchingUp);
    r.waitQuiet(300ms);
    w.take();

    const int seen = r.liveCalls();
    dir.write("a/new", 100);
    const std::uint64_t written = currentEventID();
    ASSERT_TRUE(r.waitLive(seen));
    EXPECT_EQ(r.threadName(), "tamrel.fsevents");
    EXPECT_NE(w.oldestPending(), 0u);
    EXPECT_LE(w.oldestPending(), written)
        << "a pending change counts from no later than it was made";
    // A later batch keeps the oldest pending change's id: it is the minimum, not the latest.
    const std::uint64_t first = w.oldestPending();
    const int seenFirst = r.liveCalls();
    dir.write("a/later", 100);
    ASSERT_TRUE(r.waitLive(seenFirst));
    EXPECT_EQ(w.oldestPending(), first);
    EXPECT_TRUE(w.take().dirs.contains(dir / "a"));
    EXPECT_TRUE(w.take().isEmpty()) << "a second take finds nothing";
    EXPECT_EQ(w.oldestPending(), 0u);
    EXPECT_EQ(r.historyCalls(), 1);
}

TEST_P(WatcherTest, CatchUpFindsWhatChangedWhileNothingWatched) {
    test::TempDir dir;
    dir.mkdirs("a");
    dir.mkdirs("b/c/inner");
    dir.mkdirs("d/e/f");
    dir.mkdirs("g/quiet");
    dir.mkdirs("h");
    dir.write("h/grows", 4096);
    dir.write("g/quiet/file", 100);
    // Everything above is older than the saved stamp less its 2 s margin; what follows is not.
    const std::uint64_t saved = currentEventID() + 2'000'000'000 + 20'000'000;
    std::this_thread::sleep_for(50ms);
    dir.write("a/created", 100);
    ASSERT_EQ(::rename((dir / "b/c").c_str(), (dir / "b/c2").c_str()), 0);
    test::removeTree(dir / "d/e");
    test::append(dir / "h/grows", 8192);

    Recorder r;
    Watcher w(dir.path(), saved, r.history(), r.live(), options());
    ASSERT_TRUE(r.waitHistory());
    const Changes handed = r.handed();
    for (const char* changed : {"a", "b", "b/c2", "d", "h"}) {
        EXPECT_TRUE(handed.dirs.contains(dir / changed)) << changed;
    }
    for (const char* quiet : {"g", "g/quiet", "b/c2/inner", ""}) {
        EXPECT_FALSE(handed.dirs.contains(dir / quiet)) << quiet;
    }
    EXPECT_EQ(handed.deep, PathSet{dir / "b/c2"})
        << "a folder moved to a new name may bring old subfolders";
    EXPECT_FALSE(w.status().catchingUp);
    EXPECT_FALSE(w.status().limitReached);
    EXPECT_EQ(r.liveCalls(), 0) << "the handover batch signals nothing else";

    // Live after the handover, with paths that follow renames inside the tree.
    dir.write("g/quiet/later", 100);
    EXPECT_TRUE(liveReports(w, r, dir / "g/quiet"));
    ASSERT_EQ(::rename((dir / "b/c2").c_str(), (dir / "g/moved").c_str()), 0);
    EXPECT_TRUE(liveReports(w, r, dir / "g"));
    r.waitQuiet(300ms);
    w.take();
    dir.write("g/moved/inner/deeper", 100);
    EXPECT_TRUE(liveReports(w, r, dir / "g/moved/inner"));
    dir.mkdirs("new/one/two");
    std::this_thread::sleep_for(300ms);
    dir.write("new/one/two/file", 100);
    EXPECT_TRUE(liveReports(w, r, dir / "new/one/two"));
    EXPECT_EQ(r.historyCalls(), 1);
}

// A folder replaced while nothing watched, by one moved in from elsewhere: the catch-up rescans
// it whole, since the subfolders it brings keep their old ctimes and the same names.
TEST_P(WatcherTest, CatchUpRescansAFolderReplacedWhileNothingWatched) {
    test::TempDir dir;
    dir.mkdirs("A/x/sub/deeper");
    dir.mkdirs("B/y/sub/deeper");
    dir.mkdirs("C/quiet");
    dir.write("A/x/sub/old", 5000);
    dir.write("A/x/sub/deeper/old2", 5000);
    dir.write("B/y/sub/new", 9000);
    dir.write("B/y/sub/deeper/new2", 13000);
    ScanProgress progress;
    auto index = Scanner::scan(dir.path(), progress, 4);
    const std::uint64_t saved = currentEventID() + 2'000'000'000 + 20'000'000;
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(::rename((dir / "A/x").c_str(), (dir / "A/x.old").c_str()), 0);
    ASSERT_EQ(::rename((dir / "B/y").c_str(), (dir / "A/x").c_str()), 0);
    // Two folders of one name swapped in one call.
    dir.mkdirs("D/s/sub");
    dir.mkdirs("E/s/sub");
    dir.write("E/s/sub/e", 20000);
    index = Refresher::refreshed(*index, Changes{{dir.path(), dir / "D", dir / "E"}, {}}, progress);
    IndexWriter::setEventID(*index, currentEventID());
    const std::uint64_t swapped = currentEventID() + 2'000'000'000 + 20'000'000;
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(::renameat2(AT_FDCWD, (dir / "D/s").c_str(), AT_FDCWD, (dir / "E/s").c_str(),
                          RENAME_EXCHANGE),
              0);

    Recorder r;
    Watcher w(dir.path(), std::min(saved, swapped), r.history(), r.live(), options());
    ASSERT_TRUE(r.waitHistory());
    EXPECT_TRUE(r.handed().deep.contains(dir / "A/x"));
    EXPECT_TRUE(r.handed().deep.contains(dir / "D/s"));
    EXPECT_TRUE(r.handed().deep.contains(dir / "E/s"));
    EXPECT_FALSE(r.handed().deep.contains(dir / "C/quiet"));
    auto next = Refresher::refreshed(*index, r.handed(), progress);
    test::expectSameTree(*next, *Scanner::scan(dir.path(), progress, 4), false);
}

TEST_P(WatcherTest, RootDeletedOrMovedIsRescannedWhole) {
    test::TempDir outer;
    outer.mkdirs("root/a");
    outer.mkdirs("root2");
    const std::string root = outer / "root";
    Recorder r;
    Watcher w(root, currentEventID(), r.history(), r.live(), options());
    ASSERT_TRUE(r.waitHistory());
    ASSERT_EQ(::rename(root.c_str(), (outer / "moved").c_str()), 0);
    EXPECT_TRUE(liveReports(w, r, root, true));

    // A root missing when a watcher starts from a saved id is rescanned too.
    Recorder r2;
    Watcher w2(outer / "missing", currentEventID(), r2.history(), r2.live(), options());
    ASSERT_TRUE(r2.waitHistory());
    EXPECT_TRUE(r2.handed().deep.contains(outer / "missing"));
}

TEST_P(WatcherTest, FolderMovedOutAndReplacedByOneOfTheSameName) {
    test::TempDir outer;
    outer.mkdirs("root/a/x");
    outer.mkdirs("root/other");
    outer.mkdirs("away");
    Recorder r;
    Watcher w(outer / "root", currentEventID(), r.history(), r.live(), options());
    ASSERT_TRUE(r.waitHistory());
    ASSERT_EQ(::rename((outer / "root/a/x").c_str(), (outer / "away/x").c_str()), 0);
    outer.mkdirs("root/a/x");
    EXPECT_TRUE(liveReports(w, r, outer / "root/a"));
    r.waitQuiet(300ms);
    w.take();
    outer.write("root/a/x/file", 10);
    EXPECT_TRUE(liveReports(w, r, outer / "root/a/x")) << "the new folder is watched";
    r.waitQuiet(300ms);
    w.take();
    outer.write("away/x/file", 10);
    outer.write("root/other/file", 10);
    Changes taken;
    EXPECT_TRUE(liveReports(w, r, outer / "root/other", false, &taken));
    r.waitQuiet(300ms);
    taken.dirs.merge(w.take().dirs);
    EXPECT_FALSE(taken.dirs.contains(outer / "root/a/x")) << "the folder moved out is not";
}

TEST_P(WatcherTest, RootReachedThroughASymbolicLink) {
    test::TempDir outer;
    outer.mkdirs("real/root/a");
    outer.symlink("real", "link");
    const std::string root = outer / "link/root";
    Recorder r;
    Watcher w(root, currentEventID(), r.history(), r.live(), options());
    ASSERT_TRUE(r.waitHistory());
    outer.write("real/root/a/file", 10);
    EXPECT_TRUE(liveReports(w, r, root + "/a")) << "paths read as the root was given";
    if (GetParam()) {
        // A file-system mark also sees the folders above the root move.
        ASSERT_EQ(::rename((outer / "real").c_str(), (outer / "moved").c_str()), 0);
        EXPECT_TRUE(liveReports(w, r, root, true));
    }
}

// Folders created and moved, and folders moved below what moved out of them, all within one
// read of the events: paths still follow every folder, and new folders are watched.
TEST_P(WatcherTest, MovesInQuickSuccession) {
    test::TempDir dir;
    constexpr int groups = 16;
    auto group = [&](int k, const char* rest) {
        return dir / ("g" + std::to_string(k) + "/" + rest);
    };
    for (int k = 0; k < groups; ++k) {
        for (const char* d : {"S", "T", "P/Q", "R"})
            dir.mkdirs("g" + std::to_string(k) + "/" + d);
    }
    Recorder r;
    Watcher w(dir.path(), currentEventID(), r.history(), r.live(), options());
    ASSERT_TRUE(r.waitHistory());
    for (int k = 0; k < groups; ++k) {
        ASSERT_EQ(::mkdir(group(k, "S/x").c_str(), 0755), 0);
        ASSERT_EQ(::rename(group(k, "S/x").c_str(), group(k, "T/y").c_str()), 0);
        ASSERT_EQ(::rename(group(k, "T").c_str(), group(k, "U").c_str()), 0);
        ASSERT_EQ(::rename(group(k, "P/Q").c_str(), group(k, "R/Q2").c_str()), 0);
        ASSERT_EQ(::rename(group(k, "P").c_str(), group(k, "R/Q2/P2").c_str()), 0);
    }
    EXPECT_TRUE(liveReports(w, r, group(groups - 1, "R")));
    r.waitQuiet(300ms);
    w.take();
    for (int k = 0; k < groups; ++k) {
        dir.write("g" + std::to_string(k) + "/U/y/file", 10);
        dir.write("g" + std::to_string(k) + "/R/Q2/P2/file", 10);
    }
    Changes taken;
    EXPECT_TRUE(liveReports(w, r, group(groups - 1, "R/Q2/P2"), false, &taken));
    r.waitQuiet(300ms);
    taken.dirs.merge(w.take().dirs);
    for (int k = 0; k < groups; ++k) {
        EXPECT_TRUE(taken.dirs.contains(group(k, "U/y"))) << k;
        EXPECT_TRUE(taken.dirs.contains(group(k, "R/Q2/P2"))) << k;
    }
    for (const std::string& p : taken.dirs)
        EXPECT_EQ(::access(p.c_str(), F_OK), 0) << p;
}

TEST_P(WatcherTest, StopEndsEveryCallback) {
    test::TempDir dir;
    Recorder r;
    std::atomic<int> after{0};
    std::atomic<bool> armed{false}, stopped{false};
    std::unique_ptr<Watcher> w;
    w = std::make_unique<Watcher>(
        dir.path(), currentEventID(), r.history(),
        [&] {
            if (stopped) ++after;
            if (!armed) return;
            w->stop();  // from a handler: returns at once
            stopped = true;
        },
        options());
    ASSERT_TRUE(r.waitHistory());
    armed = true;
    dir.write("x", 10);
    for (int k = 0; k < 100 && !stopped; ++k)
        std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(stopped);
    dir.write("y", 10);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(after.load(), 0);
    w->stop();
    w.reset();

    Recorder quiet;
    Watcher v(dir.path(), 0, quiet.history(), quiet.live(), options());
    std::thread other([&] { v.stop(); });
    v.stop();
    other.join();
    v.stop();
    dir.write("z", 10);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(quiet.liveCalls(), 0) << "nothing after stop() returned";

    // The owner may let go of a watcher inside its own handler.
    Recorder again;
    std::atomic<bool> armedAgain{false}, released{false};
    std::unique_ptr<Watcher> owned;
    owned = std::make_unique<Watcher>(
        dir.path(), currentEventID(), again.history(),
        [&] {
            if (!armedAgain || released) return;
            owned.reset();
            released = true;
        },
        options());
    ASSERT_TRUE(again.waitHistory());
    armedAgain = true;
    dir.write("w", 10);
    for (int k = 0; k < 100 && !released; ++k)
        std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(released);
}

// Moves `path`'s changes out of the watcher into `all` once a live batch reports `path`.
bool gather(Watcher& w, Recorder& r, const std::string& path, Changes& all) {
    Changes taken;
    const bool reported = liveReports(w, r, path, false, &taken);
    all.dirs.merge(taken.dirs);
    all.deep.merge(taken.deep);
    return reported;
}

// Waits until the watcher is quiet and moves what it still holds into `all`.
void takeTheRest(Watcher& w, Recorder& r, Changes& all) {
    r.waitQuiet(300ms);
    Changes rest = w.take();
    all.dirs.merge(rest.dirs);
    all.deep.merge(rest.deep);
}

void expectRefreshIsAScan(const DiskIndex& index, const Changes& changes) {
    ScanProgress progress;
    auto next = Refresher::refreshed(index, changes, progress);
    test::expectValidTree(*next);
    test::expectSameTree(*next, *Scanner::scan(index.rootPath(), progress, 4), false);
}

// Two folders swapped in one call (renameat2 with RENAME_EXCHANGE): each path then names the
// other folder, and later moves and files are followed there.
TEST_P(WatcherTest, FoldersSwappedInPlace) {
    test::TempDir dir;
    dir.mkdirs("A/x/xsub");
    dir.mkdirs("B/y/ysub");
    dir.write("A/x/xsub/xf", 5000);
    dir.write("B/y/ysub/yf", 7000);
    ScanProgress progress;
    auto index = Scanner::scan(dir.path(), progress, 4);
    Recorder r;
    Watcher w(dir.path(), index->eventID(), r.history(), r.live(), options());
    ASSERT_TRUE(r.waitHistory());
    Changes all = r.handed();

    ASSERT_EQ(::renameat2(AT_FDCWD, (dir / "A/x").c_str(), AT_FDCWD, (dir / "B/y").c_str(),
                          RENAME_EXCHANGE),
              0);
    EXPECT_TRUE(gather(w, r, dir / "B/y/xsub", all));
    takeTheRest(w, r, all);
    dir.write("B/y/new", 100);
    EXPECT_TRUE(gather(w, r, dir / "B/y", all));
    dir.write("A/x/ysub/new", 100);
    EXPECT_TRUE(gather(w, r, dir / "A/x/ysub", all));
    expectRefreshIsAScan(*index, all);

    // One more move after the swap: the folder now at A/x goes below the one now at B/y.
    ASSERT_EQ(::rename((dir / "A/x").c_str(), (dir / "B/y/inner").c_str()), 0);
    EXPECT_TRUE(gather(w, r, dir / "B/y", all));
    dir.write("B/y/inner/ysub/later", 100);
    EXPECT_TRUE(gather(w, r, dir / "B/y/inner/ysub", all));
    takeTheRest(w, r, all);
    expectRefreshIsAScan(*index, all);

    // A folder swapped at once after it was made, before its watch is placed.
    dir.mkdirs("A/w/wsub");
    EXPECT_TRUE(gather(w, r, dir / "A/w", all));
    takeTheRest(w, r, all);
    for (int k = 0; k < 8; ++k) {
        const std::string made = dir / ("B/made" + std::to_string(k));
        ASSERT_EQ(::mkdir(made.c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((made + "/msub").c_str(), 0755), 0);
        ASSERT_EQ(
            ::renameat2(AT_FDCWD, (dir / "A/w").c_str(), AT_FDCWD, made.c_str(), RENAME_EXCHANGE),
            0);
    }
    EXPECT_TRUE(gather(w, r, dir / "B", all));
    takeTheRest(w, r, all);
    dir.write("A/w/msub/one", 100);
    dir.write("B/made0/wsub/two", 100);
    EXPECT_TRUE(gather(w, r, dir / "A/w/msub", all));
    takeTheRest(w, r, all);
    EXPECT_TRUE(all.dirs.contains(dir / "B/made0/wsub"));
    expectRefreshIsAScan(*index, all);

    // A move over an empty folder (whose watch ends), held open so that its end comes late,
    // and at once a move of the folder that replaced it.
    dir.mkdirs("C/empty");
    dir.mkdirs("C/full/inside");
    EXPECT_TRUE(gather(w, r, dir / "C/full", all));
    {
        UniqueFd held(::open((dir / "C/empty").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_EQ(::rename((dir / "C/full").c_str(), (dir / "C/empty").c_str()), 0);
        ASSERT_EQ(::rename((dir / "C/empty").c_str(), (dir / "C/last").c_str()), 0);
    }
    EXPECT_TRUE(gather(w, r, dir / "C", all));
    dir.write("C/last/inside/file", 100);
    EXPECT_TRUE(gather(w, r, dir / "C/last/inside", all));
    takeTheRest(w, r, all);
    expectRefreshIsAScan(*index, all);
}

// Folders whose paths are longer than one call takes (PATH_MAX, 4096 bytes): their changes are
// gathered and listed again like any other.
TEST_P(WatcherTest, PathsLongerThanPathMax) {
    test::TempDir dir;
    const test::Chain chain = test::makeChain(dir.path(), std::string(120, 'L'), 40);
    const std::string& bottom = chain.path;
    ASSERT_GT(bottom.size(), 4096u);
    UniqueFd at(::dup(chain.fd));
    auto create = [&](const char* name) {
        UniqueFd f(::openat(at.get(), name, O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        ASSERT_TRUE(f);
        const std::string data(6000, 'x');
        ASSERT_EQ(::write(f.get(), data.data(), data.size()), 6000);
    };
    create("before");
    ScanProgress progress;
    auto index = Scanner::scan(dir.path(), progress, 4);
    Recorder r;
    Watcher w(dir.path(), index->eventID(), r.history(), r.live(), options());
    ASSERT_TRUE(r.waitHistory());
    Changes all = r.handed();

    create("new");
    EXPECT_TRUE(gather(w, r, bottom, all));
    expectRefreshIsAScan(*index, all);

    // A folder made down there is watched too.
    ASSERT_EQ(::mkdirat(at.get(), "sub", 0755), 0);
    EXPECT_TRUE(gather(w, r, bottom, all));
    takeTheRest(w, r, all);
    at = UniqueFd(::openat(at.get(), "sub", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    create("inside");
    EXPECT_TRUE(gather(w, r, bottom + "/sub", all));
    expectRefreshIsAScan(*index, all);
}

// A file with two names changed through one of them: only that name's folder is reported, yet
// the other name shows what the file is now after the refresh (a write: its size and date; a
// chmod: its executable flag, which decides its kind).
TEST_P(WatcherTest, HardLinkChangedThroughOneName) {
    struct Case {
        const char* what;
        std::function<bool(const std::string&)> change;  // of the file at this path
    };
    const Case cases[] = {
        {"written", [](const std::string& g) { return test::append(g, 64 * 1024); }},
        {"made executable", [](const std::string& g) { return ::chmod(g.c_str(), 0755) == 0; }},
        {"no longer executable",
         [](const std::string& g) { return ::chmod(g.c_str(), 0644) == 0; }},
    };
    test::TempDir dir;
    dir.mkdirs("a");
    dir.mkdirs("b");
    dir.write("a/f", 8192);
    dir.hardlink("a/f", "b/g");
    test::setMtime(dir / "a/f", test::nowSeconds() - 86'400);
    ScanProgress progress;
    auto index = Scanner::scan(dir.path(), progress, 1);
    Recorder r;
    Watcher w(dir.path(), index->eventID(), r.history(), r.live(), options());
    ASSERT_TRUE(r.waitHistory());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.change(dir / "b/g"));
        Changes all;
        ASSERT_TRUE(gather(w, r, dir / "b", all));
        takeTheRest(w, r, all);
        auto next = Refresher::refreshed(*index, all, progress);
        test::expectSameTree(*next, *Scanner::scan(dir.path(), progress, 1));
        index = std::move(next);
    }
}

// A catch-up that finds every folder of a tree 6,000 levels deep changed (made since the saved
// event id) holds a name per folder, not a path per folder: the heap it takes at its peak grows
// with the folders (about 1.8 KB a folder, 11 MB here, watches and every copy of the changes
// included), where whole paths would take the square of the depth (90 MB for each set of them).
TEST_P(WatcherTest, CatchUpOfADeepTreeGrowsWithItsFolders) {
    constexpr int depth = 6000;
    test::TempDir dir;
    const std::uint64_t since = currentEventID();
    const test::Chain chain = test::makeChain(dir.path(), "dddd", depth);
    const std::int64_t before = test::heapInUse();
    test::resetHeapPeak();
    {
        Recorder r;
        Watcher w(dir.path(), since, r.history(), r.live(), options());
        ASSERT_TRUE(r.waitHistory(60s));
        const Changes handed = r.handed();
        EXPECT_EQ(handed.dirs.size(), depth + 1u) << "every folder, the root included";
        // Every folder made since; and the root too when the kernel's queue overflowed, as it
        // may with fanotify while other programs write anywhere on the same file system.
        EXPECT_TRUE(handed.deep.size() == static_cast<std::size_t>(depth) ||
                    (handed.deep.size() == depth + 1u && handed.deep.contains(dir.path())))
            << handed.deep.size() << " folders to rescan whole";
        EXPECT_TRUE(handed.dirs.contains(chain.path));
        EXPECT_LT(test::heapPeak() - before, std::int64_t{32} << 20);
    }
}

// The changes a watcher gathers bring a refreshed index to what a fresh scan finds, dates
// included, round after round of random churn; false once a round differs. `linkFlags` as
// expectSameTree() takes it.
bool gatheredChangesRefreshToScans(unsigned seed, const Watcher::Options& options,
                                   bool linkFlags = true) {
    test::RandomTree tree(seed);
    ScanProgress progress;
    auto index = Scanner::scan(tree.root(), progress, 4);
    Recorder r;
    Watcher w(tree.root(), index->eventID(), r.history(), r.live(), options);
    if (!r.waitHistory()) return false;
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        // As a user, a step may change nothing in folders shut to it: no event need come.
        tree.change(15);
        // Events are read in the order they happened: once a batch reports a folder made after
        // the changes, every change before it has been read, however busy the machine is.
        const std::string mark = tree.root() + "/mark" + std::to_string(round);
        if (::mkdir(mark.c_str(), 0755) != 0) return false;
        Changes taken;
        if (!liveReports(w, r, mark, false, &taken)) {
            ADD_FAILURE() << "no batch reported " << mark;
            return false;
        }
        auto next = Refresher::refreshed(*index, std::move(taken), progress, w.oldestPending());
        test::expectValidTree(*next);
        // On one thread the links of a file count where a refresh counts them.
        ScanProgress p2;
        test::expectSameTree(*next, *Scanner::scan(tree.root(), p2, 1), true, linkFlags);
        if (testing::Test::HasFailure()) return false;
        index = std::move(next);
    }
    return true;
}

TEST_P(WatcherTest, GatheredChangesRefreshToAFreshScan) {
    for (unsigned seed : {7u, 8u})
        EXPECT_TRUE(gatheredChangesRefreshToScans(seed, options()));
}

TEST_P(WatcherTest, OwnSavedIndexesAreNotChanges) {
    test::TempDir dir;
    dir.mkdirs("data/Tamrel");
    dir.mkdirs("other");
    dir.symlink("data", "data-link");
    test::ScopedDataHome home;  // puts XDG_DATA_HOME back at the end
    // Named through a symbolic link, as where /home is one: the walk reaches it as data/Tamrel.
    ::setenv("XDG_DATA_HOME", (dir / "data-link").c_str(), 1);
    Recorder r;
    Watcher w(dir.path(), currentEventID(), r.history(), r.live(), options());
    ASSERT_TRUE(r.waitHistory());
    dir.write("data/Tamrel/0123456789abcdef.idx", 100);
    dir.write("other/file", 100);
    Changes taken;
    EXPECT_TRUE(liveReports(w, r, dir / "other", false, &taken));
    r.waitQuiet(300ms);
    taken.dirs.merge(w.take().dirs);
    EXPECT_FALSE(taken.dirs.contains(dir / "data/Tamrel"));
}

INSTANTIATE_TEST_SUITE_P(Backends, WatcherTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& i) {
                             return i.param ? std::string("fanotify") : std::string("inotify");
                         });

// Whether this process's fanotify group has the kernel ignore the events of the folder at
// `path` (an ignore mark on its inode, as /proc lists the group's marks).
bool ignoredByTheKernel(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    char inode[32];
    std::snprintf(inode, sizeof inode, "ino:%lx ", static_cast<unsigned long>(st.st_ino));
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fdinfo")) {
        std::ifstream info(fd.path());
        for (std::string line; std::getline(info, line);) {
            if (line.starts_with("fanotify ") && line.find(inode) != std::string::npos &&
                line.find("ignored_mask:0 ") == std::string::npos &&
                line.find("ignored_mask:") != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

// A fanotify mark sees the whole file system: writes in a folder outside the tree make no
// batch, and once its first event has been read the kernel drops the rest. That folder moved
// into the tree is followed like any other.
TEST(Watcher, FanotifyDropsEventsOutsideTheTree) {
    test::TempDir dir;
    dir.mkdirs("tree/a");
    dir.mkdirs("outside/busy");
    Recorder r;
    Watcher w(dir / "tree", 0, r.history(), r.live(), quick(true));
    if (w.status().mode != Watcher::Status::Mode::fanotify) GTEST_SKIP() << "no fanotify here";
    // The walk that places the marks reports the folder just made, however long it takes.
    ASSERT_TRUE(liveReports(w, r, dir / "tree/a"));
    r.waitQuiet(300ms);
    w.take();
    const int batches = r.liveCalls();
    dir.write("outside/busy/first", 100);
    // Ignore marks came with Linux 6.0; an older kernel reads every event and drops it here.
    struct utsname host {};
    ::uname(&host);
    if (std::atoi(host.release) >= 6) {
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (!ignoredByTheKernel(dir / "outside/busy") && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(ignoredByTheKernel(dir / "outside/busy"));
        EXPECT_FALSE(ignoredByTheKernel(dir / "tree/a")) << "nothing inside the tree";
        EXPECT_FALSE(ignoredByTheKernel(dir.path())) << "nor above it";
    }
    for (int i = 0; i < 200; ++i)
        dir.write("outside/busy/f" + std::to_string(i % 20), 100);
    r.waitQuiet(300ms);
    EXPECT_EQ(r.liveCalls(), batches);
    EXPECT_TRUE(w.take().isEmpty());

    // A deep tree made elsewhere costs bounded memory: each of its levels is a first event of a
    // folder outside, whose path (up to 20 KB here) the watcher finds.
    const std::int64_t before = test::heapInUse();
    test::resetHeapPeak();
    test::makeChain(dir / "outside", "dddd", 4000);
    for (std::uint64_t seen = ~0ull; w.status().outsideEvents != seen;) {
        seen = w.status().outsideEvents;
        r.waitQuiet(300ms);
    }
    EXPECT_GT(w.status().outsideEvents, 1000u);
    EXPECT_LT(test::heapPeak() - before, std::int64_t{16} << 20);
    const Changes after = w.take();
    std::string seen;
    for (const std::string& p : after.dirs) seen += " dir:" + p.substr(0, 300);
    for (const std::string& p : after.deep) seen += " deep:" + p.substr(0, 300);
    EXPECT_TRUE(after.isEmpty()) << dir.path() << seen;

    ASSERT_EQ(::rename((dir / "outside/busy").c_str(), (dir / "tree/busy").c_str()), 0);
    EXPECT_TRUE(liveReports(w, r, dir / "tree"));
    EXPECT_FALSE(ignoredByTheKernel(dir / "tree/busy")) << "marks go when a folder moves in";
    r.waitQuiet(300ms);
    w.take();
    dir.write("tree/busy/after", 100);
    EXPECT_TRUE(liveReports(w, r, dir / "tree/busy"));
}

// Marks may be placed where folder handles cannot be opened: such a process watches with
// inotify rather than with marks whose events it cannot place.
TEST(Watcher, NoFanotifyWithoutOpeningHandles) {
    test::TempDir dir;
    dir.mkdirs("a");
    const int status = test::inChild([&]() -> int {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        if (::syscall(SYS_capget, &header, data) != 0) return 10;
        data[0].effective &= ~(1u << CAP_DAC_READ_SEARCH);
        if (::syscall(SYS_capset, &header, data) != 0) return 11;
        Recorder r;
        Watcher w(dir.path(), currentEventID(), r.history(), r.live(), quick(true));
        if (!r.waitHistory()) return 12;
        dir.write("a/file", 10);
        return liveReports(w, r, dir / "a") ? 0 : 13;
    });
    EXPECT_EQ(status, 0);
}

// In a child, where failures only print: whether the index equals a fresh scan of its root.
bool sameAsAScan(const DiskIndex& index) {
    ScanProgress progress;
    test::expectSameTree(index, *Scanner::scan(index.rootPath(), progress, 2), false);
    return !testing::Test::HasFailure();
}

// Folders that cannot be opened have no watch and no entries to look at: a change of their
// permissions is still found, while nothing watched and live.
TEST(Watcher, FoldersThatCannotBeOpened) {
    if (::geteuid() != 0) GTEST_SKIP() << "acts as another user";
    test::TempDir dir;
    dir.mkdirs("shut/inner");
    dir.mkdirs("opens/inner");
    dir.write("shut/inner/f", 5000);
    dir.write("opens/inner/g", 5000);
    ASSERT_TRUE(test::giveToNobody(dir.path().c_str()));
    const int status = test::inChild([&]() -> int {
        if (!test::becomeNobody()) return 10;
        if (::chmod((dir / "opens").c_str(), 0) != 0) return 11;
        ScanProgress progress;
        auto index = Scanner::scan(dir.path(), progress, 2);
        if (!index->isDenied(*index->lookup(dir / "opens"))) return 12;
        const std::uint64_t saved = currentEventID() + 2'000'000'000 + 20'000'000;
        std::this_thread::sleep_for(50ms);
        if (::chmod((dir / "shut").c_str(), 0) != 0) return 13;
        if (::chmod((dir / "opens").c_str(), 0755) != 0) return 13;

        Recorder r;
        Watcher w(dir.path(), saved, r.history(), r.live(), quick(false));
        if (!r.waitHistory()) return 14;
        const Changes handed = r.handed();
        if (!handed.dirs.contains(dir / "shut") || !handed.dirs.contains(dir / "opens")) return 15;
        index = Refresher::refreshed(*index, handed, progress);
        if (!sameAsAScan(*index)) return 16;

        r.waitQuiet(300ms);
        w.take();
        if (::chmod((dir / "shut").c_str(), 0755) != 0) return 17;
        Changes taken;
        if (!liveReports(w, r, dir / "shut", false, &taken)) return 18;
        index = Refresher::refreshed(*index, taken, progress);
        if (!sameAsAScan(*index)) return 19;
        r.waitQuiet(300ms);
        w.take();
        dir.write("shut/inner/new", 10);
        return liveReports(w, r, dir / "shut/inner") ? 0 : 20;
    });
    EXPECT_EQ(status, 0);
}

// As a user without rights over the whole tree: a folder that loses search permission takes
// what lies below it out of reach, one that regains it brings it back and watched, also when
// the watcher started while it was shut.
TEST(Watcher, SearchPermissionLostAndRegained) {
    if (::geteuid() != 0) GTEST_SKIP() << "acts as another user";
    test::TempDir dir;
    dir.mkdirs("P/sub/deeper");
    dir.mkdirs("Q/sub");
    dir.write("P/file", 5000);
    dir.write("P/sub/f", 5000);
    dir.write("P/sub/deeper/g", 5000);
    dir.write("Q/sub/h", 5000);
    ASSERT_TRUE(test::giveToNobody(dir.path().c_str()));
    const int status = test::inChild([&]() -> int {
        if (!test::becomeNobody()) return 10;
        ScanProgress progress;
        // Q is shut before the watcher starts: its catch-up cannot open Q/sub.
        if (::chmod((dir / "Q").c_str(), 0600) != 0) return 11;
        auto index = Scanner::scan(dir.path(), progress, 2);
        Recorder r;
        Watcher w(dir.path(), index->eventID(), r.history(), r.live(), quick(false));
        if (!r.waitHistory()) return 12;
        Changes all = r.handed();
        takeTheRest(w, r, all);

        if (::chmod((dir / "P").c_str(), 0600) != 0) return 13;
        if (!gather(w, r, dir / "P/sub", all)) return 14;
        index = Refresher::refreshed(*index, all, progress);
        if (!index->isDenied(*index->lookup(dir / "P/sub"))) return 15;
        if (!sameAsAScan(*index)) return 16;

        all = Changes();
        if (::chmod((dir / "P").c_str(), 0755) != 0) return 17;
        if (::chmod((dir / "Q").c_str(), 0755) != 0) return 17;
        if (!gather(w, r, dir / "P/sub/deeper", all)) return 18;
        takeTheRest(w, r, all);
        if (!all.dirs.contains(dir / "Q/sub")) return 22;
        index = Refresher::refreshed(*index, all, progress);
        if (!sameAsAScan(*index)) return 19;

        r.waitQuiet(300ms);
        w.take();
        dir.write("P/sub/deeper/new", 10);
        if (!liveReports(w, r, dir / "P/sub/deeper")) return 20;
        dir.write("Q/sub/new", 10);
        return liveReports(w, r, dir / "Q/sub") ? 0 : 21;
    });
    EXPECT_EQ(status, 0);
}

// Random churn as a user for whom folders shut by their modes cannot be listed (inotify: such a
// user has no fanotify).
TEST(Watcher, GatheredChangesRefreshToAFreshScanAsAUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "acts as another user";
    const int status = test::inChild([]() -> int {
        if (!test::becomeNobody()) return 10;
        for (unsigned seed : {21u, 22u}) {
            if (!gatheredChangesRefreshToScans(seed, quick(false), false)) return 20;
        }
        return 0;
    });
    EXPECT_EQ(status, 0);
}

TEST(Watcher, LimitReachedSubtreesAreWalkedAgain) {
    test::TempDir dir;
    dir.mkdirs("a/b/c");
    dir.mkdirs("d/e");
    Watcher::Options o = quick(false);
    o.maxWatches = 3;
    o.rewalkEvery = 300ms;
    Recorder r;
    Watcher w(dir.path(), currentEventID(), r.history(), r.live(), o);
    ASSERT_TRUE(r.waitHistory());
    const Watcher::Status s = w.status();
    EXPECT_TRUE(s.limitReached);
    EXPECT_GE(s.unwatched, 1u);
    std::this_thread::sleep_for(50ms);
    // Whichever folders went unwatched, a change in each is found.
    dir.write("a/b/c/one", 10);
    dir.write("d/e/two", 10);
    Changes all;
    for (int k = 0; k < 40 && !(all.dirs.contains(dir / "a/b/c") && all.dirs.contains(dir / "d/e"));
         ++k) {
        r.waitLive(r.liveCalls(), 250ms);
        Changes got = w.take();
        all.dirs.merge(got.dirs);
    }
    EXPECT_TRUE(all.dirs.contains(dir / "a/b/c"));
    EXPECT_TRUE(all.dirs.contains(dir / "d/e"));

    // Walks that find nothing come less often (here up to every 4.8 s), and still find a change.
    std::this_thread::sleep_for(2s);
    w.take();
    dir.write("d/e/three", 10);
    EXPECT_TRUE(liveReports(w, r, dir / "d/e"));
}

// Short of watches, the walk takes them back from empty folders with nothing below them, so
// that the folders holding files keep theirs: only the empty ones are left to walks.
TEST(Watcher, ShortOfWatchesTheEmptyFoldersGoWithout) {
    test::TempDir dir;
    for (const char* p : {"p0", "p1", "p2", "p3"}) {
        for (const char* e : {"/e0", "/e1", "/e2"})
            dir.mkdirs(std::string(p) + e);
        for (int i = 0; i < 5; ++i)
            dir.write(std::string(p) + "/f" + std::to_string(i), 10);
    }
    Watcher::Options o = quick(false);
    o.walkThreads = 1;
    o.maxWatches = 5;  // the root and the four folders with files
    o.rewalkEvery = std::chrono::hours(1);
    {
        Recorder r;
        Watcher w(dir.path(), currentEventID(), r.history(), r.live(), o);
        ASSERT_TRUE(r.waitHistory());
        EXPECT_EQ(w.status().unwatched, 12u);
        for (const char* p : {"p0", "p1", "p2", "p3"}) {
            dir.write(std::string(p) + "/new", 10);
            EXPECT_TRUE(liveReports(w, r, dir / p)) << p << " is watched";
        }
    }
    // An empty folder left without is still walked again: a file made in it is found, and so
    // is a later write to that file, which leaves the folder's own times as they were.
    o.rewalkEvery = 300ms;
    Recorder r;
    Watcher w(dir.path(), currentEventID(), r.history(), r.live(), o);
    ASSERT_TRUE(r.waitHistory());
    std::this_thread::sleep_for(1s);  // walks that find the empty folders empty
    dir.write("p2/e1/new", 10);
    EXPECT_TRUE(liveReports(w, r, dir / "p2/e1"));
    std::this_thread::sleep_for(4s);  // until walks pass the folder over (their stamps lag 2 s)
    w.take();
    dir.write("p2/e1/new", 20);
    EXPECT_TRUE(liveReports(w, r, dir / "p2/e1"));
}

}  // namespace
}  // namespace tamrel
