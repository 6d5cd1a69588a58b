#include <cstdio>

#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "core/index/DiskIndex.h"
#include "core/saved/SavedIndex.h"
#include "core/saved/SavedIndexCheck.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"

namespace tamrel::bench {

int loadMode(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    const int repeat = static_cast<int>(takeNumber(args, "--repeat", 15));
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: tamrel-bench load PATH [--repeat N]\n");
        return 2;
    }
    const std::string& root = args[0];
    ScratchDataHome home;
    {
        ScanProgress progress;
        SavedIndex::save(*Scanner::scan(root, progress, defaultScanThreads()));
    }
    std::vector<double> loads, checks, sums, dates;
    NodeId count = 0;
    for (int k = 0; k < repeat; ++k) {
        std::unique_ptr<DiskIndex> index;
        loads.push_back(timed([&] { index = SavedIndex::load(root); }));
        if (!index) {
            std::fprintf(stderr, "tamrel-bench: the saved index of %s does not load\n",
                         root.c_str());
            return 1;
        }
        count = index->count();
        checks.push_back(timed([&] {
            checkSavedTree(index->region().data(), index->layout(), index->count(), root);
        }));
        bool intact = true;
        sums.push_back(timed([&] { intact = SavedIndex::savedFileIntact(*index); }));
        if (!intact) {
            std::fprintf(stderr, "tamrel-bench: the saved index of %s is not intact\n",
                         root.c_str());
            return 1;
        }
        for (int d = 0; d < 10; ++d)
            dates.push_back(timed([&] { SavedIndex::cachedDate(root); }));
    }
    std::printf(
        "nodes %u  load median %.2f ms (tree check alone %.2f ms)  checksum of the file (in the "
        "background after a load) median %.2f ms  cachedDate median %.1f us  repeat %d\n",
        count, median(loads) * 1e3, median(checks) * 1e3, median(sums) * 1e3,
        median(dates) * 1e6, repeat);
    return 0;
}

}  // namespace tamrel::bench
