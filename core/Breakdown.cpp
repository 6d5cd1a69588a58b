#include "core/Breakdown.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <shared_mutex>
#include <string_view>

#include "core/Chunks.h"
#include "core/ComputePool.h"
#include "core/NameMask.h"

namespace tamrel {

std::vector<std::pair<FileKind, std::uint64_t>> breakdown(const DiskIndex& index, NodeId under) {
    using Sums = std::array<std::uint64_t, FileKind::caseCount>;
    const Chunks chunks = Chunks::split(index.subtree(under), sizePassChunk, sizePassMaxChunks);
    std::vector<Sums> slots(chunks.count, Sums{});
    std::shared_lock lock(index.lock());
    const std::uint32_t* masks = index.masks().data();
    const std::uint32_t* offsets = index.nameOffsets().data();
    const char* names = reinterpret_cast<const char*>(index.nameData().data());
    ComputePool::shared().run(chunks.count, [&](std::size_t c) {
        Sums sums{};
        for (NodeId i : chunks[c]) {
            if ((index.kind(i) & Flag::kindMask) != static_cast<std::uint8_t>(Kind::file)) continue;
            const std::uint64_t s = index.size(i);
            if (s == 0) continue;
            // A name without a dot has no extension: the mask says so without reading the name.
            FileKind kind = FileKind::other;
            if (masks[i] & NameMask::dot) {
                kind = FileKind::ofName({names + offsets[i], offsets[i + 1] - offsets[i]});
            }
            sums[kind] += s;
        }
        slots[c] = sums;
    });
    Sums total{};
    for (const Sums& sums : slots) {
        for (int k = 0; k < FileKind::caseCount; ++k) total[k] += sums[k];
    }
    std::vector<std::pair<FileKind, std::uint64_t>> out;
    for (FileKind k : FileKind::allCases()) {
        if (total[k] > 0) out.emplace_back(k, total[k]);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return out;
}

}  // namespace tamrel
