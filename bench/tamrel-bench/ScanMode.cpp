#include <algorithm>
#include <cstdio>
#include <thread>

#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "core/index/DiskIndex.h"
#include "core/scan/ReadAhead.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"

namespace tamrel::bench {

int scanMode(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    const int threads = static_cast<int>(takeNumber(args, "--threads", defaultScanThreads()));
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it != "--read-ahead" || it + 1 == args.end()) continue;
        const std::string mode = *(it + 1);
        if (mode == "off") {
            ReadAhead::setDefaultMode(ReadAhead::Mode::off);
        } else if (mode == "on") {
            ReadAhead::setDefaultMode(ReadAhead::Mode::always);
        } else if (mode == "auto") {
            ReadAhead::setDefaultMode(ReadAhead::Mode::adaptive);
        } else {
            args.clear();
            break;
        }
        args.erase(it, it + 2);
        break;
    }
    if (args.size() != 1) {
        std::fprintf(stderr,
                     "usage: tamrel-bench scan PATH [--threads N] [--read-ahead auto|off|on]\n");
        return 2;
    }
    ScanProgress progress;
    auto index = Scanner::scan(args[0], progress, threads);
    if (index->isDenied(0)) {
        std::fprintf(stderr, "tamrel-bench: cannot open %s\n", args[0].c_str());
        return 1;
    }
    std::uint64_t files = 0, dirs = 0;
    for (NodeId i = 1; i < index->count(); ++i)
        (index->isDir(i) ? dirs : files) += 1;
    const double seconds = index->scanTime();
    const long long peak = peakResidentBytes();
    std::printf(
        "nodes %u  files %llu  folders %llu  bytes %llu  seconds %.3f  entries/s %.0f  "
        "peak-rss %lld (%.1f B/entry)  region %llu (%.1f B/node + names)  threads %d\n",
        index->count(), static_cast<unsigned long long>(files),
        static_cast<unsigned long long>(dirs), static_cast<unsigned long long>(index->totalSize()),
        seconds, seconds > 0 ? (index->count() - 1) / seconds : 0.0, peak,
        static_cast<double>(peak) / std::max<NodeId>(index->count(), 1),
        static_cast<unsigned long long>(index->layout().total),
        static_cast<double>(index->layout().total - index->layout().headerBytes -
                            index->layout().nameCap) /
            std::max<NodeId>(index->count(), 1),
        threads);
    return 0;
}

}  // namespace tamrel::bench
