#include "core/scan/SlabPool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "core/scan/Listing.h"

namespace tamrel {
namespace {

TEST(SlabPool, BlocksOutliveThePoolAndAreFreedFromAnyThread) {
    std::vector<void*> blocks;
    {
        SlabPool pool;
        SlabPool::Cursor cursor(pool);
        SlabPool::Use use(cursor);
        // Enough to fill several slabs, with blocks larger than a slab among them.
        for (std::size_t i = 0; i < 5000; ++i) {
            const std::size_t n = i % 997 == 0 ? 600 * 1024 : 1 + i % 300;
            auto* p = static_cast<unsigned char*>(SlabPool::allocate(n));
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
            std::memset(p, static_cast<int>(i & 0xFF), n);
            blocks.push_back(p);
        }
    }
    // Out of the pool's scope, blocks come from the heap.
    blocks.push_back(SlabPool::allocate(40));
    std::memset(blocks.back(), static_cast<int>((blocks.size() - 1) & 0xFF), 40);
    // Every block kept its bytes while others were carved, and frees from several threads
    // return each slab once (the sanitizer build catches a double unmap or a leak).
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        ASSERT_EQ(*static_cast<unsigned char*>(blocks[i]), static_cast<unsigned char>(i & 0xFF));
    }
    std::vector<std::thread> freeing;
    for (int t = 0; t < 4; ++t) {
        freeing.emplace_back([&, t] {
            for (std::size_t i = t; i < blocks.size(); i += 4)
                SlabPool::free(blocks[i]);
        });
    }
    for (auto& t : freeing)
        t.join();
}

TEST(SlabPool, ListingsGrowAndCopyAfterTheirPoolIsGone) {
    Listing listing;
    {
        SlabPool pool;
        SlabPool::Cursor cursor(pool);
        SlabPool::Use use(cursor);
        listing.names.assign(10, 'a');
        listing.ents.assign(3, RawEnt{});
    }
    listing.names.insert(listing.names.end(), 100000, 'b');
    Listing copy = listing;
    EXPECT_EQ(copy.names.size(), 100010u);
    listing.release();
    EXPECT_TRUE(listing.names.empty());
    EXPECT_EQ(copy.names[5], 'a');
    EXPECT_EQ(copy.names[50], 'b');
}

}  // namespace
}  // namespace tamrel
