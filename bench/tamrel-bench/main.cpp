#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/tamrel-bench/BenchModes.h"

namespace {

struct Entry {
    const char* name;
    tamrel::bench::Mode run;
    const char* usage;
};

constexpr Entry modes[] = {
    {"scan", tamrel::bench::scanMode, "scan PATH [--threads N]"},
    {"plan", tamrel::bench::planMode, "plan ROOT [--home H] [--linux] [--threads N]"},
    {"systemdata", tamrel::bench::systemDataMode,
     "systemdata ROOT [--home H] [--linux] [--threads N]"},
    {"search", tamrel::bench::searchMode,
     "search ROOT QUERY... [--runs N] [--limit N] [--show N] [--threads N]"},
    {"biggest", tamrel::bench::biggestMode,
     "biggest ROOT [--runs N] [--limit N] [--show N] [--threads N]"},
    {"breakdown", tamrel::bench::breakdownMode, "breakdown ROOT [--runs N] [--threads N]"},
    {"save", tamrel::bench::saveMode, "save PATH [--repeat N]"},
    {"load", tamrel::bench::loadMode, "load PATH [--repeat N]"},
    {"refresh", tamrel::bench::refreshMode,
     "refresh PATH [--repeat N]   (writes one file in PATH)"},
#ifdef TAMREL_BENCH_MODEL
    {"model", tamrel::bench::modelMode, "model ROOT [--runs N] [--live no]"},
    {"live", tamrel::bench::liveMode,
     "live ROOT [--writes N] [--seconds S] [--idle S] [--runs N] [--folder NAME] [--fanotify] "
     "[--rewrite] [--fresh]   (writes in ROOT/NAME; --fresh: the model scans ROOT itself)"},
    {"apps", tamrel::bench::appsMode, "apps ROOT [--home H] [--runs N]"},
#endif
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
    for (const Entry& m : modes)
        std::fprintf(stderr, "  tamrel-bench %s\n", m.usage);
    return 2;
}
