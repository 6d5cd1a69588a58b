#include "platform/TrashMover.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/eventfd.h>
#include <sys/fanotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "tests/support/Child.h"
#include "tests/support/PrivateMounts.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"

namespace tamrel {
namespace {

constexpr uid_t nobody = 65534;

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Nothing is in the folder, or there is no folder.
bool holdsNothing(const std::string& path) {
    std::error_code ec;
    return !exists(path) || (std::filesystem::is_empty(path, ec) && !ec);
}

// In a child: says what went wrong, for the test to fail on the status.
int failed(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    return 1;
}

// In a child that is root: a fresh memory disk at `at`, its top root's and closed to others.
bool mountDisk(const std::string& at) {
    return ::mount("tamrel-test", at.c_str(), "tmpfs", 0, "mode=0755") == 0;
}

// In a child that is root: becomes `nobody` with its Trash below `data` and its home at `home`.
bool becomeTheUser(const std::string& home, const std::string& data) {
    return ::setenv("HOME", home.c_str(), 1) == 0 &&
           ::setenv("XDG_DATA_HOME", data.c_str(), 1) == 0 && test::becomeNobody();
}

// In a child: the folder `depth` levels below the entry `name` of `top` through folders named
// "level", reached relative to descriptors (its path outgrows PATH_MAX) and, for `owner`, made
// and given to that user on the way; invalid when a folder is missing.
UniqueFd chainBelow(int top, const char* name, int depth, std::optional<uid_t> owner = {}) {
    const auto step = [&](int at, const char* entry) {
        if (owner && (::mkdirat(at, entry, 0755) != 0 ||
                      ::fchownat(at, entry, *owner, *owner, AT_SYMLINK_NOFOLLOW) != 0)) {
            return UniqueFd();
        }
        return UniqueFd(::openat(at, entry, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    };
    UniqueFd at = step(top, name);
    for (int level = 0; level < depth && at; ++level)
        at = step(at.get(), "level");
    return at;
}

TEST(TrashMover, RefusesPathsWithANulByte) {
    test::ScopedDataHome data;
    test::TempDir dir;
    dir.write("a", 10);
    const std::string cut = dir / std::string("a\0b", 3);
    std::string why;
    EXPECT_FALSE(TrashMover::trashItem(cut, why));
    EXPECT_EQ(why, "the path holds a NUL byte");
    auto mover = TrashMover::open(data.path() + "/Trash", ::geteuid(), ::getegid(), why);
    ASSERT_TRUE(mover) << why;
    EXPECT_FALSE(mover->move(cut, why));
    EXPECT_FALSE(
        TrashMover::open(data.path() + std::string("/Trash\0x", 8), ::geteuid(), ::getegid(), why));
    EXPECT_TRUE(exists(dir / "a"));
    EXPECT_FALSE(exists(data.path() + "/Trash/files/a"));
    EXPECT_FALSE(exists(data.path() + "/Trash/info/a.trashinfo"));
}

TEST(TrashMover, GivesBackADeepTreeWithFewDescriptors) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving files away needs root";
    if (!::getpwuid(nobody)) GTEST_SKIP() << "no user " << nobody;
    test::TempDir dir;
    dir.mkdirs("data");
    ASSERT_EQ(::chown((dir / "data").c_str(), nobody, nobody), 0);
    // Far deeper than the descriptors the mover may hold.
    constexpr int depth = 300;
    std::string deepest = "items/deep";
    for (int i = 0; i < depth; ++i)
        deepest += "/d";
    dir.mkdirs(deepest);
    dir.write(deepest + "/file", 10);
    const std::string trash = dir / "data/Trash";
    const std::string item = dir / "items/deep";
    const int status = test::inChild([&] {
        const rlimit few{40, 40};
        if (::setrlimit(RLIMIT_NOFILE, &few) != 0) return 2;
        std::string why;
        auto mover = TrashMover::open(trash, nobody, nobody, why);
        if (!mover || !mover->move(item, why)) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
        return 0;
    });
    ASSERT_EQ(status, 0);
    std::string path = trash + "/files/deep";
    for (int level = 0; level <= depth; ++level) {
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0) << level;
        ASSERT_EQ(st.st_uid, nobody) << "level " << level;
        path += level < depth ? "/d" : "";
    }
    struct stat st {};
    ASSERT_EQ(::lstat((path + "/file").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody);
}

TEST(TrashMover, TheArgumentOfAnExpectedItemReadsBackAsItWas) {
    const ExpectedItem full{.type = ExpectedItem::Type::folder, .allocated = 4096, .mtime = 17,
                            .file = {{2049, 77}}, .born = {{1700000000, 4500}},
                            .mounts = {31, 31, 40}};
    const ExpectedItem generation{.file = {{2049, 78}}, .generation = 4294967295U};
    for (const ExpectedItem& item : {full, generation, ExpectedItem{}})
        EXPECT_EQ(parseExpectedArgument(expectedArgument(item)), item) << expectedArgument(item);
    EXPECT_EQ(expectedArgument(full),
              "type=folder,device=2049,inode=77,born=1700000000.000004500,allocated=4096,mtime=17,"
              "mounts=31/31/40");
    // As written before birth times were recorded.
    EXPECT_EQ(parseExpectedArgument("type=folder,device=2049,inode=77,allocated=4096,mtime=17,"
                                    "mounts=31/31/40"),
              (ExpectedItem{.type = ExpectedItem::Type::folder, .allocated = 4096, .mtime = 17,
                            .file = {{2049, 77}}, .mounts = {31, 31, 40}}));
    for (const char* bad : {"", "type=pipe", "type=file,device=1", "type=file,mounts=1//2",
                            "type=file,mtime=-1", "type=file,size=3", "type=file,born=17",
                            "type=file,born=17.5", "type=file,born=17.1000000000",
                            "type=file,generation=-1"}) {
        EXPECT_FALSE(parseExpectedArgument(bad)) << bad;
    }
}

// The user (nobody) picks an item of a scanned folder; then another user, the user's own
// program or a mount changes what its path leads to. The move, the user's and the
// administrator step's, takes the very item picked, reached through the same mounts, or nothing.
// Each case runs in a child with mounts of its own.
TEST(TrashMover, APickedItemMovesOnlyWhileItIsTheOneOnTheDiskPicked) {
    if (::geteuid() != 0) GTEST_SKIP() << "a second user and mounts need root";
    if (!::getpwuid(nobody)) GTEST_SKIP() << "no user " << nobody;
    if (!test::privateMountsWork()) GTEST_SKIP() << "no private mount namespaces here";
    using Change = std::function<bool(const std::string& dir)>;
    // Renames by `uid`: the user's own programs, or a second user.
    const auto renames = [](uid_t uid, std::vector<std::pair<const char*, const char*>> moves) {
        return [=](const std::string& d) {
            return test::inChild([&] {
                       if (::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0)
                           return 1;
                       for (const auto& [from, to] : moves) {
                           if (std::rename((d + from).c_str(), (d + to).c_str()) != 0) return 1;
                       }
                       return 0;
                   }) == 0;
        };
    };
    const auto bind = [](const char* from, const char* to) {
        return [=](const std::string& d) {
            return ::mount((d + from).c_str(), (d + to).c_str(), nullptr, MS_BIND, nullptr) == 0;
        };
    };
    const Change otherDisk = [](const std::string& d) {
        return ::umount2((d + "/disk").c_str(), MNT_DETACH) == 0 && mountDisk(d + "/disk") &&
               ::mkdir((d + "/disk/u").c_str(), 0777) == 0 &&
               ::mkdir((d + "/disk/u/cache").c_str(), 0777) == 0;
    };
    struct Case {
        const char* name;
        const char* item;  // below the test folder; the scanned folder is its first component
        Change change;
        bool moves;
        std::vector<const char*> stay;  // below the test folder, after the move
        bool beforePick = false;        // the change comes between the scan and the pick
    };
    const std::vector<Case> cases = {
        {"a folder put in its place by another user", "scan/team/old-build",
         renames(nobody - 1, {{"/scan/team/old-build", "/scan/team/old-build.x"},
                              {"/scan/team/thesis", "/scan/team/old-build"}}),
         false, {"scan/team/old-build/thesis.tex", "scan/team/old-build.x/obj"}},
        // Made anew with the same size and time: the copy of what was there.
        {"a file made anew", "scan/team/log",
         renames(nobody,
                 {{"/scan/team/log", "/scan/team/log.old"}, {"/scan/log", "/scan/team/log"}}),
         false, {"scan/team/log", "scan/team/log.old"}},
        {"a bind mount over its folder", "scan/a/cache", bind("/work", "/scan/a"), false,
         {"scan/a/cache/work-file"}},
        // The very folder, and yet a mount the scan never entered.
        {"its folder bound over itself", "scan/a/cache", bind("/scan/a", "/scan/a"), false,
         {"scan/a/cache/file"}},
        {"a bind mount over its folder before the pick", "scan/a/cache", bind("/work", "/scan/a"),
         false, {"scan/a/cache/work-file"}, true},
        {"another disk in the place of the scanned one", "disk/u/cache", otherDisk, false,
         {"disk/u/cache"}},
        {"a folder changed below its top", "scan/a/cache",
         [](const std::string& d) { return ::mkdir((d + "/scan/a/cache/new").c_str(), 0755) == 0; },
         true, {"data/Trash/files/cache/new", "data/Trash/files/cache/file"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        for (const char* folder : {"home", "data", "work/cache", "scan/a/cache", "disk",
                                   "scan/team/old-build/obj", "scan/team/thesis/thesis.tex"}) {
            dir.mkdirs(folder);
        }
        for (const char* file : {"scan/a/cache/file", "work/cache/work-file", "scan/log"})
            dir.write(file, 3000);
        // The file picked, and the twin of the same size and time its maker puts in its place.
        std::filesystem::copy_file(dir / "scan/log", dir / "scan/team/log");
        struct stat made {};
        ASSERT_EQ(::stat((dir / "scan/log").c_str(), &made), 0);
        const timespec times[2] = {made.st_atim, made.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "scan/team/log").c_str(), times, 0), 0);
        ASSERT_TRUE(test::giveToNobody(dir.path().c_str()));
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        // A shared folder everybody may change, without the sticky bit.
        ASSERT_EQ(::chown((dir / "scan/team").c_str(), 0, 0), 0);
        ASSERT_EQ(::chmod((dir / "scan/team").c_str(), 0777), 0);
        const std::string item = dir / c.item;
        const std::string root = dir / std::string(c.item).substr(0, 4);
        const int status = test::inChild([&] {
            const std::string disk = dir / "disk";
            if (!test::enterPrivateMounts() || !mountDisk(disk) ||
                ::mkdir((disk + "/u").c_str(), 0777) != 0 ||
                ::mkdir((disk + "/u/cache").c_str(), 0700) != 0 ||
                !test::giveToNobody((disk + "/u").c_str())) {
                return failed("no disk");
            }
            using Type = ExpectedItem::Type;
            ExpectedItem picked{.type = c.item == std::string("scan/team/log") ? Type::file
                                                                                : Type::folder,
                                .root = root};
            if (c.beforePick && !c.change(dir.path())) return failed("no change");
            // Recorded by root, as the user's own pick would: it is nobody's.
            const TrashResult recorded = TrashMover::recordItem(item, picked);
            const auto wanted = c.beforePick ? TrashRefusal::changed : TrashRefusal::otherUser;
            if (!picked.file || recorded.refusal != wanted) return failed("not recorded");
            if (!c.beforePick && !c.change(dir.path())) return failed("no change");
            const int moved = test::inChild([&] {
                if (!becomeTheUser(dir / "home", dir / "data")) return 3;
                const TrashResult result = TrashMover::trashItem(item, &picked);
                std::fprintf(stderr, "%s\n", result.why.c_str());
                return result.moved() ? 0 : result.refusal == TrashRefusal::changed ? 1 : 2;
            });
            if (moved != (c.moves ? 0 : 1)) return failed("moved: " + std::to_string(moved));
            std::string why;
            auto helper = TrashMover::open(dir / "data/Trash", nobody, nobody, why);
            if (!c.moves && (!helper || helper->move(item, why, &picked))) {
                return failed("the administrator step moved it");
            }
            for (const char* stays : c.stay) {
                if (!exists(dir / stays)) return failed(std::string("gone: ") + stays);
            }
            if (!c.moves && (exists(disk + "/.Trash-" + std::to_string(nobody)) ||
                             !holdsNothing(dir / "data/Trash/files") ||
                             !holdsNothing(dir / "data/Trash/info"))) {
                return failed("something is in a Trash");
            }
            return 0;
        });
        EXPECT_EQ(status, 0);
    }
}

// A copy into the home Trash of an item on a disk without a Trash for the user, while the user's
// own program writes into it: when that leaves every entry of the item in its place, the copy
// and its .trashinfo go again; what was removed is in the Trash, and what changed stays.
TEST(TrashMover, ACopyThatMissedAChangeLeavesNoTornCopy) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a disk needs root";
    if (!::getpwuid(nobody)) GTEST_SKIP() << "no user " << nobody;
    if (!test::privateMountsWork()) GTEST_SKIP() << "no private mount namespaces here";
    struct Case {
        const char* item;     // below the disk's "u"
        const char* written;  // appended to after the copy; null: nothing
        bool moved;
        std::vector<const char*> inPlace;  // below "u", after the move
        std::vector<const char*> inTrash;  // below the Trash's files/
    };
    const std::vector<Case> cases = {
        {"big", "big", false, {"big"}, {}},
        {"tree", "tree/f1", false, {"tree/f1"}, {"tree/f1", "tree/f2"}},
        {"big", nullptr, true, {}, {"big"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.item) + (c.written ? " written" : ""));
        test::TempDir dir;
        for (const char* folder : {"home", "data", "disk"})
            dir.mkdirs(folder);
        ASSERT_TRUE(test::giveToNobody(dir.path().c_str()));
        const std::string u = dir / "disk/u";
        const int status = test::inChild([&] {
            if (!test::enterPrivateMounts() || !mountDisk(dir / "disk") ||
                ::mkdir(u.c_str(), 0755) != 0 || ::mkdir((u + "/tree").c_str(), 0755) != 0) {
                return failed("no disk");
            }
            for (const char* file : {"big", "tree/f1", "tree/f2"}) {
                const UniqueFd fd(::open((u + "/" + file).c_str(), O_WRONLY | O_CREAT, 0644));
                if (!fd || ::ftruncate(fd.get(), 4 << 20) != 0) return failed("no file");
            }
            if (!test::giveToNobody(u.c_str()) || !becomeTheUser(dir / "home", dir / "data")) {
                return failed("no user");
            }
            TrashMover::setAfterCopy([&](const std::string&) {
                if (!c.written) return;
                const UniqueFd fd(::open((u + "/" + c.written).c_str(), O_WRONLY | O_APPEND));
                if (!fd || ::write(fd.get(), "more", 4) != 4) std::fprintf(stderr, "no write\n");
            });
            const TrashResult result = TrashMover::trashItem(u + "/" + c.item, nullptr);
            if (result.moved() != c.moved) return failed("moved: " + result.why);
            for (const char* stays : c.inPlace) {
                if (!exists(u + "/" + stays)) return failed(std::string("not in place: ") + stays);
            }
            for (const char* copied : c.inTrash) {
                if (!exists(dir / "data/Trash/files/" + copied)) return failed("not in the Trash");
            }
            if (c.inTrash.empty() && !(holdsNothing(dir / "data/Trash/files") &&
                                       holdsNothing(dir / "data/Trash/info"))) {
                return failed("a torn copy stayed");
            }
            return 0;
        });
        EXPECT_EQ(status, 0);
    }
}

// A folder 2,000 levels deep (its paths outgrow PATH_MAX) on a disk without a Trash for the user,
// copied into the home Trash on another disk, the user's own move and the administrator step's,
// under a desktop session's limit of 1,024 open files. Changes follow the mover's contract at
// that depth too: a file added deep inside during the copy stays with the folders holding it; a
// folder moved away during the copy ends it, as the walk no longer climbs back to where it came
// from; a change after the copy that leaves every entry in place takes the copy out again.
TEST(TrashMover, CopiesAFolderOfAnyDepthWithFewDescriptors) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting disks needs root";
    if (!::getpwuid(nobody)) GTEST_SKIP() << "no user " << nobody;
    if (!test::privateMountsWork()) GTEST_SKIP() << "no private mount namespaces here";
    constexpr int depth = 2000, middle = depth / 2;
    enum class Change { none, added, movedAway, written };
    struct Kept {
        const char* from;  // below the disk's "u"
        int levels;        // folders "level" below it
        const char* entry;
        bool there;
    };
    struct Case {
        const char* name;
        Change change;
        bool elevated;  // moved by the administrator step
        bool moved;
        bool inTrash;  // the whole copy and its .trashinfo
        std::vector<Kept> inPlace;
    };
    const std::vector<Case> cases = {
        {"the user's move", Change::none, false, true, true, {{".", 0, "tree", false}}},
        {"the administrator step", Change::none, true, true, true, {{".", 0, "tree", false}}},
        {"a file added deep inside during the copy", Change::added, false, false, true,
         {{"tree", middle, "added", true}, {"tree", middle, "level", false}}},
        {"a folder moved away during the copy", Change::movedAway, false, false, false,
         {{"tree", middle - 1, "level", false}, {"away", depth - middle, "file", true}}},
        {"the file at the bottom written after the copy", Change::written, false, false, false,
         {{"tree", depth, "file", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        for (const char* folder : {"home", "data", "disk"})
            dir.mkdirs(folder);
        ASSERT_TRUE(test::giveToNobody(dir.path().c_str()));
        const std::string u = dir / "disk/u";
        const std::string data = dir / "data";
        const std::string owned =
            "mode=0700,uid=" + std::to_string(nobody) + ",gid=" + std::to_string(nobody);
        const int status = test::inChild([&] {
            // Both disks go with the child's mounts.
            if (!test::enterPrivateMounts() || !mountDisk(dir / "disk") ||
                ::mount("tamrel-test", data.c_str(), "tmpfs", 0, owned.c_str()) != 0 ||
                ::mkdir(u.c_str(), 0755) != 0 || ::chown(u.c_str(), nobody, nobody) != 0) {
                return failed("no disks");
            }
            const UniqueFd top(::open(u.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            const UniqueFd bottom = chainBelow(top.get(), "tree", depth, nobody);
            const UniqueFd file(
                ::openat(bottom.get(), "file", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
            if (!file || ::write(file.get(), "data", 4) != 4 ||
                ::fchown(file.get(), nobody, nobody) != 0) {
                return failed("no tree");
            }
            // During the copy: when it opens the file at the bottom.
            UniqueFd fan;
            if (c.change == Change::added || c.change == Change::movedAway) {
                fan = UniqueFd(::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY));
                if (!fan || ::fanotify_mark(fan.get(), FAN_MARK_ADD, FAN_OPEN_PERM, bottom.get(),
                                            "file") != 0) {
                    return 77;
                }
            }
            const auto change = [&] {
                if (c.change == Change::movedAway) {
                    const UniqueFd at = chainBelow(top.get(), "tree", middle - 1);
                    return ::renameat(at.get(), "level", top.get(), "away") == 0;
                }
                const bool added = c.change == Change::added;
                const UniqueFd at = chainBelow(top.get(), "tree", added ? middle : depth);
                const UniqueFd fd(::openat(at.get(), added ? "added" : "file",
                                           O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
                return fd && ::write(fd.get(), "more", 4) == 4;
            };
            if (c.change == Change::written) {
                TrashMover::setAfterCopy([&](const std::string&) {
                    if (!change()) std::fprintf(stderr, "no change\n");
                });
            }
            const rlimit session{1024, 1024};
            if (::setrlimit(RLIMIT_NOFILE, &session) != 0) return failed("no limit");
            std::string why;
            bool moved = false;
            if (!c.elevated && !becomeTheUser(dir / "home", data)) return failed("no user");
            bool answered = !fan;
            // Tells the program that the move is over, when the copy never opened the file.
            const UniqueFd over(::eventfd(0, EFD_CLOEXEC));
            std::thread program([&] {
                pollfd p[2] = {{fan.get(), POLLIN, 0}, {over.get(), POLLIN, 0}};
                if (!fan || ::poll(p, 2, -1) < 1 || !(p[0].revents & POLLIN)) return;
                alignas(fanotify_event_metadata) char buf[4096];
                const ssize_t n = ::read(fan.get(), buf, sizeof buf);
                const auto* meta = reinterpret_cast<const fanotify_event_metadata*>(buf);
                if (n < static_cast<ssize_t>(sizeof *meta) || meta->fd < 0) return;
                const bool changed = change();
                const fanotify_response allow{meta->fd, FAN_ALLOW};
                answered = changed && ::write(fan.get(), &allow, sizeof allow) == sizeof allow;
                ::close(meta->fd);
            });
            if (c.elevated) {
                auto helper = TrashMover::open(data + "/Trash", nobody, nobody, why);
                moved = helper && helper->move(u + "/tree", why);
            } else {
                const TrashResult result = TrashMover::trashItem(u + "/tree", nullptr);
                moved = result.moved();
                why = result.why;
            }
            const std::uint64_t one = 1;
            if (::write(over.get(), &one, sizeof one) != sizeof one) std::perror("eventfd");
            program.join();
            if (!answered) return failed("not changed during the copy");
            if (moved != c.moved) return failed("moved: " + why);
            const UniqueFd files(::open((data + "/Trash/files").c_str(), O_PATH | O_CLOEXEC));
            const UniqueFd copy = chainBelow(files.get(), "tree", depth);
            const bool copied = copy && exists(data + "/Trash/info/tree.trashinfo") &&
                                ::faccessat(copy.get(), "file", F_OK, AT_SYMLINK_NOFOLLOW) == 0;
            if (copied != c.inTrash) return failed("in the Trash: " + std::to_string(copied));
            if (!c.inTrash &&
                !(holdsNothing(data + "/Trash/files") && holdsNothing(data + "/Trash/info"))) {
                return failed("a torn copy stayed");
            }
            for (const Kept& k : c.inPlace) {
                const UniqueFd at = chainBelow(top.get(), k.from, k.levels);
                if (!at ||
                    (::faccessat(at.get(), k.entry, F_OK, AT_SYMLINK_NOFOLLOW) == 0) != k.there) {
                    return failed(std::string("in place: ") + k.from + "/" + k.entry);
                }
            }
            return 0;
        });
        if (status == 77) {
            std::printf("skipped \"%s\": no fanotify permission events here\n", c.name);
            continue;
        }
        EXPECT_EQ(status, 0);
    }
}

}  // namespace
}  // namespace tamrel
