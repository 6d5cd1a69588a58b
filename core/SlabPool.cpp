#include "core/SlabPool.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

namespace tamrel {

// A slab starts with this header; blocks follow, each after 16 bytes that point back to it
// (null for a block on the heap).
struct SlabPool::Slab {
    std::atomic<std::int64_t> live;  // blocks not yet freed, plus one while the pool carves it
    std::size_t size;                // bytes mapped
    std::size_t used;                // bytes carved, header included
};

namespace {

constexpr std::size_t blockHeader = 16;
constexpr std::size_t slabHeader = 64;
// Slabs grow from 64 to 256 KiB: a pool that lists one folder maps little, and a slab is small
// enough to be freed soon after its folders are written (with 1 MiB slabs a million-entry scan
// peaks 3 MB higher) yet few enough that unmapping them costs little (with 64 KiB slabs the
// unmapping doubled the time to write the index).
constexpr std::size_t maxSlab = 256 * 1024;

thread_local SlabPool* inUse = nullptr;

std::size_t roundUp16(std::size_t n) {
    return (n + 15) & ~std::size_t{15};
}

}  // namespace

SlabPool::Use::Use(SlabPool& pool) : previous_(inUse) {
    inUse = &pool;
}

SlabPool::Use::~Use() {
    inUse = previous_;
}

SlabPool::~SlabPool() {
    if (current_) release(current_);
}

void* SlabPool::allocate(std::size_t bytes) {
    if (inUse) return inUse->carve(bytes);
    auto* at = static_cast<std::byte*>(std::malloc(blockHeader + bytes));
    if (!at) throw std::bad_alloc();
    *reinterpret_cast<Slab**>(at) = nullptr;
    return at + blockHeader;
}

void* SlabPool::carve(std::size_t bytes) {
    const std::size_t need = blockHeader + roundUp16(std::max<std::size_t>(bytes, 1));
    if (!current_ || current_->used + need > current_->size) {
        const std::size_t size = std::max(nextSize_, roundUp16(slabHeader + need));
        nextSize_ = std::min(nextSize_ * 2, maxSlab);
        void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        if (current_) release(current_);
        current_ = new (p) Slab{{1}, size, slabHeader};
    }
    std::byte* at = reinterpret_cast<std::byte*>(current_) + current_->used;
    current_->used += need;
    current_->live.fetch_add(1, std::memory_order_relaxed);
    *reinterpret_cast<Slab**>(at) = current_;
    return at + blockHeader;
}

void SlabPool::free(void* block) noexcept {
    if (!block) return;
    std::byte* at = static_cast<std::byte*>(block) - blockHeader;
    Slab* slab = *reinterpret_cast<Slab**>(at);
    if (slab) {
        release(slab);
    } else {
        std::free(at);
    }
}

void SlabPool::release(Slab* slab) noexcept {
    if (slab->live.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    const std::size_t size = slab->size;
    slab->~Slab();
    ::munmap(slab, size);
}

}  // namespace tamrel
