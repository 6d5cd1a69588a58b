#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <utility>
#include <vector>

#include "core/Chunks.h"
#include "core/ComputePool.h"
#include "core/DiskIndex.h"

namespace tamrel {

// A bounded collector of the k largest (node id, size) pairs, in slot order (not sorted).
// Once full, minAt is the lowest slot holding the smallest size; an offer equal to that size is
// rejected, so among equal sizes the ones offered first stay.
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
            minAt = lowestMin();
            return;
        }
        ids.push_back(id);
        sizes.push_back(size);
        if (ids.size() == k) minAt = lowestMin();
    }

private:
    std::size_t lowestMin() const {
        std::size_t at = 0;
        for (std::size_t j = 1; j < sizes.size(); ++j) {
            if (sizes[j] < sizes[at]) at = j;
        }
        return at;
    }
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
    std::vector<TopK> slots(chunks.count, TopK(k));
    std::shared_lock lock(index.lock());
    ComputePool::shared().run(chunks.count, [&](std::size_t c) {
        TopK mine(k);
        for (NodeId i : chunks[c]) body(i, mine);
        slots[c] = std::move(mine);
    });
    return mergeTopK(index, k, slots);
}

}  // namespace tamrel
