#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <utility>
#include <vector>

#include "core/base/Chunks.h"
#include "core/base/ComputePool.h"
#include "core/index/DiskIndex.h"

namespace tamrel {

// A bounded collector of the k largest (node id, size) pairs, in slot order (not sorted).
// Once full, minAt is the lowest slot holding the smallest size; an offer equal to that size is
// rejected, so among equal sizes the ones offered first stay. A heap of the slots ordered by
// (size, slot) keeps minAt current in O(log k) per replacement instead of a scan of all k: a
// common word matches hundreds of thousands of names, and each larger one replaces a slot.
struct TopK {
    explicit TopK(std::size_t capacity) : k(capacity < 1 ? 1 : capacity) {
        const std::size_t hint = k < 1024 ? k : 1024;
        ids.reserve(hint);
        sizes.reserve(hint);
    }

    std::size_t k;
    std::vector<NodeId> ids;
    std::vector<std::uint64_t> sizes;
    std::size_t minAt = 0;  // maintained once full; 0 before

    bool full() const { return ids.size() >= k; }
    // The smallest size kept; only meaningful when full().
    std::uint64_t smallest() const { return sizes[minAt]; }

    void offer(NodeId id, std::uint64_t size) {
        if (ids.size() >= k) {
            if (sizes[minAt] >= size) return;
            ids[minAt] = id;
            sizes[minAt] = size;
            siftDown(0);
            minAt = heap_[0];
            return;
        }
        ids.push_back(id);
        sizes.push_back(size);
        if (ids.size() == k) {
            // Full: k is at most the number of nodes, so slots fit 32 bits.
            heap_.resize(k);
            for (std::size_t j = 0; j < k; ++j)
                heap_[j] = static_cast<std::uint32_t>(j);
            for (std::size_t j = k / 2; j-- > 0;)
                siftDown(j);
            minAt = heap_[0];
        }
    }

private:
    bool before(std::uint32_t a, std::uint32_t b) const {
        return sizes[a] < sizes[b] || (sizes[a] == sizes[b] && a < b);
    }

    void siftDown(std::size_t at) {
        const std::size_t n = heap_.size();
        const std::uint32_t slot = heap_[at];
        for (;;) {
            std::size_t child = 2 * at + 1;
            if (child >= n) break;
            if (child + 1 < n && before(heap_[child + 1], heap_[child])) ++child;
            if (!before(heap_[child], slot)) break;
            heap_[at] = heap_[child];
            at = child;
        }
        heap_[at] = slot;
    }

    std::vector<std::uint32_t> heap_;  // slots as a binary min-heap by (size, slot), once full
};

// The merge of a top-k pass: feeds one collector of capacity k with every chunk's ids, chunk 0
// first and each in slot order, taking sizes from the index; drops ids that are gone (removed
// or below a removed folder); sorts the rest stably by size, largest first. The caller holds
// index.lock() (shared or exclusive) so that sizes and flags cannot change half-way.
std::vector<NodeId> mergeTopK(const DiskIndex& index, std::size_t k, std::span<const TopK> chunks);

// The k largest of a node range as chosen by `body`: the range is split into size-pass chunks
// that run on the shared compute pool, chunk by chunk in ascending id order calling
// body(id, collector) with that chunk's own collector; then mergeTopK(). Holds index.lock()
// shared for the whole pass including the merge, so no removal lands half-way. `body` is called
// from several threads at once and must only touch the collector it is given.
template <typename Body>
std::vector<NodeId> topK(const DiskIndex& index, std::size_t k, IdRange range, Body&& body) {
    const Chunks chunks = Chunks::split(range, sizePassChunk, sizePassMaxChunks);
    std::vector<TopK> slots(chunks.count, TopK(1));  // each chunk stores its own collector here
    std::shared_lock lock(index.lock());
    ComputePool::shared().run(chunks.count, [&](std::size_t c) {
        TopK mine(k);
        for (NodeId i : chunks[c])
            body(i, mine);
        slots[c] = std::move(mine);
    });
    return mergeTopK(index, k, slots);
}

}  // namespace tamrel
