#include "core/scan/CrawlLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <set>

#include "core/index/IndexWriter.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

using test::build;
using test::errorOf;
using test::folderListing;
using test::link;

TEST(CrawlLayout, EmptyDeniedAndMissingListings) {
    auto empty = build({folderListing(0, {})});
    test::expectValidTree(*empty);
    EXPECT_EQ(empty->count(), 1u);
    EXPECT_EQ(empty->subtreeEnd(0), 1u);
    EXPECT_EQ(empty->size(0), 0u);

    // "d" is denied, "m" never got a listing (a cancelled scan), "n" points at a listing that
    // is not in the crawl.
    std::vector<Listing> ls;
    ls.push_back(folderListing(0, {{"d", 1}, {"m", 1}, {"n", 1}, {"f", 0}}));
    ls[0].ents[0].child = 1;
    ls[0].ents[2].child = 77;
    ls.push_back(folderListing(1, {}, true));
    auto idx = build(std::move(ls));
    test::expectValidTree(*idx);
    EXPECT_TRUE(idx->isDenied(*idx->lookup("/r/d")));
    for (const char* p : {"/r/m", "/r/n"}) {
        const NodeId id = *idx->lookup(p);
        EXPECT_FALSE(idx->isDenied(id));
        EXPECT_EQ(idx->childCount(id), 0u);
        EXPECT_EQ(idx->size(id), 0u);
    }
}

TEST(CrawlLayout, EmitsAVeryDeepChainWithoutRecursion) {
    constexpr std::uint32_t depth = 200000;
    std::vector<Listing> ls;
    ls.reserve(depth);
    for (std::uint32_t i = 0; i < depth; ++i) {
        ls.push_back(folderListing(i, {{"d", 1}, {"f", 0}}));
        ls.back().ents[0].child = i + 1 < depth ? i + 1 : NONE;
    }
    auto idx = build(std::move(ls));
    test::expectValidTree(*idx);
    EXPECT_EQ(idx->count(), 2 * depth + 1);
    EXPECT_EQ(idx->items(0), depth);
}

// The pre-order walk written one block at a time with writeListing: what writeCrawl must equal. A
// listing linked twice is written at its first link only.
std::unique_ptr<DiskIndex> buildByBlocks(const Crawl& crawl, std::uint32_t top = 0) {
    IndexWriter w(crawl.entries + 1, 2 + crawl.nameBytes);
    w.add("/r", 1, 0, 0, NONE);
    std::set<const Listing*> written;
    std::vector<std::pair<NodeId, std::uint32_t>> stack{{0, top}};
    while (!stack.empty()) {
        const auto [node, id] = stack.back();
        stack.pop_back();
        const Listing* l = id == NONE ? nullptr : crawl.find(id);
        if (!l || !written.insert(l).second) continue;
        auto folders = writeListing(w, *l, node);
        stack.insert(stack.end(), folders.rbegin(), folders.rend());
    }
    return w.finish("/r");
}

std::unique_ptr<DiskIndex> buildByEmit(std::vector<Listing> listings, std::uint32_t top = 0) {
    Crawl crawl(std::move(listings));
    IndexWriter w(crawl.entries + 1, 2 + crawl.nameBytes);
    w.add("/r", 1, 0, 0, NONE);
    writeCrawl(w, crawl, top, 0);
    return w.finish("/r");
}

// writeCrawl over these listings gives, byte for byte, the region that the block-by-block walk
// gives (both regions have the same layout, so slack and header bytes are compared too).
void expectEmitEqualsBlocks(const std::vector<Listing>& listings, std::uint32_t top = 0) {
    auto expected = buildByBlocks(Crawl(listings), top);
    auto got = buildByEmit(listings, top);
    test::expectValidTree(*got);
    ASSERT_EQ(got->count(), expected->count());
    ASSERT_EQ(got->region().size(), expected->region().size());
    const auto* a = reinterpret_cast<const unsigned char*>(got->region().data());
    const auto* b = reinterpret_cast<const unsigned char*>(expected->region().data());
    const auto at = std::mismatch(a, a + got->region().size(), b).first - a;
    EXPECT_EQ(at, static_cast<std::ptrdiff_t>(got->region().size())) << "first differing byte";
}

TEST(CrawlLayout, AwkwardShapesEqualTheBlockWalk) {
    {
        SCOPED_TRACE("empty tree, and a top listing that is not in the crawl");
        expectEmitEqualsBlocks({folderListing(0, {})});
        expectEmitEqualsBlocks({folderListing(0, {{"a", 0}})}, 5);
        expectEmitEqualsBlocks({}, 0);
    }
    {
        SCOPED_TRACE("a 200,000-deep chain, ids downwards and (as no scan makes them) upwards");
        constexpr std::uint32_t depth = 200000;
        std::vector<Listing> down, up;
        for (std::uint32_t i = 0; i < depth; ++i) {
            down.push_back(folderListing(i, {{"f", 0}, {"d", 1}}));
            if (i + 1 < depth) link(down.back(), 1, i + 1);
            const std::uint32_t id = i == 0 ? 0 : depth - i;
            up.push_back(folderListing(id, {{"d", 1}, {"f", 0}}));
            if (i + 1 < depth) link(up.back(), 0, depth - i - 1);
        }
        expectEmitEqualsBlocks(down);
        expectEmitEqualsBlocks(up);
    }
    {
        SCOPED_TRACE("a folder of 50,000 entries, every fourth a folder, some of those denied");
        std::vector<std::pair<std::string, int>> ents;
        for (int k = 0; k < 50000; ++k)
            ents.emplace_back("e" + std::to_string(k), k % 4 == 0 ? 1 : 0);
        std::vector<Listing> ls{folderListing(0, ents)};
        std::uint32_t id = 1;
        for (int k = 0; k < 50000; k += 4) {
            link(ls[0], k, id);
            const bool denied = k % 400 == 0;
            ls.push_back(denied ? folderListing(id++, {}, true)
                                : folderListing(id++, {{"x", 0}, {"y", 2}}));
        }
        expectEmitEqualsBlocks(ls);
    }
    {
        SCOPED_TRACE("listings linked twice, a link back to the top, and a replaced listing");
        std::vector<Listing> ls{folderListing(0, {{"a", 1}, {"b", 1}, {"c", 1}}),
                                folderListing(1, {{"x", 0}, {"up", 1}}),
                                folderListing(2, {{"old", 0}}), folderListing(2, {{"new", 0}}),
                                folderListing(3, {{"same", 1}})};
        link(ls[0], 0, 1);
        link(ls[0], 1, 2);
        link(ls[0], 2, 1);  // linked again from a later entry: stays empty
        link(ls[1], 1, 0);  // back to the top
        link(ls[4], 0, 2);  // from a listing nothing reaches
        expectEmitEqualsBlocks(ls);
        link(ls[0], 2, 3);
        link(ls[4], 0, 1);  // reached again below the first place it was written
        expectEmitEqualsBlocks(ls);
    }
    {
        SCOPED_TRACE("sparse ids, and a subtree written on its own");
        std::vector<Listing> ls{folderListing(0, {{"a", 1}, {"b", 1}}),
                                folderListing(4000000, {{"x", 1}}), folderListing(90, {{"y", 0}}),
                                folderListing(91, {{"z", 0}})};
        link(ls[0], 0, 4000000);
        link(ls[0], 1, 90);
        link(ls[1], 0, 91);
        expectEmitEqualsBlocks(ls);
        expectEmitEqualsBlocks(ls, 4000000);
        ls[1].id = 5;
        link(ls[0], 0, 5);
        expectEmitEqualsBlocks(ls, 5);
    }
}

TEST(CrawlLayout, NamesAreTakenByTheirEntriesOnly) {
    // Bytes of a listing's names that no entry uses never reach the index, and a name outside
    // its listing's names is an error on the calling thread, not a read past the end.
    std::vector<Listing> ls{folderListing(0, {{"a", 1}, {"unused", 0}, {"b", 0}}),
                            folderListing(1, {{"x", 0}})};
    link(ls[0], 0, 1);
    ls[0].ents.erase(ls[0].ents.begin() + 1);
    expectEmitEqualsBlocks(ls);
    auto idx = buildByEmit(ls);
    EXPECT_TRUE(idx->lookup("/r/a/x"));
    EXPECT_TRUE(idx->lookup("/r/b"));
    EXPECT_EQ(idx->nameOff(idx->count()), 2u + 3u);

    // A subtree that does not fit is refused before anything is written.
    Crawl crawl(ls);
    IndexWriter small(crawl.entries, 2 + crawl.nameBytes);
    small.add("/r", 1, 0, 0, NONE);
    EXPECT_EQ(errorOf([&] { writeCrawl(small, crawl, 0, 0); }), EOVERFLOW);
    EXPECT_EQ(small.next(), 1u);
    EXPECT_EQ(crawl.find(1)->ents.size(), 1u);

    ls[1].ents[0].nameOff = 7;
    EXPECT_EQ(errorOf([&] { buildByEmit(ls); }), EOVERFLOW);
}

TEST(CrawlLayout, ScannedTreeWithHardLinksEqualsTheBlockWalk) {
    test::TempDir dir;
    dir.mkdirs("a/b/c");
    dir.mkdirs("wide");
    dir.mkdirs("empty");
    dir.write("a/file", 9000);
    dir.hardlink("a/file", "a/b/link");
    dir.hardlink("a/file", "wide/link");
    for (int k = 0; k < 1000; ++k) {
        if (k % 20 == 0) {
            dir.mkdirs("wide/d" + std::to_string(k) + "/inner");
        } else {
            dir.write("wide/f" + std::to_string(k));
        }
    }
    for (int threads : {1, 4}) {
        ScanProgress progress;
        std::vector<Listing> listings = Scanner::crawl(dir.path(), threads, progress);
        expectEmitEqualsBlocks(listings);
    }
}

TEST(CrawlLayout, ParallelEmitEqualsThePreOrderWalk) {
    // Random trees large enough to span many parallel chunks, with denied and missing listings.
    std::uint32_t seed = 12345;
    auto rnd = [&](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    for (int round = 0; round < 3; ++round) {
        std::vector<Listing> ls;
        std::vector<std::uint32_t> open{0};
        std::uint32_t nextID = 1;
        ls.push_back(folderListing(0, {}));
        std::size_t nodes = 0;
        while (nodes < 200000 && !open.empty()) {
            const std::uint32_t at = open[rnd(static_cast<std::uint32_t>(open.size()))];
            const std::uint32_t n = 1 + rnd(round == 2 ? 3 : 40);
            for (std::uint32_t k = 0; k < n; ++k) {
                Listing& l = ls[at];
                const bool folder = rnd(4) == 0;
                const std::string name = (folder ? "d" : "f") + std::to_string(nodes++);
                l.ents.push_back(RawEnt{static_cast<std::uint32_t>(l.names.size()),
                                        static_cast<std::uint16_t>(name.size()),
                                        static_cast<std::uint8_t>(folder ? 1 : 0), rnd(1000), 0,
                                        NONE});
                l.names.insert(l.names.end(), name.begin(), name.end());
                if (folder && rnd(10) != 0) {
                    l.ents.back().child = nextID;
                    const bool denied = rnd(20) == 0;
                    ls.push_back(folderListing(nextID, {}, denied));
                    if (!denied) open.push_back(nextID);
                    ++nextID;
                }
            }
            std::erase(open, at);
        }
        expectEmitEqualsBlocks(ls);
    }
}

}  // namespace
}  // namespace tamrel
