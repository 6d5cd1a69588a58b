#include "core/query/Breakdown.h"

#include <gtest/gtest.h>

#include "core/index/IndexWriter.h"
#include "tests/support/IndexBuilder.h"
#include "tests/support/Printers.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

TEST(Breakdown, SmallTreesAndEdgeCases) {
    test::IndexBuilder b("/r");
    b.file("/r/a.MP4", 100).file("/r/b.mov", 50).file("/r/README", 10).file("/r/z.mov", 0);
    b.file("/r/empty.zip", 0).entry("/r/l.mov", Kind::link, 70);
    b.file("/r/d.mov/.mov", 5).file("/r/d.mov/x.", 6);
    auto index = b.build();
    using Pairs = std::vector<std::pair<FileKind, std::uint64_t>>;
    EXPECT_EQ(breakdown(*index, 0), (Pairs{{FileKind::video, 150}, {FileKind::other, 21}}));
    EXPECT_EQ(breakdown(*index, *index->lookup("/r/d.mov")), (Pairs{{FileKind::other, 11}}));
    EXPECT_TRUE(breakdown(*index, *index->lookup("/r/a.MP4")).empty());
    IndexWriter::markRemoved(*index, *index->lookup("/r/a.MP4"));
    EXPECT_EQ(breakdown(*index, 0), (Pairs{{FileKind::video, 50}, {FileKind::other, 21}}));

    // Extensions on either side of 8 bytes, cases, non-ASCII that lowercases into ASCII (the
    // Kelvin sign), dots first and last; equal totals in the order of the kinds.
    test::IndexBuilder m;
    m.file("/a.B", 1).file("/c.H", 2).file("/lib.METALLIB", 4).file("/x.SparseBundle", 8);
    m.file("/y.sparsebundles", 16).file("/m.M\xE2\x84\xAAV", 32).file("/.mov", 64);
    m.file("/..mov", 128).file("/notes.", 256).file("/A-long-name.Tar.GZ", 512);
    m.file(
        "/k.\xE2\x84\xAA"
        "EY",
        1024);
    m.file("/z.JP\xC3\x89G", 2048).file("/p.PnG", 3);
    auto mixed = m.build();
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
