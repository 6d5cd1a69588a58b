#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <type_traits>

namespace tamrel {

// Memory for the listings of one scan, carved out of mapped slabs. A scan makes two blocks per
// folder; from malloc each costs a free later, from threads other than the one that allocated
// it, and those frees tripled the time the index takes to write (50 ms instead of 18 for a
// million entries). Here a free is one atomic decrement, and a slab goes back to the kernel the
// moment its last block is freed.
//
// The scanning threads take small pages from one shared run of slabs, in the order they need
// them. Folders are listed in about the order the index is written, so a slab's folders are
// written close together and its memory goes back while the index fills: a million-entry scan
// peaks at about 85 MB (with a pool per thread every slab mixed folders from all over the tree
// and the peak was 92 MB).
//
// Thread safety: a Cursor belongs to one thread; the pool's page hand-out is locked; blocks may
// be freed on any thread and may outlive the pool and its cursors.
class SlabPool {
public:
    SlabPool() = default;
    ~SlabPool();
    SlabPool(const SlabPool&) = delete;
    SlabPool& operator=(const SlabPool&) = delete;

    // One thread's page of a pool. Must not outlive the pool.
    class Cursor {
    public:
        explicit Cursor(SlabPool& pool) : pool_(pool) {}
        ~Cursor();
        Cursor(const Cursor&) = delete;
        Cursor& operator=(const Cursor&) = delete;

    private:
        friend class SlabPool;
        void* carve(std::size_t bytes);

        SlabPool& pool_;
        struct Slab* slab_ = nullptr;
        std::byte* at_ = nullptr;
        std::byte* end_ = nullptr;
    };

    // While a Use lives, SlabAllocator allocations on this thread come through `cursor`.
    class Use {
    public:
        explicit Use(Cursor& cursor);
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

    private:
        Cursor* previous_;
    };

    // A block of `bytes` aligned to 16, from the cursor in use on this thread or else the heap.
    // Throws std::bad_alloc when memory is refused.
    static void* allocate(std::size_t bytes);
    // Frees a block from allocate(), on any thread.
    static void free(void* block) noexcept;

private:
    // A page for a cursor; the slab gains one hold, which the cursor gives back.
    std::byte* takePage(struct Slab*& slab);

    std::mutex mutex_;
    struct Slab* current_ = nullptr;
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
