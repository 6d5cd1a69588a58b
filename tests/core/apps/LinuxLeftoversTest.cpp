#include <gtest/gtest.h>

#include <map>

#include "core/apps/Leftovers.h"
#include "tests/core/space/LinuxDesktop.h"

namespace tamrel {
namespace {

// Leftovers of `app` as "path below home" -> "label", plus " (ticked)" for the Linux default.
std::map<std::string, std::string> found(const test::LinuxDesktop& d, const AppIdentity& app,
                                         const RuleProfile& profile) {
    std::map<std::string, std::string> out;
    for (const Leftover& l : leftovers(*d.index, app, d.home, d.root, profile)) {
        out[d.index->path(l.node).substr(d.home.size())] =
            std::string(Leftover::rawValue(l.kind)) +
            (leftoverTickedByDefault(l, false, profile) ? " (ticked)" : "");
    }
    return out;
}

TEST(LinuxLeftovers, XdgFlatpakSnapAndAutostartWithTheirTicks) {
    test::LinuxDesktop d;
    // Neovim: no identifier, found by name; its state holds swap files of unsaved edits.
    d.homeFile("/.config/nvim/init.lua");
    d.homeFile("/.local/state/nvim/swap/%home%u%notes.md.swp");
    d.homeFile("/.local/share/nvim/lazy/plugin.lua");
    d.homeFile("/.cache/nvim/luac/x");
    // Kate, a Flatpak: its Flatpak home, KDE settings files, an autostart entry, a vendor folder.
    d.homeFile("/.var/app/org.kde.kate/config/katerc");
    d.homeFile("/.config/katerc");
    d.homeFile("/.local/state/katestaterc");
    d.homeFile("/.config/autostart/org.kde.kate.desktop");
    d.homeFile("/.local/share/kde/kate/sessions");
    d.homeFile("/.cache/org.kde.kate/qmlcache");
    // Spotify, a snap.
    d.homeFile("/snap/spotify/common/.cache/x");
    d.homeFile("/snap/spotify-other/x");
    // Files (Nautilus): a name every desktop shares never matches.
    d.homeFile("/.local/share/files/x");
    d.homeFile("/.local/share/nautilus/scripts/s");
    d.homeFile("/.local/share/applications/org.gnome.Nautilus.desktop");
    d.scan();
    const RuleProfile onLinux = d.profile();

    EXPECT_EQ(found(d, AppIdentity({"nvim"}, {"Neovim", "nvim"}), onLinux),
              (std::map<std::string, std::string>{
                  {"/.config/nvim", "Preferences"},
                  {"/.local/state/nvim", "Saved state"},
                  {"/.local/share/nvim", "App data"},
                  {"/.cache/nvim", "Caches (ticked)"},
              }));

    EXPECT_EQ(found(d, AppIdentity({"org.kde.kate"}, {"Kate"}), onLinux),
              (std::map<std::string, std::string>{
                  {"/.var/app/org.kde.kate", "Containers (ticked)"},
                  {"/.config/katerc", "Preferences"},
                  {"/.local/state/katestaterc", "Saved state"},
                  {"/.config/autostart/org.kde.kate.desktop", "Launch agents (ticked)"},
                  {"/.local/share/kde/kate", "App data"},
                  {"/.cache/org.kde.kate", "Caches (ticked)"},
              }));

    AppIdentity spotify({"com.spotify.Client"}, {"Spotify"});
    spotify.snapName = "spotify";
    EXPECT_EQ(found(d, spotify, onLinux),
              (std::map<std::string, std::string>{{"/snap/spotify", "Containers (ticked)"}}));

    EXPECT_EQ(found(d, AppIdentity({"org.gnome.Nautilus"}, {"Files", "nautilus"}), onLinux),
              (std::map<std::string, std::string>{{"/.local/share/nautilus", "App data"}}));

    // The designed rules look in the Library only.
    EXPECT_TRUE(found(d, AppIdentity({"org.kde.kate"}, {"Kate"}), RuleProfile{}).empty());
}

TEST(LinuxLeftovers, DefaultTicks) {
    const RuleProfile onLinux = [] {
        RuleProfile p;
        p.onLinux = true;
        return p;
    }();
    const Leftover byName{1, Leftover::Kind::prefs, false, true};
    const Leftover cacheByName{1, Leftover::Kind::cache, false, true};
    const Leftover byID{1, Leftover::Kind::prefs, false, false};
    const Leftover group{1, Leftover::Kind::group, false, false};
    EXPECT_FALSE(leftoverTickedByDefault(byName, true, onLinux));
    EXPECT_TRUE(leftoverTickedByDefault(cacheByName, true, onLinux));
    EXPECT_TRUE(leftoverTickedByDefault(byID, true, onLinux));
    EXPECT_FALSE(leftoverTickedByDefault(group, false, onLinux));
    EXPECT_TRUE(leftoverTickedByDefault(group, true, onLinux));
    // As designed, everything but a shared group container is ticked.
    EXPECT_TRUE(leftoverTickedByDefault(byName, false, RuleProfile{}));
    EXPECT_FALSE(leftoverTickedByDefault(group, false, RuleProfile{}));
}

}  // namespace
}  // namespace tamrel
