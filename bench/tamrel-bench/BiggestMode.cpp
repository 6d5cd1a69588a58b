#include <cstdio>

#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "core/query/Biggest.h"

namespace tamrel::bench {

int biggestMode(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    takePoolThreads(args);
    const int runs = static_cast<int>(takeNumber(args, "--runs", 21));
    const long long limit = takeNumber(args, "--limit", 200);
    const long long show = takeNumber(args, "--show", 5);
    if (args.size() != 1 || limit < 0) {
        std::fprintf(stderr,
                     "usage: tamrel-bench biggest ROOT [--runs N] [--limit N] [--show N] "
                     "[--threads N]\n");
        return 2;
    }
    auto index = indexForRoot(args[0]);
    if (!index) return 1;
    std::vector<NodeId> ids;
    const auto ms =
        timeRuns(runs, [&] { ids = biggestFiles(*index, 0, static_cast<std::size_t>(limit)); });
    for (std::size_t j = 0; j < ids.size() && j < static_cast<std::size_t>(show); ++j) {
        std::printf("  %14llu  %s\n", static_cast<unsigned long long>(index->size(ids[j])),
                    index->path(ids[j]).c_str());
    }
    std::printf("biggest: files %zu  of %u nodes  %s\n", ids.size(), index->count(),
                timingLine(ms).c_str());
    return 0;
}

}  // namespace tamrel::bench
