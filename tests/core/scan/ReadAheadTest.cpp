#include "core/scan/ReadAhead.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/scan/DirReader.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "tests/support/Child.h"
#include "tests/support/DescriptorHog.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

using Window = ReadAheadGovernor::Window;

// A disk that reads `coldAt(level, window)` cold folders in a window at each level; feeds
// `windows` windows and returns the level after each.
std::vector<int> drive(ReadAheadGovernor& g,
                       const std::function<std::uint64_t(int, int)>& coldAt, int windows) {
    std::vector<int> levels;
    for (int i = 0; i < windows; ++i) {
        const std::uint64_t cold = coldAt(g.level(), i);
        levels.push_back(g.observe(Window{std::max<std::uint64_t>(cold, 100), cold, 0.05}));
    }
    return levels;
}

std::vector<int> drive(ReadAheadGovernor& g, const std::vector<std::uint64_t>& coldAt,
                       int windows) {
    return drive(g, [&](int level, int) { return coldAt[static_cast<std::size_t>(level)]; },
                 windows);
}

double shareAt(const std::vector<int>& levels, int level, std::size_t from = 0) {
    const auto n = std::count(levels.begin() + static_cast<std::ptrdiff_t>(from), levels.end(), level);
    return static_cast<double>(n) / static_cast<double>(levels.size() - from);
}

TEST(ReadAheadGovernor, GoesStraightToTheDeepestLevelWhenColdAndStaysWhereDepthPays) {
    ReadAheadGovernor g(56);
    EXPECT_EQ(g.steps(), (std::vector<int>{8, 56}));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(g.observe(Window{100, 2, 0.05}), 0);  // 2% cold: warm
    EXPECT_EQ(g.helpers(), 0);

    // The first cold window: every helper.
    EXPECT_EQ(g.observe(Window{100, 100, 0.05}), 2);
    EXPECT_EQ(g.helpers(), 56);
    // A disk that reads faster the deeper the queue: it probes below now and then and comes back.
    const auto levels = drive(g, {100, 200, 400}, 400);
    EXPECT_GT(shareAt(levels, 2), 0.85);
    EXPECT_EQ(std::count(levels.begin(), levels.end(), 0), 0);
    EXPECT_GT(std::count(levels.begin(), levels.end(), 1), 0);  // it did look

    // A warm window or three (the scanning threads list what helpers read): still on.
    for (int i = 1; i < ReadAheadGovernor::warmWindows; ++i)
        EXPECT_EQ(g.observe(Window{1000, 0, 0.05}), 2);
    // The cache warms up (the rest of the tree was read before): off.
    EXPECT_EQ(g.observe(Window{1000, 0, 0.05}), 0);
    EXPECT_EQ(g.helpers(), 0);
    // Cold again: straight back to the deepest level.
    EXPECT_EQ(g.observe(Window{100, 100, 0.05}), 2);

    // The walk fans out over its first windows, the rate doubling each step to a steady 3200 at
    // the deepest level, where the shallow level reads half as much. Judged against the slower
    // steps of the climb, a probe below would settle there.
    ReadAheadGovernor fanning(56);
    const auto ramp = drive(
        fanning,
        [](int level, int window) -> std::uint64_t {
            const std::uint64_t deep = 100u << std::min(window / 2, 5);  // 3200 from window 10
            return level == 2 ? deep : deep / 2;
        },
        200);
    EXPECT_EQ(std::count(ramp.begin(), ramp.begin() + 20, 1), 2);  // the one probe, one step
    EXPECT_GT(shareAt(ramp, 2), 0.85);
}

TEST(ReadAheadGovernor, SettlesShallowOrOffWhereDepthDoesNotPay) {
    // A spinning disk: every read in flight more slows it down. Within the first second it is
    // off, and it stays off but for short tries that do not pay.
    ReadAheadGovernor spinning(56);
    const auto levels = drive(spinning, {100, 70, 40}, 400);
    EXPECT_EQ(levels.front(), 2);
    EXPECT_EQ(std::find(levels.begin(), levels.end(), 1) - levels.begin(), 8);  // first probe
    EXPECT_EQ(spinning.level(), 0);
    EXPECT_GT(shareAt(levels, 0, 20), 0.85);
    EXPECT_LT(shareAt(levels, 2, 20), 0.02);

    // A disk where some depth pays but not the deepest: it settles on the shallow level.
    ReadAheadGovernor middle(56);
    const auto mid = drive(middle, {100, 200, 190}, 400);
    EXPECT_GT(shareAt(mid, 1, 20), 0.8);

    // A warm stretch turns it off; cold again, it resumes the level it had settled on.
    for (int i = 0; i < ReadAheadGovernor::warmWindows; ++i)
        middle.observe(Window{1000, 0, 0.05});
    EXPECT_EQ(middle.level(), 0);
    EXPECT_EQ(middle.observe(Window{100, 100, 0.05}), 1);

    // No helpers allowed: always off. Small bounds give one level.
    ReadAheadGovernor none(0);
    EXPECT_EQ(drive(none, {100}, 10).back(), 0);
    EXPECT_EQ(ReadAheadGovernor(6).steps(), std::vector<int>{6});
}

std::shared_ptr<const UniqueFd> openFolder(const std::string& path) {
    return std::make_shared<const UniqueFd>(::open(path.c_str(), O_RDONLY | O_DIRECTORY));
}

TEST(ReadAhead, HelpersWalkEveryFolderOnceAndFollowNoLink) {
    test::TempDir dir;
    int folders = 1;  // the root
    for (int a = 0; a < 6; ++a) {
        for (int b = 0; b < 5; ++b) {
            dir.mkdirs("a" + std::to_string(a) + "/b" + std::to_string(b) + "/c");
            dir.write("a" + std::to_string(a) + "/b" + std::to_string(b) + "/c/f", 100);
            folders += 2;
        }
        ++folders;
    }
    // A wide folder is read in batches by several helpers, and its folders walked from them.
    dir.mkdirs("wide");
    for (int k = 0; k < 700; ++k)
        dir.write("wide/f" + std::to_string(k), 1);
    for (int k = 0; k < 40; ++k)
        dir.mkdirs("wide/d" + std::to_string(k) + "/e");
    folders += 1 + 2 * 40;
    dir.symlink("a0", "to-a0");          // a link to a folder is not a folder
    dir.symlink("/", "a1/to-the-root");  // and is never followed
    struct stat st {};
    ASSERT_EQ(::stat(dir.path().c_str(), &st), 0);

    ReadAhead ahead(ReadAhead::Mode::always, 3);
    EXPECT_FALSE(ahead.active());
    EXPECT_EQ(ahead.started(), 0);  // no thread before the walk has a root
    ahead.start(openFolder(dir.path()), st.st_dev);
    EXPECT_TRUE(ahead.active());
    EXPECT_EQ(ahead.started(), 3);
    ahead.waitForWalk();
    EXPECT_EQ(ahead.foldersRead(), static_cast<std::uint64_t>(folders));
    EXPECT_GT(ahead.batchedEntriesRead(), 0u);
    ahead.stop();
    EXPECT_FALSE(ahead.active());

    // A walk on a device that is not the root's reads the root and enters nothing below it.
    ReadAhead other(ReadAhead::Mode::always, 2);
    other.start(openFolder(dir.path()), st.st_dev + 1);
    other.waitForWalk();
    EXPECT_EQ(other.foldersRead(), 1u);

    // Stopped before a thread runs: the walk ends and waiting for it returns.
    ReadAhead stopped(ReadAhead::Mode::always, 2);
    stopped.stop();
    stopped.start(openFolder(dir.path()), st.st_dev);
    stopped.waitForWalk();
    EXPECT_EQ(stopped.foldersRead(), 0u);
}

// A scanning thread shares the getdents64 results of a wide folder it lists: helpers read all
// but the first batch, and walk none of the folders among them, which the scan enters itself.
TEST(ReadAhead, ScanningThreadsShareWideFoldersWithActiveHelpersOnly) {
    test::TempDir dir;
    dir.mkdirs("empty");
    dir.mkdirs("wide");
    for (int k = 0; k < 600; ++k)
        dir.write("wide/f" + std::to_string(k), 1);
    for (int k = 0; k < 20; ++k)
        dir.mkdirs("wide/d" + std::to_string(k) + "/e");
    struct stat st {};
    ASSERT_EQ(::stat(dir.path().c_str(), &st), 0);
    const auto wide = openFolder(dir / "wide");
    const auto list = [&](ReadAhead& ahead) {
        ASSERT_EQ(::lseek(wide->get(), 0, SEEK_SET), 0);
        std::vector<char> buffer(256 * 1024);
        readEntries(
            wide->get(), buffer.data(), buffer.size(), [](const char*, std::size_t, unsigned char) {},
            [&](const char* dirents, std::size_t bytes) {
                ahead.share(wide, st.st_dev, dirents, bytes);
            });
    };

    ReadAhead active(ReadAhead::Mode::always, 4);
    active.start(openFolder(dir / "empty"), st.st_dev);
    active.waitForWalk();
    list(active);
    active.waitForWalk();
    EXPECT_EQ(active.batchedEntriesRead(), 600u + 20 - ReadAhead::batchEntries);
    EXPECT_EQ(active.foldersRead(), 1u);  // the empty root alone

    ReadAhead idle(ReadAhead::Mode::adaptive, 4);  // no reads from the disk seen: no helper
    idle.start(openFolder(dir / "empty"), st.st_dev);
    list(idle);
    EXPECT_EQ(idle.started(), 0);
    EXPECT_EQ(idle.batchedEntriesRead(), 0u);
}

TEST(ReadAhead, AdaptiveAndOffStartNoThreadWhileTheCacheAnswers) {
    test::TempDir dir;
    dir.mkdirs("x/y");
    struct stat st {};
    ASSERT_EQ(::stat(dir.path().c_str(), &st), 0);
    ReadAhead off(ReadAhead::Mode::off, 56);
    ReadAhead adaptive(ReadAhead::Mode::adaptive, 56);
    off.start(openFolder(dir.path()), st.st_dev);
    adaptive.start(openFolder(dir.path()), st.st_dev);
    // Folders listed over a few windows without a block read from the disk.
    ReadAhead::Probe probe(adaptive);
    ReadAhead::Probe offProbe(off);
    const auto until = std::chrono::steady_clock::now() + 4 * ReadAhead::window;
    while (std::chrono::steady_clock::now() < until) {
        probe.noteListed();
        offProbe.noteListed();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_FALSE(off.active());
    EXPECT_FALSE(adaptive.active());
    EXPECT_EQ(off.started(), 0);
    EXPECT_EQ(adaptive.started(), 0);
    EXPECT_EQ(adaptive.highestLevel(), 0);
}

// A tree with a few hundred folders, hard links across them and strange entries.
void buildTree(test::TempDir& dir) {
    for (int a = 0; a < 12; ++a) {
        for (int b = 0; b < 12; ++b) {
            const std::string d = "t" + std::to_string(a) + "/u" + std::to_string(b);
            dir.mkdirs(d + "/v");
            dir.write(d + "/f", 100 * (b + 1));
            dir.write(d + "/v/g", 5000);
        }
        dir.hardlink("t0/u0/f", "t" + std::to_string(a) + "/shared");
        dir.symlink("u0", "t" + std::to_string(a) + "/to-u0");
    }
    // A folder wide enough that scanning threads share its entries with the helpers.
    dir.mkdirs("wide");
    for (int k = 0; k < 900; ++k) {
        const std::string name = "wide/w" + std::to_string(k);
        if (k % 50 == 7) {
            dir.mkdirs(name + "/x");
            dir.write(name + "/x/h", 300);
        } else if (k % 50 == 9) {
            dir.hardlink("t0/u0/f", name);
        } else {
            dir.write(name, k);
        }
    }
    ASSERT_EQ(::mkfifo((dir / "t1/fifo").c_str(), 0644), 0);
}

// Every path with its kind byte and size.
std::map<std::string, std::pair<int, std::uint64_t>> contents(const DiskIndex& index) {
    std::map<std::string, std::pair<int, std::uint64_t>> out;
    for (NodeId i = 0; i < index.count(); ++i)
        out[index.path(i)] = {index.kind(i), index.size(i)};
    return out;
}

struct ModeGuard {
    explicit ModeGuard(ReadAhead::Mode m) : before(ReadAhead::defaultMode()) {
        ReadAhead::setDefaultMode(m);
    }
    ~ModeGuard() { ReadAhead::setDefaultMode(before); }
    ReadAhead::Mode before;
};

TEST(ReadAhead, ScansListTheSameWithHelpersReadingAhead) {
    test::TempDir dir;
    buildTree(dir);
    ScanProgress plainProgress;
    std::unique_ptr<DiskIndex> plain;
    {
        ModeGuard mode(ReadAhead::Mode::off);
        plain = Scanner::scan(dir.path(), plainProgress, 3);
    }
    for (int round = 0; round < 5; ++round) {
        ModeGuard mode(ReadAhead::Mode::always);
        ScanProgress progress;
        auto ahead = Scanner::scan(dir.path(), progress, 1 + round % 3);
        test::expectValidTree(*ahead);
        // The hard link's bytes land on one of its names, which one depends on timing.
        EXPECT_EQ(ahead->totalSize(), plain->totalSize());
        EXPECT_EQ(ahead->count(), plain->count());
        auto a = contents(*ahead), b = contents(*plain);
        for (auto& [path, kindSize] : a) {
            if (path.find("shared") != std::string::npos || path.ends_with("/f")) continue;
            // So do the sizes of the folders above its names: the root, each "tN" (which holds
            // one name) and "t0/u0" (which holds the first).
            const std::string rel = path.substr(std::min(path.size(), dir.path().size() + 1));
            const bool aboveLink = path == dir.path() || rel.find('/') == std::string::npos ||
                                   rel == "t0/u0";
            if (aboveLink) {
                EXPECT_EQ(kindSize.first, b[path].first) << path;
                continue;
            }
            EXPECT_EQ(kindSize, b[path]) << path;
        }
        EXPECT_EQ(progress.dirs.load(), plainProgress.dirs.load());
        EXPECT_EQ(progress.files.load(), plainProgress.files.load());
        EXPECT_EQ(progress.bytes.load(), plainProgress.bytes.load());
    }
}

TEST(ReadAhead, CancellingWhileHelpersReadEndsTheScanWithAValidTree) {
    test::TempDir dir;
    for (int a = 0; a < 20; ++a) {
        for (int b = 0; b < 20; ++b) {
            const std::string d = "d" + std::to_string(a) + "/e" + std::to_string(b);
            dir.mkdirs(d);
            dir.write(d + "/f", 10);
        }
    }
    ModeGuard mode(ReadAhead::Mode::always);
    for (int round = 0; round < 3; ++round) {
        ScanProgress progress;
        std::atomic<bool> over{false};
        std::int64_t dirsAtCancel = 0;
        std::thread canceller([&] {
            while (progress.dirs.load() < 100 && !over.load())
                std::this_thread::yield();
            dirsAtCancel = progress.dirs.load();
            progress.cancel();
        });
        auto index = Scanner::scan(dir.path(), progress, 2);
        over = true;
        canceller.join();
        test::expectValidTree(*index);
        const auto dirs = progress.dirs.load();
        // Unless the canceller ran late on a busy machine, folders were left unlisted.
        if (dirsAtCancel < 200) {
            EXPECT_LT(index->count(), 1u + 20 + 400 + 400);
        }
        EXPECT_EQ(static_cast<std::int64_t>(index->items(0)), progress.files.load());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(progress.dirs.load(), dirs);
    }
}

// Entries listed, and whether any folder was denied. Listings only: the child process below
// must not use the compute pool, whose threads a fork does not copy.
std::pair<std::size_t, bool> listed(const std::vector<Listing>& listings) {
    std::size_t entries = 0;
    bool denied = false;
    for (const Listing& l : listings) {
        entries += l.ents.size();
        denied = denied || l.denied;
    }
    return {entries, denied};
}

TEST(ReadAhead, FewDescriptorsLeftStillListEveryFolder) {
    test::TempDir dir;
    buildTree(dir);
    ScanProgress plain;
    const auto expected = listed(Scanner::crawl(dir.path(), 2, plain, ReadAhead::Mode::off));
    ASSERT_FALSE(expected.second);
    // 48 descriptors leave the helpers none; 400 leave them a few, which they must give back.
    for (const rlim_t limit : {rlim_t{48}, rlim_t{400}}) {
        const int status = test::inChild([&]() -> int {
            rlimit lim{limit, limit};
            if (::setrlimit(RLIMIT_NOFILE, &lim) != 0) return 10;
            ScanProgress progress;
            std::pair<std::size_t, bool> got;
            {
                test::DescriptorHog hog(6, std::chrono::milliseconds(100));
                got = listed(Scanner::crawl(dir.path(), 3, progress, ReadAhead::Mode::always));
            }
            if (got.second) return 11;
            return got.first == expected.first ? 0 : 12;
        });
        EXPECT_EQ(status, 0) << "limit " << limit;
    }
}

}  // namespace
}  // namespace tamrel
