#include "core/base/ComputePool.h"

#include <gtest/gtest.h>

#include "tests/support/Child.h"

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

// A forked copy of the process has none of the workers, and may have copied the pool's lock and
// conditions in the middle of their use by them: there every chunk runs on the caller, and the
// pool's lock is never taken.
TEST(ComputePool, AForkedChildRunsEveryChunkOnTheCaller) {
    ComputePool& pool = ComputePool::shared();
    if (pool.parallelism() == 1) GTEST_SKIP() << "one processor: the pool has no workers";
    std::atomic<int> warm = 0;
    pool.run(64, [&](std::size_t) { warm.fetch_add(1); });  // the workers have started
    ASSERT_EQ(warm.load(), 64);
    // Workers that are busy when the child is made hold the pool's lock now and then.
    std::atomic<bool> busy = true;
    std::thread caller([&] {
        while (busy) pool.run(256, [](std::size_t) {});
    });
    for (int round = 0; round < 20; ++round) {
        const int status = test::inChild([&]() -> int {
            if (pool.parallelism() != 1) return 3;
            const std::thread::id self = std::this_thread::get_id();
            std::vector<int> hits(1000);
            bool elsewhere = false;
            pool.run(hits.size(), [&](std::size_t i) {
                ++hits[i];
                if (std::this_thread::get_id() != self) elsewhere = true;
            });
            for (int n : hits) {
                if (n != 1) return 1;
            }
            return elsewhere ? 2 : 0;
        });
        ASSERT_EQ(status, 0) << "round " << round;
    }
    busy = false;
    caller.join();
}

}  // namespace
}  // namespace tamrel
