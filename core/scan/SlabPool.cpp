#include "core/scan/SlabPool.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

namespace tamrel {

// A slab starts with this header. Blocks follow in pages, each block after 16 bytes that point
// back to its slab (null for a block on the heap).
struct Slab {
    std::atomic<std::int64_t> live;  // blocks not yet freed, pages held, and the pool's hold
    std::size_t size;                // bytes mapped
    std::size_t used;                // bytes handed out, header included (under the pool lock)
};

namespace {

constexpr std::size_t blockHeader = 16;
constexpr std::size_t slabHeader = 64;
// 256 KiB slabs of 32 KiB pages: a slab is freed soon after its folders are written, yet there
// are few enough that unmapping them costs little (with 64 KiB slabs the unmapping doubled the
// time to write the index). A block larger than half a page gets a mapping of its own.
constexpr std::size_t slabBytes = 256 * 1024;
constexpr std::size_t pageBytes = 32 * 1024;

thread_local SlabPool::Cursor* inUse = nullptr;

std::size_t roundUp16(std::size_t n) {
    return (n + 15) & ~std::size_t{15};
}

Slab* mapSlab(std::size_t size, std::int64_t holds) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return new (p) Slab{{holds}, size, slabHeader};
}

void release(Slab* slab) noexcept {
    if (slab->live.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    const std::size_t size = slab->size;
    slab->~Slab();
    ::munmap(slab, size);
}

void* placeBlock(std::byte* at, Slab* slab) {
    *reinterpret_cast<Slab**>(at) = slab;
    return at + blockHeader;
}

}  // namespace

SlabPool::~SlabPool() {
    if (current_) release(current_);
}

SlabPool::Cursor::~Cursor() {
    if (slab_) release(slab_);
}

SlabPool::Use::Use(Cursor& cursor) : previous_(inUse) {
    inUse = &cursor;
}

SlabPool::Use::~Use() {
    inUse = previous_;
}

std::byte* SlabPool::takePage(Slab*& slab) {
    std::lock_guard lock(mutex_);
    if (!current_ || current_->used + pageBytes > current_->size) {
        if (current_) release(current_);
        current_ = mapSlab(slabBytes, 1);
    }
    std::byte* page = reinterpret_cast<std::byte*>(current_) + current_->used;
    current_->used += pageBytes;
    current_->live.fetch_add(1, std::memory_order_relaxed);
    slab = current_;
    return page;
}

void* SlabPool::Cursor::carve(std::size_t bytes) {
    const std::size_t need = blockHeader + roundUp16(std::max<std::size_t>(bytes, 1));
    if (need > pageBytes / 2) {
        Slab* own = mapSlab(slabHeader + need, 1);
        return placeBlock(reinterpret_cast<std::byte*>(own) + slabHeader, own);
    }
    if (!slab_ || at_ + need > end_) {
        if (slab_) release(slab_);
        at_ = pool_.takePage(slab_);
        end_ = at_ + pageBytes;
    }
    std::byte* at = at_;
    at_ += need;
    slab_->live.fetch_add(1, std::memory_order_relaxed);
    return placeBlock(at, slab_);
}

void* SlabPool::allocate(std::size_t bytes) {
    if (inUse) return inUse->carve(bytes);
    auto* at = static_cast<std::byte*>(std::malloc(blockHeader + bytes));
    if (!at) throw std::bad_alloc();
    return placeBlock(at, nullptr);
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

}  // namespace tamrel
