#include "core/Scanner.h"

#include <gtest/gtest.h>

#include "core/DiskIndex.h"
#include "core/ScanProgress.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

TEST(Scanner, ScansASmallTree) {
    test::TempDir dir;
    dir.mkdirs("a/b/c");
    dir.write("a/one", 5000);
    dir.write("a/b/two", 9000);
    dir.write("top", 100);
    ScanProgress progress;
    auto index = DiskIndex::scan(dir.path(), progress, 4);
    test::expectValidTree(*index);
    EXPECT_EQ(index->count(), 7u);
    EXPECT_EQ(index->items(0), 3u);
    const auto two = index->lookup(dir / "a/b/two");
    ASSERT_TRUE(two);
    EXPECT_EQ(index->path(*two), dir / "a/b/two");
    EXPECT_GE(index->size(*two), 9000u);
    EXPECT_EQ(progress.files.load(), 3);
    EXPECT_EQ(progress.dirs.load(), 3);
}

}  // namespace
}  // namespace tamrel
