#include "core/query/Search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "core/index/IndexWriter.h"
#include "core/index/NameMask.h"
#include "core/query/FileKind.h"
#include "tests/support/GeneratedIndex.h"
#include "tests/support/IndexBuilder.h"
#include "tests/support/Reference.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

using Clock = std::chrono::system_clock;

const Clock::time_point now = Clock::from_time_t(1'600'000'000 + 2'000 * 86'400);

std::vector<std::string> names(const DiskIndex& index, const std::vector<NodeId>& ids) {
    std::vector<std::string> out;
    for (NodeId i : ids)
        out.emplace_back(index.nameBytes(i));
    return out;
}

SearchResult find(const DiskIndex& index, std::string_view text, NodeId under = 0,
                  std::size_t limit = 300) {
    return search(index, Query(text, "/r/home", now), under, limit);
}

std::vector<std::string> sortedNames(const DiskIndex& index, std::string_view text) {
    std::vector<std::string> out = names(index, find(index, text).ids);
    std::sort(out.begin(), out.end());
    return out;
}

using Names = std::vector<std::string>;

TEST(Search, TheMatcherRules) {
    test::IndexBuilder b("/r");
    b.file("/r/IMG_1.JPG", 10).file("/r/photo.jpeg", 20).file("/r/.jpg", 30).file("/r/jpg", 40);
    b.file("/r/notes.", 1).file("/r/data.xyz", 2).file("/r/Makefile", 3);
    b.file("/r/Tool.app/Caches", 5).file("/r/Tool.app/cache.db", 6);
    b.file("/r/Tool.app/ChromeCache", 7).entry("/r/folder-link", Kind::link, 0);
    b.file("/r/\xC3\x89t\xC3\xA9.txt", 8).file("/r/old.log", 100, 1'000);
    b.file("/r/new.log", 200, 2'000'000'000).file("/r/Report Final.PDF", 9);
    auto index = b.build();

    EXPECT_EQ(sortedNames(*index, "ext:jpg"), (Names{"IMG_1.JPG"}));
    EXPECT_EQ(sortedNames(*index, "kind:other"), (Names{"data.xyz", "notes."}));
    EXPECT_EQ(sortedNames(*index, "kind:app"), (Names{"Tool.app"}));
    EXPECT_EQ(sortedNames(*index, "ext:app"), (Names{"Tool.app"}));
    EXPECT_EQ(sortedNames(*index, "ext:app type:f"), (Names{}));
    EXPECT_EQ(sortedNames(*index, "type:d"), (Names{"Tool.app"}));
    // Everything but folders, links included.
    EXPECT_EQ(find(*index, "type:f").total, index->count() - 2);
    EXPECT_EQ(sortedNames(*index, "type:f link"), (Names{"folder-link"}));
    EXPECT_EQ(sortedNames(*index, "cache !chrome"), (Names{"Caches", "cache.db"}));
    // Only ASCII letters of names are folded: "É" lowercased by the parser is "é".
    EXPECT_EQ(sortedNames(*index, "\xC3\x89t"), (Names{}));
    EXPECT_EQ(sortedNames(*index, "t\xC3\xA9"), (Names{"\xC3\x89t\xC3\xA9.txt"}));
    EXPECT_EQ(sortedNames(*index, "^img"), (Names{"IMG_1.JPG"}));
    EXPECT_EQ(sortedNames(*index, ".jpg$"), (Names{".jpg", "IMG_1.JPG"}));
    EXPECT_EQ(sortedNames(*index, "'jpg'"), (Names{"jpg"}));
    EXPECT_EQ(sortedNames(*index, "'jpg"), (Names{"jpg"}));
    EXPECT_EQ(sortedNames(*index, "!e !a !o !i"), (Names{".jpg", "jpg", "\xC3\x89t\xC3\xA9.txt"}));
    EXPECT_EQ(sortedNames(*index, "final.pdf report"), (Names{"Report Final.PDF"}));
    EXPECT_EQ(sortedNames(*index, "'report final.pdf'"), (Names{}));
    EXPECT_EQ(sortedNames(*index, "report pdf"), (Names{"Report Final.PDF"}));
    EXPECT_EQ(sortedNames(*index, "kind:doc size:<8"), (Names{"\xC3\x89t\xC3\xA9.txt"}));
    EXPECT_EQ(sortedNames(*index, "kind:doc size:9"), (Names{"Report Final.PDF"}));
    EXPECT_EQ(sortedNames(*index, "log size:100 size:<150"), (Names{"old.log"}));
    EXPECT_EQ(sortedNames(*index, "log mtime:>1d"), (Names{"old.log"}));
    EXPECT_EQ(sortedNames(*index, "log mtime:<1d"), (Names{"new.log"}));
    EXPECT_EQ(sortedNames(*index, "jpg$ size:1e999"), (Names{".jpg", "IMG_1.JPG", "jpg"}));

    // Largest first; a node of size 0 counts and is listed.
    EXPECT_EQ(names(*index, find(*index, "jpg").ids), (Names{"jpg", ".jpg", "IMG_1.JPG"}));
    EXPECT_EQ(names(*index, find(*index, "link").ids), (Names{"folder-link"}));

    // Below a file, nothing; the folder given is searched, not the root.
    const NodeId tool = *index->lookup("/r/Tool.app");
    EXPECT_EQ(find(*index, "a", *index->lookup("/r/notes.")).total, 0u);
    EXPECT_EQ(find(*index, "c", tool).total, 3u);
    EXPECT_EQ(find(*index, "c", tool, 1).ids.size(), 1u);
    EXPECT_EQ(find(*index, "c", tool, 0).ids.size(), 0u);
    EXPECT_EQ(find(*index, "c", tool, 0).total, 3u);
}

TEST(Search, EmptyQueriesAndScopes) {
    test::IndexBuilder b("/r");
    b.file("/r/home/docs/a.txt", 1).file("/r/home/docs/b.txt", 2).file("/r/c.txt", 3);
    auto index = b.build();
    for (const char* text : {"", "   ", "in:~/docs", "in:/nowhere txt", "size:nan"}) {
        const SearchResult r = find(*index, text);
        EXPECT_TRUE(r.ids.empty()) << text;
        EXPECT_EQ(r.total, 0u) << text;
        EXPECT_EQ(r.elapsed, 0.0) << text;
    }
    // The "in:" folder replaces the one passed.
    const NodeId c = *index->lookup("/r/c.txt");
    EXPECT_EQ(names(*index, find(*index, "in:~/docs txt", c).ids), (Names{"b.txt", "a.txt"}));
    EXPECT_EQ(find(*index, "in:/r/home/docs/ txt", c).total, 2u);
    const SearchResult all = find(*index, "txt");
    EXPECT_EQ(all.total, 3u);
    EXPECT_GT(all.elapsed, 0.0);

    // The text form takes the home folder from $HOME.
    const char* saved = std::getenv("HOME");
    const std::string before = saved ? saved : "";
    ::setenv("HOME", "/r/home", 1);
    EXPECT_EQ(search(*index, "in:~/docs a", c, 300).ids,
              (std::vector<NodeId>{*index->lookup("/r/home/docs/a.txt")}));
    if (saved) {
        ::setenv("HOME", before.c_str(), 1);
    } else {
        ::unsetenv("HOME");
    }
}

TEST(Search, LimitsAndRemovedFolders) {
    test::IndexBuilder b("/r");
    for (int j = 0; j < 1000; ++j)
        b.file("/r/many/m" + std::to_string(j), j % 400);
    b.file("/r/trash/m-inside", 50'000).file("/r/m-gone", 60'000);
    auto index = b.build();
    const SearchResult r = find(*index, "^m type:f");
    EXPECT_EQ(r.total, 1002u);
    ASSERT_EQ(r.ids.size(), 300u);
    EXPECT_EQ(index->size(r.ids[0]), 60'000u);
    EXPECT_EQ(index->size(r.ids[1]), 50'000u);
    // Then sizes 399 down to 200 twice each: the 298th of them is 251.
    EXPECT_EQ(index->size(r.ids[299]), 251u);

    IndexWriter::markRemoved(*index, *index->lookup("/r/trash"));
    IndexWriter::markRemoved(*index, *index->lookup("/r/m-gone"));
    test::expectValidTree(*index);
    const SearchResult after = find(*index, "^m type:f");
    // The file inside the removed folder still counts (size 0 now), but is never listed; the
    // removed file itself does not match at all.
    EXPECT_EQ(after.total, 1001u);
    EXPECT_EQ(index->size(after.ids[0]), 399u);
    const NodeId inside = *index->lookup("/r/trash/m-inside");
    const SearchResult few = find(*index, "inside");
    EXPECT_EQ(few.total, 1u);
    EXPECT_TRUE(few.ids.empty());
    EXPECT_EQ(std::count(after.ids.begin(), after.ids.end(), inside), 0);
}

void compareWithBruteForce(const DiskIndex& index, NodeId under,
                           const std::vector<std::string>& queries,
                           std::initializer_list<std::size_t> limits) {
    for (const std::string& text : queries) {
        const Query q(text, "/home/u", now);
        const std::optional<NodeId> scoped = q.scope ? index.lookup(*q.scope) : under;
        ASSERT_TRUE(scoped) << text;
        const IdRange range = index.subtree(*scoped);
        std::vector<bool> match(range.size());
        std::size_t total = 0;
        for (NodeId i : range)
            total += match[i - range.lo] = test::plainMatch(index, q, i);
        for (std::size_t limit : limits) {
            const SearchResult r = search(index, q, under, limit);
            ASSERT_EQ(r.total, total) << text;
            const std::vector<NodeId> expected = test::referenceTopK(
                index, limit, range, 16'384, 256, [&](NodeId i) { return match[i - range.lo]; });
            ASSERT_EQ(r.ids, expected) << text << " limit " << limit;
        }
    }
}

const std::vector<std::string> generatedQueries = {"report",
                                                   "cache !chrome",
                                                   "^img",
                                                   "log$",
                                                   "'readme'",
                                                   "'a.jpg'",
                                                   "ext:jpg,png",
                                                   "ext:app type:f",
                                                   "kind:image",
                                                   "kind:other",
                                                   "kind:code kind:data",
                                                   "type:d",
                                                   "type:f size:>4k",
                                                   "size:<600 mtime:>500d",
                                                   "mtime:<300d x",
                                                   "\xC3\xA9t",
                                                   "tool !a",
                                                   "!a",
                                                   "kind:doc \xE2\x84\xAA",
                                                   "1"};

// Which of equal sizes a pass keeps depends on where its chunks split the range. Four matches:
// ids b - 1, b and b + 1 of size 1 and b + 2 of size 2, with b the first id of a chunk. Split
// there, the two largest are b + 2 and b - 1; one chunk over all four would keep b instead.
TEST(Search, ChunkBoundariesDecideAmongEqualSizes) {
    const std::pair<NodeId, NodeId> cases[] = {{32'768, 1 + 16'384}, {4'194'304, 1 + 255 * 16'384}};
    for (const auto& [n, b] : cases) {
        SCOPED_TRACE(n);
        auto index =
            test::filesAt(n, [b = b](NodeId i) -> std::pair<std::string_view, std::uint64_t> {
                if (i + 1 >= b && i <= b + 1) return {"m", 1};
                if (i == b + 2) return {"m", 2};
                return {"f", 0};
            });
        test::expectValidTree(*index);
        const SearchResult r = find(*index, "'m'", 0, 2);
        EXPECT_EQ(r.total, 4u);
        EXPECT_EQ(r.ids, (std::vector<NodeId>{b + 2, b - 1}));
    }
}

// A query with "in:" the largest folder below the root.
std::string scopedQuery(const DiskIndex& index) {
    NodeId busiest = 0;
    for (NodeId i : index.children(0)) {
        if (index.nameBytes(i).find(' ') != std::string_view::npos) continue;
        if (busiest == 0 || index.subtree(i).size() > index.subtree(busiest).size()) busiest = i;
    }
    return "in:" + index.path(busiest) + " a";
}

TEST(Search, MatchesBruteForceAroundChunkLimits) {
    for (NodeId n : {16'383u, 16'384u, 40'000u}) {
        SCOPED_TRACE(n);
        auto index = test::generateIndex(n + 1, n);
        ASSERT_EQ(index->subtree(0).size(), n);
        test::expectValidTree(*index);
        compareWithBruteForce(*index, 0, generatedQueries, {1, 300});
        compareWithBruteForce(*index, 0, {scopedQuery(*index)}, {300});
        for (NodeId i = 1; i < index->count(); i += 1 + test::mix(i) % 3000)
            IndexWriter::markRemoved(*index, i);
        test::expectValidTree(*index);
        compareWithBruteForce(*index, 0, generatedQueries, {300});
    }
}

TEST(Search, MatchesBruteForceAtTwoHundredFiftySixChunks) {
    auto index = test::generateIndex(4'194'304 + 1, 7);
    ASSERT_EQ(index->subtree(0).size(), 4'194'304u);
    for (NodeId i = 1; i < index->count(); i += 1 + test::mix(i) % 200'000)
        IndexWriter::markRemoved(*index, i);
    test::expectValidTree(*index);
    compareWithBruteForce(*index, 0, {"report"}, {300});
}

}  // namespace
}  // namespace tamrel
