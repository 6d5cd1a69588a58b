#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/space/RuleProfile.h"
#include "platform/XdgDirs.h"

namespace tamrel {

// One thing the clean-up plan offers to move to the Trash; identified by its node.
struct CleanItem {
    NodeId node = NONE;               // in the index the plan was computed from
    bool on = false;                  // ticked when the plan is first shown
    std::optional<std::string> note;  // why it is not ticked, or how old it is

    friend bool operator==(const CleanItem&, const CleanItem&) = default;
};

// One group of the plan; identified by its id ("dev", "ai", "web", "caches", "logs",
// "projects", "installers", "leftovers").
struct CleanGroup {
    enum class Risk : std::uint8_t { safe, review };

    std::string id;
    std::string title;
    std::string blurb;
    std::string symbol;
    Risk risk = Risk::safe;
    std::vector<CleanItem> items;  // never empty; largest first

    friend bool operator==(const CleanGroup&, const CleanGroup&) = default;
};

// "safe", "review".
std::string_view rawValue(CleanGroup::Risk risk);

// The facts the index cannot know. A default-constructed context is usable: the user's home
// folder, nothing running, every application installed, the time of construction.
struct CleanContext {
    // Base of every rule path (home + "/Library/Caches"); rules built on it contribute nothing
    // when it is empty, relative or "/".
    std::string home = homeDirectory();
    // Lowercased bundle identifiers, display names and executable names of running applications.
    std::set<std::string> running;
    // Whether an application with this bundle identifier is installed, asked once per
    // identifier prefix (a slow answer is worth memoising). Called from the thread that computes
    // the plan while it holds the index lock shared, so it must not take that lock; must be
    // safe to call from any thread.
    std::function<bool(std::string_view bundleID)> isInstalled = [](std::string_view) {
        return true;
    };
    // Reference time of every age test.
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
    // Which folders the rules look in; the designed ones by default. The application sets
    // RuleProfile::linuxDesktop(home) on Linux; the running set then also counts the cache-folder
    // names of open browsers (withFolderAliases()).
    RuleProfile profile;
    // Whether the snap of this name is installed (Linux profile only: its "~/snap/<name>" is
    // otherwise a leftover). Same thread rules as isInstalled; answers true when it cannot tell.
    std::function<bool(std::string_view snapName)> snapInstalled = [](std::string_view) {
        return true;
    };
};

// The clean-up plan of `index` for `context`: the eight groups, built in the order above, each
// item at least `minSize` bytes, not gone, and neither inside nor around an item made before it
// (the first rule that accepts a node owns it); groups without items are left out, the rest
// sorted by the current total of their items, largest first (stable). Never fails.
//
// Thread safety: holds index.lock() shared for the whole pass (a removal on another thread is
// seen whole or not at all); must not be called while the caller holds that lock. The project
// folder scan runs on the shared compute pool.
std::vector<CleanGroup> cleanPlan(const DiskIndex& index, const CleanContext& context,
                                  std::uint64_t minSize);

}  // namespace tamrel
