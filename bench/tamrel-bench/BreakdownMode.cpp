#include <cstdio>

#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "core/query/Breakdown.h"

namespace tamrel::bench {

int breakdownMode(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    takePoolThreads(args);
    const int runs = static_cast<int>(takeNumber(args, "--runs", 21));
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: tamrel-bench breakdown ROOT [--runs N] [--threads N]\n");
        return 2;
    }
    auto index = indexForRoot(args[0]);
    if (!index) return 1;
    std::vector<std::pair<FileKind, std::uint64_t>> kinds;
    const auto ms = timeRuns(runs, [&] { kinds = breakdown(*index, 0); });
    for (const auto& [kind, bytes] : kinds) {
        std::printf("  %14llu  %.*s\n", static_cast<unsigned long long>(bytes),
                    static_cast<int>(kind.label().size()), kind.label().data());
    }
    std::printf("breakdown: kinds %zu  of %u nodes  %s\n", kinds.size(), index->count(),
                timingLine(ms).c_str());
    return 0;
}

}  // namespace tamrel::bench
