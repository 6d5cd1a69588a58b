#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/index/DiskIndex.h"

namespace tamrel {

// How a parallel pass splits a node range of n nodes: n / minLength chunks (one below minLength,
// at most maxChunks), all of length ceil(n / count); trailing chunks may be shorter or empty.
// Each chunk writes only its own slot and slots are merged in chunk order, so a pass's answer
// depends on the chunking but never on the number of threads.
struct Chunks {
    IdRange range;
    std::uint32_t length = 0;
    std::size_t count = 1;

    static constexpr Chunks split(IdRange range, std::uint32_t minLength, std::size_t maxChunks) {
        const std::uint64_t n = range.hi - range.lo;
        return even(range, static_cast<std::size_t>(
                               std::clamp<std::uint64_t>(n / minLength, 1, maxChunks)));
    }

    // Exactly `count` (at least 1) chunks of length ceil(n / count), whatever n.
    static constexpr Chunks even(IdRange range, std::size_t count) {
        const std::uint64_t n = range.hi - range.lo;
        return {range, static_cast<std::uint32_t>((n + count - 1) / count), count};
    }

    // Chunk c: lo + c·length .. min(lo + (c + 1)·length, hi).
    constexpr IdRange operator[](std::size_t c) const {
        const std::uint64_t lo =
            std::min<std::uint64_t>(range.lo + std::uint64_t{length} * c, range.hi);
        const std::uint64_t hi = std::min<std::uint64_t>(lo + length, range.hi);
        return {static_cast<NodeId>(lo), static_cast<NodeId>(hi)};
    }
};

// Biggest files and the breakdown by kind: chunks of 20,000 nodes, at most 64.
inline constexpr std::uint32_t sizePassChunk = 20'000;
inline constexpr std::size_t sizePassMaxChunks = 64;
// Search: chunks of 16,384 nodes, at most 256.
inline constexpr std::uint32_t searchChunk = 16'384;
inline constexpr std::size_t searchMaxChunks = 256;

}  // namespace tamrel
