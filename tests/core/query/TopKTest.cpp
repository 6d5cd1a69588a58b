#include "core/query/TopK.h"

#include <gtest/gtest.h>

#include "core/base/Chunks.h"

namespace tamrel {
namespace {

TEST(TopK, EqualToTheSmallestIsRejectedAndTheFirstSmallestSlotIsReplaced) {
    TopK top(3);
    top.offer(1, 100);
    top.offer(2, 200);
    EXPECT_FALSE(top.full());
    top.offer(3, 100);
    ASSERT_TRUE(top.full());
    EXPECT_EQ(top.minAt, 0u);
    top.offer(4, 100);
    EXPECT_EQ(top.ids, (std::vector<NodeId>{1, 2, 3}));
    top.offer(5, 101);
    EXPECT_EQ(top.ids, (std::vector<NodeId>{5, 2, 3}));
    EXPECT_EQ(top.minAt, 2u);
    EXPECT_EQ(top.smallest(), 100u);
    EXPECT_EQ(TopK(0).k, 1u);
}

TEST(TopK, KeepsTheSameSlotsAsAScanForTheSmallest) {
    // The rule read literally: once full, minAt is found by scanning every slot.
    std::uint64_t seed = 1;
    for (std::size_t k : {1u, 2u, 3u, 7u, 64u}) {
        TopK top(k);
        std::vector<NodeId> ids;
        std::vector<std::uint64_t> sizes;
        std::size_t minAt = 0;
        auto lowest = [&] {
            std::size_t at = 0;
            for (std::size_t j = 1; j < sizes.size(); ++j) {
                if (sizes[j] < sizes[at]) at = j;
            }
            return at;
        };
        for (NodeId id = 0; id < 5000; ++id) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            const std::uint64_t size = (seed >> 33) % (id < 2500 ? 5 : 400);  // many ties
            top.offer(id, size);
            if (ids.size() < k) {
                ids.push_back(id);
                sizes.push_back(size);
                if (ids.size() == k) minAt = lowest();
            } else if (sizes[minAt] < size) {
                ids[minAt] = id;
                sizes[minAt] = size;
                minAt = lowest();
            }
            ASSERT_EQ(top.ids, ids) << "k " << k << " id " << id;
            ASSERT_EQ(top.sizes, sizes);
            ASSERT_EQ(top.minAt, minAt);
        }
    }
}

TEST(Chunks, SplitLikeTheTableSays) {
    auto check = [](NodeId lo, NodeId n, std::uint32_t length, std::size_t maxChunks,
                    std::size_t count, std::uint32_t chunkLength) {
        const Chunks c = Chunks::split({lo, lo + n}, length, maxChunks);
        EXPECT_EQ(c.count, count) << n;
        EXPECT_EQ(c.length, chunkLength) << n;
        // The chunks tile the range in order.
        NodeId at = lo;
        for (std::size_t k = 0; k < c.count; ++k) {
            EXPECT_EQ(c[k].lo, at);
            EXPECT_LE(c[k].size(), chunkLength);
            at = c[k].hi;
        }
        EXPECT_EQ(at, lo + n) << n;
    };
    check(1, 0, sizePassChunk, sizePassMaxChunks, 1, 0);
    check(1, 19'999, sizePassChunk, sizePassMaxChunks, 1, 19'999);
    check(7, 20'000, sizePassChunk, sizePassMaxChunks, 1, 20'000);
    check(7, 45'000, sizePassChunk, sizePassMaxChunks, 2, 22'500);
    check(3, 1'279'999, sizePassChunk, sizePassMaxChunks, 63, 20'318);
    check(3, 1'280'000, sizePassChunk, sizePassMaxChunks, 64, 20'000);
    check(0, 2'000'000, sizePassChunk, sizePassMaxChunks, 64, 31'250);
    check(1, 16'383, searchChunk, searchMaxChunks, 1, 16'383);
    check(1, 16'384, searchChunk, searchMaxChunks, 1, 16'384);
    check(1, 4'194'303, searchChunk, searchMaxChunks, 255, 16'449);
    check(1, 4'194'304, searchChunk, searchMaxChunks, 256, 16'384);
    // Rounded-up lengths leave the last chunks short or empty.
    check(0, 64 * 20'000 + 1'000'000 + 7, sizePassChunk, sizePassMaxChunks, 64, 35'626);
    // Near the top of the id space the arithmetic must not wrap.
    check(0xFFFF'0000u, 0xFFFEu, searchChunk, searchMaxChunks, 3, 21'845);

    // The folder-name scan: always 64 chunks, one node each below 64 nodes, the rest empty.
    const Chunks few = Chunks::even({5, 15}, 64);
    EXPECT_EQ(few.length, 1u);
    EXPECT_EQ(few[9], (IdRange{14, 15}));
    EXPECT_TRUE(few[10].empty());
    EXPECT_TRUE(few[63].empty());
}

}  // namespace
}  // namespace tamrel
