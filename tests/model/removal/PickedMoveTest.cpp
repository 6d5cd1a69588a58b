// Moves under the user's own rights when the disk changed between the pick and the move: a
// folder swapped for a link or for another folder, another item under the picked name, a mount
// put over its folder or another disk in the scanned one's place, another user's file, a
// planted per-disk Trash, a home Trash on another disk, root's own home. Each move either takes
// exactly what was picked or refuses and leaves everything where it is.

#include <fcntl.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "model/app/AppModel.h"
#include "model/removal/TrashCan.h"
#include "platform/Spawn.h"
#include "platform/XdgDirs.h"
#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/support/Child.h"
#include "tests/support/PrivateMounts.h"
#include "tests/support/TempDir.h"

namespace tamrel {
namespace {

using test::exists;

// The names in a folder; none when it is missing.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    return names;
}

void check(int status, const char* what) {
    ASSERT_EQ(status, 0) << what << ": " << std::strerror(errno);
}

// Removes the hook when the test ends, however it ends.
struct Hook {
    explicit Hook(std::function<void(const std::string&)> hook) {
        TrashMover::setBeforeMove(std::move(hook));
    }
    ~Hook() { TrashMover::setBeforeMove(nullptr); }
};

// A mount of a fresh, empty file system for one test (root only).
struct Disk {
    std::string at;
    bool mounted = false;
    explicit Disk(std::string where) : at(std::move(where)) {
        ::mkdir(at.c_str(), 0755);
        mounted = ::mount("tamrel-test", at.c_str(), "tmpfs", 0, "mode=0755") == 0;
    }
    ~Disk() {
        if (mounted) ::umount2(at.c_str(), MNT_DETACH);
    }
};

// A home with Documents, a scanned folder "scan" with a folder and a 1 MB file picked from it
// and the user's "thesis" beside them, and "bait": what a swapped link or a mount leads to (the
// same names, holding what must never move).
class Scene {
public:
    test::TempDir dir;
    test::ScopedEnv home{"HOME", dir / "home"};
    test::ScopedEnv data{"XDG_DATA_HOME", dir / "data"};
    std::vector<std::string> mounts;  // detached when the scene ends, the last first

    Scene() {
        dir.mkdirs("home/Documents");
        dir.write("home/Documents/chapter", 100);
        dir.mkdirs("scan/a/item");
        dir.write("scan/a/item/data", 100);
        dir.write("scan/a/file", 1 << 20);
        dir.mkdirs("scan/a/thesis");
        dir.write("scan/a/thesis/chapter", 100);
        dir.mkdirs("scan/view/Documents");
        dir.mkdirs("bait/item");
        dir.write("bait/item/secret", 100);
        dir.write("bait/file", 1 << 20);
    }
    // The item at `relative` (below "scan") as a fresh scan of the folder `root` records it,
    // picked there: its identity and mounts recorded.
    ExpectedItem pick(const std::string& relative, const std::string& root = "scan") {
        ScanProgress progress;
        const auto index = Scanner::scan(dir / root, progress, 1);
        const auto node = index->lookup(dir / ("scan/" + relative));
        EXPECT_TRUE(node) << relative;
        return node ? pickedItem(*index, *node) : ExpectedItem{};
    }
    // Replaces the folder at `relative` with a link to `target`, keeping it beside as ".old".
    void swapForLink(const std::string& relative, const std::string& target) {
        check(std::rename((dir / relative).c_str(), (dir / (relative + ".old")).c_str()), "rename");
        check(::symlink(target.c_str(), (dir / relative).c_str()), "symlink");
    }
    // Mounts `what` (a folder to bind, or "tmpfs" for a fresh disk) at `relative`.
    void mountAt(const std::string& what, const std::string& relative) {
        const std::string at = dir / relative;
        const bool disk = what == "tmpfs";
        check(::mount(disk ? "tamrel-test" : what.c_str(), at.c_str(), disk ? "tmpfs" : nullptr,
                      disk ? 0 : MS_BIND, nullptr),
              "mount");
        mounts.push_back(at);
    }
    ~Scene() {
        for (auto at = mounts.rbegin(); at != mounts.rend(); ++at)
            ::umount2(at->c_str(), MNT_DETACH);
    }
    std::vector<std::string> trashed() { return namesIn(dir / "data/Trash/files"); }
    std::vector<std::string> trashInfos() { return namesIn(dir / "data/Trash/info"); }
};

class PickedMove : public ::testing::Test, public Scene {};

TEST_F(PickedMove, WhatChangedAfterThePickIsRefusedAndLeftInPlace) {
    struct Case {
        const char* name;
        const char* item;  // below "scan"
        const char* root;  // the folder scanned
        bool needsRoot;
        std::function<void(Scene&)> change;
        TrashRefusal refusal;
        std::function<void(Scene&)> before = nullptr;  // before the scan
    };
    // The 1 MB file made anew under its name, with the size and times of the one picked.
    const auto lookAlike = [](Scene& t) {
        struct stat st {};
        check(::lstat((t.dir / "scan/a/file").c_str(), &st), "lstat");
        check(std::rename((t.dir / "scan/a/file").c_str(), (t.dir / "bait/picked").c_str()),
              "rename");
        std::filesystem::copy_file(t.dir / "bait/file", t.dir / "scan/a/file");
        const timespec times[2] = {st.st_atim, st.st_mtim};
        check(::utimensat(AT_FDCWD, (t.dir / "scan/a/file").c_str(), times, 0), "utimensat");
    };
    const auto disk = [](Scene& t) {
        t.dir.mkdirs("scan/disk");
        t.mountAt("tmpfs", "scan/disk");
        t.dir.mkdirs("scan/disk/u/cache");
        t.dir.write("scan/disk/u/cache/data", 100);
    };
    const std::vector<Case> cases = {
        {"the parent swapped for a link", "a/item", "scan", false,
         [](Scene& t) { t.swapForLink("scan/a", t.dir / "bait"); }, TrashRefusal::link},
        {"the item swapped for a link", "a/item", "scan", false,
         [](Scene& t) { t.swapForLink("scan/a/item", t.dir / "bait/item"); },
         TrashRefusal::changed},
        // The scanned folder's own path may hold a link of the user's (one nobody else could
        // have put there); what the move reaches through it is judged, not the path as picked.
        {"the scanned folder now leads home", "view/Documents", "scan/view", false,
         [](Scene& t) { t.swapForLink("scan/view", t.dir / "home"); },
         TrashRefusal::protectedPlace},
        {"a folder under the picked file's name", "a/file", "scan", false,
         [](Scene& t) {
             check(std::rename((t.dir / "scan/a/file").c_str(), (t.dir / "bait/old").c_str()),
                   "rename");
             t.dir.mkdirs("scan/a/file/chapters");
         },
         TrashRefusal::changed},
        {"the picked file grown", "a/file", "scan", false,
         [](Scene& t) { std::ofstream(t.dir / "scan/a/file", std::ios::app) << "more"; },
         TrashRefusal::changed},
        {"another user's file", "a/file", "scan", true,
         [](Scene& t) {
             check(::lchown((t.dir / "scan/a/file").c_str(), test::nobody, test::nobody), "chown");
         },
         TrashRefusal::otherUser},
        // No link anywhere: another folder of the user's, renamed in by another user.
        {"another folder renamed in under the picked folder's name", "a/item", "scan", false,
         [](Scene& t) {
             ::chmod(t.dir.path().c_str(), 0755);
             test::renameInAsAnotherUser(t.dir / "scan/a/item", t.dir / "scan/a/thesis");
         },
         TrashRefusal::changed},
        {"a file made anew with the same size and time", "a/file", "scan", false, lookAlike,
         TrashRefusal::changed},
        // The same folder, reached through a mount the scan did not enter.
        {"the parent bind-mounted over itself", "a/item", "scan", true,
         [](Scene& t) { t.mountAt(t.dir / "scan/a", "scan/a"); }, TrashRefusal::changed},
        {"another folder bind-mounted over the parent", "a/item", "scan", true,
         [](Scene& t) { t.mountAt(t.dir / "bait", "scan/a"); }, TrashRefusal::changed},
        {"another disk in the scanned folder's place", "disk/u/cache", "scan/disk", true,
         [&](Scene& t) {
             ::umount2((t.dir / "scan/disk").c_str(), MNT_DETACH);
             disk(t);
         },
         TrashRefusal::changed, disk},
    };
    const bool root = ::geteuid() == 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && !root) continue;
        Scene t;
        if (c.before) c.before(t);
        const std::string item = t.dir / ("scan/" + std::string(c.item));
        const ExpectedItem expected = t.pick(c.item, c.root);
        c.change(t);
        const TrashResult result = TrashCan::system().trashPicked(item, expected);
        EXPECT_FALSE(result.moved());
        EXPECT_EQ(result.refusal, c.refusal) << result.why;
        EXPECT_TRUE(t.trashed().empty());
        EXPECT_TRUE(t.trashInfos().empty());
        EXPECT_TRUE(exists(t.dir / "bait/item/secret"));
        EXPECT_TRUE(exists(t.dir / "bait/file"));
        EXPECT_TRUE(exists(t.dir / "home/Documents/chapter"));
        EXPECT_TRUE(exists(item));
    }
}

TEST_F(PickedMove, AKeptFileIdentityCatchesAPerfectLookAlike) {
    ExpectedItem expected = pick("a/file");
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "scan/a/file").c_str(), &st), 0);
    expected.file = {st.st_dev, st.st_ino};
    // Same size, same time, another file.
    check(std::rename((dir / "scan/a/file").c_str(), (dir / "bait/picked").c_str()), "rename");
    std::filesystem::copy_file(dir / "bait/file", dir / "scan/a/file");
    const timespec times[2] = {st.st_atim, st.st_mtim};
    check(::utimensat(AT_FDCWD, (dir / "scan/a/file").c_str(), times, 0), "utimensat");
    const ExpectedItem alike = pick("a/file");
    ASSERT_EQ(alike.allocated, expected.allocated);
    ASSERT_EQ(alike.mtime, expected.mtime);
    const TrashResult result = TrashMover::trashItem(dir / "scan/a/file", &expected);
    EXPECT_EQ(result.refusal, TrashRefusal::changed) << result.why;
    EXPECT_TRUE(exists(dir / "scan/a/file"));
    EXPECT_TRUE(trashed().empty());
}

// ext4 gives a freed inode number to the next file made, at once: a file deleted and made again
// under its name with the same size and time has the device and inode of the one picked. Its
// birth time tells it apart, or on a disk of 128-byte inodes, which keep none, its generation
// number: in the user's own move and in the administrator step's, which reads what to expect
// from its argument. A file only written to since its pick still moves. Each disk is an image of
// its own, where nothing else takes the freed number.
TEST_F(PickedMove, AFileMadeAnewInThePickedOnesInodeIsNotIt) {
    const std::string mkfs = "/usr/sbin/mkfs.ext4";
    if (::geteuid() != 0 || ::access(mkfs.c_str(), X_OK) != 0 || !test::privateMountsWork())
        GTEST_SKIP() << "needs root, mount namespaces and mkfs.ext4";
    const std::string image = dir / "disk.img";
    const std::string file = dir / "scan/file";
    dir.mkdirs("data");
    for (const std::string inodeSize : {"256", "128"}) {
        SCOPED_TRACE("inodes of " + inodeSize + " bytes");
        std::ofstream{image};
        ASSERT_EQ(::truncate(image.c_str(), 16 << 20), 0);
        ASSERT_EQ(runProgram(mkfs, {"-q", "-F", "-I", inodeSize, image}), 0);
        const int status = test::inChild([&] {
            const auto failed = [](const std::string& what) {
                std::fprintf(stderr, "%s\n", what.c_str());
                return 1;
            };
            if (!test::enterPrivateMounts() ||
                runProgram("/usr/bin/mount", {"-o", "loop", image, dir / "scan"}) != 0) {
                return failed("no disk");
            }
            const auto write = [&](std::ios::openmode mode) {
                std::ofstream(file, mode) << std::string(3000, 'x');
            };
            write(std::ios::out);
            ExpectedItem picked = pick("file");
            if (!(inodeSize == "256" ? picked.born.has_value() : picked.generation.has_value()))
                return failed("nothing recorded tells it apart");
            struct stat was {};
            ::lstat(file.c_str(), &was);
            const timespec times[2] = {was.st_atim, was.st_mtim};
            struct stat now {};
            for (int tries = 0; tries < 3 && now.st_ino != was.st_ino; ++tries) {
                ::unlink(file.c_str());
                write(std::ios::out);
                ::utimensat(AT_FDCWD, file.c_str(), times, 0);
                ::lstat(file.c_str(), &now);
            }
            if (now.st_ino != was.st_ino) return 77;
            const TrashResult mine = TrashMover::trashItem(file, &picked);
            if (mine.refusal != TrashRefusal::changed) return failed("moved: " + mine.why);
            const auto argument = parseExpectedArgument(expectedArgument(picked));
            std::string why;
            auto helper = TrashMover::open(dir / "data/Trash", 0, 0, why);
            if (!argument || !helper || helper->move(file, why, &*argument) ||
                why != "another file stands under its name") {
                return failed("the administrator step: " + why);
            }
            if (!exists(file)) return failed("gone");
            picked = pick("file");
            write(std::ios::in | std::ios::out);
            ::utimensat(AT_FDCWD, file.c_str(), times, 0);
            const TrashResult written = TrashMover::trashItem(file, &picked);
            return written.moved() ? 0 : failed("written to, and refused: " + written.why);
        });
        if (status == 77) GTEST_SKIP() << "ext4 gave the freed inode number to no file made";
        EXPECT_EQ(status, 0);
    }
}

// The swaps land between the checks and the rename, where a check of the path alone would have
// passed.
TEST_F(PickedMove, SwapsBetweenTheChecksAndTheMove) {
    // Another item renamed in under the name: it goes back, and nothing moves.
    {
        const ExpectedItem expected = pick("a/file");
        const Hook hook([&](const std::string&) {
            check(std::rename((dir / "scan/a/file").c_str(), (dir / "bait/picked").c_str()),
                  "rename");
            dir.mkdirs("scan/a/file/chapters");
        });
        const TrashResult result = TrashMover::trashItem(dir / "scan/a/file", &expected);
        EXPECT_EQ(result.refusal, TrashRefusal::changed) << result.why;
        EXPECT_TRUE(exists(dir / "scan/a/file/chapters"));
        EXPECT_TRUE(trashed().empty());
        EXPECT_TRUE(trashInfos().empty());
    }
    // The parent swapped for a link: the move is relative to the folder it checked, so the
    // picked item goes, from wherever its folder now is, and the link's target stays.
    {
        const ExpectedItem expected = pick("a/item");
        const Hook hook([&](const std::string&) { swapForLink("scan/a", dir / "bait"); });
        const TrashResult result = TrashMover::trashItem(dir / "scan/a/item", &expected);
        ASSERT_TRUE(result.moved()) << result.why;
        EXPECT_TRUE(exists(*result.where + "/data"));
        EXPECT_FALSE(exists(dir / "scan/a.old/item"));
        EXPECT_TRUE(exists(dir / "bait/item/secret"));
    }
}

// A Trash folder planted on another disk by another user is never used: the item then goes into
// the home Trash, copied with the user's own rights.
TEST_F(PickedMove, PlantedTrashFoldersOnAnotherDiskAreNeverUsed) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a disk and planting as another user need root";
    if (!::getpwuid(test::nobody)) GTEST_SKIP() << "no user " << test::nobody;
    const std::string uid = std::to_string(::geteuid());
    struct Case {
        const char* name;
        std::function<void(const std::string& disk, const std::string& thief)> plant;
    };
    const std::vector<Case> cases = {
        {".Trash-UID a link",
         [&](const std::string& disk, const std::string& thief) {
             check(::symlink(thief.c_str(), (disk + "/.Trash-" + uid).c_str()), "symlink");
         }},
        {".Trash-UID another user's folder",
         [&](const std::string& disk, const std::string&) {
             check(::mkdir((disk + "/.Trash-" + uid).c_str(), 0777), "mkdir");
             check(::chown((disk + "/.Trash-" + uid).c_str(), test::nobody, test::nobody), "chown");
             check(::symlink("/nowhere", (disk + "/.Trash").c_str()), "symlink");
         }},
        {".Trash a link, .Trash/UID a link",
         [&](const std::string& disk, const std::string& thief) {
             check(::mkdir((thief + "/shared").c_str(), 01777), "mkdir");
             check(::symlink((thief + "/shared").c_str(), (disk + "/.Trash").c_str()), "symlink");
             check(::symlink(thief.c_str(), (disk + "/.Trash-" + uid).c_str()), "symlink");
         }},
        {".Trash without the sticky bit",
         [&](const std::string& disk, const std::string& thief) {
             check(::mkdir((disk + "/.Trash").c_str(), 0777), "mkdir");
             check(::mkdir((disk + "/.Trash/" + uid).c_str(), 0700), "mkdir");
             check(::symlink(thief.c_str(), (disk + "/.Trash-" + uid).c_str()), "symlink");
         }},
        {".Trash/UID a link in a sticky .Trash",
         [&](const std::string& disk, const std::string& thief) {
             check(::mkdir((disk + "/.Trash").c_str(), 01777), "mkdir");
             check(::chmod((disk + "/.Trash").c_str(), 01777), "chmod");
             check(::symlink(thief.c_str(), (disk + "/.Trash/" + uid).c_str()), "symlink");
             check(::symlink(thief.c_str(), (disk + "/.Trash-" + uid).c_str()), "symlink");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Disk disk(dir / "disk");
        if (!disk.mounted) GTEST_SKIP() << "cannot mount here";
        test::TempDir thief;
        ASSERT_EQ(::chown(thief.path().c_str(), test::nobody, test::nobody), 0);
        ASSERT_EQ(::chmod(thief.path().c_str(), 0777), 0);
        dir.mkdirs("disk/work");
        dir.write("disk/work/notes", 5000);
        c.plant(disk.at, thief.path());
        ScanProgress progress;
        const auto index = Scanner::scan(disk.at, progress, 1);
        const ExpectedItem expected = expectedItem(*index, *index->lookup(disk.at + "/work/notes"));
        const TrashResult result = TrashMover::trashItem(disk.at + "/work/notes", &expected);
        ASSERT_TRUE(result.moved()) << result.why;
        EXPECT_EQ(*result.where, homeTrashDirectory() + "/files/notes");
        EXPECT_EQ(std::filesystem::file_size(*result.where), 5000u);
        EXPECT_FALSE(exists(disk.at + "/work/notes"));
        EXPECT_TRUE(namesIn(thief.path()).size() <= 1u);  // at most the planted "shared"
        EXPECT_TRUE(namesIn(thief.path() + "/shared").empty());
        ASSERT_EQ(std::remove(result.where->c_str()), 0);  // the next case starts empty
        for (const std::string& info : trashInfos())
            std::remove((dir / ("data/Trash/info/" + info)).c_str());
    }
}

// When the home Trash lies on another disk than the item and that disk has no Trash the user may
// make, the user's own file is copied into the home Trash with the user's own rights: never
// through the administrator step. A tree holding another user's file is not copied at all.
TEST_F(PickedMove, AHomeTrashOnAnotherDiskTakesACopyUnderTheUsersOwnRights) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a disk and becoming another user need root";
    if (!::getpwuid(test::nobody)) GTEST_SKIP() << "no user " << test::nobody;
    // The item's disk: its top belongs to root, so nobody may make a Trash there.
    const Disk disk(dir / "disk");
    if (!disk.mounted) GTEST_SKIP() << "cannot mount here";
    dir.mkdirs("disk/u/shared");
    dir.write("disk/u/shared/mine", 10);
    dir.write("disk/u/shared/theirs", 10);
    ASSERT_TRUE(test::giveToNobody((dir / "disk/u").c_str()));
    ASSERT_EQ(::lchown((dir / "disk/u/shared/theirs").c_str(), 0, 0), 0);
    // Two ways of a home Trash on another disk: XDG_DATA_HOME there, or the Trash a link there.
    dir.mkdirs("other/Trash");
    dir.mkdirs("linked/share");
    ASSERT_EQ(::symlink((dir / "other/Trash").c_str(), (dir / "linked/share/Trash").c_str()), 0);
    for (const char* d : {"other", "other/Trash", "linked", "linked/share"})
        ASSERT_EQ(::lchown((dir / d).c_str(), test::nobody, test::nobody), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ScanProgress progress;
    const auto index = Scanner::scan(disk.at, progress, 1);
    const auto expect = [&](const std::string& relative) {
        return expectedItem(*index, *index->lookup(disk.at + "/" + relative));
    };
    const std::vector<Remover::Item> shared = {
        {2, disk.at + "/u/shared", false, std::nullopt, expect("u/shared")}};
    for (const std::string& dataHome : {dir / "other", dir / "linked/share"}) {
        SCOPED_TRACE(dataHome);
        dir.mkdirs("disk/u/project/src");
        dir.write("disk/u/project/src/main.c", 3000);
        ASSERT_TRUE(test::giveToNobody((dir / "disk/u/project").c_str()));
        const auto now = Scanner::scan(disk.at, progress, 1);
        const std::vector<Remover::Item> project = {
            {1, disk.at + "/u/project", false, std::nullopt,
             expectedItem(*now, *now->lookup(disk.at + "/u/project"))}};
        test::ScopedEnv data("XDG_DATA_HOME", dataHome);
        const int status = test::inChild([&] {
            if (!test::becomeNobody()) return 2;
            test::FakePlatform platform;
            const Remover::Outcome moved = Remover::remove(project, platform);
            const Remover::Outcome refused = Remover::remove(shared, platform);
            if (moved != Remover::Outcome{{1}, {}} || refused != Remover::Outcome{{}, {"shared"}} ||
                !platform.elevations.empty()) {
                std::fprintf(stderr, "moved %zu, refused %zu, asked %zu\n", moved.removed.size(),
                             refused.failures.size(), platform.elevations.size());
                return 1;
            }
            return 0;
        });
        ASSERT_EQ(status, 0);
        EXPECT_EQ(std::filesystem::file_size(dir / "other/Trash/files/project/src/main.c"), 3000u);
        EXPECT_FALSE(exists(dir / "disk/u/project"));
        EXPECT_TRUE(exists(dir / "disk/u/shared/theirs"));
        EXPECT_TRUE(exists(dir / "disk/u/shared/mine"));
        EXPECT_FALSE(exists(dir / "other/Trash/files/shared"));
        EXPECT_FALSE(exists(dir / "other/Trash/info/shared.trashinfo"));
        // An empty Trash for the second way.
        test::removeTree(dir / "other/Trash/files/project");
        std::remove((dir / "other/Trash/info/project.trashinfo").c_str());
    }
}

// What the menu says of an item the rules refuse, asked as the user (nobody) over a fresh scan.
TEST(PickRefusal, SaysWhyAnItemMayNotBePicked) {
    if (::geteuid() != 0) GTEST_SKIP() << "items of other users need root";
    if (!::getpwuid(test::nobody)) GTEST_SKIP() << "no user " << test::nobody;
    struct Case {
        const char* item;  // below the scanned folder; "" for the folder itself
        TrashRefusal refusal;
    };
    using enum TrashRefusal;
    const std::vector<Case> cases = {
        {"mine/file", none},          {"mine/sub", none},          {"", protectedPlace},
        {"shared/roots", otherUser},  {"closed/mine", permission}, {"swapped/file", link},
        {"mine/grown", none},         {"mine/gone", gone},         {"home/.cache", protectedPlace},
        {"mine/kind", changed},
    };
    test::TempDir dir;
    for (const char* folder : {"scan/mine/sub", "scan/shared", "scan/closed", "scan/swapped",
                               "scan/home/.cache", "elsewhere"}) {
        dir.mkdirs(folder);
    }
    for (const char* file :
         {"mine/file", "mine/grown", "mine/gone", "mine/kind", "shared/roots", "closed/mine",
          "swapped/file"}) {
        dir.write(std::string("scan/") + file, 100);
    }
    ASSERT_TRUE(test::giveToNobody(dir.path().c_str()));
    for (const char* root : {"scan/closed", "scan/shared", "scan/shared/roots"})
        ASSERT_EQ(::lchown((dir / root).c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod((dir / "scan/shared").c_str(), 01777), 0);
    ScanProgress progress;
    const auto index = Scanner::scan(dir / "scan", progress, 1);
    std::ofstream(dir / "scan/mine/grown", std::ios::app) << std::string(9000, 'x');
    ASSERT_EQ(std::rename((dir / "scan/mine/gone").c_str(), (dir / "elsewhere/gone").c_str()), 0);
    // A size the index has not caught up with is judged at the move; another kind at the pick.
    ASSERT_EQ(std::rename((dir / "scan/mine/kind").c_str(), (dir / "elsewhere/kind").c_str()), 0);
    dir.mkdirs("scan/mine/kind");
    ASSERT_EQ(std::rename((dir / "scan/swapped").c_str(), (dir / "elsewhere/swapped").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "elsewhere/swapped").c_str(), (dir / "scan/swapped").c_str()), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        const auto node = index->lookup(dir / "scan/" + c.item);
        ASSERT_TRUE(node);
        const int refusal = test::inChild([&] {
            ::setenv("HOME", (dir / "scan/home").c_str(), 1);
            ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
            return test::becomeNobody() ? static_cast<int>(pickRefusal(*index, *node).refusal) : 99;
        });
        EXPECT_EQ(refusal, static_cast<int>(c.refusal));
    }
    // A root-owned file under /srv, on a disk of this test's own.
    const int srv = test::inChild([] {
        if (!test::enterPrivateMounts() ||
            ::mount("tamrel-test", "/srv", "tmpfs", 0, nullptr) != 0 ||
            !std::ofstream("/srv/site.conf").put('x')) {
            return 98;
        }
        ScanProgress progress;
        const auto index = Scanner::scan("/srv", progress, 1);
        const auto node = index->lookup("/srv/site.conf");
        return node ? static_cast<int>(pickRefusal(*index, *node).refusal) : 99;
    });
    if (srv != 98) {
        EXPECT_EQ(srv, static_cast<int>(TrashRefusal::protectedPlace));
    }
}

// A root session's own home is a home, not a system folder: what is in it moves.
TEST(PickedMoveAsRoot, RootsOwnHomeIsAHome) {
    if (::geteuid() != 0) GTEST_SKIP() << "a root session";
    const std::optional<UserEntry> root = userEntry(0);
    if (!root || root->home != "/root" || !exists("/root"))
        GTEST_SKIP() << "root's home is not /root";
    test::ScopedEnv home("HOME", "/root");
    test::ScopedEnv tmp("TMPDIR", "/root");
    test::TempDir dir;  // below /root, with the Trash beside the item
    test::ScopedEnv data("XDG_DATA_HOME", dir / "data");
    dir.write("old.log", 100);
    EXPECT_TRUE(AppModel::isProtected("/root"));
    EXPECT_TRUE(AppModel::isProtected("/root/.cache"));
    EXPECT_FALSE(AppModel::isProtected(dir / "old.log"));
    EXPECT_TRUE(AppModel::isProtected("/etc/hostname"));
    std::string why;
    const auto where = TrashMover::trashItem(dir / "old.log", why);
    ASSERT_TRUE(where) << why;
    EXPECT_EQ(*where, dir / "data/Trash/files/old.log");
    std::ifstream info(dir / "data/Trash/info/old.log.trashinfo");
    const std::string text((std::istreambuf_iterator<char>(info)), {});
    EXPECT_NE(text.find("Path=" + dir / "old.log"), std::string::npos);
}

}  // namespace
}  // namespace tamrel
