#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>

#include "core/Changes.h"
#include "core/DiskIndex.h"
#include "core/ScanProgress.h"
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

std::string parentOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

void append(const std::string& path, std::size_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::string data(bytes, 'y');
    ASSERT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    ::close(fd);
}

// A random tree on disk changed at random, with the Changes a watcher would report: the folder
// of every entry created, deleted, renamed or written.
class RandomTree {
public:
    explicit RandomTree(unsigned seed) : rng_(seed) {
        folders_.push_back(dir_.path());
        for (int k = 0; k < 25; ++k) newFolder(pick(folders_));
        for (int k = 0; k < 120; ++k) newFile(pick(folders_));
    }

    const std::string& root() const { return dir_.path(); }

    Changes change(int steps) {
        Changes changes;
        for (int k = 0; k < steps; ++k) {
            switch (rng_() % 7) {
                case 0: changes.dirs.insert(newFile(pick(folders_))); break;
                case 1: {
                    if (files_.empty()) break;
                    const std::string f = take(files_);
                    ::unlink(f.c_str());
                    changes.dirs.insert(parentOf(f));
                    break;
                }
                case 2: {
                    if (files_.empty()) break;
                    const std::string f = take(files_);
                    const std::string to = pick(folders_) + "/moved" + std::to_string(next_++);
                    ::rename(f.c_str(), to.c_str());
                    files_.push_back(to);
                    changes.dirs.insert(parentOf(f));
                    changes.dirs.insert(parentOf(to));
                    break;
                }
                case 3: {
                    if (files_.empty()) break;
                    const std::string f = pick(files_);
                    append(f, 4096 * (1 + rng_() % 8));
                    changes.dirs.insert(parentOf(f));
                    break;
                }
                case 4: {
                    const std::string parent = pick(folders_);
                    const std::string made = newFolder(parent);
                    for (int n = 0; n < 4; ++n) newFile(made);
                    newFile(newFolder(made));
                    changes.dirs.insert(parent);
                    break;
                }
                case 5: {
                    const std::string gone = pickBelowRoot();
                    if (gone.empty()) break;
                    test::removeTree(gone);
                    forget(gone, "");
                    changes.dirs.insert(parentOf(gone));
                    break;
                }
                case 6: {
                    const std::string from = pickBelowRoot();
                    if (from.empty()) break;
                    const std::string into = pick(folders_);
                    if (into == from || into.starts_with(from + "/")) break;
                    const std::string to = into + "/renamed" + std::to_string(next_++);
                    EXPECT_EQ(::rename(from.c_str(), to.c_str()), 0);
                    forget(from, to);
                    changes.dirs.insert(parentOf(from));
                    changes.dirs.insert(into);
                    break;
                }
            }
        }
        return changes;
    }

private:
    std::string pick(const std::vector<std::string>& from) { return from[rng_() % from.size()]; }
    std::string take(std::vector<std::string>& from) {
        const std::size_t k = rng_() % from.size();
        std::string out = from[k];
        from.erase(from.begin() + static_cast<std::ptrdiff_t>(k));
        return out;
    }
    std::string pickBelowRoot() {
        if (folders_.size() < 2) return {};
        return folders_[1 + rng_() % (folders_.size() - 1)];
    }
    std::string newFolder(const std::string& parent) {
        const std::string p = parent + "/d" + std::to_string(next_++);
        ::mkdir(p.c_str(), 0755);
        folders_.push_back(p);
        return p;
    }
    std::string newFile(const std::string& parent) {
        const std::string p = parent + "/f" + std::to_string(next_++);
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        const std::string data(1 + rng_() % 20000, 'x');
        if (::write(fd, data.data(), data.size()) < 0) ADD_FAILURE() << "write " << p;
        ::close(fd);
        files_.push_back(p);
        return parent;
    }
    // Renames (or, with `to` empty, drops) every known path at or below `from`.
    void forget(const std::string& from, const std::string& to) {
        for (auto* list : {&folders_, &files_}) {
            std::vector<std::string> kept;
            for (const std::string& p : *list) {
                if (p == from || p.starts_with(from + "/")) {
                    if (!to.empty()) kept.push_back(to + p.substr(from.size()));
                } else {
                    kept.push_back(p);
                }
            }
            *list = std::move(kept);
        }
    }

    test::TempDir dir_;
    std::mt19937 rng_;
    std::vector<std::string> folders_;
    std::vector<std::string> files_;
    int next_ = 0;
};

TEST(Refresh, EqualsAFreshScanAfterRandomChanges) {
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        RandomTree tree(seed);
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
