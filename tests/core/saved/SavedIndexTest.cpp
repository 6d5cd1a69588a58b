#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <span>
#include <iterator>
#include <system_error>
#include <thread>

#include "core/index/DiskIndex.h"
#include "core/index/IndexWriter.h"
#include "core/live/Changes.h"
#include "core/live/Refresher.h"
#include "core/saved/SavedIndex.h"
#include "core/saved/SavedChecksum.h"
#include "core/saved/SavedIndexCheck.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "tests/support/Child.h"
#include "tests/support/SameTree.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> entriesOf(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
                out.push_back(e->d_name);
        }
        ::closedir(d);
    }
    return out;
}

std::unique_ptr<DiskIndex> scanOf(const test::TempDir& dir) {
    ScanProgress progress;
    return Scanner::scan(dir.path(), progress, 4);
}

// A single-node index whose root path is `root` (the folder need not exist).
std::unique_ptr<DiskIndex> bareIndex(const std::string& root) {
    IndexWriter writer(1, root.size());
    writer.add(root, 1, 0, 0, NONE);
    return writer.finish(root);
}

void makeTree(const test::TempDir& dir) {
    dir.mkdirs("a/b/c");
    dir.mkdirs("gone/deeper");
    dir.write("a/one", 5000);
    dir.write("a/b/two", 9000);
    dir.write("gone/deeper/three", 4096);
    dir.write("-dash", 10);
    dir.write("new\nline", 10);
    dir.write("bad\xff\xfe", 10);
    dir.symlink("a", "link");
}

TEST(SavedIndex, SavesAndLoadsWithRemovedNodes) {
    test::ScopedDataHome home;
    test::TempDir dir;
    makeTree(dir);
    auto index = scanOf(dir);
    IndexWriter::markRemoved(*index, *index->lookup(dir / "gone"));
    IndexWriter::markRemoved(*index, *index->lookup(dir / "a/one"));
    IndexWriter::setEventID(*index, 1234567890123456789ull);
    IndexWriter::setScanTime(*index, 1.25);
    SavedIndex::save(*index);

    const std::string file = SavedIndex::cacheURL(dir.path());
    const std::string folder = home.path() + "/Tamrel";
    ASSERT_EQ(file.substr(0, folder.size() + 1), folder + "/");
    const std::string name = file.substr(folder.size() + 1);
    EXPECT_EQ(name.size(), 20u);
    EXPECT_EQ(name.find_first_not_of("0123456789abcdef"), 16u);
    EXPECT_EQ(name.substr(16), ".idx");
    EXPECT_EQ(entriesOf(folder), std::vector<std::string>{name}) << "no temporary file is left";
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    // The region, then the mounts it holds: none below this folder, a count of 0.
    EXPECT_EQ(index->mounts(), (HeldMounts{true, {}}));
    EXPECT_EQ(static_cast<std::uint64_t>(st.st_size), index->layout().total + 4);
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(readFile(file).substr(0, 8), "TMRLIDX5");

    bool damaged = true;
    auto loaded = SavedIndex::load(dir.path(), &damaged);
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(damaged);
    EXPECT_TRUE(SavedIndex::savedFileIntact(*loaded));
    EXPECT_TRUE(SavedIndex::savedFileIntact(*index)) << "not loaded: nothing to check";
    test::expectValidTree(*loaded);
    test::expectSameTree(*index, *loaded);
    EXPECT_EQ(loaded->rootPath(), dir.path());
    EXPECT_EQ(loaded->eventID(), 1234567890123456789ull);
    EXPECT_EQ(loaded->scanTime(), 1.25);
    EXPECT_LT(std::chrono::abs(loaded->scannedAt() - index->scannedAt()),
              std::chrono::microseconds(1));
    EXPECT_TRUE(loaded->isGone(*loaded->lookup(dir / "gone/deeper/three")));
    EXPECT_EQ(loaded->path(*loaded->lookup(dir / "bad\xff\xfe")), dir / "bad\xff\xfe");
    const auto date = SavedIndex::cachedDate(dir.path());
    ASSERT_TRUE(date);
    EXPECT_EQ(*date, loaded->scannedAt());

    // A removal after loading stays in memory until the next save, which may replace the very
    // file that is mapped.
    const std::uint64_t before = loaded->totalSize();
    IndexWriter::markRemoved(*loaded, *loaded->lookup(dir / "a/b"));
    EXPECT_EQ(SavedIndex::load(dir.path())->totalSize(), before);
    EXPECT_TRUE(SavedIndex::savedFileIntact(*loaded)) << "the file is checked, not the memory";
    // Written around the page cache this time: the same file, its last page cut to size.
    SavedIndex::save(*loaded, SavedIndex::Write::direct);
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::uint64_t>(st.st_size), loaded->layout().total + 4);
    EXPECT_EQ(entriesOf(folder), std::vector<std::string>{name});
    auto again = SavedIndex::load(dir.path());
    ASSERT_TRUE(again);
    EXPECT_TRUE(SavedIndex::savedFileIntact(*again));
    test::expectSameTree(*loaded, *again);
    EXPECT_LT(again->totalSize(), before);

    EXPECT_FALSE(SavedIndex::load(dir / "a"));
    EXPECT_FALSE(SavedIndex::cachedDate(dir / "a"));
    EXPECT_NE(SavedIndex::cacheURL(dir.path()), SavedIndex::cacheURL(dir.path() + "/"));
}

// The mounts an index holds go with it, and a file saved before they were kept (version 4:
// the region alone) still loads, not knowing them, and is saved again as not knowing them.
TEST(SavedIndex, MountsAreKeptAndOlderFilesStillLoad) {
    test::ScopedDataHome home;
    test::TempDir dir;
    makeTree(dir);
    auto index = scanOf(dir);
    const HeldMounts mounts{true,
                            {{dir.path(), 0x803, "ext4"},
                             {dir / "a", 0x811, "vfat"},
                             {dir / "a/b c", 0x1F, "tmpfs"}}};
    IndexWriter::setMounts(*index, mounts);
    SavedIndex::save(*index, SavedIndex::Write::direct);
    const std::string file = SavedIndex::cacheURL(dir.path());
    auto loaded = SavedIndex::load(dir.path());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->mounts(), mounts);
    EXPECT_TRUE(SavedIndex::savedFileIntact(*loaded));

    // The same file as version 4 wrote it.
    std::string old = readFile(file).substr(0, index->layout().total);
    old[7] = '4';
    std::memset(old.data() + 64, 0, 16);  // the checksum, then the mounts' bytes
    SavedChecksum sum;
    sum.add(std::as_bytes(std::span(old.data(), old.size())));
    const std::uint64_t checksum = sum.value();
    std::memcpy(old.data() + 64, &checksum, 8);
    writeFile(file, old);
    bool damaged = true;
    auto older = SavedIndex::load(dir.path(), &damaged);
    ASSERT_TRUE(older);
    EXPECT_FALSE(damaged);
    EXPECT_TRUE(SavedIndex::savedFileIntact(*older));
    test::expectSameTree(*older, *loaded);
    EXPECT_FALSE(older->mounts().known);
    SavedIndex::save(*older);
    auto again = SavedIndex::load(dir.path());
    ASSERT_TRUE(again);
    EXPECT_TRUE(SavedIndex::savedFileIntact(*again));
    EXPECT_EQ(again->mounts(), HeldMounts{});
}

TEST(SavedIndex, RootPathLimitAndFailedSaves) {
    test::ScopedDataHome home;
    const std::string longest = "/" + std::string(3967, 'r');
    SavedIndex::save(*bareIndex(longest));
    ASSERT_TRUE(SavedIndex::load(longest));

    const std::string tooLong = longest + "r";
    try {
        SavedIndex::save(*bareIndex(tooLong));
        ADD_FAILURE() << "a root path over 3968 bytes saved";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::filename_too_long);
    }

    // A save whose write fails (the file size limit) leaves the old file, and no temporary one.
    test::TempDir dir;
    dir.write("f", 100);
    auto index = scanOf(dir);
    SavedIndex::save(*index);
    const std::string file = SavedIndex::cacheURL(dir.path());
    const std::string saved = readFile(file);
    const int status = test::inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8192, 8192};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
        IndexWriter writer(100'000, dir.path().size());
        writer.add(dir.path(), 1, 0, 0, NONE);
        try {
            SavedIndex::save(*writer.finish(dir.path()));
        } catch (const std::system_error& e) {
            return e.code() == std::errc::file_too_large ? 0 : 11;
        }
        return 12;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(entriesOf(home.path() + "/Tamrel").size(), 2u) << "the two indexes, no other";
    EXPECT_EQ(readFile(file), saved);

    // No folder for saved indexes: the error of the call that failed.
    test::ScopedDataHome blocked;
    writeFile(blocked.path() + "/Tamrel", "a file where the folder should be");
    try {
        SavedIndex::save(*index);
        ADD_FAILURE() << "saved without a folder";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::not_a_directory);
    }
}

TEST(SavedIndex, DamagedFilesAreNotLoaded) {
    test::ScopedDataHome home;
    test::TempDir dir;
    makeTree(dir);
    auto index = scanOf(dir);
    SavedIndex::save(*index);
    const std::string file = SavedIndex::cacheURL(dir.path());
    const std::string good = readFile(file);
    const Layout& layout = index->layout();
    const NodeId count = index->count();

    auto put32 = [](std::string& bytes, std::uint64_t at, std::uint32_t v) {
        std::memcpy(bytes.data() + at, &v, 4);
    };
    auto put64 = [](std::string& bytes, std::uint64_t at, std::uint64_t v) {
        std::memcpy(bytes.data() + at, &v, 8);
    };
    auto arrayAt = [&](Layout::Array k, NodeId i, int width) {
        return layout.offsets[k] + std::uint64_t{i} * width;
    };
    const NodeId two = *index->lookup(dir / "a/b/two");
    const NodeId b = *index->lookup(dir / "a/b");
    // Of a and gone, the one whose subtree ends first: one more id is still within the count.
    const NodeId a = *index->lookup(dir / "a"), gone = *index->lookup(dir / "gone");
    const NodeId earlier = index->subtreeEnd(a) < index->subtreeEnd(gone) ? a : gone;

    struct Damage {
        const char* what;
        std::function<void(std::string&)> apply;
    };
    const std::vector<Damage> damages = {
        {"cut short by one byte", [](std::string& s) { s.pop_back(); }},
        {"one byte longer", [](std::string& s) { s.push_back(0); }},
        {"magic changed", [](std::string& s) { s[7] = '2'; }},
        {"more mounts than written", [&](std::string& s) { put32(s, layout.total, 1); }},
        {"mounts longer than written", [&](std::string& s) { put64(s, 72, 5); }},
        {"capacities overflow", [&](std::string& s) { put64(s, 16, 0x4000000000000001ull); }},
        {"name capacity past 32 bits", [&](std::string& s) { put64(s, 24, 0x100000000ull); }},
        {"count above cap", [&](std::string& s) { put64(s, 8, layout.cap + 1); }},
        {"count zero", [&](std::string& s) { put64(s, 8, 0); }},
        {"root length too long", [&](std::string& s) { put64(s, 56, 3969); }},
        {"scan date not a number", [&](std::string& s) { put64(s, 48, 0x7FF8000000000000ull); }},
        {"parent after child",
         [&](std::string& s) { put32(s, arrayAt(Layout::parent, two, 4), two + 1); }},
        {"parent outside its block",
         [&](std::string& s) { put32(s, arrayAt(Layout::parent, two, 4), 0); }},
        {"subtree end past count",
         [&](std::string& s) { put32(s, arrayAt(Layout::subtreeEnd, b, 4), count + 1); }},
        {"subtree end one too far",
         [&](std::string& s) {
             put32(s, arrayAt(Layout::subtreeEnd, earlier, 4), index->subtreeEnd(earlier) + 1);
         }},
        {"subtree end too short",
         [&](std::string& s) { put32(s, arrayAt(Layout::subtreeEnd, b, 4), b + 1); }},
        {"child count past count",
         [&](std::string& s) { put32(s, arrayAt(Layout::childCount, b, 4), count); }},
        {"name offsets decrease",
         [&](std::string& s) { put32(s, arrayAt(Layout::nameOff, two, 4), 0xFFFFFF); }},
        {"names past capacity",
         [&](std::string& s) {
             put32(s, arrayAt(Layout::nameOff, count, 4),
                   static_cast<std::uint32_t>(layout.nameCap) + 1);
         }},
        {"a name with a slash",
         [&](std::string& s) { s[layout.offsets[Layout::names] + index->nameOff(two)] = '/'; }},
        {"a name that climbs",
         [&](std::string& s) {
             const std::uint64_t at = layout.offsets[Layout::names] + index->nameOff(two);
             s[at] = '.';
             s[at + 1] = '.';
             put32(s, arrayAt(Layout::nameOff, two + 1, 4), index->nameOff(two) + 2);
         }},
        {"a name with a NUL byte",
         [&](std::string& s) { s[layout.offsets[Layout::names] + index->nameOff(two) + 1] = 0; }},
        {"an empty name (its path would name its parent)",
         [&](std::string& s) {
             put32(s, arrayAt(Layout::nameOff, two + 1, 4), index->nameOff(two));
         }},
        {"root node renamed", [&](std::string& s) { s[layout.offsets[Layout::names]] = 'x'; }},
        {"a file with children", [&](std::string& s) { s[arrayAt(Layout::kind, b, 1)] = 0; }},
    };
    for (const Damage& d : damages) {
        std::string bytes = good;
        d.apply(bytes);
        writeFile(file, bytes);
        bool damaged = false;
        EXPECT_FALSE(SavedIndex::load(dir.path(), &damaged)) << d.what;
        EXPECT_EQ(damaged, std::string_view(d.what) != "magic changed")
            << d.what << ": a file of another format is not a damaged one";
    }

    // A saved file of another root under this root's name: no save writes it there, unless
    // the two roots' names share their hash prefix.
    auto other = bareIndex("/elsewhere");
    SavedIndex::save(*other);
    writeFile(file, readFile(SavedIndex::cacheURL("/elsewhere")));
    bool damaged = false;
    EXPECT_FALSE(SavedIndex::load(dir.path(), &damaged));
    EXPECT_TRUE(damaged);

    writeFile(file, good.substr(0, 64));
    EXPECT_TRUE(SavedIndex::cachedDate(dir.path())) << "the date needs only the first 64 bytes";
    EXPECT_FALSE(SavedIndex::load(dir.path()));
    writeFile(file, good.substr(0, 63));
    EXPECT_FALSE(SavedIndex::cachedDate(dir.path()));

    writeFile(file, good);
    EXPECT_TRUE(SavedIndex::load(dir.path())) << "the undamaged file still loads";

    // A root name that claims more bytes than the names hold is not compared past them (on a
    // region of exactly its size, AddressSanitizer sees any read beyond).
    const Layout tiny(2, 1);
    std::vector<std::byte> region(tiny.total);
    auto* offsets = reinterpret_cast<std::uint32_t*>(region.data() + tiny.offsets[Layout::nameOff]);
    offsets[1] = 1000;
    EXPECT_FALSE(checkSavedTree(region.data(), tiny, 2, std::string(1000, 'r')));
}

// Saves killed mid-way leave their temporary files; the next save of the same index removes
// them, but not those a live save holds, nor any other file.
TEST(SavedIndex, StaleTemporaryFilesAreRemoved) {
    test::ScopedDataHome home;
    test::TempDir dir;
    makeTree(dir);
    auto index = scanOf(dir);
    const std::string file = SavedIndex::cacheURL(dir.path());
    const std::string folder = home.path() + "/Tamrel";
    const std::string base = file.substr(folder.size() + 1);
    // What saves killed mid-way left behind (the current name pattern, and the older one).
    for (const char* name : {".abc123.tmp", ".zzzzzz.tmp", ".tmp"})
        writeFile(file + name, "stale");
    const std::vector<std::string> others = {base + ".held00.tmp",
                                             "0123456789abcdef.idx.abc123.tmp", base + ".notours",
                                             base + ".toolong.tmp"};
    for (const std::string& name : others)
        writeFile(folder + "/" + name, "keep");
    // A save in flight in another process holds its file's lock.
    const int held = ::open((folder + "/" + others[0]).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    SavedIndex::save(*index);
    std::vector<std::string> left = entriesOf(folder);
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = others;
    expected.push_back(base);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    ::close(held);
    SavedIndex::save(*index);
    EXPECT_EQ(entriesOf(folder).size(), others.size()) << "unlocked now, so stale";
    // The next open removes them too, even when there is nothing to save after it.
    writeFile(file + ".abc123.tmp", "stale");
    EXPECT_TRUE(SavedIndex::load(dir.path()));
    EXPECT_EQ(entriesOf(folder).size(), others.size());
}

// The size of the largest file below `folder` that the process `pid` holds open, or 0: how far
// a save has come, whether its file has a name yet or not.
std::uint64_t writtenBy(pid_t pid, const std::string& folder) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    std::uint64_t most = 0;
    for (const std::string& fd : entriesOf(fds)) {
        char target[4096];
        const ssize_t n = ::readlink((fds + "/" + fd).c_str(), target, sizeof target);
        struct stat st {};
        if (n > 0 && std::string_view(target, n).starts_with(folder + "/") &&
            ::stat((fds + "/" + fd).c_str(), &st) == 0) {
            most = std::max<std::uint64_t>(most, st.st_size);
        }
    }
    return most;
}

// A save killed mid-way leaves no temporary file once the next open has run, and the saved
// file is always a whole one (the old or the new).
TEST(SavedIndex, KilledSavesLeaveNoTemporaryFile) {
    test::ScopedDataHome home;
    const std::string folder = home.path() + "/Tamrel";
    test::TempDir dir;
    dir.write("f", 100);
    SavedIndex::save(*scanOf(dir));
    // Spare capacity is saved too: 80 MB to write.
    IndexWriter writer(2'000'000, dir.path().size());
    writer.add(dir.path(), 1, 0, 0, NONE);
    auto big = writer.finish(dir.path());
    const std::uint64_t total = big->layout().total;
    for (const double part : {0.1, 0.5, 0.9}) {
        SCOPED_TRACE(part);
        const pid_t pid = ::fork();
        if (pid == 0) {
            for (;;)
                SavedIndex::save(*big);
        }
        // Killed once its save has written that part of the file.
        const auto until = static_cast<std::uint64_t>(part * static_cast<double>(total));
        while (writtenBy(pid, folder) < until && ::waitpid(pid, nullptr, WNOHANG) == 0)
            std::this_thread::yield();
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        auto loaded = SavedIndex::load(dir.path());
        ASSERT_TRUE(loaded);
        EXPECT_TRUE(SavedIndex::savedFileIntact(*loaded));
        EXPECT_EQ(entriesOf(folder).size(), 1u);
    }
}

// Whatever is at the saved file's path and is not a regular file is never opened for reading
// (nothing waits on a FIFO) and is moved aside, whole, by the next save.
TEST(SavedIndex, WhatIsNotARegularFileIsMovedAside) {
    test::ScopedDataHome home;
    test::TempDir dir;
    dir.write("f", 100);
    auto index = scanOf(dir);
    const std::string file = SavedIndex::cacheURL(dir.path());
    struct Case {
        const char* what;
        std::function<void()> make;
        std::string aside;
    };
    const std::vector<Case> cases = {
        {"a folder",
         [&] {
             ASSERT_EQ(::mkdir(file.c_str(), 0700), 0);
             writeFile(file + "/inside", "x");
         },
         file + ".not-an-index"},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }, file + ".not-an-index.1"},
        {"a symbolic link", [&] { ASSERT_EQ(::symlink("elsewhere", file.c_str()), 0); },
         file + ".not-an-index.2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::unlink(file.c_str());
        c.make();
        bool damaged = true;
        EXPECT_FALSE(SavedIndex::load(dir.path(), &damaged));
        EXPECT_FALSE(damaged);
        EXPECT_FALSE(SavedIndex::cachedDate(dir.path()));
        SavedIndex::save(*index);
        EXPECT_TRUE(SavedIndex::load(dir.path()));
        struct stat st {};
        EXPECT_EQ(::lstat(c.aside.c_str(), &st), 0);
    }
    EXPECT_EQ(readFile(file + ".not-an-index/inside"), "x");
    EXPECT_EQ(entriesOf(home.path() + "/Tamrel").size(), 4u);
}

// The checksum covers the whole file: one byte changed in any array, in the header or in the
// spare capacity is found, by the load's checks or by the check of the whole file after it.
TEST(SavedIndex, ChecksumFindsAChangeAnywhere) {
    test::ScopedDataHome home;
    test::TempDir dir;
    makeTree(dir);
    ScanProgress progress;
    // A refreshed generation: its region has spare capacity beyond the nodes in use.
    auto index = Refresher::refreshed(*scanOf(dir), Changes{{dir / "a"}, {}}, progress);
    SavedIndex::save(*index);
    const std::string file = SavedIndex::cacheURL(dir.path());
    const std::string good = readFile(file);
    const Layout& layout = index->layout();
    ASSERT_GT(layout.cap, index->count());
    const NodeId two = *index->lookup(dir / "a/b/two");
    std::vector<std::pair<std::string, std::uint64_t>> places;
    for (int k = 0; k < Layout::arrayCount; ++k) {
        const std::uint64_t width =
            (k == Layout::names || k == Layout::kind) ? 1 : (k == Layout::size ? 8 : 4);
        const bool names = k == Layout::names;
        const std::uint64_t element = names ? index->nameOff(two) : two;
        const std::uint64_t spare = names ? index->nameOff(index->count()) : index->count() + 1;
        places.emplace_back("array " + std::to_string(k), layout.offsets[k] + element * width);
        places.emplace_back("array " + std::to_string(k) + " past what is in use",
                            layout.offsets[k] + spare * width);
    }
    for (std::uint64_t at : {8, 16, 24, 32, 40, 48, 56, 64, 71, 72, 128, 4000})
        places.emplace_back("header byte " + std::to_string(at), at);
    places.emplace_back("last byte", good.size() - 1);
    for (const auto& [what, at] : places) {
        SCOPED_TRACE(what);
        std::string bytes = good;
        bytes[at] = static_cast<char>(bytes[at] ^ 1);
        writeFile(file, bytes);
        bool damaged = false;
        auto loaded = SavedIndex::load(dir.path(), &damaged);
        if (loaded) {
            EXPECT_FALSE(SavedIndex::savedFileIntact(*loaded));
        } else {
            EXPECT_TRUE(damaged);
        }
    }
    writeFile(file, good);
    EXPECT_TRUE(SavedIndex::savedFileIntact(*SavedIndex::load(dir.path())));
}

// A region made by hand, node by node: (name, parent, firstChild, childCount, subtreeEnd, kind).
struct HandNode {
    std::string name;
    std::uint32_t parent, firstChild, childCount, subtreeEnd;
    std::uint8_t kind;
};

std::vector<std::byte> handRegion(const Layout& layout, const std::vector<HandNode>& nodes) {
    std::vector<std::byte> region(layout.total);
    auto array = [&](Layout::Array k) {
        return reinterpret_cast<std::uint32_t*>(region.data() + layout.offsets[k]);
    };
    auto* names = reinterpret_cast<char*>(region.data() + layout.offsets[Layout::names]);
    std::uint32_t at = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const HandNode& n = nodes[i];
        std::memcpy(names + at, n.name.data(), n.name.size());
        at += static_cast<std::uint32_t>(n.name.size());
        array(Layout::nameOff)[i + 1] = at;
        array(Layout::parent)[i] = n.parent;
        array(Layout::firstChild)[i] = n.firstChild;
        array(Layout::childCount)[i] = n.childCount;
        array(Layout::subtreeEnd)[i] = n.subtreeEnd;
        reinterpret_cast<std::uint8_t*>(region.data() + layout.offsets[Layout::kind])[i] = n.kind;
    }
    return region;
}

// Every reader walks parents upward and subtrees forward: a tree whose children come before
// their parent is refused even when each block and range is otherwise consistent.
TEST(SavedIndex, ChildrenBeforeTheirParentAreRefused) {
    const Layout layout(8, 64);
    const std::string root = "/r";
    // The good tree: /r with folder a (1) holding file f (3), and file g (2).
    const auto good = handRegion(layout, {{root, NONE, 1, 2, 4, 1},
                                          {"a", 0, 3, 1, 4, 1},
                                          {"g", 0, 0, 0, 3, 0},
                                          {"f", 1, 0, 0, 4, 0}});
    EXPECT_TRUE(checkSavedTree(good.data(), layout, 4, root));
    // The same nodes with the root's block last: a (3) holds f (1), the root holds g (2) and a.
    const auto before = handRegion(layout, {{root, NONE, 2, 2, 4, 1},
                                            {"f", 3, 0, 0, 2, 0},
                                            {"g", 0, 0, 0, 3, 0},
                                            {"a", 0, 1, 1, 4, 1}});
    EXPECT_FALSE(checkSavedTree(before.data(), layout, 4, root));
    // A folder's child block starting at the folder itself.
    const auto self =
        handRegion(layout, {{root, NONE, 1, 1, 3, 1}, {"a", 0, 1, 1, 3, 1}, {"f", 1, 0, 0, 3, 0}});
    EXPECT_FALSE(checkSavedTree(self.data(), layout, 3, root));
}

TEST(SavedIndex, ConcurrentSavesOfOneRoot) {
    test::ScopedDataHome home;
    test::TempDir dir;
    makeTree(dir);
    auto first = scanOf(dir);
    dir.write("a/more", 20000);
    auto second = scanOf(dir);
    auto saveMany = [](const DiskIndex& index) {
        for (int k = 0; k < 20; ++k)
            SavedIndex::save(index);
    };
    std::thread t1(saveMany, std::cref(*first)), t2(saveMany, std::cref(*second));
    t1.join();
    t2.join();
    auto loaded = SavedIndex::load(dir.path());
    ASSERT_TRUE(loaded);
    test::expectValidTree(*loaded);
    EXPECT_TRUE(loaded->count() == first->count() || loaded->count() == second->count());
    EXPECT_EQ(entriesOf(home.path() + "/Tamrel").size(), 1u);
}

}  // namespace
}  // namespace tamrel
