#include <fcntl.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/TempDir.h"

namespace tamrel {
namespace {

constexpr uid_t nobody = 65534;

struct HelperRun {
    int status = -1;
    std::string errors;
};

// Runs the helper with `args`, for the user PKEXEC_UID names, capturing its stderr.
HelperRun helper(const std::vector<std::string>& args, uid_t forUser = nobody) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    const std::string uid = "PKEXEC_UID=" + std::to_string(forUser);
    std::vector<char*> argv = {const_cast<char*>(TAMREL_TRASH_HELPER)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    char* envp[] = {const_cast<char*>(uid.c_str()), nullptr};
    const pid_t child = ::fork();
    if (child == 0) {
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
    return run;
}

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

class TrashHelperTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string trash = dir / "data/Trash";

    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "the helper is tested as root";
        if (!::getpwuid(nobody)) GTEST_SKIP() << "no user " << nobody;
        dir.mkdirs("data");
        dir.mkdirs("items");
        ASSERT_EQ(::chown((dir / "data").c_str(), nobody, nobody), 0);
    }
};

TEST_F(TrashHelperTest, MovesEveryNameUnchangedAndGivesItBack) {
    const std::vector<std::string> names = {"it's",  "back\\slash", "new\nline",
                                            "-dash", "quote\"d",    "tree"};
    for (const std::string& n : names) {
        if (n == "tree") {
            dir.mkdirs("items/tree/sub");
            dir.write("items/tree/sub/file", 3000);
            dir.symlink("/etc/passwd", "items/tree/link");
        } else {
            dir.write("items/" + n, 100);
        }
    }
    dir.write("linked", 10);
    dir.hardlink("linked", "items/linked");
    std::vector<std::string> args = {trash};
    for (const std::string& n : names)
        args.push_back(dir / ("items/" + n));
    args.push_back("--unload");
    args.push_back(dir / "items/linked");
    const HelperRun run = helper(args);
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const std::string& n : names) {
        EXPECT_FALSE(exists(dir / ("items/" + n))) << n;
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
    EXPECT_TRUE(info.starts_with("[Trash Info]\nPath=" + dir.path() + "/items/new%0Aline\n"))
        << info;
    EXPECT_NE(info.find("\nDeletionDate=20"), std::string::npos);
    EXPECT_NE(slurp(trash + "/info/it's.trashinfo").find("/items/it%27s\n"), std::string::npos);
}

TEST_F(TrashHelperTest, NeverOverwritesTheTrash) {
    dir.mkdirs("data/Trash/files");
    dir.mkdirs("data/Trash/info");
    for (const char* d : {"data/Trash", "data/Trash/files", "data/Trash/info"}) {
        ASSERT_EQ(::chown((dir / d).c_str(), nobody, nobody), 0);
    }
    dir.write("data/Trash/files/a", 7);
    dir.write("data/Trash/info/a.trashinfo", 7);
    dir.write("data/Trash/info/b.trashinfo", 7);
    dir.write("data/Trash/files/c", 7);
    for (const char* n : {"a", "b", "c"})
        dir.write(std::string("items/") + n, 4000);
    const HelperRun run = helper({trash, dir / "items/a", dir / "items/b", dir / "items/c"});
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const char* n : {"a", "b", "c"}) {
        EXPECT_FALSE(exists(dir / (std::string("items/") + n)));
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
    dir.mkdirs("items/real");
    dir.write("items/real/kept", 10);
    dir.symlink("real", "items/link");
    dir.write("items/dotted", 10);
    const std::vector<std::string> refused = {
        "items/dotted",                    // relative
        dir / "items/real/../dotted",      // ".."
        dir / "items/./dotted",            // "."
        dir / "items/link/kept",           // a link among the parents
        "/usr/share/tamrel-no-such-item",  // the system's own folders
        "/etc/tamrel-no-such-item",
        "/",
        dir / "data",  // holds the Trash
    };
    std::vector<std::string> args = {trash};
    args.insert(args.end(), refused.begin(), refused.end());
    const HelperRun run = helper(args);
    EXPECT_EQ(run.status, 1);
    for (const std::string& p : refused) {
        EXPECT_NE(run.errors.find("tamrel-trash-helper: " + p + ": "), std::string::npos) << p;
    }
    EXPECT_NE(run.errors.find("a symbolic link among its parent folders"), std::string::npos);
    EXPECT_NE(run.errors.find("protected"), std::string::npos);
    EXPECT_NE(run.errors.find("it holds the Trash"), std::string::npos);
    EXPECT_TRUE(exists(dir / "items/real/kept"));
    EXPECT_TRUE(exists(dir / "items/dotted"));
    EXPECT_TRUE(exists(dir / "data"));
}

TEST_F(TrashHelperTest, RefusesATrashOfAnotherUser) {
    dir.mkdirs("data/Trash");  // owned by root
    dir.write("items/x", 10);
    const HelperRun run = helper({trash, dir / "items/x"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.errors.find("another user"), std::string::npos) << run.errors;
    EXPECT_TRUE(exists(dir / "items/x"));
    EXPECT_EQ(helper({trash}).status, 2);
}

TEST_F(TrashHelperTest, CopiesAcrossFileSystems) {
    char tmpl[] = "/dev/shm/tamrel-test-XXXXXX";
    if (!::mkdtemp(tmpl)) GTEST_SKIP() << "no /dev/shm";
    const std::string other = tmpl;
    struct Cleanup {
        std::string path;
        ~Cleanup() { test::removeTree(path); }
    } cleanup{other};
    if (statOf(other).st_dev == statOf(dir.path()).st_dev) GTEST_SKIP() << "one file system";
    ASSERT_EQ(::chown(other.c_str(), nobody, nobody), 0);
    const std::string trashThere = other + "/Trash";
    // An entry already in that Trash (without its info file) under the name a failed copy
    // would have used.
    for (const char* d : {"/Trash", "/Trash/files", "/Trash/info"}) {
        ASSERT_EQ(::mkdir((other + d).c_str(), 0700), 0);
        ASSERT_EQ(::chown((other + d).c_str(), nobody, nobody), 0);
    }
    std::ofstream(trashThere + "/files/fifo") << "kept";
    dir.mkdirs("items/tree/sub");
    ::chmod((dir / "items/tree").c_str(), 0750);
    std::ofstream(dir / "items/tree/sub/file") << std::string(10000, 'x');
    dir.symlink("sub/file", "items/tree/link");
    ASSERT_EQ(::mkfifo((dir / "items/fifo").c_str(), 0600), 0);
    const HelperRun run = helper({trashThere, dir / "items/tree", dir / "items/fifo"});
    EXPECT_EQ(run.status, 1) << run.errors;
    EXPECT_FALSE(exists(dir / "items/tree"));
    EXPECT_TRUE(slurp(trashThere + "/files/tree/sub/file") == std::string(10000, 'x'));
    EXPECT_EQ(statOf(trashThere + "/files/tree").st_mode & 0777, 0750u);
    EXPECT_TRUE(S_ISLNK(statOf(trashThere + "/files/tree/link").st_mode));
    EXPECT_EQ(statOf(trashThere + "/files/tree/sub/file").st_uid, nobody);
    EXPECT_TRUE(exists(trashThere + "/info/tree.trashinfo"));
    // What cannot be copied stays where it was and leaves nothing in the Trash.
    EXPECT_NE(run.errors.find("/items/fifo: a special file"), std::string::npos) << run.errors;
    EXPECT_TRUE(exists(dir / "items/fifo"));
    EXPECT_EQ(slurp(trashThere + "/files/fifo"), "kept");
    EXPECT_FALSE(exists(trashThere + "/files/fifo.2"));
    EXPECT_FALSE(exists(trashThere + "/info/fifo.trashinfo"));
    EXPECT_FALSE(exists(trashThere + "/info/fifo.2.trashinfo"));
}

TEST_F(TrashHelperTest, LeavesMountedFileSystemsAlone) {
    dir.mkdirs("items/tree/mounted");
    dir.write("items/tree/own", 10);
    dir.mkdirs("items/volume");
    if (::mount("tamrel-test", (dir / "items/tree/mounted").c_str(), "tmpfs", 0, nullptr) != 0) {
        GTEST_SKIP() << "cannot mount here";
    }
    struct Unmount {
        std::vector<std::string> places;
        ~Unmount() {
            for (const std::string& p : places)
                ::umount2(p.c_str(), MNT_DETACH);
        }
    } unmount{{dir / "items/tree/mounted", trash + "/files/tree/mounted", dir / "items/volume"}};
    ASSERT_EQ(::mount("tamrel-test", (dir / "items/volume").c_str(), "tmpfs", 0, nullptr), 0);
    dir.write("items/tree/mounted/theirs", 10);
    dir.write("items/volume/data", 10);
    // A folder that holds a mount point moves, but what is mounted keeps its owners.
    HelperRun run = helper({trash, dir / "items/tree"});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(statOf(trash + "/files/tree/own").st_uid, nobody);
    EXPECT_EQ(statOf(trash + "/files/tree/mounted/theirs").st_uid, 0u);
    // A mount point itself is not moved, neither renamed nor copied and emptied.
    run = helper({trash, dir / "items/volume"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("mount point"), std::string::npos) << run.errors;
    EXPECT_TRUE(exists(dir / "items/volume/data"));
    EXPECT_FALSE(exists(trash + "/files/volume"));
    EXPECT_FALSE(exists(trash + "/info/volume.trashinfo"));
}

}  // namespace
}  // namespace tamrel
