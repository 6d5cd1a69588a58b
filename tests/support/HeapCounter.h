#pragma once

#include <cstdint>

namespace tamrel::test {

// What the heap holds through operator new, counted by the replacement of the global operators
// new and delete that a test binary gets by calling any of these (the replacement lives in the
// same object file): a measure of what data structures hold, free of the noise of resident
// memory. Every thread's allocations count. Thread-safe.
std::int64_t heapInUse();
// The most heapInUse() has been since the last resetHeapPeak().
std::int64_t heapPeak();
void resetHeapPeak();

}  // namespace tamrel::test
