#pragma once

#include <algorithm>
#include <thread>

namespace tamrel {

// The number of scanning threads when the caller names none: the hardware threads, at least 4
// (a scanning thread waits on the disk as much as it computes) and at most 16. Thread-safe.
inline int defaultScanThreads() {
    return std::clamp<int>(static_cast<int>(std::thread::hardware_concurrency()), 4, 16);
}

}  // namespace tamrel
