#include "model/apps/AppImages.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "core/apps/Leftovers.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "model/apps/AppScanner.h"
#include "tests/model/Fixtures.h"
#include "tests/support/AppImageHome.h"
#include "tests/support/Child.h"

namespace tamrel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;

TEST(AppImageName, NameAndVersionFromTheFileName) {
    const std::map<std::string, AppImageName> cases = {
        {"Obsidian-1.5.3.AppImage", {"Obsidian", "1.5.3"}},
        {"obsidian_1.5.3_x86_64.AppImage", {"obsidian", "1.5.3"}},
        {"krita-5.2.2-x86_64.appimage", {"krita", "5.2.2"}},
        {"appimagetool-x86_64.AppImage", {"appimagetool", ""}},
        {"LM_Studio-0.2.18.AppImage", {"LM_Studio", "0.2.18"}},
        {"Etcher-v1.18.11-x64.AppImage", {"Etcher", "1.18.11"}},
        {"MyApp-linux-arm64.AppImage", {"MyApp", ""}},
        {"Some App 2.0.AppImage", {"Some App", "2.0"}},
        {"1password-8.10.7.AppImage", {"1password", "8.10.7"}},
        {"FreeCAD_0.21.2-2023-12-17-conda-Linux-x86_64-py310.AppImage", {"FreeCAD", "0.21.2"}},
        {"nvim", {"nvim", ""}},
        {"Tool.AppImage", {"Tool", ""}},
        {"2048.AppImage", {"2048", ""}},
        {".AppImage", {".AppImage", ""}},
    };
    for (const auto& [file, expected] : cases) EXPECT_EQ(appImageName(file), expected) << file;
}

TEST(AppImageLastUse, AccessLaterThanChangeUnlessNoatime) {
    const timespec t0{1000, 500};
    const auto at = [](const timespec& t) {
        return Clock::time_point(std::chrono::duration_cast<Clock::duration>(
            std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec)));
    };
    EXPECT_EQ(lastUse({1000, 501}, t0, false), (LastUse{true, at({1000, 501})}));
    EXPECT_EQ(lastUse({2000, 0}, t0, false), (LastUse{true, at({2000, 0})}));
    EXPECT_EQ(lastUse(t0, t0, false), (LastUse{true, std::nullopt}));  // never opened
    EXPECT_EQ(lastUse({999, 900}, t0, false), (LastUse{true, std::nullopt}));
    EXPECT_EQ(lastUse({2000, 0}, t0, true), (LastUse{false, std::nullopt}));  // not recorded
}

// A temporary home with three AppImages and their leftovers (makeAppImageHome), and files that
// look like AppImages but are not to be listed.
class AppImageInventory : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string home = test::makeAppImageHome(dir);
    std::unique_ptr<DiskIndex> index;

    std::vector<InstalledApp> scan() {
        ScanProgress progress;
        index = Scanner::scan(dir.path(), progress, 2);
        return AppScanner::scan(*index, home, dir / "sys", RuleProfile::linuxDesktop(home));
    }
    const InstalledApp& named(const std::vector<InstalledApp>& apps, const std::string& name) {
        const auto it = std::find_if(apps.begin(), apps.end(),
                                     [&](const InstalledApp& a) { return a.name == name; });
        if (it == apps.end()) throw std::runtime_error("no " + name);
        return *it;
    }
    // Leftovers as "path below home" -> "label", plus " (ticked)" for the default tick.
    std::map<std::string, std::string> leftoversOf(const InstalledApp& app) {
        std::map<std::string, std::string> out;
        for (const Leftover& l : app.leftovers) {
            out[index->path(l.node).substr(home.size())] =
                std::string(Leftover::linuxLabel(l.kind)) +
                (leftoverTickedByDefault(l, app.identity.teamExclusive,
                                         RuleProfile::linuxDesktop(home))
                     ? " (ticked)"
                     : "");
        }
        return out;
    }
    std::set<std::string> pathsBelowHome(const std::vector<NodeId>& nodes) {
        std::set<std::string> out;
        for (NodeId n : nodes) out.insert(index->path(n).substr(home.size()));
        return out;
    }
};

TEST_F(AppImageInventory, ListsTheUsersAppImagesWithIdentityUseIconsAndLeftovers) {
    // Listed too: an AppImage known by its magic alone, one a folder further down.
    test::writeAppImage(dir, "home/.local/bin/nvim", 50'000);
    test::writeAppImage(dir, "home/Apps/Tools/Helper-2.0.AppImage", 40'000);
    // Not listed: a script, two folders down, a link (its target is listed by itself), a file
    // of another user, a file in a bundle.
    dir.mkdirs("home/bin");
    dir.write("home/bin/script.sh", 100);
    test::writeAppImage(dir, "home/Apps/a/b/Deep.AppImage", 1000);
    dir.symlink(dir / "home/Applications/Obsidian-1.5.3.AppImage", "home/bin/obsidian");
    // Only root can give a file to another user: without root it is not made at all.
    const bool root = ::getuid() == 0;
    if (root) {
        test::writeAppImage(dir, "home/opt/Theirs.AppImage", 1000);
        ASSERT_EQ(::lchown((dir / "home/opt/Theirs.AppImage").c_str(), test::nobody, 0), 0);
    }
    test::writeAppImage(dir, "home/Applications/Wrapped.app/Contents/Inner.AppImage", 1000);

    const auto apps = scan();
    std::vector<std::string> names;
    for (const InstalledApp& a : apps) names.push_back(a.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Obsidian", "krita", "Helper", "nvim"}))
        << "folders in order; another user's file " << (root ? "left out" : "not made");

    struct statvfs fs {};
    ASSERT_EQ(::statvfs(home.c_str(), &fs), 0);
    const bool noatime = fs.f_flag & ST_NOATIME;

    const InstalledApp& obsidian = named(apps, "Obsidian");
    EXPECT_TRUE(obsidian.appImage);
    EXPECT_EQ(obsidian.path, home + "/Applications/Obsidian-1.5.3.AppImage");
    EXPECT_EQ(obsidian.version, "1.5.4");  // the entry's, before the file name's
    EXPECT_EQ(obsidian.bundleID, "appimagekit-obsidian");
    EXPECT_EQ(obsidian.identity.bundleIDs,
              (std::vector<std::string>{"appimagekit-obsidian", "obsidian",
                                        "md.obsidian.Obsidian", "obsidian-vault"}));
    EXPECT_EQ(obsidian.identity.names,
              (std::vector<std::string>{"Obsidian", "Obsidian Vault"}));
    EXPECT_EQ(obsidian.appSize, index->size(obsidian.node));
    EXPECT_GE(obsidian.appSize, 300'000u);
    EXPECT_EQ(obsidian.icons,  // the largest first
              (std::vector<std::string>{
                  home + "/.local/share/icons/hicolor/64x64/apps/appimagekit-obsidian.png",
                  home + "/.local/share/icons/hicolor/32x32/apps/appimagekit-obsidian.png"}));
    // Its two entries and the icon files only they name; not the icon another program's entry
    // names as well.
    EXPECT_EQ(pathsBelowHome(obsidian.desktopFiles),
              (std::set<std::string>{"/.local/share/applications/appimagekit-obsidian.desktop",
                                     "/.local/share/applications/obsidian-vault.desktop",
                                     "/.local/share/icons/hicolor/32x32/apps/appimagekit-obsidian.png",
                                     "/.local/share/icons/hicolor/64x64/apps/appimagekit-obsidian.png"}));
    EXPECT_EQ(obsidian.lastUsedKnown, !noatime);
    if (!noatime) {
        ASSERT_TRUE(obsidian.lastUsed);
        EXPECT_GT(*obsidian.lastUsed, Clock::now() + 50min);
    }
    // The name matches in the config and state homes are offered unticked; the identifier and
    // the cache ticked.
    EXPECT_EQ(leftoversOf(obsidian), (std::map<std::string, std::string>{
                                          {"/.config/obsidian", "Preferences"},
                                          {"/.cache/obsidian", "Caches (ticked)"},
                                          {"/.local/state/md.obsidian.Obsidian", "Saved state (ticked)"},
                                          {"/.config/autostart/obsidian.desktop", "Autostart entries"},
                                      }));
    EXPECT_EQ(obsidian.leftoverSize,
              index->size(*index->lookup(home + "/.config/obsidian")) +
                  index->size(*index->lookup(home + "/.cache/obsidian")) +
                  index->size(*index->lookup(home + "/.local/state/md.obsidian.Obsidian")) +
                  index->size(*index->lookup(home + "/.config/autostart/obsidian.desktop")));

    const InstalledApp& krita = named(apps, "krita");
    EXPECT_EQ(krita.version, "5.2.2");
    EXPECT_EQ(krita.bundleID, "krita-5.2.2-x86_64.appimage");  // no entry: its file name
    EXPECT_TRUE(krita.identity.bundleIDs.empty());
    EXPECT_TRUE(krita.icons.empty());
    EXPECT_TRUE(krita.desktopFiles.empty());
    EXPECT_EQ(krita.lastUsedKnown, !noatime);
    EXPECT_FALSE(krita.lastUsed);  // never opened since it came
    EXPECT_EQ(leftoversOf(krita), (std::map<std::string, std::string>{
                                      {"/.config/kritarc", "Preferences"},
                                      {"/.local/share/krita", "App data"},
                                      {"/.cache/krita", "Caches (ticked)"},
                                  }));

    EXPECT_EQ(named(apps, "nvim").version, "");
    EXPECT_EQ(named(apps, "Helper").version, "2.0");

    // The designed rules list bundles alone.
    EXPECT_TRUE(AppScanner::scan(*index, home, dir / "sys").empty());
}

// Scanning reads no AppImage in a way that would make it look opened.
// An icon file goes with an AppImage only when no other program's entry resolves to the same
// file, whether the entries name it by an absolute path (through a link too) or by its name.
TEST_F(AppImageInventory, AnIconFileAnotherProgramUsesStays) {
    struct Case {
        const char* fooIcon;  // $ICONS: the icons folder
        const char* barIcon;
        bool fooTakesIt;
    };
    const std::vector<Case> cases = {
        {"$ICONS/hicolor/48x48/apps/bar.png", "bar", false},
        {"$ICONS/linked/bar.png", "bar", false},
        {"bar", "$ICONS/hicolor/48x48/apps/bar.png", false},
        {"$ICONS/hicolor/48x48/apps/bar.png", "other", true},
        {"$ICONS/hicolor/48x48/apps/bar.png", "$ICONS/linked/bar.png", false},
    };
    const std::string icons = home + "/.local/share/icons";
    dir.mkdirs("home/.local/share/icons/hicolor/48x48/apps");
    dir.write("home/.local/share/icons/hicolor/48x48/apps/bar.png", 500);
    dir.symlink(icons + "/hicolor/48x48/apps", "home/.local/share/icons/linked");
    test::writeAppImage(dir, "home/Applications/Foo.AppImage", 1000);
    test::writeAppImage(dir, "home/Applications/Bar.AppImage", 1000);
    const auto entry = [&](const char* name, const std::string& icon) {
        std::string text = "[Desktop Entry]\nName=" + std::string(name) + "\nExec=" + home +
                           "/Applications/" + name + ".AppImage\nIcon=" + icon + "\n";
        if (icon.starts_with("$ICONS")) text.replace(text.find("$ICONS"), 6, icons);
        std::ofstream(home + "/.local/share/applications/" + name + ".desktop") << text;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fooIcon) + " / " + c.barIcon);
        entry("Foo", c.fooIcon);
        entry("Bar", c.barIcon);
        const auto apps = scan();
        const std::string bar = "/.local/share/icons/hicolor/48x48/apps/bar.png";
        EXPECT_EQ(pathsBelowHome(named(apps, "Foo").desktopFiles).contains(bar), c.fooTakesIt);
        EXPECT_FALSE(pathsBelowHome(named(apps, "Bar").desktopFiles).contains(bar));
    }
}

TEST_F(AppImageInventory, LookingLeavesAccessTimesAlone) {
    test::writeAppImage(dir, "home/.local/bin/tool", 50'000);
    test::setAccessed(dir / "home/.local/bin/tool", -24h);
    struct stat before {};
    ASSERT_EQ(::stat((dir / "home/.local/bin/tool").c_str(), &before), 0);
    const auto apps = scan();
    EXPECT_FALSE(named(apps, "tool").lastUsed);
    struct stat after {};
    ASSERT_EQ(::stat((dir / "home/.local/bin/tool").c_str(), &after), 0);
    EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec);
    EXPECT_EQ(after.st_atim.tv_nsec, before.st_atim.tv_nsec);
}

// Real processes: a copy of sleep started with APPIMAGE naming the file, one running from the
// folder the AppImage mounts itself at, and two that are not its copies.
TEST(AppImageRunning, FoundByItsEnvironmentOrItsMountFolder) {
    test::TempDir dir;
    test::writeAppImage(dir, "home/Applications/Obsidian-1.5.3.AppImage", 1000);
    const std::string path = dir / "home/Applications/Obsidian-1.5.3.AppImage";
    const std::string mounts = dir / "tmp";
    test::SleepingChild byEnvironment(dir / "elsewhere/obsidian", {{"APPIMAGE", path}});
    test::SleepingChild byMount(mounts + "/.mount_ObsidiAb12Cd/usr/bin/obsidian", {});
    // Another AppImage sharing the first six characters: its APPIMAGE says so.
    test::SleepingChild other(mounts + "/.mount_ObsidiXy34Zw/usr/bin/obsidian",
                              {{"APPIMAGE", dir / "home/Applications/Obsidian-0.9.AppImage"}});
    test::SleepingChild unrelated(dir / "elsewhere/sleeper", {});

    std::set<pid_t> found;
    for (const ProcessInfo& p : appImageCopies(Processes::list(), path, {mounts}))
        found.insert(p.pid);
    EXPECT_TRUE(found.contains(byEnvironment.pid()));
    EXPECT_TRUE(found.contains(byMount.pid()));
    EXPECT_FALSE(found.contains(other.pid()));
    EXPECT_FALSE(found.contains(unrelated.pid()));
    // Without the mount folders, only the environment tells.
    found.clear();
    for (const ProcessInfo& p : appImageCopies(Processes::list(), path, {dir / "nowhere"}))
        found.insert(p.pid);
    EXPECT_EQ(found, (std::set<pid_t>{byEnvironment.pid()}));
}

}  // namespace
}  // namespace tamrel
