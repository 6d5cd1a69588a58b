#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/live/Changes.h"
#include "core/index/DiskIndex.h"
#include "core/scan/ScanProgress.h"
#include "platform/UniqueFd.h"
#include "tests/support/RandomTree.h"
#include "tests/support/SameTree.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

std::unique_ptr<DiskIndex> scanOf(const std::string& root) {
    ScanProgress progress;
    return DiskIndex::scan(root, progress, 4);
}

std::unique_ptr<DiskIndex> refresh(const DiskIndex& index, const Changes& changes,
                                   std::uint64_t oldestPending = 0) {
    ScanProgress progress;
    auto next = index.refreshed(changes, progress, oldestPending);
    test::expectValidTree(*next);
    return next;
}

TEST(Refresh, EqualsAFreshScanAfterRandomChanges) {
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        test::RandomTree tree(seed);
        auto index = scanOf(tree.root());
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(round);
            const Changes changes = tree.change(12);
            auto next = refresh(*index, changes);
            test::expectSameTree(*next, *scanOf(tree.root()), false);
            EXPECT_EQ(next->scannedAt(), index->scannedAt());
            EXPECT_EQ(next->scanTime(), index->scanTime());
            EXPECT_GT(next->eventID(), index->eventID());
            index = std::move(next);
        }
    }
}

// A folder deeper than PATH_MAX is listed again like any other, not taken for unreadable.
TEST(Refresh, FoldersBeyondPathMax) {
    test::TempDir dir;
    const std::string level(200, 'L');
    std::string bottom = dir.path();
    UniqueFd at(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(::mkdirat(at.get(), level.c_str(), 0755), 0);
        at = UniqueFd(::openat(at.get(), level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        bottom += "/" + level;
    }
    ASSERT_GT(bottom.size(), 4096u);
    auto index = scanOf(dir.path());
    ASSERT_EQ(::mkdirat(at.get(), "new", 0755), 0);
    UniqueFd f(::openat(at.get(), "new/file", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_EQ(::write(f.get(), "data", 4), 4);
    auto next = refresh(*index, Changes{{bottom}, {}});
    test::expectSameTree(*next, *scanOf(dir.path()), false);
    auto deep = refresh(*index, Changes{{}, {bottom}});
    test::expectSameTree(*deep, *scanOf(dir.path()), false);
}

TEST(Refresh, ChoosesWhatToListAndScan) {
    test::TempDir dir;
    dir.mkdirs("a/b/c");
    dir.mkdirs("keep/inner");
    dir.mkdirs("doomed/sub");
    dir.write("a/b/c/f", 5000);
    dir.write("keep/inner/g", 5000);
    dir.write("keep/h", 5000);
    dir.write("doomed/sub/x", 5000);
    auto index = scanOf(dir.path());

    // No changes, or only paths outside the root: a copy with a new event id.
    const std::uint64_t before = index->eventID();
    auto copy = refresh(*index, Changes{{"/elsewhere/x", dir.path() + "x"}, {"/elsewhere"}});
    test::expectSameTree(*copy, *index);
    EXPECT_GT(copy->eventID(), before);
    EXPECT_EQ(copy->scannedAt(), index->scannedAt());
    EXPECT_EQ(refresh(*index, Changes{}, 7)->eventID(), 7u) << "a pending change keeps the id back";

    // A path the index does not hold leads to its nearest indexed folder.
    dir.mkdirs("a/new/newer");
    dir.write("a/new/newer/n", 7000);
    auto grown = refresh(*index, Changes{{dir / "a/new/newer"}, {}});
    test::expectSameTree(*grown, *scanOf(dir.path()), false);

    // A folder in dirs that no longer exists, without its parent: denied and empty.
    test::removeTree(dir / "doomed/sub");
    auto denied = refresh(*grown, Changes{{dir / "doomed/sub"}, {}});
    const NodeId sub = *denied->lookup(dir / "doomed/sub");
    EXPECT_TRUE(denied->isDenied(sub));
    EXPECT_EQ(denied->childCount(sub), 0u);
    // Its parent listed again drops it; listing it again once it is back clears the flag.
    auto dropped = refresh(*denied, Changes{{dir / "doomed", dir / "doomed/sub"}, {}});
    EXPECT_FALSE(dropped->lookup(dir / "doomed/sub"));
    dir.mkdirs("doomed/sub");
    EXPECT_FALSE(refresh(*denied, Changes{{dir / "doomed/sub"}, {}})->isDenied(sub));
    // Its parent listed again without it: copied as it was, denied.
    auto sibling = refresh(*denied, Changes{{dir / "doomed"}, {}});
    EXPECT_TRUE(sibling->isDenied(*sibling->lookup(dir / "doomed/sub")));

    // Nested deep paths: only the outer one is scanned; dirs below it are ignored.
    ScanProgress progress;
    auto rescanned = grown->refreshed(Changes{{dir / "a/b/c"}, {dir / "a", dir / "a/b"}}, progress);
    EXPECT_EQ(progress.dirs.load(), 4) << "b, c, new and newer, each once";
    test::expectSameTree(*rescanned, *grown, false);

    // Removed nodes: dropped where a block is rebuilt, kept with size 0 where it is copied.
    grown->markRemoved(*grown->lookup(dir / "a/b/c/f"));
    grown->markRemoved(*grown->lookup(dir / "keep/inner"));
    auto after = refresh(*grown, Changes{{dir / "a/b/c"}, {}});
    const auto f = after->lookup(dir / "a/b/c/f");
    ASSERT_TRUE(f) << "the file is still on disk and its folder was listed again";
    EXPECT_FALSE(after->isRemoved(*f));
    const auto inner = after->lookup(dir / "keep/inner");
    ASSERT_TRUE(inner);
    EXPECT_TRUE(after->isRemoved(*inner));
    EXPECT_EQ(after->size(*inner), 0u);
    auto rebuilt = refresh(*grown, Changes{{dir / "keep/inner/g"}, {}});
    EXPECT_FALSE(rebuilt->lookup(dir / "keep/inner")) << "the block of keep was rebuilt";
    auto relisted = refresh(*grown, Changes{{dir / "keep/h"}, {}});
    const auto back = relisted->lookup(dir / "keep/inner");
    ASSERT_TRUE(back) << "keep was listed again, and inner is still on disk";
    EXPECT_FALSE(relisted->isRemoved(*back));

    // The root in deep: a fresh scan with its own date.
    auto fresh = refresh(*grown, Changes{{}, {dir.path()}});
    EXPECT_GT(fresh->scannedAt(), grown->scannedAt());
    test::expectSameTree(*fresh, *scanOf(dir.path()), false);
}

}  // namespace
}  // namespace tamrel
