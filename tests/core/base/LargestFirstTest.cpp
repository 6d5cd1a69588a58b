#include "core/base/LargestFirst.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace tamrel {
namespace {

TEST(LargestFirstHead, TheHeadIsWhatTheFullOrderPutsThereAndNothingIsLost) {
    // Many equal sizes, so that ties decide much of the order.
    std::mt19937 random(7);
    std::vector<std::pair<std::uint64_t, int>> keyed;
    for (int k = 0; k < 5000; ++k)
        keyed.emplace_back(random() % 60, k);
    const std::vector<int> full = largestFirst(keyed);
    for (std::size_t head : {std::size_t(0), std::size_t(1), std::size_t(90), std::size_t(400),
                             keyed.size() - 1, keyed.size(), keyed.size() + 5}) {
        SCOPED_TRACE(head);
        std::vector<int> part = largestFirstHead(keyed, head);
        ASSERT_EQ(part.size(), full.size());
        const std::size_t n = std::min(head, full.size());
        EXPECT_TRUE(std::equal(full.begin(), full.begin() + std::ptrdiff_t(n), part.begin()));
        std::sort(part.begin(), part.end());
        for (int k = 0; k < int(part.size()); ++k)
            ASSERT_EQ(part[std::size_t(k)], k);
    }
    EXPECT_TRUE(largestFirstHead(std::vector<std::pair<std::uint64_t, int>>{}, 3).empty());
}

}  // namespace
}  // namespace tamrel
