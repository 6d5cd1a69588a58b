#include "model/removal/Remover.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "model/system/SystemPlatform.h"
#include "tests/model/Fixtures.h"
#include "tests/support/PrivateMounts.h"

namespace tamrel {
namespace {

using Kind = Leftover::Kind;

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class RemoverTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::ScopedEnv home{"HOME", dir / "home"};
    test::ScopedEnv data{"XDG_DATA_HOME", dir / "data"};
    test::FakePlatform platform;

    void SetUp() override {
        dir.mkdirs("home/Library/LaunchAgents");
        dir.mkdirs("sys");
        dir.mkdirs("away");
    }
    Remover::Outcome removeOffMain(const std::vector<Remover::Item>& items) {
        Remover::Outcome out;
        test::offMainThread([&] { out = Remover::remove(items, platform); });
        return out;
    }
    std::string inTrash(const std::string& name) { return dir / ("data/Trash/files/" + name); }
    // A stand-in for the privileged mover: a shell script of `body`.
    std::string standIn(const std::string& body) {
        const std::string mover = dir / "mover";
        std::ofstream(mover) << "#!/bin/sh\n" << body;
        EXPECT_EQ(::chmod(mover.c_str(), 0755), 0);
        return mover;
    }
};

TEST_F(RemoverTest, UserItemsThatAllMoveNeverPrompt) {
    dir.mkdirs("home/Applications/App.app/Contents");
    dir.write("home/Library/LaunchAgents/com.example.agent.plist", 10);
    dir.write("home/cache", 10);
    const std::vector<Remover::Item> items = {
        {7, dir / "home/Applications/App.app", false, std::nullopt},
        {8, dir / "home/Library/LaunchAgents/com.example.agent.plist", false, Kind::agent},
        {9, dir / "home/cache", false, Kind::cache},
    };
    const auto out = removeOffMain(items);
    EXPECT_EQ(out, (Remover::Outcome{{7, 8, 9}, {}}));
    EXPECT_TRUE(platform.elevations.empty());
    EXPECT_EQ(
        platform.runs,
        (std::vector<std::vector<std::string>>{
            {"/bin/launchctl", "bootout", "gui/" + std::to_string(::getuid()), items[1].path}}));
    EXPECT_TRUE(exists(inTrash("App.app/Contents")));
    EXPECT_TRUE(exists(inTrash("com.example.agent.plist")));
    EXPECT_FALSE(exists(items[2].path));
    EXPECT_EQ(Remover::remove({}, platform), Remover::Outcome{});
}

TEST_F(RemoverTest, StrangeNamesReachTheAdministratorUnchanged) {
    const std::vector<std::string> names = {"it's",  "back\\slash", "new\nline",
                                            "-dash", "quo\"te",     "not utf-8 \xff\xfe"};
    std::vector<Remover::Item> items;
    // A user item that is already gone: nothing is left, so it counts, and nobody is asked.
    items.push_back({1, dir / "home/vanished", false, Kind::cache});
    for (std::size_t i = 0; i < names.size(); ++i) {
        dir.write("sys/" + names[i], 10);
        items.push_back({static_cast<NodeId>(10 + i), dir / ("sys/" + names[i]), true,
                         i == 0 ? std::optional(Kind::daemon) : std::optional(Kind::support)});
    }
    platform.onElevate = [&](const std::vector<ElevatedItem>& asked) {
        for (const ElevatedItem& item : asked) {
            if (exists(item.path)) test::moveAway(item.path, dir / "away");
        }
    };
    const auto out = removeOffMain(items);
    ASSERT_EQ(platform.elevations.size(), 1u);
    EXPECT_NE(platform.elevatedOn, std::this_thread::get_id());  // the caller's, not the main one
    const auto& asked = platform.elevations[0];
    ASSERT_EQ(asked.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(asked[i].path, items[i + 1].path);
        EXPECT_EQ(asked[i].unload, i == 0);
    }
    EXPECT_EQ(out.removed, (std::vector<NodeId>{1, 10, 11, 12, 13, 14, 15}));
    EXPECT_TRUE(out.failures.empty());
    EXPECT_TRUE(exists(dir / "away/new\nline"));
}

TEST_F(RemoverTest, OutcomesAreDecidedByWhatIsLeft) {
    dir.write("home/mine", 10);
    dir.write("sys/moved", 10);
    dir.write("sys/stays", 10);
    dir.mkdirs("sys/folder");
    const std::vector<Remover::Item> items = {
        {1, dir / "sys/moved", true, Kind::daemon},
        {2, dir / "home/mine", false, std::nullopt},
        {3, dir / "sys/stays", true, Kind::agent},
        {4, dir / "sys/folder/", true, Kind::support},
    };
    platform.onElevate = [&](const std::vector<ElevatedItem>&) {
        test::moveAway(dir / "sys/moved", dir / "away");
    };
    EXPECT_EQ(removeOffMain(items), (Remover::Outcome{{2, 1}, {"stays", "folder"}}));
    EXPECT_EQ(platform.elevations.at(0).size(), 3u);

    // A dismissed prompt fails every elevated item; called on the main thread it asks directly.
    platform.allow = false;
    dir.write("home/second", 10);
    const auto out = Remover::remove(
        {{5, dir / "home/second", false, std::nullopt}, {3, dir / "sys/stays", true, Kind::agent}},
        platform);
    EXPECT_EQ(out, (Remover::Outcome{{5}, {"stays"}}));
}

// A user item this user may not move goes on to the administrator step; the user's own file
// never does, whatever kept it (here: no home Trash at all).
TEST_F(RemoverTest, OnlyWhatTheUserMayNotMoveIsHandedOn) {
    dir.write("home/Library/LaunchAgents/com.example.a.plist", 10);
    dir.write("home/file", 10);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::lchown((dir / "home/Library/LaunchAgents/com.example.a.plist").c_str(),
                           test::nobody, test::nobody),
                  0);
    }
    const std::vector<Remover::Item> items = {
        {1, dir / "home/Library/LaunchAgents/com.example.a.plist", false, Kind::agent},
        {2, dir / "home/file", false, std::nullopt},
    };
    platform.allow = false;
    Remover::Outcome out = removeOffMain({items[0]});
    if (root) {
        EXPECT_EQ(out, (Remover::Outcome{{}, {"com.example.a.plist"}}));
        EXPECT_EQ(out.reasons, std::vector{TrashRefusal::rightsRefused});
        ASSERT_EQ(platform.elevations.size(), 1u);
        EXPECT_TRUE(platform.elevations[0][0].unload);
        EXPECT_EQ(platform.runs.size(), 1u);
    }
    dir.write("blocker", 10);
    test::ScopedEnv broken("XDG_DATA_HOME", dir / "blocker/data");
    const std::size_t asked = platform.elevations.size();
    out = removeOffMain({items[1]});
    EXPECT_EQ(out, (Remover::Outcome{{}, {"file"}}));
    EXPECT_EQ(out.reasons, std::vector{TrashRefusal::noTrash});
    EXPECT_EQ(platform.elevations.size(), asked);
    // Without root the agent is this user's own, so the first call moved it.
    if (root) {
        EXPECT_TRUE(exists(items[0].path));
    }
    EXPECT_TRUE(exists(items[1].path));
}

TEST_F(RemoverTest, NamesQtCannotHoldAreMovedByteForByte) {
    dir.write("home/caf\xe9", 10);
    const auto out = removeOffMain({{4, dir / "home/caf\xe9", false, Kind::cache}});
    EXPECT_EQ(out, (Remover::Outcome{{4}, {}}));
    EXPECT_TRUE(platform.elevations.empty());
    EXPECT_TRUE(exists(inTrash("caf\xe9")));
    EXPECT_TRUE(exists(dir / "data/Trash/info/caf\xe9.trashinfo"));
}

TEST_F(RemoverTest, HomeItemsGoToTheTrashWithEveryNameIntact) {
    // Names Qt's own Trash call gets wrong: one of 246 to 255 bytes (it never returns), a
    // newline (a second Path= line), a "%" (read back as an escape); and a dangling link.
    const std::string longName(250, 'x');
    for (const std::string& n : {longName, std::string("new\nline"), std::string("100%41")}) {
        dir.write("home/" + n, 10);
    }
    dir.symlink("nowhere", "home/dangling");
    const std::vector<Remover::Item> items = {
        {1, dir / "home/new\nline", false, Kind::cache},
        {2, dir / "home/100%41", false, Kind::cache},
        {3, dir / "home/dangling", false, Kind::cache},
        {4, dir / ("home/" + longName), false, Kind::cache},
    };
    EXPECT_EQ(removeOffMain(items), (Remover::Outcome{{1, 2, 3, 4}, {}}));
    EXPECT_TRUE(platform.elevations.empty());
    EXPECT_EQ(slurp(dir / "data/Trash/info/new\nline.trashinfo")
                  .find("Path=" + dir.path() + "/home/new%0Aline\nDeletionDate="),
              std::string("[Trash Info]\n").size());
    EXPECT_NE(slurp(dir / "data/Trash/info/100%41.trashinfo")
                  .find("Path=" + dir.path() + "/home/100%2541\n"),
              std::string::npos);
    EXPECT_TRUE(S_ISLNK(statOf(inTrash("dangling")).st_mode));
    // Shortened so that its .trashinfo name fits too.
    EXPECT_TRUE(exists(inTrash(longName.substr(0, 245))));
    EXPECT_TRUE(exists(dir / ("data/Trash/info/" + longName.substr(0, 245) + ".trashinfo")));
    for (const Remover::Item& item : items)
        EXPECT_FALSE(exists(item.path)) << item.path;
}

TEST_F(RemoverTest, AHomeBehindALinkNeedsNoPrompt) {
    // As a home folder at /home/u with /home a link to /var/home.
    dir.mkdirs("var/home/u");
    dir.symlink(dir / "var/home", "home/linked");
    dir.write("var/home/u/cache", 10);
    const auto out = removeOffMain({{1, dir / "home/linked/u/cache", false, Kind::cache}});
    EXPECT_EQ(out, (Remover::Outcome{{1}, {}}));
    EXPECT_TRUE(platform.elevations.empty());
    EXPECT_FALSE(exists(dir / "var/home/u/cache"));
    EXPECT_NE(slurp(dir / "data/Trash/info/cache.trashinfo").find("\nPath=" + dir.path() +
                                                                    "/var/home/u/cache\n"),
              std::string::npos);
}

TEST_F(RemoverTest, ItemsOnAnotherDiskGoToThatDisksTrash) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a disk needs root";
    dir.mkdirs("disk");
    if (::mount("tamrel-test", (dir / "disk").c_str(), "tmpfs", 0, nullptr) != 0) {
        GTEST_SKIP() << "cannot mount here";
    }
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{dir / "disk"};
    const std::string uid = std::to_string(::geteuid());
    dir.mkdirs("disk/folder/sub");
    dir.write("disk/folder/sub/file", 10);
    dir.write("disk/other", 10);
    // No shared .Trash on that disk: the user's own .Trash-UID at its top.
    Remover::Outcome out = removeOffMain({{1, dir / "disk/folder/sub", false, Kind::cache}});
    EXPECT_EQ(out, (Remover::Outcome{{1}, {}}));
    const std::string own = dir / ("disk/.Trash-" + uid);
    EXPECT_TRUE(exists(own + "/files/sub/file"));
    EXPECT_NE(slurp(own + "/info/sub.trashinfo").find("\nPath=folder/sub\n"),
              std::string::npos);
    // A shared .Trash with the sticky bit: the user's folder in it.
    dir.mkdirs("disk/.Trash");
    ASSERT_EQ(::chmod((dir / "disk/.Trash").c_str(), 01777), 0);
    out = removeOffMain({{2, dir / "disk/other", false, Kind::cache}});
    EXPECT_EQ(out, (Remover::Outcome{{2}, {}}));
    EXPECT_TRUE(exists(dir / ("disk/.Trash/" + uid + "/files/other")));
    EXPECT_TRUE(platform.elevations.empty());
    EXPECT_FALSE(exists(inTrash("sub")));
    EXPECT_FALSE(exists(inTrash("other")));
}

TEST_F(RemoverTest, APathWithANulByteIsNeverHandedOn) {
    dir.write("home/a", 10);
    dir.write("sys/b", 10);
    const auto out = removeOffMain({{1, dir / std::string("home/a\0x", 8), false, Kind::cache},
                                    {2, dir / std::string("sys/b\0y", 7), true, Kind::support}});
    EXPECT_EQ(out.removed, std::vector<NodeId>{});
    EXPECT_EQ(out.failures.size(), 2u);
    EXPECT_TRUE(platform.elevations.empty());
    EXPECT_TRUE(exists(dir / "home/a"));
    EXPECT_TRUE(exists(dir / "sys/b"));
    EXPECT_FALSE(exists(inTrash("a")));
}

TEST_F(RemoverTest, TheRealHelperMovesSystemItemsWhenRoot) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, or a password prompt";
    if (!test::privateMountsWork()) GTEST_SKIP() << "no private mount namespaces here";
    SystemPlatform real(TAMREL_TRASH_HELPER);
    dir.mkdirs("sys/com.example.tool");
    dir.write("sys/com.example.tool/data", 100);
    dir.write("sys/it's \"quoted\"", 10);
    dir.write("elsewhere", 10);
    const std::vector<Remover::Item> items = {
        {1, dir / "sys/com.example.tool", true, Kind::support},
        {2, dir / "sys/it's \"quoted\"", true, Kind::daemon},
        {3, dir / "sys/missing", true, Kind::cache},
        {4, dir / "elsewhere", true, Kind::cache},
    };
    // The helper serves folders below root's home: here that is the test's "sys" folder.
    const std::string passwd = dir / "passwd";
    std::ofstream(passwd) << "root:x:0:0:root:" << dir / "sys" << ":/bin/sh\n";
    const Remover::Outcome expected{{1, 2, 3}, {"elsewhere"}};
    const int status = test::inChild([&] {
        if (!test::enterPrivateMounts() ||
            ::mount(passwd.c_str(), "/etc/passwd", nullptr, MS_BIND, nullptr) != 0) {
            return 2;
        }
        return Remover::remove(items, real) == expected ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(exists(inTrash("com.example.tool/data")));
    EXPECT_TRUE(exists(inTrash("it's \"quoted\"")));
    EXPECT_TRUE(exists(dir / "elsewhere"));
}

// Stopped while the privileged mover runs (here a stand-in that never ends), the call returns
// without waiting for it, and every item counts as not moved.
TEST_F(RemoverTest, AStoppedAdministratorMoveIsNotWaitedFor) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, or a password prompt";
    const std::string started = dir / "started";
    SystemPlatform stand(standIn(": > '" + started + "'\nexec sleep 60\n"));
    dir.write("sys/item", 10);
    std::atomic<bool> stop = false;
    std::thread quitter([&] {
        for (int i = 0; i < 10000 && !exists(started); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        stop = true;
    });
    const Remover::Outcome out =
        Remover::remove({{5, dir / "sys/item", true, Kind::support}}, stand, stop);
    quitter.join();
    EXPECT_TRUE(exists(started));
    EXPECT_EQ(out, (Remover::Outcome{{}, {"item"}}));
    EXPECT_TRUE(exists(dir / "sys/item"));
}

// The administrator step is told what each item must still be, before its path; an item without
// a recorded pick goes without. (The helper's own check of it: TrashHelperTest.)
TEST_F(RemoverTest, TheAdministratorStepIsToldWhatEachItemMustBe) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, or a password prompt";
    const std::string args = dir / "args";
    SystemPlatform stand(standIn("printf '%s\\n' \"$@\" > '" + args + "'\n"));
    dir.mkdirs("sys/tool");
    dir.write("sys/plain", 10);
    ExpectedItem picked;
    picked.type = ExpectedItem::Type::folder;
    picked.root = dir / "sys";
    ASSERT_EQ(TrashMover::recordItem(dir / "sys/tool", picked).refusal, TrashRefusal::none);
    Remover::remove({{1, dir / "sys/tool", true, Kind::daemon, picked},
                     {2, dir / "sys/plain", true, Kind::support}},
                    stand);
    std::vector<std::string> lines;
    std::istringstream text(slurp(args));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
              (std::vector<std::string>{"--unload", "--expect", expectedArgument(picked),
                                        dir / "sys/tool", dir / "sys/plain"}));
    EXPECT_TRUE(parseExpectedArgument(lines[3])->file);
}

}  // namespace
}  // namespace tamrel
