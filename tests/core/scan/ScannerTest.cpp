#include "core/scan/Scanner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <thread>

#include "core/index/DiskIndex.h"
#include "core/scan/MountPolicy.h"
#include "core/scan/ScanProgress.h"
#include "platform/UniqueFd.h"
#include "tests/support/Child.h"
#include "tests/support/DescriptorHog.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

// What du counts, walked independently of the scanner: entries below the root, and allocated
// bytes of everything but folders with each hard-linked file once.
struct Totals {
    std::uint64_t entries = 0;
    std::uint64_t bytes = 0;
    std::uint64_t folders = 0;
};

Totals countTree(const std::string& root) {
    Totals t;
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<DIR*> stack;
    if (DIR* d = ::opendir(root.c_str())) stack.push_back(d);
    while (!stack.empty()) {
        DIR* top = stack.back();
        const dirent* e = ::readdir(top);
        if (!e) {
            ::closedir(top);
            stack.pop_back();
            continue;
        }
        const std::string_view n = e->d_name;
        if (n == "." || n == "..") continue;
        struct stat st {};
        if (::fstatat(::dirfd(top), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        ++t.entries;
        if (S_ISDIR(st.st_mode)) {
            ++t.folders;
            const int fd = ::openat(::dirfd(top), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (fd >= 0) stack.push_back(::fdopendir(fd));
        } else if (st.st_nlink < 2 || seen.insert({st.st_dev, st.st_ino}).second) {
            t.bytes += static_cast<std::uint64_t>(st.st_blocks) * 512;
        }
    }
    return t;
}

void expectRoundTrips(const DiskIndex& index, NodeId step = 1) {
    for (NodeId i = 0; i < index.count(); i += step) {
        const std::string p = index.path(i);
        ASSERT_EQ(index.lookup(p), i) << p;
    }
}

TEST(Scanner, CountsWhatDuCountsAcrossStrangeEntries) {
    test::TempDir dir;
    dir.mkdirs("a/b");
    dir.mkdirs("c");
    dir.write("a/file", 40000);
    dir.hardlink("a/file", "c/link");
    dir.hardlink("a/file", "a/b/link2");
    dir.write("a/b/small", 100);
    dir.symlink("../a", "c/to-folder");
    dir.symlink("nowhere", "c/dangling");
    ASSERT_EQ(::mkfifo((dir / "c/fifo").c_str(), 0644), 0);
    {
        UniqueFd s(::socket(AF_UNIX, SOCK_STREAM, 0));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string p = dir / "c/sock";
        ASSERT_LT(p.size(), sizeof(addr.sun_path));
        std::memcpy(addr.sun_path, p.c_str(), p.size() + 1);
        ASSERT_EQ(::bind(s.get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    }
    dir.write("bad\xff\xfe-name", 10);
    dir.write("new\nline", 10);
    dir.write("-rf", 10);
    dir.write(".hidden", 10);
    dir.write("old", 10);
    const timespec before1970[2] = {{-100, 0}, {-100, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "old").c_str(), before1970, 0), 0);

    ScanProgress progress;
    auto index = Scanner::scan(dir.path(), progress, 4);
    test::expectValidTree(*index);
    expectRoundTrips(*index);

    const Totals du = countTree(dir.path());
    EXPECT_EQ(index->count(), du.entries + 1);
    EXPECT_EQ(index->totalSize(), du.bytes);
    EXPECT_EQ(static_cast<std::uint64_t>(progress.bytes.load()), du.bytes);
    EXPECT_EQ(static_cast<std::uint64_t>(progress.files.load()), du.entries - du.folders);
    EXPECT_EQ(static_cast<std::uint64_t>(progress.dirs.load()), du.folders);

    // Exactly one of the three links carries the bytes.
    int carriers = 0;
    for (const char* p : {"a/file", "c/link", "a/b/link2"}) {
        const NodeId id = *index->lookup(dir / p);
        EXPECT_TRUE(index->isFile(id));
        EXPECT_TRUE(index->kind(id) & Flag::linked) << p;
        if (index->size(id) > 0) ++carriers;
    }
    EXPECT_EQ(carriers, 1);

    const NodeId toFolder = *index->lookup(dir / "c/to-folder");
    EXPECT_EQ(index->kindOf(toFolder), Kind::link);
    EXPECT_EQ(index->childCount(toFolder), 0u);
    EXPECT_EQ(index->kindOf(*index->lookup(dir / "c/fifo")), Kind::other);
    EXPECT_EQ(index->kindOf(*index->lookup(dir / "c/sock")), Kind::other);
    EXPECT_EQ(index->name(*index->lookup(dir / "bad\xff\xfe-name")),
              "bad\xEF\xBF\xBD\xEF\xBF\xBD-name");
    EXPECT_TRUE(index->lookup(dir / "new\nline"));
    EXPECT_TRUE(index->lookup(dir / "-rf"));
    EXPECT_TRUE(index->isHidden(*index->lookup(dir / ".hidden")));
    EXPECT_EQ(index->kind(*index->lookup(dir / ".hidden")) & Flag::hidden, 0);
    EXPECT_EQ(index->mtime(*index->lookup(dir / "old")), 0u);
    EXPECT_GT(index->mtime(*index->lookup(dir / "-rf")), 1'600'000'000u);
    EXPECT_EQ(index->mtime(0), 0u);
    EXPECT_GT(index->eventID(), 0u);
}

TEST(Scanner, DeepChainsAndWideFolders) {
    test::TempDir dir;
    // 3,000 levels: the paths outgrow PATH_MAX, so the chain is made relative to descriptors.
    constexpr int depth = 3000;
    {
        UniqueFd at(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY));
        for (int i = 0; i < depth; ++i) {
            ASSERT_EQ(::mkdirat(at.get(), "d", 0755), 0);
            at = UniqueFd(::openat(at.get(), "d", O_RDONLY | O_DIRECTORY));
            ASSERT_TRUE(at);
        }
        UniqueFd f(::openat(at.get(), "bottom", O_WRONLY | O_CREAT, 0644));
        ASSERT_EQ(::write(f.get(), "x", 1), 1);
    }
    constexpr int wide = 50000;
    dir.mkdirs("wide");
    {
        UniqueFd at(::open((dir / "wide").c_str(), O_RDONLY | O_DIRECTORY));
        for (int i = 0; i < wide; ++i) {
            const std::string name = "entry-" + std::to_string(i);
            UniqueFd f(::openat(at.get(), name.c_str(), O_WRONLY | O_CREAT, 0644));
            ASSERT_TRUE(f);
        }
    }

    ScanProgress progress;
    auto index = Scanner::scan(dir.path(), progress, 8);
    test::expectValidTree(*index);
    EXPECT_EQ(index->count(), 1u + depth + 1 + 1 + wide);
    EXPECT_EQ(index->items(0), 1u + wide);
    EXPECT_EQ(index->childCount(*index->lookup(dir / "wide")), static_cast<std::uint32_t>(wide));
    expectRoundTrips(*index, 97);
    // The bottom of the chain, found by walking down.
    NodeId at = *index->lookup(dir / "d");
    for (int i = 1; i < depth; ++i)
        at = index->firstChild(at);
    const NodeId bottom = index->firstChild(at);
    EXPECT_EQ(index->nameBytes(bottom), "bottom");
    EXPECT_EQ(index->ancestry(bottom).size(), depth + 2u);
    EXPECT_EQ(index->lookup(index->path(bottom)), bottom);
    EXPECT_EQ(index->size(*index->lookup(dir / "d")), index->size(bottom));
}

TEST(Scanner, FoldersThatCannotBeOpenedAreMarkedDenied) {
    test::TempDir dir;
    dir.mkdirs("open/inner");
    dir.mkdirs("secret/more");
    dir.write("open/inner/f", 5000);
    dir.write("secret/more/g", 5000);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod((dir / "secret").c_str(), 0700), 0);

    const bool root = ::geteuid() == 0;
    if (!root) {
        ASSERT_EQ(::chmod((dir / "secret").c_str(), 0000), 0);
    }
    // As root every folder opens: the scan runs in a child that has become "nobody".
    const int status = test::inChild([&]() -> int {
        if (root && !test::becomeNobody()) return 10;
        ScanProgress progress;
        auto index = Scanner::scan(dir.path(), progress, 2);
        const auto secret = index->lookup(dir / "secret");
        const auto f = index->lookup(dir / "open/inner/f");
        if (!secret || !f) return 11;
        if (!index->isDenied(*secret) || index->childCount(*secret) != 0) return 12;
        if (index->size(*secret) != 0 || index->isDenied(0)) return 13;
        if (index->totalSize() != index->size(*f)) return 14;
        if (progress.dirs.load() != 3) return 15;
        // A root that cannot be opened is one denied node.
        auto denied = Scanner::scan(dir / "secret", progress, 2);
        if (denied->count() != 1 || !denied->isDenied(0) || denied->size(0) != 0) return 16;
        if (Scanner::listOne(dir / "secret")) return 17;
        return 0;
    });
    EXPECT_EQ(status, 0);
}

TEST(Scanner, RootsThatAreNotFoldersAndListOne) {
    test::TempDir dir;
    dir.mkdirs("real/sub");
    dir.write("real/file", 10);
    dir.write("plain", 10);
    dir.symlink("real", "link");
    ScanProgress progress;
    for (const char* p : {"missing", "plain", "link"}) {
        auto index = Scanner::scan(dir / p, progress, 2);
        EXPECT_EQ(index->count(), 1u) << p;
        EXPECT_TRUE(index->isDenied(0)) << p;
        EXPECT_EQ(index->rootPath(), dir / p);
    }
    EXPECT_FALSE(Scanner::listOne(dir / "missing"));
    const auto one = Scanner::listOne(dir / "real");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->ents.size(), 2u);
    for (const RawEnt& e : one->ents)
        EXPECT_EQ(e.child, NONE);
}

TEST(Scanner, CancellationKeepsAValidPartialIndex) {
    test::TempDir dir;
    for (int i = 0; i < 40; ++i) {
        for (int j = 0; j < 40; ++j) {
            dir.mkdirs("t" + std::to_string(i) + "/u" + std::to_string(j));
            dir.write("t" + std::to_string(i) + "/u" + std::to_string(j) + "/f", 10);
        }
    }
    // Cancelled before it starts: the root is listed, nothing below it.
    ScanProgress early;
    early.cancel();
    auto first = Scanner::scan(dir.path(), early, 4);
    test::expectValidTree(*first);
    EXPECT_EQ(first->count(), 41u);
    EXPECT_EQ(first->size(0), 0u);
    EXPECT_EQ(early.dirs.load(), 0);  // dropped folders are not counted

    // Cancelled part way: whatever was listed forms a valid tree and the counters stop.
    ScanProgress progress;
    std::thread canceller([&] {
        while (progress.dirs.load() < 100)
            std::this_thread::yield();
        progress.cancel();
    });
    auto index = Scanner::scan(dir.path(), progress, 2);
    canceller.join();
    test::expectValidTree(*index);
    EXPECT_TRUE(progress.isCancelled());
    const auto dirs = progress.dirs.load();
    const auto files = progress.files.load();
    EXPECT_LE(index->count(), 1u + 40 + 1600 + 1600);
    EXPECT_EQ(static_cast<std::int64_t>(index->items(0)), files);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(progress.dirs.load(), dirs);
}

TEST(Scanner, RunningOutOfDescriptorsWaitsInsteadOfDenying) {
    test::TempDir dir;
    // A chain whose every level has a sibling keeps one descriptor per level open.
    std::string at;
    for (int i = 0; i < 40; ++i) {
        at += "/n" + std::to_string(i);
        dir.mkdirs(at.substr(1) + "/side");
        dir.write(at.substr(1) + "/side/f", 10);
    }
    const Totals du = countTree(dir.path());
    const int status = test::inChild([&]() -> int {
        rlimit lim{48, 48};
        if (::setrlimit(RLIMIT_NOFILE, &lim) != 0) return 10;
        // Take every descriptor but a few, and give them back a moment later.
        ScanProgress progress;
        std::unique_ptr<DiskIndex> index;
        {
            test::DescriptorHog hog(3, std::chrono::milliseconds(150));
            index = Scanner::scan(dir.path(), progress, 3);
        }
        if (test::anyDenied(*index)) return 11;
        if (index->count() != du.entries + 1) return 12;
        return 0;
    });
    EXPECT_EQ(status, 0);
}

struct Unmount {
    std::string path;
    ~Unmount() {
        if (!path.empty()) ::umount2(path.c_str(), MNT_DETACH);
    }
};

TEST(Scanner, EntersLocalDisksOnceAndLeavesOtherMountsAlone) {
    test::TempDir dir;
    dir.mkdirs("mem");
    dir.mkdirs("data/inner");
    dir.write("data/inner/f", 8192);
    dir.mkdirs("again");
    if (::geteuid() != 0 || ::mount("none", (dir / "mem").c_str(), "tmpfs", 0, nullptr) != 0) {
        GTEST_SKIP() << "mounting needs root";
    }
    Unmount memGuard{dir / "mem"};
    dir.write("mem/in-memory", 4096);
    // A bind mount shows "data" a second time, on the same device as the root.
    ASSERT_EQ(::mount((dir / "data").c_str(), (dir / "again").c_str(), nullptr, MS_BIND, nullptr),
              0);
    Unmount bindGuard{dir / "again"};

    ScanProgress progress;
    auto index = Scanner::scan(dir.path(), progress, 2);
    test::expectValidTree(*index);
    const NodeId mem = *index->lookup(dir / "mem");
    EXPECT_TRUE(index->kind(mem) & Flag::mount);
    EXPECT_EQ(index->childCount(mem), 0u);
    const NodeId again = *index->lookup(dir / "again");
    EXPECT_TRUE(index->kind(again) & Flag::mount);
    EXPECT_EQ(index->childCount(again), 0u);
    EXPECT_TRUE(index->lookup(dir / "data/inner/f"));
    EXPECT_EQ(index->totalSize(), index->size(*index->lookup(dir / "data/inner/f")));
}

TEST(MountPolicy, ReadsTypesAndEntersEachLocalDeviceOnce) {
    const auto types = MountPolicy::parseMountInfo(
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "23 22 0:21 / /proc rw,nosuid - proc proc rw\n"
        "24 22 0:45 / /home/u/net rw shared:7 master:2 - fuse.sshfs host: rw\n"
        "25 22 8:2 / /data rw - xfs /dev/sda2 rw\n"
        "garbage line\n");
    ASSERT_EQ(types.size(), 4u);
    EXPECT_EQ(types.at(makedev(0, 45)), "fuse.sshfs");
    MountPolicy policy(makedev(8, 1), types);
    EXPECT_FALSE(policy.enter(makedev(0, 21), true));  // proc
    EXPECT_FALSE(policy.enter(makedev(0, 45), true));  // FUSE
    EXPECT_TRUE(policy.enter(makedev(8, 2), true));    // a second disk, once
    EXPECT_FALSE(policy.enter(makedev(8, 2), true));
    EXPECT_FALSE(policy.enter(makedev(8, 1), true));   // a bind mount of the root's disk
    EXPECT_TRUE(policy.enter(makedev(0, 99), false));  // a btrfs subvolume
    EXPECT_TRUE(MountPolicy::isLocalDisk("btrfs"));
    EXPECT_FALSE(MountPolicy::isLocalDisk("overlay"));
    EXPECT_FALSE(MountPolicy::isLocalDisk("nfs4"));

    // Mount points as the table writes them: a space, tab, newline or backslash in octal.
    const auto mounts = MountPolicy::parseMounts(
        "26 22 8:17 / /media/u/MY\\040USB\\134x rw - vfat /dev/sdb1 rw\n"
        "garbage\n"
        "27 22 8:17 / /trailing\\04 rw - vfat /dev/sdb1 rw\n");
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].point, "/media/u/MY USB\\x");
    EXPECT_EQ(mounts[0].device, makedev(8, 17));
    EXPECT_EQ(mounts[0].type, "vfat");
    EXPECT_EQ(mounts[0].source, "/dev/sdb1");
    EXPECT_EQ(mounts[1].point, "/trailing\\04") << "an escape cut short stays as it is";
}

}  // namespace
}  // namespace tamrel
