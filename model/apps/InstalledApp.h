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

// One installed application bundle of an index with what belongs to it; identified by `node`.
// Node ids are those of the index it was found in.
struct InstalledApp {
    NodeId node = NONE;    // the ".app" bundle folder
    std::string path;      // absolute path of the bundle
    std::string name;      // display name
    std::string bundleID;  // as the bundle spells it; comparisons lowercase it
    std::string version;   // "CFBundleShortVersionString", or empty
    AppIdentity identity;
    bool appStore = false;  // an App Store receipt is present
    bool homebrew = false;  // installed by Homebrew as a cask
    std::optional<std::chrono::system_clock::time_point> lastUsed;
    std::uint64_t appSize = 0;        // allocated bytes of the bundle
    std::vector<Leftover> leftovers;  // largest first
    std::uint64_t leftoverSize = 0;   // sum of the sizes of the leftover nodes

    friend bool operator==(const InstalledApp&, const InstalledApp&) = default;
};

}  // namespace tamrel
