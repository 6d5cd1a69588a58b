#include "core/query/TopK.h"

#include <algorithm>

namespace tamrel {

std::vector<NodeId> mergeTopK(const DiskIndex& index, std::size_t k, std::span<const TopK> chunks) {
    TopK merged(k);
    for (const TopK& chunk : chunks) {
        for (NodeId id : chunk.ids)
            merged.offer(id, index.size(id));
    }
    // Sizes are read once into keys: the comparator must see the same answer every time.
    std::vector<std::pair<std::uint64_t, NodeId>> kept;
    kept.reserve(merged.ids.size());
    for (NodeId id : merged.ids) {
        if (!index.isGone(id)) kept.emplace_back(index.size(id), id);
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<NodeId> out;
    out.reserve(kept.size());
    for (const auto& entry : kept)
        out.push_back(entry.second);
    return out;
}

}  // namespace tamrel
