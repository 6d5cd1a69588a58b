#include "core/base/ComputePool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tamrel {
namespace {

TEST(ComputePool, RunsEveryChunkOnceAlsoFromConcurrentCallers) {
    ComputePool pool(3);
    constexpr std::size_t chunks = 1000;
    std::vector<std::thread> callers;
    std::vector<std::vector<std::atomic<int>>> hits(4);
    for (auto& h : hits)
        h = std::vector<std::atomic<int>>(chunks);
    for (int c = 0; c < 4; ++c) {
        callers.emplace_back([&, c] {
            for (int round = 0; round < 20; ++round) {
                pool.run(chunks, [&](std::size_t i) { hits[c][i].fetch_add(1); });
            }
        });
    }
    for (auto& t : callers)
        t.join();
    for (const auto& h : hits) {
        for (const auto& n : h)
            ASSERT_EQ(n.load(), 20);
    }
    // A pool without workers runs everything on the caller.
    ComputePool alone(0);
    std::size_t sum = 0;
    alone.run(10, [&](std::size_t i) { sum += i; });
    EXPECT_EQ(sum, 45u);
}

}  // namespace
}  // namespace tamrel
