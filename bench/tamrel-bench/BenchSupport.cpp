#include "bench/tamrel-bench/BenchSupport.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "core/base/ComputePool.h"
#include "core/saved/SavedIndex.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"

namespace tamrel::bench {

long long takeNumber(std::vector<std::string>& args, const std::string& flag, long long fallback) {
    const std::string text = takeText(args, flag, "");
    if (text.empty()) return fallback;
    char* end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    return *end == '\0' ? n : fallback;
}

std::string takeText(std::vector<std::string>& args, const std::string& flag,
                     const std::string& fallback) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == flag) {
            std::string value = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return value;
        }
    }
    return fallback;
}

void takePoolThreads(std::vector<std::string>& args) {
    const long long threads = takeNumber(args, "--threads", 0);
    if (threads > 0) ::setenv("TAMREL_THREADS", std::to_string(threads).c_str(), 1);
}

std::unique_ptr<DiskIndex> indexForRoot(const std::string& root) {
    if (auto saved = SavedIndex::load(root)) {
        std::fprintf(stderr, "loaded the saved index of %s: %u nodes\n", root.c_str(),
                     saved->count());
        return saved;
    }
    ScanProgress progress;
    auto index = Scanner::scan(root, progress, defaultScanThreads());
    if (index->isDenied(0)) {
        std::fprintf(stderr, "tamrel-bench: cannot open %s\n", root.c_str());
        return nullptr;
    }
    std::fprintf(stderr, "scanned %u nodes in %.3f s\n", index->count(), index->scanTime());
    try {
        SavedIndex::save(*index);
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "not saved: %s\n", e.what());
    }
    return index;
}

std::vector<double> timeRuns(int runs, const std::function<void()>& body) {
    body();
    std::vector<double> ms;
    for (int r = 0; r < std::max(runs, 1); ++r)
        ms.push_back(timed(body) * 1e3);
    std::sort(ms.begin(), ms.end());
    return ms;
}

std::string timingLine(const std::vector<double>& ms) {
    char line[160];
    std::snprintf(line, sizeof line, "median %.3f ms  min %.3f ms  (%zu runs, %d threads)",
                  ms[ms.size() / 2], ms.front(), ms.size(), ComputePool::shared().parallelism());
    return line;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

long long peakResidentBytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<long long>(usage.ru_maxrss) * 1024;
}

ScratchDataHome::ScratchDataHome() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/tamrel-bench-XXXXXX";
    if (::mkdtemp(tmpl.data())) path_ = tmpl;
    ::setenv("XDG_DATA_HOME", path_.c_str(), 1);
}

ScratchDataHome::~ScratchDataHome() {
    if (path_.empty()) return;
    // Only the folder this object made, depth first, links never followed.
    ::nftw(
        path_.c_str(),
        [](const char* p, const struct stat*, int type, struct FTW*) {
            return type == FTW_DP ? ::rmdir(p) : ::unlink(p);
        },
        16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace tamrel::bench
