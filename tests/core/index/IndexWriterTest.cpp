#include "core/index/IndexWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <system_error>

#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "tests/support/TempDir.h"
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
    IndexWriter::markRemoved(*old, *old->lookup("/r/a/b/c"));

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
        w.emitFresh(crawl, 0, 0);
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
        const auto folders = w.writeBlock(folderListing(0, entries("folder", 0, 300, 1)), 0);
        for (std::size_t k = 0; k < folders.size(); ++k) {
            const NodeId old = zeroed->firstChild(0) + static_cast<NodeId>(k);
            if (k % 2 == 0) {
                w.copySubtree(*zeroed, old, folders[k].first);
            } else {
                w.writeBlock(folderListing(0, entries("file", 1, 200, 0)), folders[k].first);
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

// The pre-order walk written one block at a time with writeBlock: what emitFresh must equal. A
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
        auto folders = w.writeBlock(*l, node);
        stack.insert(stack.end(), folders.rbegin(), folders.rend());
    }
    return w.finish("/r");
}

std::unique_ptr<DiskIndex> buildByEmit(std::vector<Listing> listings, std::uint32_t top = 0) {
    Crawl crawl(std::move(listings));
    IndexWriter w(crawl.entries + 1, 2 + crawl.nameBytes);
    w.add("/r", 1, 0, 0, NONE);
    w.emitFresh(crawl, top, 0);
    return w.finish("/r");
}

// emitFresh over these listings gives, byte for byte, the region that the block-by-block walk
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

// Links entry k of `from` to listing `to`.
void link(Listing& from, std::size_t k, std::uint32_t to) {
    from.ents[k].child = to;
}

TEST(IndexWriter, AwkwardShapesEqualTheBlockWalk) {
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

TEST(IndexWriter, NamesAreTakenByTheirEntriesOnly) {
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
    EXPECT_EQ(errorOf([&] { small.emitFresh(crawl, 0, 0); }), EOVERFLOW);
    EXPECT_EQ(small.next(), 1u);
    EXPECT_EQ(crawl.find(1)->ents.size(), 1u);

    ls[1].ents[0].nameOff = 7;
    EXPECT_EQ(errorOf([&] { buildByEmit(ls); }), EOVERFLOW);
}

TEST(IndexWriter, ScannedTreeWithHardLinksEqualsTheBlockWalk) {
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
        expectEmitEqualsBlocks(ls);
    }
}

}  // namespace
}  // namespace tamrel
