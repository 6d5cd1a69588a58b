#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/apps/AppIdentity.h"
#include "core/index/DiskIndex.h"
#include "core/apps/Leftover.h"

namespace tamrel {

// One installed application of an index, an application bundle or an AppImage, with what belongs
// to it; identified by `node`. Node ids are those of the index it was found in.
struct InstalledApp {
    NodeId node = NONE;    // the ".app" bundle folder, or the AppImage file
    std::string path;      // absolute path of the bundle or file
    std::string name;      // display name
    // As the bundle spells it; comparisons lowercase it. An AppImage's is the id of its first
    // desktop entry, or its file name when no entry starts it.
    std::string bundleID;
    // "CFBundleShortVersionString"; an AppImage's X-AppImage-Version, else the version in its
    // file name; or empty.
    std::string version;
    AppIdentity identity;
    bool appStore = false;  // an App Store receipt is present
    bool homebrew = false;  // installed by Homebrew as a cask
    // When it was last opened; nothing: never, or not known (see lastUsedKnown).
    std::optional<std::chrono::system_clock::time_point> lastUsed;
    std::uint64_t appSize = 0;        // allocated bytes of the bundle or file
    std::vector<Leftover> leftovers;  // largest first
    std::uint64_t leftoverSize = 0;   // sum of the sizes of the leftover nodes
    // An AppImage file rather than a bundle folder.
    bool appImage = false;
    // An AppImage's icon as its desktop entry names it, best first: the absolute paths of the
    // icon files it resolves to (the next one shown where one cannot be read), or one name in
    // the icon theme; empty for the generic application icon. Empty for a bundle, whose icon
    // comes with its folder.
    std::vector<std::string> icons{};
    // Whether `lastUsed` tells anything: false for an AppImage on a file system that records no
    // access times (mounted noatime), where neither a date nor "never opened" is known.
    bool lastUsedKnown = true;
    // An AppImage's desktop entries and the icon files only they name: they go to the Trash with
    // it, whatever is ticked.
    std::vector<NodeId> desktopFiles{};

    friend bool operator==(const InstalledApp&, const InstalledApp&) = default;
};

}  // namespace tamrel
