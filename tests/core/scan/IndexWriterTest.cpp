#include "core/scan/IndexWriter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

Listing folderListing(std::uint32_t id, std::vector<std::pair<std::string, int>> ents,
                      bool denied = false) {
    Listing l;
    l.id = id;
    l.denied = denied;
    for (const auto& [name, kind] : ents) {
        l.ents.push_back(RawEnt{static_cast<std::uint32_t>(l.names.size()),
                                static_cast<std::uint16_t>(name.size()),
                                static_cast<std::uint8_t>(kind), kind == 1 ? 0u : 10u, 0, NONE});
        l.names.insert(l.names.end(), name.begin(), name.end());
    }
    return l;
}

std::unique_ptr<DiskIndex> build(std::vector<Listing> listings) {
    Crawl crawl(std::move(listings));
    IndexWriter w(crawl.entries + 1, 2 + crawl.nameBytes);
    w.add("/r", 1, 0, 0, NONE);
    w.emitFresh(crawl, 0, 0);
    return w.finish("/r");
}

int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::system_error& e) {
        return e.code().value();
    }
    return 0;
}

TEST(IndexWriter, EmptyDeniedAndMissingListings) {
    IndexWriter tiny(0, 0);
    EXPECT_EQ(tiny.layout().cap, 1u);
    EXPECT_EQ(tiny.layout().nameCap, 1u);
    EXPECT_EQ(tiny.layout().offsets[0], 4096u);
    for (std::uint64_t off : tiny.layout().offsets)
        EXPECT_EQ(off % 16, 0u);

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
    old->markRemoved(*old->lookup("/r/a/b/c"));

    // new: /r/{new, e(copied), a(copied)} with the blocks in another order than before.
    IndexWriter w(old->count() + 1, 64);
    w.add("/r", 1, 0, 0, NONE);
    w.writeBlock(folderListing(0, {{"new", 0}, {"e", 1}, {"a", 1}}), 0);
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
    leaf.writeBlock(folderListing(0, {{"g", 1}}), 0);
    leaf.copySubtree(*old, *old->lookup("/r/a/b/deep/g"), 1);
    EXPECT_EQ(leaf.next(), 2u);
}

TEST(IndexWriter, CapacitiesFailCleanlyInsteadOfWrapping) {
    EXPECT_EQ(errorOf([] { IndexWriter w(NONE, 1); }), EOVERFLOW);
    EXPECT_EQ(errorOf([] { IndexWriter w(1, std::uint64_t{1} << 32); }), EOVERFLOW);
    IndexWriter w(2, 4);
    w.add("/r", 1, 0, 0, NONE);
    EXPECT_EQ(errorOf([&] { w.add("toolong", 0, 0, 0, 0); }), EOVERFLOW);
    EXPECT_EQ(errorOf([&] { w.writeBlock(folderListing(0, {{"a", 0}, {"b", 0}}), 0); }), EOVERFLOW);
    // Memory the kernel refuses is an error, not a bad pointer.
    EXPECT_EQ(errorOf([] { MappedRegion::anonymous(std::size_t{1} << 62); }), ENOMEM);
}

TEST(IndexWriter, EmitsAVeryDeepChainWithoutRecursion) {
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

}  // namespace
}  // namespace tamrel

namespace tamrel {
namespace {

// The pre-order walk written one block at a time with writeBlock: what emitFresh must equal.
std::unique_ptr<DiskIndex> buildByBlocks(const Crawl& crawl) {
    IndexWriter w(crawl.entries + 1, 2 + crawl.nameBytes);
    w.add("/r", 1, 0, 0, NONE);
    std::vector<std::pair<NodeId, std::uint32_t>> stack{{0, 0}};
    while (!stack.empty()) {
        const auto [node, id] = stack.back();
        stack.pop_back();
        const Listing* l = id == NONE ? nullptr : crawl.find(id);
        if (!l) continue;
        auto folders = w.writeBlock(*l, node);
        stack.insert(stack.end(), folders.rbegin(), folders.rend());
    }
    return w.finish("/r");
}

TEST(IndexWriter, ParallelEmitEqualsThePreOrderWalk) {
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
        Crawl reference(ls);
        auto expected = buildByBlocks(reference);
        Crawl crawl(std::move(ls));
        IndexWriter w(crawl.entries + 1, 2 + crawl.nameBytes);
        w.add("/r", 1, 0, 0, NONE);
        w.emitFresh(crawl, 0, 0);
        auto got = w.finish("/r");
        test::expectValidTree(*got);
        ASSERT_EQ(got->count(), expected->count());
        for (NodeId i = 0; i < got->count(); ++i) {
            ASSERT_EQ(got->nameBytes(i), expected->nameBytes(i)) << i;
            ASSERT_EQ(got->parent(i), expected->parent(i)) << i;
            ASSERT_EQ(got->firstChild(i), expected->firstChild(i)) << i;
            ASSERT_EQ(got->childCount(i), expected->childCount(i)) << i;
            ASSERT_EQ(got->subtreeEnd(i), expected->subtreeEnd(i)) << i;
            ASSERT_EQ(got->kind(i), expected->kind(i)) << i;
            ASSERT_EQ(got->size(i), expected->size(i)) << i;
            ASSERT_EQ(got->items(i), expected->items(i)) << i;
            ASSERT_EQ(got->mask(i), expected->mask(i)) << i;
        }
    }
}

}  // namespace
}  // namespace tamrel
