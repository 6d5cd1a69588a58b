#include <gtest/gtest.h>

#include "core/space/CleanPlan.h"
#include "tests/core/space/CleanTestHelpers.h"
#include "tests/core/space/LinuxDesktop.h"

namespace tamrel {
namespace {

// The group and tick of the item at root + "/" + rel, "" when it is no item.
struct Offered {
    std::string group;
    bool on = false;
    std::optional<std::string> note;
    friend bool operator==(const Offered&, const Offered&) = default;
};
std::ostream& operator<<(std::ostream& os, const Offered& o) {
    return os << (o.group.empty() ? "(not offered)" : o.group) << (o.on ? " on" : " off") << " "
              << o.note.value_or("");
}

class LinuxCleanPlan : public ::testing::Test {
protected:
    test::LinuxDesktop d;
    const std::uint32_t now = storedSeconds(std::chrono::system_clock::now());
    CleanContext context;

    void SetUp() override {
        // dev, ai
        d.homeFile("/.cache/yarn/v6/pkg");
        d.homeFile("/.cache/pypoetry/virtualenvs/app-py3.11/lib");
        d.homeFile("/.android/avd/Pixel.avd/userdata.img");
        d.homeFile("/.cache/torch/hub/checkpoints/resnet.pth");
        // web: a Chromium profile, an Electron app, a Flatpak Electron app, a chat program
        d.homeFile("/.config/google-chrome/Default/Code Cache/js/x");
        d.homeFile("/.config/Slack/GPUCache/data_0");
        d.homeFile("/.config/Slack/logs/webapp.log");
        d.homeFile("/.var/app/com.discordapp.Discord/config/discord/GPUCache/data_0");
        d.homeFile("/.config/hexchat/logs/libera.log");
        // caches: app caches, an open browser's, ones never offered, Flatpak and Snap ones
        d.homeFile("/.cache/thumbnails/large/t.png");
        d.homeFile("/.cache/mozilla/firefox/cache2/x");
        d.homeFile("/.cache/evolution/mail/offline-edit");
        d.homeFile("/.cache/kioexec/krun/edited.odt");
        d.homeFile("/.cache/sessions/xfce4-session-host:0");
        d.homeFile("/.var/app/org.gnome.Builder/cache/gnome-builder/index");
        d.homeFile("/.var/app/org.gnome.Maps/cache/tiles/x");
        d.homeFile("/snap/spotify/common/.cache/spotify/data");
        // logs
        d.homeFile("/.xsession-errors");
        d.homeFile("/.xsession-errors.old");
        d.homeFile("/.local/share/xorg/Xorg.0.log");
        // projects: one in the user's code, one in Go's module sources, one in a snap home
        d.homeFile("/code/app/package.json");
        d.homeFile("/code/app/node_modules/left-pad/index.js");
        d.homeFile("/go/pkg/mod/github.com/x/y@v1/package.json");
        d.homeFile("/go/pkg/mod/github.com/x/y@v1/node_modules/z/i.js");
        d.homeFile("/snap/code/common/p/package.json");
        d.homeFile("/snap/code/common/p/node_modules/z/i.js");
        // installers
        d.homeFile("/Downloads/zoom_amd64.deb");
        d.homeFile("/Downloads/Obsidian.AppImage");
        // leftovers: an uninstalled and an installed Flatpak, a removed snap, reverse-DNS
        // folders in the XDG homes, a dotless one, and a Steam library
        d.homeFile("/.var/app/org.example.Gone/data/saves/slot1");
        d.homeFile("/.var/app/org.example.Here/data/x");
        d.homeFile("/snap/gonesnap/common/x");
        d.homeFile("/.config/org.example.Old/settings.ini");
        d.homeFile("/.local/state/org.example.Old/history");
        d.homeFile("/.config/oldtool/config");
        d.homeFile("/.local/share/org.tamrel.Tamrel/indexes/x");
        d.homeFile("/.local/share/Steam/steamapps/common/Game/data.pak");
        for (const char* old :
             {"home/u/code/app", "home/u/go/pkg/mod/github.com/x/y@v1", "home/u/snap/code/common/p",
              "home/u/.var/app/org.example.Gone", "home/u/.var/app/org.example.Here",
              "home/u/snap/gonesnap", "home/u/.config/org.example.Old",
              "home/u/.local/state/org.example.Old", "home/u/.config/oldtool",
              "home/u/.local/share/Steam", "home/u/Downloads/zoom_amd64.deb",
              "home/u/.local/share/org.tamrel.Tamrel"}) {
            d.age(old, now, 40);
        }
        d.scan();
        context.home = d.home;
        context.now = std::chrono::system_clock::time_point(std::chrono::seconds(now));
        context.running = {"chrome", "firefox", "org.gnome.builder", "spotify"};
        context.isInstalled = [](std::string_view id) { return id == "org.example.Here"; };
        context.snapInstalled = [](std::string_view name) { return name != "gonesnap"; };
        context.profile = d.profile();
    }

    Offered at(const std::vector<CleanGroup>& plan, std::string_view rel) const {
        const auto found = test::findItem(plan, *d.index, d.dir / rel);
        if (!found) return {};
        return {found->group, found->item.on, found->item.note};
    }
};

TEST_F(LinuxCleanPlan, GroupsOfferAndTickWhatEachLinuxFolderHolds) {
    const auto plan = cleanPlan(*d.index, context, 0);
    const std::string open = "Belongs to an app that's open";
    for (const auto& [rel, want] : std::vector<std::pair<std::string, Offered>>{
             {"home/u/.cache/yarn", {"dev", true, {}}},
             {"home/u/.cache/pypoetry", {"dev", false, {}}},
             {"home/u/.android/avd", {"dev", false, "Emulators and the app data inside them"}},
             {"home/u/.cache/torch", {"ai", false, {}}},
             {"home/u/.config/google-chrome/Default/Code Cache",
              {"web", false, "google-chrome is open"}},
             {"home/u/.config/Slack/GPUCache", {"web", true, {}}},
             {"home/u/.var/app/com.discordapp.Discord/config/discord/GPUCache", {"web", true, {}}},
             {"home/u/.cache/thumbnails", {"caches", true, {}}},
             {"home/u/.cache/mozilla", {"caches", false, open}},
             {"home/u/.cache/evolution", {}},
             {"home/u/.cache/kioexec", {}},
             {"home/u/.cache/sessions", {}},
             {"home/u/.var/app/org.gnome.Builder/cache/gnome-builder", {"caches", false, open}},
             {"home/u/.var/app/org.gnome.Maps/cache/tiles", {"caches", true, {}}},
             {"home/u/snap/spotify/common/.cache/spotify", {"caches", false, open}},
             {"home/u/.xsession-errors",
              {"logs", false, "Your session writes to it until you log out"}},
             {"home/u/.xsession-errors.old", {"logs", true, {}}},
             {"home/u/.local/share/xorg", {"logs", true, {}}},
             {"home/u/.config/Slack/logs", {"logs", true, {}}},
             {"home/u/.config/hexchat/logs", {}},
             {"home/u/code/app/node_modules", {"projects", true, {}}},
             {"home/u/go/pkg/mod/github.com/x/y@v1/node_modules", {}},
             {"home/u/snap/code/common/p/node_modules", {}},
             {"home/u/Downloads/zoom_amd64.deb", {"installers", true, {}}},
             {"home/u/Downloads/Obsidian.AppImage", {}},
             {"home/u/.var/app/org.example.Gone",
              {"leftovers", false, "org.example.Gone isn't installed"}},
             {"home/u/.var/app/org.example.Here", {}},
             {"home/u/snap/gonesnap", {"leftovers", false, "gonesnap isn't installed"}},
             {"home/u/.config/org.example.Old",
              {"leftovers", false, "org.example.Old isn't installed"}},
             {"home/u/.local/state/org.example.Old",
              {"leftovers", false, "org.example.Old isn't installed"}},
             {"home/u/.config/oldtool", {}},
             {"home/u/.local/share/org.tamrel.Tamrel", {}},
             {"home/u/.local/share/Steam", {}},
         }) {
        EXPECT_EQ(at(plan, rel), want) << rel;
    }
    // Nothing is offered that holds a whole XDG home, Flatpak or Snap home.
    for (const char* whole : {"home/u/.cache", "home/u/.config", "home/u/.local/share",
                              "home/u/.var/app", "home/u/snap"}) {
        EXPECT_EQ(at(plan, whole), Offered{}) << whole;
    }
}

TEST_F(LinuxCleanPlan, TheDesignedRulesLookAtNoneOfIt) {
    context.profile = RuleProfile::designed();
    const auto plan = cleanPlan(*d.index, context, 0);
    for (const char* rel :
         {"home/u/.cache/thumbnails", "home/u/.config/Slack/GPUCache", "home/u/.xsession-errors",
          "home/u/Downloads/zoom_amd64.deb", "home/u/.var/app/org.example.Gone"}) {
        EXPECT_EQ(at(plan, rel), Offered{}) << rel;
    }
    // As designed, a snap's home is searched for projects.
    EXPECT_EQ(at(plan, "home/u/snap/code/common/p/node_modules").group, "projects");
}

}  // namespace
}  // namespace tamrel
