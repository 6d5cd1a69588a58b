#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/index/IndexWriter.h"
#include "core/live/Changes.h"
#include "core/live/Refresher.h"
#include "core/saved/SavedIndex.h"
#include "core/scan/MountPolicy.h"
#include "core/scan/MountRecord.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "core/space/CleanPlan.h"
#include "platform/Spawn.h"
#include "platform/UniqueFd.h"
#include "tests/core/space/CleanTestHelpers.h"
#include "tests/support/Child.h"
#include "tests/support/PrivateMounts.h"
#include "tests/support/RandomTree.h"
#include "tests/support/SameTree.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

std::unique_ptr<DiskIndex> scanOf(const std::string& root) {
    ScanProgress progress;
    return Scanner::scan(root, progress, 4);
}

// A scan on one thread: the links of a file count where they come first in id order, as a
// refresh counts them (a scan on several threads counts whichever it meets first).
std::unique_ptr<DiskIndex> scanInOrder(const std::string& root) {
    ScanProgress progress;
    return Scanner::scan(root, progress, 1);
}

std::unique_ptr<DiskIndex> refresh(const DiskIndex& index, const Changes& changes,
                                   std::uint64_t oldestPending = 0) {
    ScanProgress progress;
    auto next = Refresher::refreshed(index, changes, progress, oldestPending);
    test::expectValidTree(*next);
    return next;
}

// Random churn, each round refreshed from the changes a watcher would report: the result is
// what a fresh scan finds, modification times included (of the folders listed again, of their
// ancestors, and of hard links written through another name). Returns false once a round differs.
// Counts into `shut` the folders that could not be listed and into `linked` the files with several
// links, over all rounds. `linkFlags` as expectSameTree() takes it.
bool churnMatchesScans(unsigned seed, int& shut, int& linked, bool linkFlags) {
    SCOPED_TRACE(seed);
    test::RandomTree tree(seed);
    auto index = scanInOrder(tree.root());
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        const Changes changes = tree.change(15);
        auto next = refresh(*index, changes);
        test::expectSameTree(*next, *scanInOrder(tree.root()), true, linkFlags);
        EXPECT_EQ(next->scannedAt(), index->scannedAt());
        EXPECT_EQ(next->scanTime(), index->scanTime());
        EXPECT_GT(next->eventID(), index->eventID());
        if (testing::Test::HasFailure()) return false;
        index = std::move(next);
        for (NodeId i = 0; i < index->count(); ++i) {
            shut += index->isDenied(i);
            linked += (index->kind(i) & Flag::linked) != 0;
        }
    }
    return true;
}

TEST(Refresher, EqualsAFreshScanAfterRandomChanges) {
    int shut = 0, linked = 0;
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u})
        EXPECT_TRUE(churnMatchesScans(seed, shut, linked, true));
    EXPECT_GT(linked, 0) << "the churn made hard links";
}

// The same as a user for whom folders shut by their modes cannot be listed.
TEST(Refresher, EqualsAFreshScanAfterRandomChangesAsAUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "acts as another user";
    const int status = test::inChild([]() -> int {
        if (!test::becomeNobody()) return 10;
        int shut = 0, linked = 0;
        for (unsigned seed : {11u, 12u, 13u, 14u}) {
            if (!churnMatchesScans(seed, shut, linked, false)) return 20;
        }
        return shut > 0 ? 0 : 21;
    });
    EXPECT_EQ(status, 0);
}

// A file with links in several folders counts once however many of them are listed again.
TEST(Refresher, HardLinksCountOnce) {
    test::TempDir dir;
    dir.mkdirs("a");
    dir.mkdirs("b/inner");
    dir.mkdirs("c");
    dir.mkdirs("d");
    dir.write("a/big", 1 << 20);
    dir.hardlink("a/big", "b/inner/link");
    dir.write("c/solo", 64 * 1024);
    auto index = scanInOrder(dir.path());
    const std::uint64_t total = index->totalSize();

    // One folder of a link listed again: still counted once.
    auto a = refresh(*index, Changes{{dir / "a"}, {}});
    EXPECT_EQ(a->totalSize(), total);
    test::expectSameTree(*a, *scanInOrder(dir.path()), false);
    test::expectSameTree(*refresh(*index, Changes{{dir / "b/inner"}, {}}), *a, false);
    test::expectSameTree(*refresh(*index, Changes{{}, {dir / "b"}}), *a, false);

    // A link made to a file whose folder is not listed again.
    dir.hardlink("c/solo", "d/second");
    auto d = refresh(*a, Changes{{dir / "d"}, {}});
    EXPECT_EQ(d->totalSize(), total);
    EXPECT_TRUE(d->kind(*d->lookup(dir / "c/solo")) & Flag::linked);
    test::expectSameTree(*d, *scanInOrder(dir.path()), false);

    // The link that carried the bytes removed: the other one, in a folder without any change,
    // carries them now, and is a plain file again.
    const NodeId big = *d->lookup(dir / "a/big");
    const std::string carrier = d->size(big) > 0 ? "a/big" : "b/inner/link";
    ASSERT_EQ(::unlink((dir / carrier).c_str()), 0);
    auto gone = refresh(*d, Changes{{test::parentOf(dir / carrier)}, {}});
    EXPECT_EQ(gone->totalSize(), total);
    const std::string other = carrier == "a/big" ? "b/inner/link" : "a/big";
    EXPECT_EQ(gone->kind(*gone->lookup(dir / other)), 0);
    test::expectSameTree(*gone, *scanInOrder(dir.path()), false);

    // Removed by this application: the other link carries the bytes.
    auto marked = scanInOrder(dir.path());
    IndexWriter::markRemoved(*marked, *marked->lookup(dir / "c/solo"));
    auto after = refresh(*marked, Changes{{dir / "d"}, {}});
    EXPECT_EQ(after->size(*after->lookup(dir / "d/second")), 64u * 1024);
}

// A folder's own date is read again where its entry is rebuilt: a folder listed again, one
// rescanned whole, and the ancestors of either, each as a fresh scan finds it.
TEST(Refresher, FolderDatesAreReadAgain) {
    test::TempDir dir;
    dir.mkdirs("src/rust/target/debug");
    dir.mkdirs("src/other/sub");
    dir.write("src/rust/Cargo.toml", 100);
    dir.write("src/rust/target/debug/app", 400'000);
    dir.write("src/other/sub/x", 100);
    const std::int64_t monthAgo = test::nowSeconds() - 30 * 86'400;
    for (const char* d : {"src", "src/rust", "src/rust/target", "src/rust/target/debug",
                          "src/other", "src/other/sub"}) {
        test::setMtime(dir / d, monthAgo);
    }
    auto index = scanOf(dir.path());
    CleanContext context;
    context.home = dir.path();
    auto target = [&](const DiskIndex& at) {
        const auto found = test::findItem(cleanPlan(at, context, 0), at, dir / "src/rust/target");
        return found ? found->item : CleanItem{};
    };
    EXPECT_TRUE(target(*index).on) << "a project left alone for a month";

    struct Case {
        const char* made;  // a file made (or a folder, ending in "/")
        Changes changes;
    };
    const Case cases[] = {
        {"src/rust/main.rs", {{dir / "src/rust"}, {}}},
        {"src/rust/lib.rs", {{dir / "src/rust/lib.rs"}, {}}},  // a file leads to its folder
        {"src/other/sub/deeper/", {{}, {dir / "src/other/sub"}}},
        {"src/other/sub/deeper/y", {{dir / "src/other/sub/deeper"}, {}}},
        {"src/new/", {{dir / "src", dir / "src/new"}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.made);
        const std::string made(c.made);
        if (made.ends_with('/')) {
            dir.mkdirs(made);
        } else {
            dir.write(made, 100);
        }
        auto next = refresh(*index, c.changes);
        test::expectSameTree(*next, *scanOf(dir.path()), true);
        index = std::move(next);
    }
    const CleanItem changed = target(*index);
    EXPECT_FALSE(changed.on);
    EXPECT_EQ(changed.note, "Project changed 0 days ago");
}

// Changes that keep the tree's shape are written into the index itself; any other builds a new
// generation; a folder found as the index has it changes nothing but the event id. Either way
// the result is what a fresh scan finds, dates included.
TEST(Refresher, InPlaceWhereTheShapeStays) {
    test::TempDir dir;
    dir.mkdirs("a/sub");
    dir.mkdirs("b");
    dir.write("a/x.bin", 5000);
    dir.write("a/y.bin", 5000);
    dir.write("a/sub/z.bin", 5000);
    dir.write("b/w.bin", 5000);
    for (const char* d : {"a", "a/sub", "b"})
        test::setMtime(dir / d, test::nowSeconds() - 86'400);
    std::unique_ptr<DiskIndex> index = scanInOrder(dir.path());

    enum class Outcome { patched, rebuilt, same };
    struct Case {
        const char* what;
        std::function<void()> change;
        Changes changes;
        Outcome outcome;
    };
    const Case cases[] = {
        {"a file grows",
         [&] { test::append(dir / "a/x.bin", 9000); },
         {{dir / "a"}, {}},
         Outcome::patched},
        {"a file's date",
         [&] { test::setMtime(dir / "a/y.bin", 1'000'000); },
         {{dir / "a"}, {}},
         Outcome::patched},
        {"nested folders",
         [&] { test::append(dir / "a/sub/z.bin", 70'000); },
         {{dir / "a", dir / "a/sub"}, {}},
         Outcome::patched},
        {"listed again, unchanged", [] {}, {{dir / "a", dir / "a/sub"}, {}}, Outcome::same},
        {"a file made", [&] { dir.write("a/n.bin", 100); }, {{dir / "a"}, {}}, Outcome::rebuilt},
        {"a file deleted",
         [&] { ::unlink((dir / "a/n.bin").c_str()); },
         {{dir / "a"}, {}},
         Outcome::rebuilt},
        {"a folder made", [&] { dir.mkdirs("b/c"); }, {{dir / "b"}, {}}, Outcome::rebuilt},
        {"scanned again, unchanged", [] {}, {{}, {dir / "b"}}, Outcome::same},
        {"the root scanned again, unchanged", [] {}, {{}, {dir.path()}}, Outcome::same},
        {"a file turned folder",
         [&] {
             ::unlink((dir / "b/w.bin").c_str());
             dir.mkdirs("b/w.bin");
         },
         {{dir / "b"}, {}},
         Outcome::rebuilt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        const std::uint64_t before = index->eventID();
        const auto x = index->lookup(dir / "a/x.bin");
        ScanProgress progress;
        bool changed = false;
        auto next = Refresher::refresh(*index, c.changes, progress, 0, &changed);
        EXPECT_EQ(next != nullptr, c.outcome == Outcome::rebuilt);
        EXPECT_EQ(changed, c.outcome != Outcome::same);
        if (next) index = std::move(next);
        test::expectValidTree(*index);
        test::expectSameTree(*index, *scanInOrder(dir.path()), true);
        EXPECT_GT(index->eventID(), before);
        if (c.outcome != Outcome::rebuilt) {
            EXPECT_EQ(index->lookup(dir / "a/x.bin"), x) << "ids stay valid";
        }
    }

    // A node removed by this application and still on disk: its block is rebuilt without it
    // (or listed again with it), never patched around it.
    IndexWriter::markRemoved(*index, *index->lookup(dir / "a/y.bin"));
    ScanProgress progress;
    test::append(dir / "a/x.bin", 4096);
    EXPECT_NE(Refresher::refresh(*index, Changes{{dir / "a"}, {}}, progress), nullptr);
    IndexWriter::markRemoved(*index, *index->lookup(dir / "b"));
    auto rebuilt = Refresher::refresh(*index, Changes{{dir / "a/sub"}, {}}, progress);
    ASSERT_NE(rebuilt, nullptr);
    EXPECT_FALSE(rebuilt->lookup(dir / "b"));
}

// Readers of a generation see it whole while refreshes run: a new generation leaves the one
// it came from as it was, and a change in place waits for the passes holding the lock.
TEST(Refresher, ReadersSeeWholeGenerations) {
    test::TempDir dir;
    dir.mkdirs("busy");
    dir.mkdirs("quiet/inner");
    for (int f = 0; f < 200; ++f)
        dir.write("busy/f" + std::to_string(f), 4096);
    dir.write("quiet/inner/q", 8192);
    // The shown generation, handed over under a lock: libstdc++ 12's atomic shared_ptr lets go
    // of its inner lock relaxed after a load, which ThreadSanitizer rightly reports.
    struct Shown {
        std::mutex lock;
        std::shared_ptr<DiskIndex> index;
        std::shared_ptr<DiskIndex> load() {
            std::lock_guard hold(lock);
            return index;
        }
        void store(std::shared_ptr<DiskIndex> next) {
            std::lock_guard hold(lock);
            index = std::move(next);
        }
    } shown;
    shown.store(scanInOrder(dir.path()));

    std::atomic<bool> stop{false};
    std::atomic<int> passes{0}, torn{0};
    std::thread reader([&] {
        while (!stop || passes < 50) {
            const std::shared_ptr<const DiskIndex> held = shown.load();  // as a search holds it
            std::shared_lock pass(held->lock());
            for (NodeId i = 0; i < held->count(); ++i) {
                if (held->childCount(i) == 0) continue;
                std::uint64_t sum = 0;
                for (NodeId c : held->children(i))
                    sum += held->size(c);
                if (sum != held->size(i)) ++torn;
            }
            ++passes;
        }
    });
    // Each generation replaced, and a scan of the disk as it was when it was current.
    std::vector<std::pair<std::shared_ptr<DiskIndex>, std::unique_ptr<DiskIndex>>> replaced;
    for (int round = 0; round < 40; ++round) {
        const std::shared_ptr<DiskIndex> current = shown.load();
        auto before = scanInOrder(dir.path());
        if (round % 2) {
            test::append(dir / ("busy/f" + std::to_string(round)), 4096 * round);
        } else {
            dir.write("busy/new" + std::to_string(round), 100);
        }
        ScanProgress progress;
        if (auto next = Refresher::refresh(*current, Changes{{dir / "busy"}, {}}, progress)) {
            shown.store(std::move(next));
            replaced.emplace_back(current, std::move(before));
        }
    }
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(replaced.size(), 20u) << "a new generation for each file made, none for a write";
    for (const auto& [generation, asItWas] : replaced)
        test::expectSameTree(*generation, *asItWas, true);
    test::expectSameTree(*shown.load(), *scanInOrder(dir.path()), true);
}

// A folder deeper than PATH_MAX is listed again like any other, not taken for unreadable.
TEST(Refresher, FoldersBeyondPathMax) {
    test::TempDir dir;
    const test::Chain chain = test::makeChain(dir.path(), std::string(200, 'L'), 25);
    const std::string& bottom = chain.path;
    ASSERT_GT(bottom.size(), 4096u);
    auto index = scanOf(dir.path());
    ASSERT_EQ(::mkdirat(chain.fd, "new", 0755), 0);
    UniqueFd f(::openat(chain.fd, "new/file", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_EQ(::write(f.get(), "data", 4), 4);
    auto next = refresh(*index, Changes{{bottom}, {}});
    test::expectSameTree(*next, *scanOf(dir.path()), false);
    auto deep = refresh(*index, Changes{{}, {bottom}});
    test::expectSameTree(*deep, *scanOf(dir.path()), false);
}

// Disks mounted inside a scanned tree and unmounted again, while the index is followed and while
// it is saved and closed: the folders whose mounts changed (changedMounts()) are listed again as
// a scan would meet them, and the index equals a fresh scan after each step, with the mounts it
// holds. A memory disk is not entered; a disk image (where mkfs.ext4 and mount are) is. Root
// only, in a mount namespace of its own.
TEST(Refresher, DisksThatComeAndGoInsideTheTree) {
    const std::string mkfs = "/usr/sbin/mkfs.ext4", mount = "/usr/bin/mount";
    if (::geteuid() != 0 || !test::privateMountsWork()) GTEST_SKIP() << "needs root and mounts";
    test::ScopedDataHome home;
    test::TempDir dir;
    dir.mkdirs("mem");
    dir.mkdirs("usb");
    dir.mkdirs("other");
    dir.write("mem/under", 8192);
    dir.write("usb/under", 4096);
    dir.write("other/x", 100);
    const std::string image = dir / "disk.img";
    dir.write("disk.img", 0);
    const bool disk = ::access(mkfs.c_str(), X_OK) == 0 && ::access(mount.c_str(), X_OK) == 0 &&
                      ::truncate(image.c_str(), 16 << 20) == 0 &&
                      runProgram(mkfs, {"-q", "-F", image}) == 0;
    struct Step {
        const char* what;
        std::function<bool()> change;
        bool closed;         // the index saved before and loaded after
        const char* shown;   // in the index after the step
        const char* hidden;  // not in it
        // Only the folder holding the mount point is listed again (for a change of its own):
        // the listing finds the mount changed by itself.
        bool byParent = false;
    };
    const std::vector<Step> steps = {
        {"a memory disk mounted",
         [&] { return ::mount("tmpfs", (dir / "mem").c_str(), "tmpfs", 0, "size=4m") == 0; },
         false, "mem", "mem/under"},
        {"a disk mounted",
         [&] {
             if (runProgram(mount, {"-o", "loop", image, dir / "usb"}) != 0) return false;
             dir.write("usb/movie.bin", 1 << 20);
             return true;
         },
         false, "usb/movie.bin", "usb/under", true},
        {"the memory disk unmounted", [&] { return ::umount2((dir / "mem").c_str(), 0) == 0; },
         false, "mem/under", "mem/none", true},
        {"the disk unmounted while closed",
         [&] { return ::umount2((dir / "usb").c_str(), 0) == 0; }, true, "usb/under",
         "usb/movie.bin"},
        {"the memory disk mounted while closed",
         [&] { return ::mount("tmpfs", (dir / "mem").c_str(), "tmpfs", 0, "size=4m") == 0; },
         true, "mem", "mem/under"},
    };
    const int status = test::inChild([&]() -> int {
        if (!test::enterPrivateMounts()) return 10;
        ScanProgress progress;
        std::shared_ptr<DiskIndex> index = scanInOrder(dir.path());
        for (std::size_t k = 0; k < steps.size(); ++k) {
            const Step& step = steps[k];
            if (!disk && std::string_view(step.what).find("a disk") == 0) continue;
            if (step.closed) SavedIndex::save(*index);
            if (!step.change()) return 20 + static_cast<int>(k);
            if (step.closed) index = SavedIndex::load(dir.path());
            if (!index) return 40 + static_cast<int>(k);
            Changes changes;
            for (const std::string& p :
                 changedMounts(*index, MountPolicy::parseMounts(MountPolicy::readMountTable())))
                step.byParent ? changes.dirs.insert(test::parentOf(p)) : changes.mounts.insert(p);
            if (changes.isEmpty()) return 60 + static_cast<int>(k);
            std::shared_ptr<DiskIndex> next = Refresher::refreshed(*index, changes, progress);
            const auto fresh = scanInOrder(dir.path());
            test::expectValidTree(*next);
            test::expectSameTree(*next, *fresh, true);
            EXPECT_EQ(next->mounts(), fresh->mounts()) << step.what;
            EXPECT_TRUE(next->lookup(dir / step.shown)) << step.what;
            EXPECT_FALSE(next->lookup(dir / step.hidden)) << step.what;
            if (testing::Test::HasFailure()) {
                std::fprintf(stderr, "after: %s\n", step.what);
                return 80 + static_cast<int>(k);
            }
            index = std::move(next);
        }
        return 0;
    });
    EXPECT_EQ(status, 0);
    if (!disk) GTEST_SKIP() << "no disk image could be made: a memory disk only";
}

TEST(Refresher, ChoosesWhatToListAndScan) {
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
    auto rescanned =
        Refresher::refreshed(*grown, Changes{{dir / "a/b/c"}, {dir / "a", dir / "a/b"}}, progress);
    EXPECT_EQ(progress.dirs.load(), 4) << "b, c, new and newer, each once";
    test::expectSameTree(*rescanned, *grown, false);

    // Removed nodes: dropped where a block is rebuilt, kept with size 0 where it is copied.
    IndexWriter::markRemoved(*grown, *grown->lookup(dir / "a/b/c/f"));
    IndexWriter::markRemoved(*grown, *grown->lookup(dir / "keep/inner"));
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
