#include "core/index/IndexWriter.h"

#include <sys/mman.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/scan/CrawlLayout.h"
#include "tests/support/Listings.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

using test::build;
using test::errorOf;
using test::folderListing;

TEST(IndexWriter, CopiedSubtreesReadTheSameAtANewPlace) {
    // old: /r/{a/{b/{c}, d}, e/{f}}
    std::vector<Listing> ls;
    ls.push_back(folderListing(0, {{"a", 1}, {"e", 1}}));
    ls.push_back(folderListing(1, {{"b", 1}, {"d", 0}}));
    ls.push_back(folderListing(2, {{"c", 0}, {"deep", 1}}));
    ls.push_back(folderListing(3, {{"f", 0}}));
    ls.push_back(folderListing(4, {{"g", 0}}));
    ls[0].ents[0].child = 1;
    ls[0].ents[1].child = 3;
    ls[1].ents[0].child = 2;
    ls[2].ents[1].child = 4;
    auto old = build(std::move(ls));
    IndexWriter::markRemoved(*old, *old->lookup("/r/a/b/c"));

    // new: /r/{new, e(copied), a(copied)} with the blocks in another order than before.
    IndexWriter w(old->count() + 1, 64);
    w.add("/r", 1, 0, 0, NONE);
    writeListing(w, folderListing(0, {{"new", 0}, {"e", 1}, {"a", 1}}), 0);
    w.copySubtree(*old, *old->lookup("/r/e"), 2);
    w.copySubtree(*old, *old->lookup("/r/a"), 3);
    auto idx = w.finish("/r");
    test::expectValidTree(*idx);
    EXPECT_EQ(idx->count(), old->count() + 1);
    for (NodeId o = 1; o < old->count(); ++o) {
        const std::string p = old->path(o);
        const auto n = idx->lookup(p);
        ASSERT_TRUE(n) << p;
        EXPECT_EQ(idx->path(*n), p);
        EXPECT_EQ(idx->kind(*n), old->kind(o)) << p;
        EXPECT_EQ(idx->size(*n), old->size(o)) << p;
        EXPECT_EQ(idx->items(*n), old->items(o)) << p;
    }
    EXPECT_TRUE(idx->isRemoved(*idx->lookup("/r/a/b/c")));
    EXPECT_EQ(idx->totalSize(), old->totalSize() + 10);

    // A subtree root without children writes only its child count.
    IndexWriter leaf(4, 16);
    leaf.add("/r", 1, 0, 0, NONE);
    writeListing(leaf, folderListing(0, {{"g", 1}}), 0);
    leaf.copySubtree(*old, *old->lookup("/r/a/b/deep/g"), 1);
    EXPECT_EQ(leaf.next(), 2u);
}

// A region taken again holds what it held: a writer of a reused region writes every byte the
// index and its saved file hold, fresh blocks, copied subtrees and spare capacity alike.
TEST(IndexWriter, ReusedRegionsKeepNothingOfTheirPast) {
    // Entries named `name` + from .. `name` + to - 1, of one kind.
    auto entries = [](const std::string& name, int from, int to, int kind) {
        std::vector<std::pair<std::string, int>> out;
        for (int k = from; k < to; ++k)
            out.emplace_back(name + std::to_string(k), kind);
        return out;
    };
    // 300 folders of 200 files: a region of about 3 MB, as reuse wants large ones.
    auto listings = [&] {
        std::vector<Listing> ls{folderListing(0, entries("folder", 0, 300, 1))};
        for (std::uint32_t d = 0; d < 300; ++d) {
            ls[0].ents[d].child = d + 1;
            ls.push_back(folderListing(d + 1, entries("file", 0, 200, 0)));
        }
        return Crawl(std::move(ls));
    };
    const std::uint64_t cap = 60'400, nameCap = 2'000'000;
    // A region let go of full of other bytes, and the one taken next.
    auto poisoned = [&] {
        MappedRegion region =
            MappedRegion::anonymous(Layout(cap, nameCap).total, MappedRegion::Paging::reused);
        std::memset(region.data(), 0xA5, region.size());
        return region.data();
    };
    auto sameBytes = [&](const DiskIndex& a, const DiskIndex& b) {
        const std::uint64_t from = Layout::headerBytes;  // the header page is the save's
        EXPECT_EQ(a.layout(), b.layout());
        EXPECT_EQ(std::memcmp(a.region().data() + from, b.region().data() + from,
                              a.layout().total - from),
                  0);
    };
    auto fresh = [&](MappedRegion::Paging paging) {
        Crawl crawl = listings();
        IndexWriter w(cap, nameCap, paging);
        w.add("/r", 1, 0, 0, NONE);
        writeCrawl(w, crawl, 0, 0);
        return w.finish("/r");
    };
    const auto zeroed = fresh(MappedRegion::Paging::small);
    std::byte* const taken = poisoned();
    const auto reused = fresh(MappedRegion::Paging::reused);
    EXPECT_EQ(reused->region().data(), taken);
    test::expectValidTree(*reused);
    sameBytes(*zeroed, *reused);

    // A new generation: every other folder copied, the rest listed with one file fewer.
    auto next = [&](MappedRegion::Paging paging) {
        IndexWriter w(cap, nameCap, paging);
        w.add("/r", 1, 0, 0, NONE);
        const auto folders = writeListing(w, folderListing(0, entries("folder", 0, 300, 1)), 0);
        for (std::size_t k = 0; k < folders.size(); ++k) {
            const NodeId old = zeroed->firstChild(0) + static_cast<NodeId>(k);
            if (k % 2 == 0) {
                w.copySubtree(*zeroed, old, folders[k].first);
            } else {
                writeListing(w, folderListing(0, entries("file", 1, 200, 0)), folders[k].first);
            }
        }
        return w.finish("/r");
    };
    const auto clean = next(MappedRegion::Paging::small);
    std::byte* const again = poisoned();
    const auto copied = next(MappedRegion::Paging::reused);
    EXPECT_EQ(copied->region().data(), again);
    test::expectValidTree(*copied);
    sameBytes(*clean, *copied);
}

// Capacity reserved and not used costs no memory: a region mapped afresh reads as zero there
// without being written (a save writes those zeros), so its pages never become resident.
TEST(IndexWriter, SpareCapacityStaysOutOfMemory) {
    IndexWriter w(1'000'000, 64'000'000);
    w.add("/r", 1, 0, 0, NONE);
    writeListing(w, folderListing(0, {{"a", 0}, {"b", 1}}), 0);
    const auto index = w.finish("/r");
    const std::size_t pages = (index->region().size() + 4095) / 4096;
    std::vector<unsigned char> resident(pages);
    ASSERT_EQ(::mincore(index->region().data(), index->region().size(), resident.data()), 0);
    EXPECT_LT(std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; }),
              64)
        << "of " << pages << " pages";
    EXPECT_EQ(index->region().data()[index->layout().offsets[Layout::names] + 100], std::byte{0});
}

TEST(IndexWriter, CapacitiesFailCleanlyInsteadOfWrapping) {
    IndexWriter tiny(0, 0);
    EXPECT_EQ(tiny.layout().cap, 1u);
    EXPECT_EQ(tiny.layout().nameCap, 1u);
    EXPECT_EQ(tiny.layout().offsets[0], 4096u);
    for (std::uint64_t off : tiny.layout().offsets)
        EXPECT_EQ(off % 16, 0u);

    EXPECT_EQ(errorOf([] { IndexWriter w(NONE, 1); }), EOVERFLOW);
    EXPECT_EQ(errorOf([] { IndexWriter w(1, std::uint64_t{1} << 32); }), EOVERFLOW);
    IndexWriter w(2, 4);
    w.add("/r", 1, 0, 0, NONE);
    EXPECT_EQ(errorOf([&] { w.add("toolong", 0, 0, 0, 0); }), EOVERFLOW);
    EXPECT_EQ(errorOf([&] { writeListing(w, folderListing(0, {{"a", 0}, {"b", 0}}), 0); }), EOVERFLOW);
    EXPECT_EQ(errorOf([&] { w.take(2, 0); }), EOVERFLOW);
    EXPECT_EQ(w.next(), 1u) << "a run refused takes nothing";
    // Memory the kernel refuses is an error, not a bad pointer.
    EXPECT_EQ(errorOf([] { MappedRegion::anonymous(std::size_t{1} << 62); }), ENOMEM);
}

}  // namespace
}  // namespace tamrel
