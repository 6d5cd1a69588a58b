#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/RuleSet.h"
#include "core/index/DiskIndex.h"

namespace tamrel {

// Which folders the space rules (System Data, suggestions, clean-up plan, leftovers) look in.
// The rules as designed name the folders of the platform they were first written for; the Linux
// profile adds, beside each of them, the Linux folders that hold the same kind of data: the XDG
// homes, the FHS folders, Flatpak and Snap homes. A default-constructed profile is the designed
// one: no Linux folder is looked at. A value; copy it freely.
struct RuleProfile {
    bool onLinux = false;
    // Prefix of the system-wide Linux paths: "/var/log" is looked up as root + "/var/log". Empty
    // for the real system; tests point it at a temporary tree.
    std::string root;
    // The XDG base folders, absolute. An empty one, or one that is the home folder or holds it,
    // stands for its default below the home folder ("/.cache", "/.config", "/.local/share",
    // "/.local/state").
    std::string cacheHome;
    std::string configHome;
    std::string dataHome;
    std::string stateHome;
    // The user folders of user-dirs.dirs (often translated), absolute; empty when the file does
    // not name them. Looked at besides the designed "/Downloads", "/Desktop", "/Documents".
    std::string downloadDir;
    std::string desktopDir;
    std::string documentsDir;
    // The user's id, for the per-volume Trash "/.Trash-<uid>".
    std::uint32_t uid = 0;

    // The rules and texts this profile goes with.
    RuleSet rules() const { return onLinux ? RuleSet::linuxDesktop : RuleSet::designed; }

    // The profile of the rules as designed.
    static RuleProfile designed() { return {}; }
    // The Linux profile of the user whose home folder is `home`: this process's $XDG_CACHE_HOME,
    // $XDG_CONFIG_HOME, $XDG_DATA_HOME and $XDG_STATE_HOME (when absolute), the user folders of
    // user-dirs.dirs and the real user id. Blocking (reads one small file); thread-safe.
    static RuleProfile linuxDesktop(const std::string& home, std::string root = {});
};

// The Linux rule paths of one profile and home folder, as absolute path texts. A rule path is
// "~/x" (below the home folder), "%cache/x", "%config/x", "%data/x", "%state/x" (below the XDG
// base folders) or "/x" (below the profile's root); "%uid" stands for the user id. A component
// "*" is expanded by lookupAll(). Nothing when the base is missing (home empty, relative or "/"
// and no absolute XDG folder given). Keeps a reference to `profile`, which must outlive it.
class LinuxPaths {
public:
    LinuxPaths(const RuleProfile& profile, std::string_view home);

    std::optional<std::string> operator()(std::string_view rulePath) const;

    // The user's download, desktop and documents folders of user-dirs.dirs, those that are named.
    std::vector<std::string> userFolders() const;

    const RuleProfile& profile() const { return profile_; }

private:
    std::optional<std::string> base(std::string_view& rulePath) const;

    const RuleProfile& profile_;
    std::optional<std::string> home_;
};

// The nodes at `path` in `index`, where each component "*" stands for every child folder (not
// marked removed, in child order) of the folder before it: "/h/.var/app/*/cache" gives the
// "cache" folder of every Flatpak application. A path without "*" gives at most its one node.
// Nodes of any kind are returned, removed ones included; the caller tests what it needs.
std::vector<NodeId> lookupAll(const DiskIndex& index, std::string_view path);

// Whether a child of a Linux cache home named `name` must never be offered for removal: Evolution
// keeps unsynced offline edits in "evolution", KDE's copies of remote files being edited live in
// "kioexec", saved X sessions in "sessions"; this application's own cache is kept too.
bool isKeptLinuxCache(std::string_view name);

// `running` (lowercased names of running applications) with the cache-folder names of the
// browsers and chat programs among them added ("chrome" adds "google-chrome", "brave" adds
// "bravesoftware", "firefox" adds "mozilla"...), so that an open browser's cache folder counts
// as belonging to an open application.
std::set<std::string> withFolderAliases(std::set<std::string> running);

// The snap name of a process whose executable lies in a snap ("/snap/firefox/4793/usr/lib/..."
// gives "firefox"; "/var/lib/snapd/snap/..." too), or nothing. The running set gets it so that a
// snap's folders count as open.
std::optional<std::string> snapNameOfExecutable(std::string_view executablePath);

}  // namespace tamrel
