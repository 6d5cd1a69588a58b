#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/fanotify.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/TrashMover.h"
#include "platform/UniqueFd.h"
#include "tests/support/PrivateMounts.h"
#include "tests/support/TempDir.h"

namespace tamrel {
namespace {

constexpr uid_t nobody = 65534;

struct HelperRun {
    int status = -1;  // the exit status; -1 when a signal ended it
    int signal = 0;   // the signal that ended it
    std::string errors;
};

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The helper as pkexec starts it for the user nobody, whose home folder (as the password
// database gives it to the helper) is a test folder: the items live there, below a place the
// helper takes items from, and the Trash is that home's Trash.
class TrashHelperTest : public ::testing::Test {
protected:
    test::TempDir dir;
    const std::string home = dir / "home";
    const std::string items = dir / "home/items";
    const std::string trash = dir / "home/.local/share/Trash";

    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "the helper is tested as root";
        if (!::getpwuid(nobody)) GTEST_SKIP() << "no user " << nobody;
        if (!test::privateMountsWork()) GTEST_SKIP() << "no private mount namespaces here";
        dir.mkdirs("home/items");
        dir.mkdirs("home/.local/share");
        for (const char* d : {"home", "home/.local", "home/.local/share"}) {
            ASSERT_EQ(::chown((dir / d).c_str(), nobody, nobody), 0);
        }
        std::ofstream(dir / "passwd") << "root:x:0:0:root:/root:/bin/sh\n"
                                      << "nobody:x:65534:65534:nobody:" << home
                                      << ":/usr/sbin/nologin\n";
    }
    // Every mount below the test folder goes, wherever a move took it (a mover that failed to
    // refuse a tree holding a mount point renames the mount into the Trash).
    void TearDown() override {
        std::vector<std::string> below;
        std::ifstream mounts("/proc/self/mounts");
        for (std::string device, at, rest; mounts >> device >> at && std::getline(mounts, rest);) {
            if (at.starts_with(dir.path() + "/")) below.push_back(at);
        }
        std::sort(below.begin(), below.end());
        for (auto it = below.rbegin(); it != below.rend(); ++it)
            ::umount2(it->c_str(), MNT_DETACH);
    }

    // Runs the helper with `args` for `forUser`, capturing its stderr, in a private mount
    // namespace where /etc/passwd is the test's; `setup` runs there first (bind mounts, limits)
    // and answers whether it worked.
    HelperRun helper(const std::vector<std::string>& args, const std::function<bool()>& setup = {},
                     uid_t forUser = nobody) {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
        const std::string uid = "PKEXEC_UID=" + std::to_string(forUser);
        const std::string passwd = dir / "passwd";
        std::vector<char*> argv = {const_cast<char*>(TAMREL_TRASH_HELPER)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        char* envp[] = {const_cast<char*>(uid.c_str()), nullptr};
        const pid_t child = ::fork();
        if (child == 0) {
            if (!test::enterPrivateMounts() ||
                ::mount(passwd.c_str(), "/etc/passwd", nullptr, MS_BIND, nullptr) != 0) {
                ::_exit(125);
            }
            if (setup && !setup()) ::_exit(126);
            ::dup2(pipeFds[1], 2);
            ::execve(TAMREL_TRASH_HELPER, argv.data(), envp);
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        HelperRun run;
        char buf[4096];
        for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;)
            run.errors.append(buf, n);
        ::close(pipeFds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        return run;
    }

    // A fresh file system of its own at `relative` (made), unmounted after the test.
    bool mountDisk(const std::string& relative) {
        dir.mkdirs(relative);
        if (::mount("tamrel-test", (dir / relative).c_str(), "tmpfs", 0, nullptr) != 0) {
            return false;
        }
        return true;
    }

    // Another disk with a Trash folder of nobody's on it; "" when none can be mounted.
    std::string otherTrash() {
        if (!mountDisk("disk")) return {};
        EXPECT_EQ(::chown((dir / "disk").c_str(), nobody, nobody), 0);
        return dir / "disk/Trash";
    }
};

TEST_F(TrashHelperTest, MovesEveryNameUnchangedAndGivesItBack) {
    const std::vector<std::string> names = {"it's",  "back\\slash", "new\nline",
                                            "-dash", "quote\"d",    "tree"};
    for (const std::string& n : names) {
        if (n == "tree") {
            dir.mkdirs("home/items/tree/sub");
            dir.write("home/items/tree/sub/file", 3000);
            dir.symlink("/etc/passwd", "home/items/tree/link");
        } else {
            dir.write("home/items/" + n, 100);
        }
    }
    dir.write("linked", 10);
    dir.hardlink("linked", "home/items/linked");
    std::vector<std::string> args = {trash};
    for (const std::string& n : names)
        args.push_back(items + "/" + n);
    args.push_back("--unload");
    args.push_back(items + "/linked");
    const HelperRun run = helper(args);
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const std::string& n : names) {
        EXPECT_FALSE(exists(items + "/" + n)) << n;
        EXPECT_TRUE(exists(trash + "/files/" + n)) << n;
        EXPECT_EQ(statOf(trash + "/files/" + n).st_uid, nobody) << n;
        EXPECT_EQ(statOf(trash + "/info/" + n + ".trashinfo").st_uid, nobody) << n;
    }
    EXPECT_EQ(statOf(trash + "/files/tree/sub/file").st_uid, nobody);
    EXPECT_EQ(statOf(trash + "/files/tree/link").st_uid, nobody);
    EXPECT_EQ(statOf("/etc/passwd").st_uid, 0u);
    // Another name of the same file elsewhere: its owner is left alone.
    EXPECT_EQ(statOf(trash + "/files/linked").st_uid, 0u);
    for (const char* folder : {"", "/files", "/info"}) {
        const struct stat st = statOf(trash + folder);
        EXPECT_EQ(st.st_uid, nobody);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
    const std::string info = slurp(trash + "/info/new\nline.trashinfo");
    EXPECT_TRUE(info.starts_with("[Trash Info]\nPath=" + items + "/new%0Aline\n")) << info;
    EXPECT_NE(info.find("\nDeletionDate=20"), std::string::npos);
    EXPECT_NE(slurp(trash + "/info/it's.trashinfo").find("/items/it%27s\n"), std::string::npos);
}

TEST_F(TrashHelperTest, NeverOverwritesTheTrash) {
    for (const char* d : {"Trash", "Trash/files", "Trash/info"}) {
        dir.mkdirs(std::string("home/.local/share/") + d);
        ASSERT_EQ(::chown((dir / "home/.local/share/" + d).c_str(), nobody, nobody), 0);
    }
    dir.write("home/.local/share/Trash/files/a", 7);
    dir.write("home/.local/share/Trash/info/a.trashinfo", 7);
    dir.write("home/.local/share/Trash/info/b.trashinfo", 7);
    dir.write("home/.local/share/Trash/files/c", 7);
    for (const char* n : {"a", "b", "c"})
        dir.write(std::string("home/items/") + n, 4000);
    const HelperRun run = helper({trash, items + "/a", items + "/b", items + "/c"});
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const char* n : {"a", "b", "c"}) {
        EXPECT_FALSE(exists(items + "/" + n));
        EXPECT_EQ(statOf(trash + "/files/" + n + ".2").st_size, 4000) << n;
        EXPECT_TRUE(exists(trash + "/info/" + n + ".2.trashinfo")) << n;
    }
    EXPECT_EQ(statOf(trash + "/files/a").st_size, 7);
    EXPECT_EQ(statOf(trash + "/info/a.trashinfo").st_size, 7);
    EXPECT_EQ(statOf(trash + "/files/c").st_size, 7);
    EXPECT_EQ(statOf(trash + "/info/b.trashinfo").st_size, 7);
    EXPECT_FALSE(exists(trash + "/files/b"));
}

TEST_F(TrashHelperTest, RefusesUnsafePaths) {
    dir.mkdirs("home/items/real");
    dir.write("home/items/real/kept", 10);
    dir.symlink("real", "home/items/link");
    dir.write("home/items/dotted", 10);
    dir.mkdirs("home/Desktop");
    const std::vector<std::string> refused = {
        "home/items/dotted",               // relative
        items + "/real/../dotted",         // ".."
        items + "/./dotted",               // "."
        items + "/link/kept",              // a link among the parents
        "/usr/share/tamrel-no-such-item",  // the system's own folders
        "/etc/tamrel-no-such-item",
        "/",
        home,                  // the home folder itself
        home + "/Desktop",     // below the home folder, but on the deny-list
        home + "/.local",      // on the deny-list too, and holds the Trash
    };
    std::vector<std::string> args = {trash};
    args.insert(args.end(), refused.begin(), refused.end());
    const HelperRun run = helper(args);
    EXPECT_EQ(run.status, 1);
    for (const std::string& p : refused) {
        EXPECT_NE(run.errors.find("tamrel-trash-helper: " + p + ": "), std::string::npos) << p;
    }
    EXPECT_NE(run.errors.find("a symbolic link among its parent folders"), std::string::npos);
    EXPECT_NE(run.errors.find(home + "/Desktop: a protected"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find(home + "/.local: a protected"), std::string::npos);
    EXPECT_NE(run.errors.find("/etc/tamrel-no-such-item: not in a folder"), std::string::npos);
    EXPECT_TRUE(exists(items + "/real/kept"));
    EXPECT_TRUE(exists(items + "/dotted"));
    EXPECT_TRUE(exists(home + "/Desktop"));
}

TEST_F(TrashHelperTest, TakesOnlyItemsBelowThePlacesItServes) {
    // Outside every place it serves: as /tmp, /mnt, /media, a snapshot or another user's home.
    dir.mkdirs("elsewhere");
    dir.write("elsewhere/file", 10);
    // In the home folder, but holding what must never be handed over.
    dir.mkdirs("home/items/devices");
    ASSERT_EQ(::mknod((items + "/devices/null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    dir.mkdirs("home/items/shared");
    dir.write("home/items/shared/theirs", 10);
    ASSERT_EQ(::chown((items + "/shared/theirs").c_str(), 1234, 1234), 0);
    // Root's and the user's own files are fine.
    dir.mkdirs("home/items/fine");
    dir.write("home/items/fine/root's", 10);
    dir.write("home/items/fine/mine", 10);
    ASSERT_EQ(::chown((items + "/fine/mine").c_str(), nobody, nobody), 0);

    const HelperRun run = helper({trash, dir / "elsewhere/file", items + "/devices",
                                  items + "/shared", items + "/fine"});
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_NE(run.errors.find("/elsewhere/file: not in a folder"), std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find("/devices: it holds a device node"), std::string::npos);
    EXPECT_NE(run.errors.find("/shared: it holds files of another user"), std::string::npos);
    EXPECT_TRUE(exists(dir / "elsewhere/file"));
    EXPECT_EQ(statOf(dir / "elsewhere/file").st_uid, 0u);
    EXPECT_EQ(statOf(items + "/devices/null").st_uid, 0u);
    EXPECT_EQ(statOf(items + "/shared/theirs").st_uid, 1234u);
    for (const char* n : {"file", "devices", "shared"}) {
        EXPECT_FALSE(exists(trash + "/files/" + n)) << n;
        EXPECT_FALSE(exists(trash + "/info/" + n + ".trashinfo")) << n;
    }
    EXPECT_EQ(statOf(trash + "/files/fine/root's").st_uid, nobody);
    EXPECT_EQ(statOf(trash + "/files/fine/mine").st_uid, nobody);
}

TEST_F(TrashHelperTest, RefusesWhatIsInTheTrash) {
    dir.write("home/items/a", 10);
    ASSERT_EQ(helper({trash, items + "/a"}).status, 0);
    ASSERT_TRUE(exists(trash + "/files/a"));
    const HelperRun run =
        helper({trash, trash + "/files", trash + "/info", trash + "/files/a", trash});
    EXPECT_EQ(run.status, 1);
    for (const char* n : {"/files: ", "/info: ", "/files/a: "}) {
        EXPECT_NE(run.errors.find(trash + n + "it is in the Trash"), std::string::npos)
            << n << run.errors;
    }
    EXPECT_NE(run.errors.find(trash + ": it holds the Trash"), std::string::npos);
    EXPECT_TRUE(exists(trash + "/info/a.trashinfo"));
    EXPECT_TRUE(exists(trash + "/files/a"));
    EXPECT_FALSE(exists(trash + "/files/a.2"));
    EXPECT_FALSE(exists(trash + "/files/info"));
}

TEST_F(TrashHelperTest, RefusesATrashOfAnotherUser) {
    dir.mkdirs("home/.local/share/Trash");  // owned by root
    dir.write("home/items/x", 10);
    const HelperRun run = helper({trash, items + "/x"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.errors.find("another user"), std::string::npos) << run.errors;
    EXPECT_TRUE(exists(items + "/x"));
    EXPECT_EQ(helper({trash}).status, 2);
}

TEST_F(TrashHelperTest, CopiesAcrossFileSystems) {
    const std::string trashThere = otherTrash();
    if (trashThere.empty()) GTEST_SKIP() << "cannot mount here";
    // An entry already in that Trash (without its info file) under the name a failed copy
    // would have used.
    for (const char* d : {"/Trash", "/Trash/files", "/Trash/info"}) {
        ASSERT_EQ(::mkdir((dir / "disk" + d).c_str(), 0700), 0);
        ASSERT_EQ(::chown((dir / "disk" + d).c_str(), nobody, nobody), 0);
    }
    std::ofstream(trashThere + "/files/fifo") << "kept";
    dir.mkdirs("home/items/tree/sub");
    ::chmod((items + "/tree").c_str(), 0750);
    std::ofstream(items + "/tree/sub/file") << std::string(10000, 'x');
    dir.symlink("sub/file", "home/items/tree/link");
    ASSERT_EQ(::mkfifo((items + "/fifo").c_str(), 0600), 0);
    const HelperRun run = helper({trashThere, items + "/tree", items + "/fifo"});
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_FALSE(exists(items + "/tree"));
    EXPECT_TRUE(slurp(trashThere + "/files/tree/sub/file") == std::string(10000, 'x'));
    EXPECT_EQ(statOf(trashThere + "/files/tree").st_mode & 0777, 0750u);
    EXPECT_TRUE(S_ISLNK(statOf(trashThere + "/files/tree/link").st_mode));
    EXPECT_EQ(statOf(trashThere + "/files/tree/sub/file").st_uid, nobody);
    EXPECT_TRUE(exists(trashThere + "/info/tree.trashinfo"));
    // What cannot be copied stays where it was and leaves nothing in the Trash.
    EXPECT_NE(run.errors.find("/items/fifo: a special file"), std::string::npos) << run.errors;
    EXPECT_TRUE(exists(items + "/fifo"));
    EXPECT_EQ(slurp(trashThere + "/files/fifo"), "kept");
    EXPECT_FALSE(exists(trashThere + "/files/fifo.2"));
    EXPECT_FALSE(exists(trashThere + "/info/fifo.trashinfo"));
    EXPECT_FALSE(exists(trashThere + "/info/fifo.2.trashinfo"));
}

TEST_F(TrashHelperTest, NeverCopiesAHardLinkOut) {
    const std::string trashThere = otherTrash();
    if (trashThere.empty()) GTEST_SKIP() << "cannot mount here";
    // A second name, in a tree the user asks to trash, of a file only root may read.
    dir.write("secret", 100);
    ASSERT_EQ(::chmod((dir / "secret").c_str(), 0600), 0);
    dir.mkdirs("home/items/tree");
    dir.write("home/items/tree/plain", 10);
    dir.hardlink("secret", "home/items/tree/copy-of-secret");
    const HelperRun run = helper({trashThere, items + "/tree"});
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_NE(run.errors.find("/tree: it holds a file with other hard links"), std::string::npos)
        << run.errors;
    EXPECT_TRUE(exists(items + "/tree/copy-of-secret"));
    EXPECT_TRUE(exists(items + "/tree/plain"));
    EXPECT_FALSE(exists(trashThere + "/files/tree"));
    EXPECT_FALSE(exists(trashThere + "/info/tree.trashinfo"));
    EXPECT_EQ(statOf(dir / "secret").st_uid, 0u);
}

TEST_F(TrashHelperTest, RemovesOnlyWhatItCopied) {
    const std::string trashThere = otherTrash();
    if (trashThere.empty()) GTEST_SKIP() << "cannot mount here";
    dir.mkdirs("home/items/tree/sub");
    dir.write("home/items/tree/top", 100);
    dir.write("home/items/tree/sub/trigger", 100);
    dir.write("home/items/tree/sub/other", 100);
    // When the copy opens the trigger file, a program makes new entries in the tree, in folders
    // whose listing the copy has read already.
    UniqueFd fan(::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE));
    if (!fan || ::fanotify_mark(fan.get(), FAN_MARK_ADD, FAN_OPEN_PERM, AT_FDCWD,
                                (items + "/tree/sub/trigger").c_str()) != 0) {
        GTEST_SKIP() << "no fanotify permission events here";
    }
    bool answered = false;
    std::thread program([&] {
        pollfd p{fan.get(), POLLIN, 0};
        if (::poll(&p, 1, 60000) != 1) return;
        alignas(fanotify_event_metadata) char buf[4096];
        const ssize_t n = ::read(fan.get(), buf, sizeof buf);
        auto* meta = reinterpret_cast<fanotify_event_metadata*>(buf);
        if (n < static_cast<ssize_t>(sizeof *meta) || meta->fd < 0) return;
        std::ofstream(items + "/tree/sub/appeared") << "new";
        ::mkdir((items + "/tree/made").c_str(), 0700);
        std::ofstream(items + "/tree/made/file") << "new";
        const fanotify_response allow{meta->fd, FAN_ALLOW};
        answered = ::write(fan.get(), &allow, sizeof allow) == sizeof allow;
        ::close(meta->fd);
    });
    const HelperRun run = helper({trashThere, items + "/tree"});
    program.join();
    fan.reset();
    ASSERT_TRUE(answered);
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_NE(run.errors.find("appeared meanwhile stayed in place"), std::string::npos)
        << run.errors;
    // The whole copy is in the Trash, and of the original exactly the new entries stay.
    for (const char* n : {"top", "sub/trigger", "sub/other"}) {
        EXPECT_EQ(statOf(trashThere + "/files/tree/" + n).st_size, 100) << n;
        EXPECT_FALSE(exists(items + "/tree/" + n)) << n;
    }
    EXPECT_EQ(slurp(items + "/tree/sub/appeared"), "new");
    EXPECT_EQ(slurp(items + "/tree/made/file"), "new");
}

// With --expect, an item moves only while it is the one picked; an expectation it cannot read
// keeps the item where it is.
TEST_F(TrashHelperTest, MovesAnExpectedItemOnlyWhileItIsTheOnePicked) {
    for (const char* n : {"kept", "swapped", "garbled", "other"})
        dir.mkdirs(std::string("home/items/") + n);
    const auto picked = [&](const char* name) {
        ExpectedItem expected{.type = ExpectedItem::Type::folder, .root = items};
        TrashMover::recordItem(items + "/" + name, expected);
        // The helper runs in a mount namespace of its own here, where mounts have other ids.
        expected.mounts.clear();
        return expectedArgument(expected);
    };
    const std::string kept = picked("kept");
    const std::string swapped = picked("swapped");
    ASSERT_EQ(std::rename((items + "/swapped").c_str(), (items + "/swapped.old").c_str()), 0);
    ASSERT_EQ(std::rename((items + "/other").c_str(), (items + "/swapped").c_str()), 0);
    const HelperRun run = helper({trash, "--expect", kept, items + "/kept", "--expect", swapped,
                                  items + "/swapped", "--unload", "--expect", "type=pipe",
                                  items + "/garbled"});
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_TRUE(exists(trash + "/files/kept"));
    EXPECT_TRUE(exists(items + "/swapped"));
    EXPECT_TRUE(exists(items + "/garbled"));
    EXPECT_NE(run.errors.find("another folder stands under its name"), std::string::npos);
    EXPECT_NE(run.errors.find("not understood: type=pipe"), std::string::npos) << run.errors;
}

TEST_F(TrashHelperTest, LimitsOfTheCallerEndNoCopyHalfWay) {
    const std::string trashThere = otherTrash();
    if (trashThere.empty()) GTEST_SKIP() << "cannot mount here";
    dir.write("home/items/big", 200000);
    // As "ulimit -f 8" before pkexec leaves it, with the termination signals blocked.
    const HelperRun run = helper({trashThere, items + "/big"}, [] {
        const rlimit small{8192, 8192};
        std::signal(SIGXFSZ, SIG_DFL);
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGTERM);
        sigaddset(&held, SIGHUP);
        return ::setrlimit(RLIMIT_FSIZE, &small) == 0 &&
               ::sigprocmask(SIG_BLOCK, &held, nullptr) == 0;
    });
    EXPECT_EQ(run.signal, 0);
    if (run.status == 0) {
        EXPECT_FALSE(exists(items + "/big"));
        EXPECT_EQ(statOf(trashThere + "/files/big").st_size, 200000);
        EXPECT_EQ(statOf(trashThere + "/files/big").st_uid, nobody);
    } else {
        // Without the right to raise a hard limit (a container may lack it), the copy fails
        // cleanly: nothing of it stays in the Trash, and the original is where it was.
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.errors.find("/big: File too large"), std::string::npos) << run.errors;
        EXPECT_EQ(statOf(items + "/big").st_size, 200000);
        EXPECT_FALSE(exists(trashThere + "/files/big"));
        EXPECT_FALSE(exists(trashThere + "/info/big.trashinfo"));
    }
}

TEST_F(TrashHelperTest, RefusesTreesHoldingAMountPoint) {
    // Another file system mounted inside a folder.
    dir.mkdirs("home/items/tree/mounted");
    dir.write("home/items/tree/own", 10);
    if (!mountDisk("home/items/tree/mounted")) GTEST_SKIP() << "cannot mount here";
    dir.write("home/items/tree/mounted/theirs", 10);
    // A mount point itself.
    ASSERT_TRUE(mountDisk("home/items/volume"));
    dir.write("home/items/volume/data", 10);
    // A folder of the same disk bound inside a folder, seen by the helper only: on one disk,
    // nothing but the mount tells the two apart.
    dir.mkdirs("private");
    dir.write("private/secret", 10);
    ASSERT_EQ(::chmod((dir / "private/secret").c_str(), 0600), 0);
    dir.mkdirs("home/items/bound/inner");
    dir.write("home/items/bound/own", 10);
    const std::string from = dir / "private";
    const std::string onto = items + "/bound/inner";
    const HelperRun run =
        helper({trash, items + "/tree", items + "/volume", items + "/bound"}, [&] {
            return ::mount(from.c_str(), onto.c_str(), nullptr, MS_BIND, nullptr) == 0;
        });
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_NE(run.errors.find("/tree: it holds a mount point"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("/volume: it is a mount point"), std::string::npos);
    EXPECT_NE(run.errors.find("/bound: it holds a mount point"), std::string::npos);
    for (const char* kept : {"/tree/own", "/tree/mounted/theirs", "/volume/data", "/bound/own"}) {
        EXPECT_TRUE(exists(items + kept)) << kept;
        EXPECT_EQ(statOf(items + kept).st_uid, 0u) << kept;
    }
    EXPECT_EQ(statOf(dir / "private/secret").st_uid, 0u);
    for (const char* n : {"tree", "volume", "bound"}) {
        EXPECT_FALSE(exists(trash + "/files/" + n)) << n;
        EXPECT_FALSE(exists(trash + "/info/" + n + ".trashinfo")) << n;
    }
}

}  // namespace
}  // namespace tamrel
