#include "core/Breakdown.h"

#include <gtest/gtest.h>

#include "tests/support/IndexBuilder.h"
#include "tests/support/Printers.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

using test::dir;
using test::file;
using test::link;

TEST(Breakdown, SmallTreesAndEdgeCases) {
    auto index = test::buildIndex(
        "/r", {file("a.MP4", 100), file("b.mov", 50), file("README", 10), file("z.mov", 0), file("empty.zip", 0),
               link("l.mov", 70), dir("d.mov", {file(".mov", 5), file("x.", 6)})});
    test::expectValidTree(*index);
    using Pairs = std::vector<std::pair<FileKind, std::uint64_t>>;
    EXPECT_EQ(breakdown(*index, 0), (Pairs{{FileKind::video, 150}, {FileKind::other, 21}}));
    EXPECT_EQ(breakdown(*index, *index->lookup("/r/d.mov")), (Pairs{{FileKind::other, 11}}));
    EXPECT_TRUE(breakdown(*index, *index->lookup("/r/a.MP4")).empty());
    index->markRemoved(*index->lookup("/r/a.MP4"));
    EXPECT_EQ(breakdown(*index, 0), (Pairs{{FileKind::video, 50}, {FileKind::other, 21}}));
}

}  // namespace
}  // namespace tamrel
