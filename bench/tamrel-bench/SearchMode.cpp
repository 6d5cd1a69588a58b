#include <cstdio>

#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "core/query/Search.h"

namespace tamrel::bench {

int searchMode(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    takePoolThreads(args);
    const int runs = static_cast<int>(takeNumber(args, "--runs", 21));
    const long long limit = takeNumber(args, "--limit", 300);
    const long long show = takeNumber(args, "--show", 5);
    if (args.size() < 2 || limit < 1) {
        std::fprintf(stderr,
                     "usage: tamrel-bench search ROOT QUERY... [--runs N] [--limit N] "
                     "[--show N] [--threads N]\n");
        return 2;
    }
    auto index = indexForRoot(args[0]);
    if (!index) return 1;
    for (std::size_t q = 1; q < args.size(); ++q) {
        SearchResult result;
        const auto ms = timeRuns(
            runs, [&] { result = search(*index, args[q], 0, static_cast<std::size_t>(limit)); });
        for (std::size_t j = 0; j < result.ids.size() && j < static_cast<std::size_t>(show); ++j) {
            std::printf("  %14llu  %s\n",
                        static_cast<unsigned long long>(index->size(result.ids[j])),
                        index->path(result.ids[j]).c_str());
        }
        std::printf("search \"%s\": matches %zu  total %zu  %s\n", args[q].c_str(),
                    result.ids.size(), result.total, timingLine(ms).c_str());
    }
    return 0;
}

}  // namespace tamrel::bench
