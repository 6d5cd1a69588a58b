#include "core/query/Biggest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/index/IndexWriter.h"
#include "core/query/Breakdown.h"
#include "tests/support/GeneratedIndex.h"
#include "tests/support/IndexBuilder.h"
#include "tests/support/Printers.h"
#include "tests/support/Reference.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

TEST(Biggest, SmallTreesAndEdgeCases) {
    test::IndexBuilder b("/r");
    b.file("/r/a/one", 500).file("/r/a/zero", 0).file("/r/a/tie1", 300);
    b.entry("/r/a/l", Kind::link, 9000);
    b.file("/r/two", 800).file("/r/tie2", 300).dir("/r/empty").file("/r/three", 100);
    b.file("/r/gone/big", 5000).file("/r/huge-removed", 10'000);
    auto index = b.build();
    auto id = [&](const char* path) { return *index->lookup(std::string("/r/") + path); };

    EXPECT_TRUE(biggestFiles(*index, 0, 0).empty());
    EXPECT_TRUE(biggestFiles(*index, id("empty"), 200).empty());
    EXPECT_TRUE(biggestFiles(*index, id("two"), 200).empty());

    IndexWriter::markRemoved(*index, id("gone"));
    IndexWriter::markRemoved(*index, id("huge-removed"));
    test::expectValidTree(*index);
    // Zero sizes, links, folders and removed nodes never count; equal sizes in id order.
    const std::vector<NodeId> all = biggestFiles(*index, 0, 200);
    EXPECT_EQ(all,
              (std::vector<NodeId>{id("two"), id("a/one"), id("tie2"), id("a/tie1"), id("three")}));
    EXPECT_LT(id("tie2"), id("a/tie1"));
    EXPECT_EQ(biggestFiles(*index, 0, 2), (std::vector<NodeId>{id("two"), id("a/one")}));
    EXPECT_EQ(biggestFiles(*index, id("a"), 200), (std::vector<NodeId>{id("a/one"), id("a/tie1")}));
}

// Which of equal sizes the pass keeps depends on where its chunks split the range (see the same
// test of the search). With limit 2 a chunk keeps 22: ids b - 1 to b + 21 of size 1, then b + 22
// of size 2, with b the first id of a chunk, give b + 22 and b - 1; one chunk would give b.
TEST(Biggest, ChunkBoundariesDecideAmongEqualSizes) {
    struct Case {
        NodeId n;
        NodeId b;
        NodeId second;
    };
    const Case cases[] = {{33'000, 1 + 16'500, 1 + 16'500},  // one chunk below 40,000
                          {45'000, 1 + 22'500, 22'500},
                          {1'280'000, 1 + 63 * 20'000, 63 * 20'000}};
    for (const auto& [n, b, second] : cases) {
        SCOPED_TRACE(n);
        auto index =
            test::filesAt(n, [b = b](NodeId i) -> std::pair<std::string_view, std::uint64_t> {
                if (i + 1 >= b && i <= b + 21) return {"one", 1};
                if (i == b + 22) return {"two", 2};
                return {"zero", 0};
            });
        test::expectValidTree(*index);
        EXPECT_EQ(biggestFiles(*index, 0, 2), (std::vector<NodeId>{b + 22, second}));
    }
}

// Both passes against plain sequential answers, on a generated tree with folders and files
// removed, from the root and from a folder with many descendants.
void compareWithBruteForce(NodeId rangeNodes, std::uint64_t seed,
                           std::initializer_list<std::size_t> limits) {
    SCOPED_TRACE(rangeNodes);
    auto index = test::generateIndex(rangeNodes + 1, seed);
    ASSERT_EQ(index->subtree(0).size(), rangeNodes);
    NodeId busiest = 0;
    for (NodeId i : index->children(0)) {
        if (busiest == 0 || index->subtree(i).size() > index->subtree(busiest).size()) busiest = i;
    }
    int removedDirs = 0;
    int removedFiles = 0;
    for (NodeId i = 1; i < index->count() && (removedDirs < 12 || removedFiles < 40); i += 997) {
        const NodeId at = static_cast<NodeId>(1 + test::mix(seed + i) % (index->count() - 1));
        if (at == busiest) continue;
        if (index->isDir(at) && removedDirs < 12) {
            IndexWriter::markRemoved(*index, at);
            ++removedDirs;
        } else if (index->isFile(at) && index->size(at) > 0 && removedFiles < 40) {
            IndexWriter::markRemoved(*index, at);
            ++removedFiles;
        }
    }
    test::expectValidTree(*index);

    for (NodeId under : {NodeId{0}, busiest}) {
        const IdRange range = index->subtree(under);
        auto accept = [&](NodeId i) { return index->isFile(i) && index->size(i) > 0; };
        for (std::size_t limit : limits) {
            std::vector<NodeId> expected =
                test::referenceTopK(*index, limit + 20, range, 20'000, 64, accept);
            if (expected.size() > limit) expected.resize(limit);
            const std::vector<NodeId> got = biggestFiles(*index, under, limit);
            ASSERT_EQ(got, expected) << "under " << under << " limit " << limit;
            std::vector<std::uint64_t> sizes;
            for (NodeId i : got)
                sizes.push_back(index->size(i));
            // Whatever the chunking, the sizes are the largest there are.
            ASSERT_EQ(sizes, test::largestSizes(*index, range, limit, accept));
        }

        const auto got = breakdown(*index, under);
        const std::map<FileKind, std::uint64_t> gotSums(got.begin(), got.end());
        ASSERT_EQ(gotSums, test::plainBreakdown(*index, range));
        for (std::size_t j = 1; j < got.size(); ++j)
            ASSERT_GE(got[j - 1].second, got[j].second);
    }
}

TEST(SizePasses, MatchBruteForceAroundChunkLimits) {
    compareWithBruteForce(19'999, 1, {0, 7, 200});
    compareWithBruteForce(20'000, 2, {0, 7, 200});
    compareWithBruteForce(45'000, 3, {7, 200});
}

TEST(SizePasses, MatchBruteForceAtSixtyFourChunks) {
    compareWithBruteForce(1'280'000, 4, {200});
}

}  // namespace
}  // namespace tamrel
