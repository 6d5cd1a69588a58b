#include "platform/TrashMover.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

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
    using Type = ExpectedItem::Type;
    const ExpectedItem full{.type = Type::folder,
                            .root = "/ignored",
                            .allocated = 4096,
                            .mtime = 1'700'000'000,
                            .file = {{2049, 77}},
                            .mounts = {31, 31, 40}};
    for (const ExpectedItem& item : {full, ExpectedItem{}, ExpectedItem{.type = Type::link}}) {
        const auto back = parseExpectedArgument(expectedArgument(item));
        ASSERT_TRUE(back) << expectedArgument(item);
        ExpectedItem without = item;
        without.root.clear();
        EXPECT_EQ(*back, without) << expectedArgument(item);
    }
    for (const char* bad : {"", "type=pipe", "device=1,inode=2", "type=file,device=1",
                            "type=file,mounts=1//2", "type=file,mtime=-1", "type=file,size=3"}) {
        EXPECT_FALSE(parseExpectedArgument(bad)) << bad;
    }
}

// The user (nobody) picks an item of a scanned folder; then another user, or a mount, changes
// what its path leads to. The move takes the very item picked, reached through the same mounts,
// or nothing. Each case runs in a child with mounts of its own.
TEST(TrashMover, APickedItemMovesOnlyWhileItIsTheOneOnTheDiskPicked) {
    if (::geteuid() != 0) GTEST_SKIP() << "a second user and mounts need root";
    if (!::getpwuid(test::nobody)) GTEST_SKIP() << "no user " << test::nobody;
    if (!test::privateMountsWork()) GTEST_SKIP() << "no private mount namespaces here";
    // The user's own programs, or a second user.
    const auto as = [](uid_t uid, const std::function<bool()>& change) {
        return test::inChild([&] {
                   return ::setresgid(uid, uid, uid) == 0 && ::setresuid(uid, uid, uid) == 0 &&
                                  change()
                              ? 0
                              : 1;
               }) == 0;
    };
    constexpr uid_t other = test::nobody - 1;
    const auto renamed = [](const std::string& from, const std::string& to) {
        return std::rename(from.c_str(), to.c_str()) == 0;
    };
    struct Case {
        const char* name;
        const char* root;  // the scanned folder, below the test folder
        const char* item;  // below it
        std::function<bool(const std::string& dir)> change;
        bool moves;
        std::vector<const char*> stay;  // below the test folder, after the move
        bool beforePick = false;        // the change comes between the scan and the pick
    };
    const auto bindWork = [](const std::string& d) {
        return ::mount((d + "/work").c_str(), (d + "/scan/a").c_str(), nullptr, MS_BIND, nullptr) ==
               0;
    };
    const std::vector<Case> cases = {
        {"a folder put in the place of the picked one",
         "scan",
         "team/old-build",
         [&](const std::string& d) {
             return as(other, [&] {
                 return renamed(d + "/scan/team/old-build", d + "/scan/team/old-build.x") &&
                        renamed(d + "/scan/team/thesis", d + "/scan/team/old-build");
             });
         },
         false,
         {"scan/team/old-build/thesis.tex", "scan/team/old-build.x/obj"}},
        {"a file made anew with the same size and time",
         "scan",
         "team/log",
         [&](const std::string& d) {
             const std::string log = d + "/scan/team/log";
             struct stat st {};
             return ::stat(log.c_str(), &st) == 0 && as(test::nobody, [&] {
                        const timespec times[2] = {st.st_atim, st.st_mtim};
                        return renamed(log, log + ".old") &&
                               std::filesystem::copy_file(log + ".old", log) &&
                               ::utimensat(AT_FDCWD, log.c_str(), times, 0) == 0;
                    });
         },
         false,
         {"scan/team/log", "scan/team/log.old"}},
        {"a bind mount over the picked folder's parent",
         "scan",
         "a/cache",
         bindWork,
         false,
         {"scan/a/cache/work-file"}},
        // A mount of the scanned disk a second time, which the scan never entered.
        {"a bind mount over the folder's parent before the pick",
         "scan",
         "a/cache",
         bindWork,
         false,
         {"scan/a/cache/work-file"},
         true},
        // The very folder, and yet a mount the scan never entered.
        {"the picked folder's parent bound over itself",
         "scan",
         "a/cache",
         [](const std::string& d) {
             return ::mount((d + "/scan/a").c_str(), (d + "/scan/a").c_str(), nullptr, MS_BIND,
                            nullptr) == 0;
         },
         false,
         {"scan/a/cache/file"}},
        {"another disk in the place of the scanned one",
         "disk",
         "u/cache",
         [](const std::string& d) {
             const std::string disk = d + "/disk";
             return ::umount2(disk.c_str(), MNT_DETACH) == 0 && mountDisk(disk) &&
                    ::mkdir((disk + "/u").c_str(), 0777) == 0 &&
                    ::mkdir((disk + "/u/cache").c_str(), 0777) == 0 &&
                    ::chown((disk + "/u/cache").c_str(), test::nobody, test::nobody) == 0;
         },
         false,
         {"disk/u/cache"}},
        {"a folder changed below its top",
         "scan",
         "a/cache",
         [](const std::string& d) { return ::mkdir((d + "/scan/a/cache/new").c_str(), 0755) == 0; },
         true,
         {"data/Trash/files/cache/new", "data/Trash/files/cache/file"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        for (const char* folder :
             {"home", "data", "work/cache", "scan/a/cache", "scan/team/old-build/obj",
              "scan/team/thesis/thesis.tex", "disk"}) {
            dir.mkdirs(folder);
        }
        dir.write("scan/a/cache/file", 100);
        dir.write("work/cache/work-file", 100);
        dir.write("scan/team/log", 3000);
        ASSERT_TRUE(test::giveToNobody(dir.path().c_str()));
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        // A shared folder everybody may change, without the sticky bit.
        ASSERT_EQ(::chown((dir / "scan/team").c_str(), 0, 0), 0);
        ASSERT_EQ(::chmod((dir / "scan/team").c_str(), 0777), 0);
        const std::string item = dir / c.root + "/" + c.item;
        const int status = test::inChild([&] {
            if (!test::enterPrivateMounts()) return failed("no mount namespace");
            const std::string disk = dir / "disk";
            if (!mountDisk(disk) || ::mkdir((disk + "/u").c_str(), 0777) != 0 ||
                ::mkdir((disk + "/u/cache").c_str(), 0700) != 0 ||
                ::chown((disk + "/u/cache").c_str(), test::nobody, test::nobody) != 0) {
                return failed("no disk");
            }
            ExpectedItem picked{.type = std::string(c.item) == "team/log"
                                            ? ExpectedItem::Type::file
                                            : ExpectedItem::Type::folder,
                                .root = dir / c.root};
            if (c.beforePick && !c.change(dir.path())) return failed("the change failed");
            // Recorded by root, as the user would: it is nobody's.
            const TrashResult recorded = TrashMover::recordItem(item, picked);
            const auto wanted = c.beforePick ? TrashRefusal::changed : TrashRefusal::otherUser;
            if (!picked.file || recorded.refusal != wanted) {
                return failed("not recorded: " + recorded.why);
            }
            if (!c.beforePick && !c.change(dir.path())) return failed("the change failed");
            const int moved = test::inChild([&] {
                if (!becomeTheUser(dir / "home", dir / "data")) return 3;
                const TrashResult result = TrashMover::trashItem(item, &picked);
                std::fprintf(stderr, "%s\n", result.why.c_str());
                return result.moved() ? 0 : result.refusal == TrashRefusal::changed ? 1 : 2;
            });
            if (moved != (c.moves ? 0 : 1))
                return failed("the move ended " + std::to_string(moved));
            // The administrator step checks the same.
            std::string why;
            auto helper = TrashMover::open(dir / "data/Trash", test::nobody, test::nobody, why);
            if (!c.moves && (!helper || helper->move(item, why, &picked))) {
                return failed("the administrator step moved it: " + why);
            }
            for (const char* stays : c.stay) {
                if (!exists(dir / stays)) return failed(std::string("gone: ") + stays);
            }
            const bool anyTrash = exists(disk + "/.Trash-" + std::to_string(test::nobody));
            if (!c.moves && (anyTrash || !holdsNothing(dir / "data/Trash/files") ||
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
    if (!::getpwuid(test::nobody)) GTEST_SKIP() << "no user " << test::nobody;
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
        dir.mkdirs("home");
        dir.mkdirs("data");
        dir.mkdirs("disk");
        ASSERT_TRUE(test::giveToNobody(dir.path().c_str()));
        const std::string u = dir / "disk/u";
        const int status = test::inChild([&] {
            if (!test::enterPrivateMounts() || !mountDisk(dir / "disk")) return failed("no disk");
            if (::mkdir(u.c_str(), 0755) != 0 || ::mkdir((u + "/tree").c_str(), 0755) != 0) {
                return failed("no folders");
            }
            for (const char* file : {"big", "tree/f1", "tree/f2"}) {
                const UniqueFd fd(::open((u + "/" + file).c_str(), O_WRONLY | O_CREAT, 0644));
                if (!fd || ::ftruncate(fd.get(), 4 << 20) != 0) return failed("no file");
            }
            if (!test::giveToNobody(u.c_str())) return failed("not given");
            if (!becomeTheUser(dir / "home", dir / "data")) return failed("no user");
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
                if (!exists(dir / "data/Trash/files/" + copied)) {
                    return failed(std::string("not in the Trash: ") + copied);
                }
            }
            if (c.inTrash.empty() && (!holdsNothing(dir / "data/Trash/files") ||
                                      !holdsNothing(dir / "data/Trash/info"))) {
                return failed("a torn copy stayed");
            }
            return 0;
        });
        EXPECT_EQ(status, 0);
    }
}

}  // namespace
}  // namespace tamrel
