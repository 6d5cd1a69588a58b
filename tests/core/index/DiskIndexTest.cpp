#include "core/index/DiskIndex.h"

#include <gtest/gtest.h>

#include "core/index/IndexWriter.h"
#include "core/scan/CrawlLayout.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

Listing listing(std::uint32_t id, std::initializer_list<std::tuple<const char*, int, int>> ents) {
    Listing l;
    l.id = id;
    for (const auto& [name, kind, size] : ents) {
        const std::string_view n = name;
        l.ents.push_back(
            RawEnt{static_cast<std::uint32_t>(l.names.size()), static_cast<std::uint16_t>(n.size()),
                   static_cast<std::uint8_t>(kind), static_cast<std::uint64_t>(size), 0, NONE});
        l.names.insert(l.names.end(), n.begin(), n.end());
    }
    return l;
}

// root
// ├── a/            (listing 1)
// │   ├── big  300
// │   ├── b/        (listing 2)
// │   │   └── c 50
// │   └── .dot 7
// ├── x 100
// └── tie/          (listing 3)
//     ├── p 10
//     ├── q 10
//     └── r 20
// With `changed`, as a later generation might hold it: "new" first at the root, b's "c" gone,
// and p, q and r in another order.
std::unique_ptr<DiskIndex> sample(const std::string& root, bool changed = false) {
    std::vector<Listing> all;
    if (changed) {
        all.push_back(listing(0, {{"new", 0, 1}, {"a", 1, 0}, {"x", 0, 100}, {"tie", 1, 0}}));
        all.push_back(listing(1, {{"big", 0, 300}, {"b", 1, 0}, {".dot", 0, 7}}));
        all.push_back(listing(2, {}));
        all.push_back(listing(3, {{"r", 0, 20}, {"p", 0, 10}, {"q", 0, 10}}));
        all[0].ents[1].child = 1;
        all[0].ents[3].child = 3;
    } else {
        all.push_back(listing(0, {{"a", 1, 0}, {"x", 0, 100}, {"tie", 1, 0}}));
        all.push_back(listing(1, {{"big", 0, 300}, {"b", 1, 0}, {".dot", 0, 7}}));
        all.push_back(listing(2, {{"c", 0, 50}}));
        all.push_back(listing(3, {{"p", 0, 10}, {"q", 0, 10}, {"r", 0, 20}}));
        all[0].ents[0].child = 1;
        all[0].ents[2].child = 3;
    }
    all[1].ents[1].child = 2;
    Crawl crawl(std::move(all));
    IndexWriter w(crawl.entries + 1, root.size() + crawl.nameBytes);
    w.add(root, 1, 0, 0, NONE);
    writeCrawl(w, crawl, 0, 0);
    return w.finish(root);
}

TEST(DiskIndex, LookupAndPathRoundTrip) {
    auto idx = sample("/Volumes/Disk/");
    test::expectValidTree(*idx);
    EXPECT_EQ(idx->path(0), "/Volumes/Disk/");
    EXPECT_EQ(idx->lookup("/Volumes/Disk/"), 0u);
    EXPECT_EQ(idx->lookup("/Volumes/Disk"), 0u);
    for (NodeId i = 0; i < idx->count(); ++i)
        EXPECT_EQ(idx->lookup(idx->path(i)), i);
    const NodeId a = *idx->lookup("/Volumes/Disk/a");
    EXPECT_EQ(idx->path(a), "/Volumes/Disk/a");
    EXPECT_EQ(idx->lookup("/Volumes/Disk//a//b/"), idx->lookup("/Volumes/Disk/a/b"));
    EXPECT_EQ(idx->url(*idx->lookup("/Volumes/Disk/a/b/c")), "file:///Volumes/Disk/a/b/c");
    EXPECT_FALSE(idx->lookup("/Volumes/Disk/A"));
    EXPECT_FALSE(idx->lookup("/Volumes/Disk/a/nope"));
    EXPECT_FALSE(idx->lookup("/Volumes/Disk/x/under-a-file"));
    EXPECT_FALSE(idx->lookup("/Volumes/Diskette/a"));
    EXPECT_FALSE(idx->lookup("/Volumes"));

    // The same node in another generation, by name, wherever it now lies.
    auto later = sample("/Volumes/Disk/", true);
    for (NodeId i = 0; i < idx->count(); ++i) {
        EXPECT_EQ(idx->counterpart(*idx, i), i);
        EXPECT_EQ(later->counterpart(*idx, i), later->lookup(idx->path(i))) << idx->path(i);
    }
    EXPECT_FALSE(later->counterpart(*idx, *idx->lookup("/Volumes/Disk/a/b/c")));

    auto slash = sample("/");
    EXPECT_EQ(slash->path(*slash->lookup("/a/b/c")), "/a/b/c");
    EXPECT_EQ(slash->lookup("/"), 0u);
    auto plain = sample("/Users/an");
    EXPECT_FALSE(plain->lookup("/Users/ann"));
    EXPECT_EQ(plain->lookup("/Users/an/"), 0u);
}

TEST(DiskIndex, TreeQueries) {
    auto idx = sample("/r");
    const NodeId a = *idx->lookup("/r/a"), b = *idx->lookup("/r/a/b"), c = *idx->lookup("/r/a/b/c");
    const NodeId x = *idx->lookup("/r/x");
    EXPECT_EQ(idx->ancestry(c), (std::vector<NodeId>{0, a, b, c}));
    EXPECT_EQ(idx->ancestry(0), std::vector<NodeId>{0});
    EXPECT_FALSE(idx->parentOf(0));
    EXPECT_EQ(idx->parentOf(c), b);
    EXPECT_TRUE(idx->isAncestor(a, c));
    EXPECT_TRUE(idx->isAncestor(0, c));
    EXPECT_FALSE(idx->isAncestor(c, c));
    EXPECT_FALSE(idx->isAncestor(x, c));
    EXPECT_EQ(idx->subtree(x), (IdRange{x + 1, x + 1}));
    EXPECT_TRUE(idx->subtree(c).empty());
    EXPECT_EQ(idx->size(a), 357u);
    EXPECT_EQ(idx->items(a), 3u);
    EXPECT_EQ(idx->totalSize(), 497u);
    EXPECT_TRUE(idx->isHidden(*idx->lookup("/r/a/.dot")));
    EXPECT_FALSE(idx->isHidden(c));

    // Largest first; equal sizes keep listing order.
    const NodeId tie = *idx->lookup("/r/tie");
    std::vector<std::string> order;
    for (NodeId k : idx->sortedChildren(tie))
        order.push_back(idx->name(k));
    EXPECT_EQ(order, (std::vector<std::string>{"r", "p", "q"}));
}

TEST(DiskIndex, MarkRemovedTakesBytesOutOfEveryAncestor) {
    auto idx = sample("/r");
    const NodeId a = *idx->lookup("/r/a"), b = *idx->lookup("/r/a/b");
    const std::uint64_t before = idx->totalSize();
    IndexWriter::markRemoved(*idx, b);
    EXPECT_EQ(idx->totalSize(), before - 50);
    EXPECT_EQ(idx->size(a), 307u);
    EXPECT_EQ(idx->items(0), 6u);
    EXPECT_EQ(idx->size(*idx->lookup("/r/a/b/c")), 0u);
    EXPECT_TRUE(idx->isRemoved(b));
    EXPECT_TRUE(idx->isGone(*idx->lookup("/r/a/b/c")));
    EXPECT_FALSE(idx->isRemoved(*idx->lookup("/r/a/b/c")));
    EXPECT_EQ(idx->lookup("/r/a/b"), b);
    for (NodeId k : idx->sortedChildren(a))
        EXPECT_NE(k, b);
    IndexWriter::markRemoved(*idx, b);  // twice changes nothing
    EXPECT_EQ(idx->totalSize(), before - 50);
    IndexWriter::markRemoved(*idx, a);
    EXPECT_EQ(idx->totalSize(), 100u + 40u);
    test::expectValidTree(*idx);
}

TEST(DiskIndex, NamesThatAreNotUtf8AreRepairedForDisplayOnly) {
    std::vector<Listing> all;
    all.push_back(listing(0, {{"ok\xff\xfe.txt", 0, 1}, {"line\nbreak", 0, 1}}));
    Crawl crawl(std::move(all));
    IndexWriter w(crawl.entries + 1, 2 + crawl.nameBytes);
    w.add("/r", 1, 0, 0, NONE);
    writeCrawl(w, crawl, 0, 0);
    auto idx = w.finish("/r");
    EXPECT_EQ(idx->name(1), "ok\xEF\xBF\xBD\xEF\xBF\xBD.txt");
    EXPECT_EQ(idx->nameBytes(1), "ok\xff\xfe.txt");
    EXPECT_EQ(idx->path(1), "/r/ok\xff\xfe.txt");
    EXPECT_EQ(idx->lookup("/r/line\nbreak"), 2u);
    EXPECT_EQ(idx->url(2), "file:///r/line%0Abreak");
}

}  // namespace
}  // namespace tamrel
