#include "tests/support/HeapCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace tamrel::test {

namespace {

std::atomic<std::int64_t> inUse{0};
std::atomic<std::int64_t> peak{0};

void* take(std::size_t bytes) {
    void* p = std::malloc(bytes == 0 ? 1 : bytes);
    if (!p) return nullptr;
    const std::int64_t now = inUse.fetch_add(static_cast<std::int64_t>(::malloc_usable_size(p))) +
                             static_cast<std::int64_t>(::malloc_usable_size(p));
    std::int64_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    return p;
}

void give(void* p) {
    if (!p) return;
    inUse.fetch_sub(static_cast<std::int64_t>(::malloc_usable_size(p)));
    std::free(p);
}

}  // namespace

std::int64_t heapInUse() {
    return inUse.load();
}

std::int64_t heapPeak() {
    return peak.load();
}

void resetHeapPeak() {
    peak.store(inUse.load());
}

}  // namespace tamrel::test

void* operator new(std::size_t bytes) {
    if (void* p = tamrel::test::take(bytes)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) {
    return ::operator new(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return tamrel::test::take(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return tamrel::test::take(bytes);
}
void operator delete(void* p) noexcept {
    tamrel::test::give(p);
}
void operator delete[](void* p) noexcept {
    tamrel::test::give(p);
}
void operator delete(void* p, std::size_t) noexcept {
    tamrel::test::give(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    tamrel::test::give(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    tamrel::test::give(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    tamrel::test::give(p);
}
