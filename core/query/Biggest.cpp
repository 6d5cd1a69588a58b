#include "core/query/Biggest.h"

#include <algorithm>
#include <limits>

#include "core/query/TopK.h"

namespace tamrel {

std::vector<NodeId> biggestFiles(const DiskIndex& index, NodeId under, std::size_t limit) {
    // 20 spare places, so that ids dropped by the removed filter rarely leave the list short.
    const std::size_t k = std::min(limit, std::numeric_limits<std::size_t>::max() - 20) + 20;
    std::vector<NodeId> ids = topK(index, k, index.subtree(under), [&](NodeId i, TopK& top) {
        if (!index.isFile(i)) return;
        const std::uint64_t s = index.size(i);
        if (top.full() ? s > top.smallest() : s > 0) top.offer(i, s);
    });
    if (ids.size() > limit) ids.resize(limit);
    return ids;
}

}  // namespace tamrel
