#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "core/index/DiskIndex.h"
#include "core/live/Changes.h"
#include "core/live/Refresher.h"
#include "core/live/Watcher.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"

namespace tamrel::bench {

namespace {

// Seconds from a watcher's start from `since` to its handover, or a negative number when the
// watcher does not use `mode`.
double catchUp(const std::string& root, std::uint64_t since, bool fanotify,
               Watcher::Status::Mode mode) {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    Watcher::Options options;
    options.allowFanotify = fanotify;
    const auto start = std::chrono::steady_clock::now();
    Watcher w(
        root, since,
        [&](Changes) {
            std::lock_guard g(m);
            done = true;
            cv.notify_all();
        },
        [] {}, options);
    if (w.status().mode != mode) return -1;
    std::unique_lock g(m);
    cv.wait(g, [&] { return done; });
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A folder about halfway through the index, to be changed.
std::string middleFolder(const DiskIndex& index) {
    for (NodeId i = index.count() / 2; i > 0; --i) {
        if (index.isDir(i) && !index.isDenied(i)) return index.path(i);
    }
    return index.rootPath();
}

}  // namespace

int refreshMode(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    const int repeat = static_cast<int>(takeNumber(args, "--repeat", 5));
    if (args.size() != 1) {
        std::fprintf(stderr,
                     "usage: tamrel-bench refresh PATH [--repeat N]   (PATH is written to)\n");
        return 2;
    }
    const std::string& root = args[0];
    std::unique_ptr<DiskIndex> index;
    {
        ScanProgress progress;
        index = Scanner::scan(root, progress, defaultScanThreads());
    }
    const std::string folder = middleFolder(*index);
    const std::string file = folder + "/tamrel-bench-refresh";
    Changes changes;
    changes.dirs.insert(folder);

    // Each round measures a fresh scan and, right after it, what is compared with it: the
    // machine is shared, so ratios are taken within a round.
    std::vector<double> scans, refreshes, inotify, fanotify;
    std::vector<double> refreshRatio, inotifyRatio, fanotifyRatio;
    NodeId count = 0;
    for (int k = 0; k < repeat; ++k) {
        ScanProgress progress;
        index = Scanner::scan(root, progress, defaultScanThreads());
        const double scan = index->scanTime();
        scans.push_back(scan);

        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            std::fprintf(stderr, "tamrel-bench: cannot create %s\n", file.c_str());
            return 1;
        }
        ::close(fd);
        ScanProgress refreshProgress;
        std::unique_ptr<DiskIndex> refreshed;
        const double refresh =
            timed([&] { refreshed = Refresher::refreshed(*index, changes, refreshProgress); });
        count = refreshed->count();
        refreshed.reset();  // unmapping the new index is not part of the refresh
        ::unlink(file.c_str());
        refreshes.push_back(refresh);
        refreshRatio.push_back(refresh / scan);

        // The catch-up after a launch: every folder walked, watched and compared with the id.
        const double i = catchUp(root, index->eventID(), false, Watcher::Status::Mode::inotify);
        inotify.push_back(i);
        inotifyRatio.push_back(i / scan);
        const double f = catchUp(root, index->eventID(), true, Watcher::Status::Mode::fanotify);
        if (f >= 0) {
            fanotify.push_back(f);
            fanotifyRatio.push_back(f / scan);
        }
    }

    std::printf(
        "nodes %u  fresh scan median %.3f s  refresh of one folder median %.1f ms (%.2f%% of "
        "a scan)  repeat %d\n",
        count, median(scans), median(refreshes) * 1e3, 100 * median(refreshRatio), repeat);
    std::printf("catch-up walk with inotify median %.3f s (%.2fx a scan)", median(inotify),
                median(inotifyRatio));
    if (fanotify.empty()) {
        std::printf("  fanotify not permitted\n");
    } else {
        std::printf("  with fanotify median %.3f s (%.2fx a scan)\n", median(fanotify),
                    median(fanotifyRatio));
    }
    return 0;
}

}  // namespace tamrel::bench
