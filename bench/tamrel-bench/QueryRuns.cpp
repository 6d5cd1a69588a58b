#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "bench/tamrel-bench/BenchModes.h"
#include "core/ComputePool.h"
#include "core/ScanProgress.h"

namespace tamrel::bench {

std::unique_ptr<DiskIndex> indexForRoot(const std::string& root) {
    ScanProgress progress;
    const int threads = std::clamp<int>(std::thread::hardware_concurrency(), 4, 16);
    auto index = DiskIndex::scan(root, progress, threads);
    if (index->isDenied(0)) {
        std::fprintf(stderr, "tamrel-bench: cannot open %s\n", root.c_str());
        return nullptr;
    }
    std::fprintf(stderr, "scanned %u nodes in %.3f s\n", index->count(), index->scanTime());
    return index;
}

long long takeNumber(std::vector<std::string>& args, const std::string& flag, long long fallback) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == flag) {
            char* end = nullptr;
            const long long n = std::strtoll(args[i + 1].c_str(), &end, 10);
            const bool ok = end != args[i + 1].c_str() && *end == '\0';
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return ok ? n : fallback;
        }
    }
    return fallback;
}

void takePoolThreads(std::vector<std::string>& args) {
    const int threads = takeThreads(args, 0);
    if (threads > 0) ::setenv("TAMREL_THREADS", std::to_string(threads).c_str(), 1);
}

std::vector<double> timeRuns(int runs, const std::function<void()>& body) {
    using Clock = std::chrono::steady_clock;
    body();
    std::vector<double> ms;
    for (int r = 0; r < std::max(runs, 1); ++r) {
        const Clock::time_point start = Clock::now();
        body();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

std::string timingLine(const std::vector<double>& ms) {
    char line[160];
    std::snprintf(line, sizeof line, "median %.3f ms  min %.3f ms  (%zu runs, %d threads)",
                  ms[ms.size() / 2], ms.front(), ms.size(), ComputePool::shared().parallelism());
    return line;
}

}  // namespace tamrel::bench
