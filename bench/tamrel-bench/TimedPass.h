#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/tamrel-bench/BenchModes.h"
#include "core/ComputePool.h"
#include "core/DiskIndex.h"
#include "core/ScanProgress.h"

namespace tamrel::bench {

inline double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Reads "--home H" from args (removing it), or returns `fallback`.
inline std::string takeHome(std::vector<std::string>& args, const std::string& fallback) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--home") {
            std::string home = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return home;
        }
    }
    return fallback;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Scans ROOT (arguments: ROOT [--home H] [--threads N]; home defaults to ROOT), then runs
// pass(index, home, first) 15 times and prints the median and best times. The passes run on
// the shared compute pool, whose size $TAMREL_THREADS sets.
template <typename Pass>
int timePasses(const char* name, const std::vector<std::string>& given, Pass pass) {
    std::vector<std::string> args = given;
    const int threads =
        takeThreads(args, std::clamp<int>(std::thread::hardware_concurrency(), 4, 16));
    if (args.empty()) {
        std::fprintf(stderr, "usage: tamrel-bench %s ROOT [--home H] [--threads N]\n", name);
        return 2;
    }
    const std::string root = args[0];
    args.erase(args.begin());
    const std::string home = takeHome(args, root);
    if (!args.empty()) {
        std::fprintf(stderr, "tamrel-bench %s: unexpected argument %s\n", name, args[0].c_str());
        return 2;
    }
    ScanProgress progress;
    auto index = DiskIndex::scan(root, progress, threads);
    if (index->isDenied(0)) {
        std::fprintf(stderr, "tamrel-bench: cannot open %s\n", root.c_str());
        return 1;
    }
    constexpr int runs = 15;
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        pass(*index, home, r == 0);
        times.push_back(millisecondsSince(start));
    }
    std::printf(
        "%s: nodes %u  median %.2f ms  best %.2f ms  runs %d  pool %d threads "
        "(scan %.2f s with %d)\n",
        name, index->count(), median(times), *std::min_element(times.begin(), times.end()), runs,
        ComputePool::shared().parallelism(), index->scanTime(), threads);
    return 0;
}

}  // namespace tamrel::bench
