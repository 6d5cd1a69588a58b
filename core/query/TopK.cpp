#include "core/query/TopK.h"

#include <algorithm>

#include "core/base/LargestFirst.h"

namespace tamrel {

std::vector<NodeId> mergeTopK(const DiskIndex& index, std::size_t k, std::span<const TopK> chunks) {
    TopK merged(k);
    for (const TopK& chunk : chunks) {
        for (NodeId id : chunk.ids)
            merged.offer(id, index.size(id));
    }
    std::vector<std::pair<std::uint64_t, NodeId>> kept;
    kept.reserve(merged.ids.size());
    for (NodeId id : merged.ids) {
        if (!index.isGone(id)) kept.emplace_back(index.size(id), id);
    }
    return largestFirst(std::move(kept));
}

}  // namespace tamrel
