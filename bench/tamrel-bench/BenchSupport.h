#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/scan/ScanThreads.h"

namespace tamrel::bench {

// Reads "FLAG N" from args (removing both), or returns `fallback` when absent or not a number.
long long takeNumber(std::vector<std::string>& args, const std::string& flag, long long fallback);

// Reads "FLAG TEXT" from args (removing both), or returns `fallback`.
std::string takeText(std::vector<std::string>& args, const std::string& flag,
                     const std::string& fallback);

// Sets the size of the compute pool from "--threads N" when given (removing it). Call before
// the first pass.
void takePoolThreads(std::vector<std::string>& args);

// The index the query modes work on: the saved index of `root` when there is one, else a fresh
// scan, which is then saved so the next run loads it. Null, with a message on stderr, when root
// cannot be opened.
std::unique_ptr<DiskIndex> indexForRoot(const std::string& root);

// One untimed warm-up call, then `runs` timed calls: their milliseconds, sorted.
std::vector<double> timeRuns(int runs, const std::function<void()>& body);

// "median 1.234 ms  min 1.100 ms  (21 runs, 8 threads)" for sorted timings.
std::string timingLine(const std::vector<double>& sortedMs);

// Seconds that `f` takes.
template <typename F>
double timed(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v);

// Peak resident memory of this process so far, in bytes.
long long peakResidentBytes();

// Points XDG_DATA_HOME at a new folder under $TMPDIR (or /tmp) for the life of the object, so
// that a benchmark's saved indexes never replace the user's; removes what it made afterwards.
class ScratchDataHome {
public:
    ScratchDataHome();
    ~ScratchDataHome();
    ScratchDataHome(const ScratchDataHome&) = delete;
    ScratchDataHome& operator=(const ScratchDataHome&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace tamrel::bench
