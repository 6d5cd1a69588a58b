#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/tamrel-bench/BenchModes.h"

namespace tamrel::bench {

int takeThreads(std::vector<std::string>& args, int fallback) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--threads") {
            const int n = std::atoi(args[i + 1].c_str());
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return n > 0 ? n : fallback;
        }
    }
    return fallback;
}

long long peakResidentBytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<long long>(usage.ru_maxrss) * 1024;
}

}  // namespace tamrel::bench

namespace {

struct Entry {
    const char* name;
    tamrel::bench::Mode run;
    const char* usage;
};

constexpr Entry modes[] = {
    {"scan", tamrel::bench::scanMode, "scan PATH [--threads N]"},
    {"plan", tamrel::bench::planMode, "plan ROOT [--home H] [--threads N]"},
    {"systemdata", tamrel::bench::systemDataMode, "systemdata ROOT [--home H] [--threads N]"},
    {"search", tamrel::bench::searchMode,
     "search ROOT QUERY... [--runs N] [--limit N] [--show N] [--threads N]"},
    {"biggest", tamrel::bench::biggestMode,
     "biggest ROOT [--runs N] [--limit N] [--show N] [--threads N]"},
    {"breakdown", tamrel::bench::breakdownMode, "breakdown ROOT [--runs N] [--threads N]"},
    {"save", tamrel::bench::saveMode, "save PATH [--repeat N]"},
    {"load", tamrel::bench::loadMode, "load PATH [--repeat N]"},
    {"refresh", tamrel::bench::refreshMode, "refresh PATH [--repeat N]   (writes one file in PATH)"},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2) {
        for (const Entry& m : modes) {
            if (std::strcmp(argv[1], m.name) == 0) {
                return m.run(std::vector<std::string>(argv + 2, argv + argc));
            }
        }
    }
    std::fprintf(stderr, "usage:\n");
    for (const Entry& m : modes) std::fprintf(stderr, "  tamrel-bench %s\n", m.usage);
    return 2;
}
