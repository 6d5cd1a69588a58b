#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "core/index/DiskIndex.h"
#include "core/space/RuleProfile.h"

namespace tamrel::bench {

// Arguments: ROOT [--home H] [--linux] [--runs N] [--threads N]; home defaults to ROOT. Takes the
// index of ROOT (indexForRoot), calls pass(index, home, profile, true) once to print what it
// found, then times `runs` more calls and prints the median and best. The rule profile is the
// designed one, or with --linux the Linux one of home (RuleProfile::linuxDesktop).
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
    const auto linuxFlag = std::find(args.begin(), args.end(), "--linux");
    const RuleProfile profile =
        linuxFlag == args.end() ? RuleProfile::designed() : RuleProfile::linuxDesktop(home);
    if (linuxFlag != args.end()) args.erase(linuxFlag);
    if (!args.empty()) {
        std::fprintf(stderr, "tamrel-bench %s: unexpected argument %s\n", name, args[0].c_str());
        return 2;
    }
    auto index = indexForRoot(root);
    if (!index) return 1;
    pass(*index, home, profile, true);
    const auto ms = timeRuns(runs, [&] { pass(*index, home, profile, false); });
    std::printf("%s%s: nodes %u  %s\n", name, profile.onLinux ? " (linux)" : "", index->count(),
                timingLine(ms).c_str());
    return 0;
}

}  // namespace tamrel::bench
