#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace tamrel {

// Memory for the listings of one scanning thread, carved out of mapped slabs. A scan makes two
// blocks per folder; from malloc each costs a free later, from threads other than the one that
// allocated it, and those frees tripled the time the index takes to write (50 ms instead of 18
// for a million entries). Here a free is one atomic decrement, and a slab goes back to the
// kernel the moment its last block is freed, so memory is returned as the index fills.
//
// Thread safety: a pool allocates on the one thread that uses it (through Use); blocks may be
// freed on any thread and may outlive the pool.
class SlabPool {
public:
    SlabPool() = default;
    ~SlabPool();
    SlabPool(const SlabPool&) = delete;
    SlabPool& operator=(const SlabPool&) = delete;

    // While a Use lives, SlabAllocator allocations on this thread come from `pool`.
    class Use {
    public:
        explicit Use(SlabPool& pool);
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

    private:
        SlabPool* previous_;
    };

    // A block of `bytes` aligned to 16, from the pool in use on this thread or else the heap.
    // Throws std::bad_alloc when memory is refused.
    static void* allocate(std::size_t bytes);
    // Frees a block from allocate(), on any thread.
    static void free(void* block) noexcept;

private:
    struct Slab;
    void* carve(std::size_t bytes);
    static void release(Slab* slab) noexcept;

    Slab* current_ = nullptr;
    std::size_t nextSize_ = 64 * 1024;
};

// A stateless standard allocator over SlabPool: containers filled while a SlabPool::Use is in
// scope live in that pool's slabs; all others on the heap.
template <typename T>
struct SlabAllocator {
    using value_type = T;
    SlabAllocator() noexcept = default;
    template <typename U>
    SlabAllocator(const SlabAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(SlabPool::allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t) noexcept { SlabPool::free(p); }
    template <typename U>
    bool operator==(const SlabAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace tamrel
