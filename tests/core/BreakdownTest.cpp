#include "core/Breakdown.h"

#include <gtest/gtest.h>

#include "tests/support/GeneratedIndex.h"
#include "tests/support/Printers.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

using test::dir;
using test::file;
using test::link;

TEST(Breakdown, SmallTreesAndEdgeCases) {
    auto index = test::buildIndex("/r", {file("a.MP4", 100), file("b.mov", 50), file("README", 10),
                                         file("z.mov", 0), file("empty.zip", 0), link("l.mov", 70),
                                         dir("d.mov", {file(".mov", 5), file("x.", 6)})});
    test::expectValidTree(*index);
    using Pairs = std::vector<std::pair<FileKind, std::uint64_t>>;
    EXPECT_EQ(breakdown(*index, 0), (Pairs{{FileKind::video, 150}, {FileKind::other, 21}}));
    EXPECT_EQ(breakdown(*index, *index->lookup("/r/d.mov")), (Pairs{{FileKind::other, 11}}));
    EXPECT_TRUE(breakdown(*index, *index->lookup("/r/a.MP4")).empty());
    index->markRemoved(*index->lookup("/r/a.MP4"));
    EXPECT_EQ(breakdown(*index, 0), (Pairs{{FileKind::video, 50}, {FileKind::other, 21}}));

    // Extensions on either side of 8 bytes, cases, non-ASCII that lowercases into ASCII (the
    // Kelvin sign), dots first and last; equal totals in the order of the kinds.
    auto mixed = test::buildIndex(
        "/", {file("a.B", 1), file("c.H", 2), file("lib.METALLIB", 4), file("x.SparseBundle", 8),
              file("y.sparsebundles", 16), file("m.M\xE2\x84\xAAV", 32), file(".mov", 64),
              file("..mov", 128), file("notes.", 256), file("A-long-name.Tar.GZ", 512),
              file("k.\xE2\x84\xAA"
                   "EY",
                   1024),
              file("z.JP\xC3\x89G", 2048), file("p.PnG", 3)});
    test::expectValidTree(*mixed);
    EXPECT_EQ(breakdown(*mixed, 0), (Pairs{{FileKind::other, 2048 + 256 + 64 + 16 + 1},
                                           {FileKind::document, 1024},
                                           {FileKind::archive, 512},
                                           {FileKind::video, 128 + 32},
                                           {FileKind::diskImage, 8},
                                           {FileKind::app, 4},
                                           {FileKind::image, 3},
                                           {FileKind::code, 2}}));
}

}  // namespace
}  // namespace tamrel
