#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "core/index/DiskIndex.h"

namespace tamrel::bench {

// Arguments: ROOT [--home H] [--runs N] [--threads N]; home defaults to ROOT. Takes the index of
// ROOT (indexForRoot), calls pass(index, home, true) once to print what it found, then times
// `runs` more calls and prints the median and best.
template <typename Pass>
int timePasses(const char* name, const std::vector<std::string>& given, Pass pass) {
    std::vector<std::string> args = given;
    takePoolThreads(args);
    const int runs = static_cast<int>(takeNumber(args, "--runs", 15));
    if (args.empty()) {
        std::fprintf(stderr, "usage: tamrel-bench %s ROOT [--home H] [--runs N] [--threads N]\n",
                     name);
        return 2;
    }
    const std::string root = args[0];
    args.erase(args.begin());
    const std::string home = takeText(args, "--home", root);
    if (!args.empty()) {
        std::fprintf(stderr, "tamrel-bench %s: unexpected argument %s\n", name, args[0].c_str());
        return 2;
    }
    auto index = indexForRoot(root);
    if (!index) return 1;
    pass(*index, home, true);
    const auto ms = timeRuns(runs, [&] { pass(*index, home, false); });
    std::printf("%s: nodes %u  %s\n", name, index->count(), timingLine(ms).c_str());
    return 0;
}

}  // namespace tamrel::bench
