#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "core/space/Suggestions.h"
#include "core/space/SystemData.h"
#include "tests/core/space/LinuxDesktop.h"

namespace tamrel {
namespace {

const SpaceBucket* bucketOf(const SystemDataReport& report, std::string_view id) {
    for (const SpaceBucket& b : report.buckets) {
        if (b.id == id) return &b;
    }
    return nullptr;
}

// The id of the bucket that lists the node at root + "/" + rel among its roots, or "".
std::string rootOf(const SystemDataReport& report, const test::LinuxDesktop& d,
                   std::string_view rel) {
    const auto n = d.id(rel);
    if (!n) return "(missing)";
    for (const SpaceBucket& b : report.buckets) {
        if (std::find(b.roots.begin(), b.roots.end(), *n) != b.roots.end()) return b.id;
    }
    return "";
}

class LinuxSystemData : public ::testing::Test {
protected:
    test::LinuxDesktop d;

    void SetUp() override {
        // Home: every application's cache, developer and model caches inside it, Flatpak and
        // Snap homes, the Trash, mail, containers.
        d.homeFile("/.cache/thumbnails/large/t.png", 40'960);
        d.homeFile("/.cache/pip/http/p", 16'384);
        d.homeFile("/.cache/huggingface/hub/model", 65'536);
        d.homeFile("/.cache/evolution/mail/m", 8192);
        d.homeFile("/.var/app/org.gnome.Boxes/cache/c", 8192);
        d.homeFile("/.var/app/org.gnome.Boxes/data/gnome-boxes/images/win.qcow2", 131'072);
        d.homeFile("/.var/app/org.gnome.Boxes/config/settings", 4096);
        d.homeFile("/snap/firefox/common/.cache/startup", 12'288);
        d.homeFile("/snap/firefox/4793/profile", 4096);
        d.homeFile("/.local/share/Trash/files/old-video.mkv", 98'304);
        d.homeFile("/.local/share/Trash/info/old-video.mkv.trashinfo", 4096);
        d.homeFile("/.local/share/docker/overlay2/layer", 24'576);
        d.homeFile("/.local/share/recently-used.xbel", 4096);
        d.homeFile("/.thunderbird/abc.default/Mail/inbox", 20'480);
        d.homeFile("/.config/Slack/Local Storage/x", 4096);
        d.homeFile("/Documents/letter.odt", 4096);
        // System: logs and the journal, package caches, state, kernels, a swap file.
        d.rootFile("var/log/journal/abc/system.journal", 57'344);
        d.rootFile("var/lib/systemd/coredump/core.gnome-shell.zst", 36'864);
        d.rootFile("var/lib/dpkg/status", 8192);
        d.rootFile("var/cache/apt/archives/pkg.deb", 28'672);
        d.rootFile("var/cache/debconf/config.dat", 4096);
        d.rootFile("var/tmp/scratch", 4096);
        d.rootFile("boot/vmlinuz-6.1.0-13-amd64", 32'768);
        d.rootFile("usr/lib/modules/6.1.0-13-amd64/kernel/x.ko", 16'384);
        d.rootFile("swapfile", 65'536);
        d.dir.mkdirs("swap.img");  // a folder where a swap file is expected: not swap
        d.rootFile("swap.img/x", 4096);
        d.scan();
    }
};

TEST_F(LinuxSystemData, EachBucketFindsItsLinuxFolders) {
    const SystemDataReport r = systemData(*d.index, d.home, VolumeFacts{}, d.profile());

    for (const auto& [rel, bucket] : std::vector<std::pair<std::string, std::string>>{
             {"home/u/.cache", "caches"},
             {"var/cache", "caches"},
             {"home/u/.var/app/org.gnome.Boxes/cache", "caches"},
             {"home/u/snap/firefox/common/.cache", "caches"},
             {"var/log", "logs"},
             {"var/lib/systemd/coredump", "logs"},
             {"var/tmp", "temp"},
             {"home/u/.local/share/Trash/files", "trash"},
             {"home/u/.local/share/Trash", "trash"},
             {"home/u/.cache/pip", "dev"},
             {"home/u/.cache/huggingface", "ai"},
             {"home/u/.local/share/docker", "vm"},
             {"home/u/.var/app/org.gnome.Boxes/data/gnome-boxes", "vm"},
             {"home/u/.cache/evolution", "mail"},
             {"home/u/.thunderbird", "mail"},
             {"home/u/.local/share", "appdata"},
             {"home/u/.config", "appdata"},
             {"home/u/.var/app", "appdata"},
             {"home/u/snap", "appdata"},
             {"swapfile", "swap"},
             {"swap.img", ""},
             {"boot", "macos"},
             {"usr/lib/modules", "macos"},
             {"var/lib", "macos"},
         }) {
        EXPECT_EQ(rootOf(r, d, rel), bucket) << rel;
    }

    // The cache home is every application's cache: its bytes less the developer, model and
    // mail folders inside it, plus the other cache folders.
    EXPECT_EQ(bucketOf(r, "caches")->bytes,
              d.size("home/u/.cache") - d.size("home/u/.cache/pip") -
                  d.size("home/u/.cache/huggingface") - d.size("home/u/.cache/evolution") +
                  d.size("var/cache") + d.size("home/u/.var/app/org.gnome.Boxes/cache") +
                  d.size("home/u/snap/firefox/common/.cache"));
    EXPECT_EQ(bucketOf(r, "swap")->bytes, d.size("swapfile"));
    EXPECT_EQ(bucketOf(r, "macos")->bytes, d.size("boot") + d.size("usr/lib/modules") +
                                               d.size("var/lib") -
                                               d.size("var/lib/systemd/coredump"));
    // The trashed items themselves lead the Trash's top list.
    EXPECT_EQ(bucketOf(r, "trash")->top.front(),
              *d.id("home/u/.local/share/Trash/files/old-video.mkv"));
    // Every byte of the tree except the documents and the folder named like a swap file is
    // explained, once.
    EXPECT_EQ(r.explained(), d.index->size(0) - d.size("home/u/Documents") - d.size("swap.img"));
}

// An application's folder in the app data holds its cache, which the caches bucket counts: the
// item shows the bytes its bucket counts of it, so no item is larger than its bucket, and the
// items of a bucket never add up to more than it.
TEST_F(LinuxSystemData, ItemsNeverOutgrowTheirBucket) {
    d.homeFile("/.var/app/com.spotify.Client/cache/storage/data", 524'288);
    d.homeFile("/.var/app/com.spotify.Client/config/prefs", 4096);
    d.homeFile("/snap/spotify/common/.cache/x", 262'144);
    d.homeFile("/snap/spotify/80/y", 786'432);
    d.homeFile("/.config/Code/logs/main.log", 4096);
    d.scan();
    for (const RuleProfile& profile : {d.profile(), RuleProfile::designed()}) {
        const SystemDataReport r = systemData(*d.index, d.home, VolumeFacts{}, profile);
        for (const SpaceBucket& b : r.buckets) {
            ASSERT_EQ(b.topBytes.size(), b.top.size()) << b.id;
            std::uint64_t sum = 0;
            for (std::size_t i = 0; i < b.top.size(); ++i) {
                EXPECT_LE(b.topBytes[i], b.bytes) << b.id << " " << d.index->path(b.top[i]);
                EXPECT_LE(b.topBytes[i], d.index->size(b.top[i])) << b.id;
                EXPECT_GT(b.topBytes[i], 0u) << b.id;
                if (i > 0) {
                    EXPECT_LE(b.topBytes[i], b.topBytes[i - 1]) << b.id << ": largest first";
                }
                sum += b.topBytes[i];
            }
            EXPECT_LE(sum, b.bytes) << b.id;
        }
    }
    const SystemDataReport r = systemData(*d.index, d.home, VolumeFacts{}, d.profile());
    const SpaceBucket* appdata = bucketOf(r, "appdata");
    ASSERT_TRUE(appdata);
    const auto itemBytes = [&](std::string_view rel) -> std::uint64_t {
        const NodeId n = *d.id(rel);
        for (std::size_t i = 0; i < appdata->top.size(); ++i)
            if (appdata->top[i] == n) return appdata->topBytes[i];
        return 0;
    };
    EXPECT_EQ(itemBytes("home/u/.var/app/com.spotify.Client"),
              d.size("home/u/.var/app/com.spotify.Client") -
                  d.size("home/u/.var/app/com.spotify.Client/cache"));
    EXPECT_EQ(itemBytes("home/u/snap/spotify"),
              d.size("home/u/snap/spotify") - d.size("home/u/snap/spotify/common/.cache"));
}

TEST_F(LinuxSystemData, BucketsSayWhatTheLinuxFoldersHold) {
    d.homeFile("/Library/Application Support/MobileSync/Backup/phone/x", 8192);
    d.rootFile("var/mail/u", 8192);
    d.scan();
    const SystemDataReport r = systemData(*d.index, d.home, VolumeFacts{}, d.profile());
    EXPECT_FALSE(bucketOf(r, "ios")) << "no device backups on Linux";
    EXPECT_EQ(bucketOf(r, "swap")->title, "Swap file");
    EXPECT_EQ(bucketOf(r, "mail")->title, "Mail & chats");
    EXPECT_EQ(bucketOf(r, "macos")->title, "System support files");
    EXPECT_EQ(bucketOf(r, "temp")->blurb,
              "Scratch space apps use while running. Most of /tmp goes at restart; /var/tmp "
              "keeps files longer.");
    EXPECT_TRUE(bucketOf(r, "dev")->blurb.starts_with("Caches of pip, npm, Cargo"));
    EXPECT_EQ(bucketOf(r, "caches")->blurb,
              "Copies apps keep to load faster. They come back as needed, so clearing them is "
              "safe.")
        << "true on Linux as designed";

    const SystemDataReport designed = systemData(*d.index, d.home, VolumeFacts{});
    EXPECT_EQ(bucketOf(designed, "ios")->title, "iPhone & iPad backups");
    EXPECT_TRUE(bucketOf(designed, "dev")->blurb.starts_with("Xcode builds"));
}

TEST_F(LinuxSystemData, WithoutTheProfileOnlyTheDesignedFoldersCount) {
    const SystemDataReport r = systemData(*d.index, d.home, VolumeFacts{});
    // "~/.cache" is developer data as designed; nothing else of a Linux desktop is looked at.
    ASSERT_EQ(r.buckets.size(), 2u);
    EXPECT_EQ(rootOf(r, d, "home/u/.cache"), "dev");
    EXPECT_EQ(rootOf(r, d, "home/u/.cache/huggingface"), "ai");
    EXPECT_FALSE(bucketOf(r, "caches"));
}

TEST_F(LinuxSystemData, SuggestionsListCachesPackagesAndLinuxInstallers) {
    d.homeFile("/Downloads/tool_1.0_amd64.deb", 8192);
    d.homeFile("/Downloads/tool.flatpak", 8192);
    d.homeFile("/Downloads/Tool.AppImage", 8192);
    d.homeFile("/go/pkg/mod/cache/x", 8192);
    d.scan();
    auto ids = [&](const std::vector<Suggestion>& all, std::string_view id) {
        std::vector<std::string> paths;
        for (const Suggestion& s : all) {
            if (s.id != id) continue;
            for (NodeId n : s.nodes)
                paths.push_back(d.index->path(n).substr(d.home.size()));
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    };
    const auto onLinux =
        suggestions(*d.index, d.home, 0, std::chrono::system_clock::now(), d.profile());
    EXPECT_EQ(ids(onLinux, "pkg"), (std::vector<std::string>{"/.cache/pip", "/go/pkg/mod"}))
        << "the package caches inside the cache home, not the cache home itself";
    const auto caches = ids(onLinux, "caches");
    EXPECT_NE(std::find(caches.begin(), caches.end(), "/.cache/thumbnails"), caches.end());
    EXPECT_EQ(std::find(caches.begin(), caches.end(), "/.cache/pip"), caches.end())
        << "a package cache is listed once";
    EXPECT_EQ(
        ids(onLinux, "installers"),
        (std::vector<std::string>{"/Downloads/tool.flatpak", "/Downloads/tool_1.0_amd64.deb"}))
        << "an AppImage is the program itself";

    const auto designed = suggestions(*d.index, d.home, 0);
    EXPECT_EQ(ids(designed, "pkg"), std::vector<std::string>{"/.cache"});
    EXPECT_TRUE(ids(designed, "installers").empty());
}

TEST(LinuxProfileTest, XdgVariablesAndTranslatedUserFoldersAreHonoured) {
    test::LinuxDesktop d;
    d.dir.mkdirs("xdg/config");
    {
        std::ofstream dirs(d.dir / "xdg/config/user-dirs.dirs");
        dirs << "# written by xdg-user-dirs-update\n"
                "XDG_DESKTOP_DIR=\"$HOME/\"\n"
                "XDG_DOWNLOAD_DIR=\"$HOME/Téléchargements\"\n"
                "XDG_DOCUMENTS_DIR=\""
             << d.root << "/docs/\"\n";
    }
    d.rootFile("xdg/cache/app/c", 8192);
    d.rootFile("xdg/data/Trash/files/gone", 8192);
    d.rootFile("xdg/data/Trash/info/gone.trashinfo", 4096);
    d.homeFile("/Téléchargements/paquet.rpm", 8192);
    d.homeFile("/.cache/left-behind", 8192);  // not the cache home any more
    d.scan();

    test::ScopedEnv c("XDG_CACHE_HOME", d.dir / "xdg/cache"),
        f("XDG_CONFIG_HOME", d.dir / "xdg/config"), s("XDG_DATA_HOME", d.dir / "xdg/data"),
        t("XDG_STATE_HOME", std::string("relative/state"));
    const RuleProfile p = RuleProfile::linuxDesktop(d.home, d.root);
    EXPECT_EQ(p.cacheHome, d.dir / "xdg/cache");
    EXPECT_EQ(p.stateHome, d.home + "/.local/state") << "a relative value is ignored";
    EXPECT_EQ(p.downloadDir, d.home + "/Téléchargements");
    EXPECT_EQ(p.desktopDir, "") << "\"$HOME/\" switches the folder off";
    EXPECT_EQ(p.documentsDir, d.root + "/docs");

    const SystemDataReport r = systemData(*d.index, d.home, VolumeFacts{}, p);
    EXPECT_EQ(rootOf(r, d, "xdg/cache"), "caches");
    RuleProfile homeAsCache = p;
    homeAsCache.cacheHome = d.home + "/";
    EXPECT_EQ(LinuxPaths(homeAsCache, d.home)("%cache"), d.home + "/.cache")
        << "a cache home that is the home folder itself is not believed";
    homeAsCache.cacheHome = d.root;
    EXPECT_EQ(LinuxPaths(homeAsCache, d.home)("%cache"), d.home + "/.cache");
    EXPECT_EQ(rootOf(r, d, "xdg/data/Trash"), "trash");
    EXPECT_EQ(rootOf(r, d, "home/u/.cache"), "dev") << "the designed path still counts";

    const auto tips = suggestions(*d.index, d.home, 0, std::chrono::system_clock::now(), p);
    const auto installers = std::find_if(tips.begin(), tips.end(),
                                         [](const Suggestion& s) { return s.id == "installers"; });
    ASSERT_NE(installers, tips.end());
    EXPECT_EQ(installers->nodes, std::vector<NodeId>{*d.id("home/u/Téléchargements/paquet.rpm")});
}

TEST(LinuxProfileTest, StarLevelsAliasesAndSnapNames) {
    test::LinuxDesktop d;
    d.homeFile("/.var/app/org.a.A/cache/x");
    d.homeFile("/.var/app/org.b.B/data/x");  // no cache folder
    d.homeFile("/.var/app/org.c.C/cache/y");
    d.homeFile("/.var/app/file-not-folder");
    d.scan();
    std::vector<std::string> found;
    for (NodeId n : lookupAll(*d.index, d.home + "/.var/app/*/cache"))
        found.push_back(d.index->path(n).substr(d.home.size()));
    EXPECT_EQ(found,
              (std::vector<std::string>{"/.var/app/org.a.A/cache", "/.var/app/org.c.C/cache"}));
    EXPECT_EQ(lookupAll(*d.index, d.home + "/.var/app/*").size(), 3u);
    EXPECT_TRUE(lookupAll(*d.index, d.home + "/.nothing/*/cache").empty());
    EXPECT_EQ(lookupAll(*d.index, d.home + "/.var/app/*x").size(), 0u) << "\"*x\" is a name";

    const std::set<std::string> running = withFolderAliases({"chrome", "firefox-bin", "brave"});
    for (const char* alias : {"google-chrome", "mozilla", "bravesoftware"})
        EXPECT_TRUE(running.contains(alias)) << alias;
    EXPECT_FALSE(running.contains("chromium"));

    EXPECT_EQ(snapNameOfExecutable("/snap/firefox/4793/usr/lib/firefox/firefox"), "firefox");
    EXPECT_EQ(snapNameOfExecutable("/var/lib/snapd/snap/spotify/80/spotify"), "spotify");
    EXPECT_EQ(snapNameOfExecutable("/snap/bin/firefox"), std::nullopt);
    EXPECT_EQ(snapNameOfExecutable("/usr/bin/firefox"), std::nullopt);
}

}  // namespace
}  // namespace tamrel
