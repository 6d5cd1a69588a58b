#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <vector>

namespace tamrel::bench {

// The main thread's own CPU time in milliseconds: on a busy machine the wall time also counts
// the time other processes held the cores.
inline double threadMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

inline double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(double(v.size()) * p))];
}

// The median and 95th percentile of the wall times (p50_ms, p95_ms) and, when given, of the
// main thread's CPU times (main_cpu_p50_ms, main_cpu_p95_ms).
inline void report(benchmark::State& state, const std::vector<double>& ms,
                   const std::vector<double>& cpu = {}) {
    if (ms.empty()) return;
    state.counters["p50_ms"] = percentile(ms, 0.5);
    state.counters["p95_ms"] = percentile(ms, 0.95);
    if (!cpu.empty()) {
        state.counters["main_cpu_p50_ms"] = percentile(cpu, 0.5);
        state.counters["main_cpu_p95_ms"] = percentile(cpu, 0.95);
    }
}

}  // namespace tamrel::bench
