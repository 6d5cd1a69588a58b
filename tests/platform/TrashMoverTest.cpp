#include "platform/TrashMover.h"

#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/Child.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"

namespace tamrel {
namespace {

constexpr uid_t nobody = 65534;

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
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
    EXPECT_FALSE(TrashMover::open(data.path() + std::string("/Trash\0x", 8), ::geteuid(),
                                  ::getegid(), why));
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

}  // namespace
}  // namespace tamrel
