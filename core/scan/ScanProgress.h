#pragma once

#include <atomic>
#include <cstdint>

namespace tamrel {

// Live counters of one scan or refresh, and the user's request to stop.
//
// Thread safety: written by the scanning threads, read by the interface; every access is a
// relaxed atomic, so readers see counts that lag slightly. The counters only grow.
class ScanProgress {
public:
    std::atomic<std::int64_t> files{0};   // non-folder entries listed so far
    std::atomic<std::int64_t> dirs{0};    // folders taken from the job stack (not the root)
    std::atomic<std::uint64_t> bytes{0};  // allocated bytes of those entries

    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return cancelled_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> cancelled_{false};
};

}  // namespace tamrel
