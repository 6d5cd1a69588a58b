#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/DiskIndex.h"

namespace tamrel::bench {

// One mode of tamrel-bench: takes the arguments after the mode name, prints its figures on
// stdout and returns the exit status.
using Mode = int (*)(const std::vector<std::string>& args);

int scanMode(const std::vector<std::string>& args);
int planMode(const std::vector<std::string>& args);
int systemDataMode(const std::vector<std::string>& args);
int searchMode(const std::vector<std::string>& args);
int biggestMode(const std::vector<std::string>& args);
int breakdownMode(const std::vector<std::string>& args);
int saveMode(const std::vector<std::string>& args);
int loadMode(const std::vector<std::string>& args);
int refreshMode(const std::vector<std::string>& args);

// Reads "--threads N" from args (removing it), or returns `fallback`.
int takeThreads(std::vector<std::string>& args, int fallback);

// The index the query modes work on: a fresh scan of `root` (a saved index, once indexes can be
// loaded). Null, with a message on stderr, when root cannot be opened.
std::unique_ptr<DiskIndex> indexForRoot(const std::string& root);

// Reads "FLAG N" from args (removing both), or returns `fallback`.
long long takeNumber(std::vector<std::string>& args, const std::string& flag, long long fallback);

// Sets the size of the compute pool from "--threads N" when given. Call before the first pass.
void takePoolThreads(std::vector<std::string>& args);

// One untimed warm-up call, then `runs` timed calls: their milliseconds, sorted.
std::vector<double> timeRuns(int runs, const std::function<void()>& body);

// "median 1.234 ms  min 1.100 ms  (21 runs, 8 threads)" for sorted timings.
std::string timingLine(const std::vector<double>& sortedMs);

// Peak resident memory of this process so far, in bytes.
long long peakResidentBytes();

}  // namespace tamrel::bench
