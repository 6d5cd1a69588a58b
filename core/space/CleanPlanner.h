#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/space/CleanPlan.h"
#include "core/index/DiskIndex.h"

namespace tamrel {

// The state of one cleanPlan() computation and the steps its group rules share. Lives for one
// call on the caller's thread; the caller holds the index lock shared throughout.
class CleanPlanner {
public:
    using Offer = std::optional<CleanItem>;

    CleanPlanner(const DiskIndex& index, const CleanContext& context, std::uint64_t minSize);

    const DiskIndex& index;
    const CleanContext& context;
    const std::uint64_t minSize;
    // context.now in whole seconds since 1970, clamped to 32 bits like the index's mtimes.
    const std::uint32_t now32;

    // The context's home folder followed by `suffix`, or nothing when the home text is empty,
    // relative or "/".
    std::optional<std::string> home(std::string_view suffix = {}) const;

    // The Linux rule paths of the context's profile and home (see LinuxPaths).
    const LinuxPaths places;
    bool onLinux() const { return context.profile.onLinux; }
    // The text the profile shows: `designed`, or on Linux `linuxText` where the designed one
    // names what Linux lacks.
    std::string_view text(std::string_view designed, std::string_view linuxText) const {
        return onLinux() ? linuxText : designed;
    }
    // The nodes of a Linux rule path, "*" levels expanded (removed nodes too), else empty.
    std::vector<NodeId> nodes(std::string_view rulePath) const;
    // The children not marked removed of every node of a Linux rule path, in order.
    std::vector<NodeId> kidsAll(std::string_view rulePath) const;

    // The node at `path` as a one-element list (removed nodes too), else empty.
    std::vector<NodeId> node(const std::optional<std::string>& path) const;
    // The children of the node at `path` that are not marked removed, in child order.
    std::vector<NodeId> kids(const std::optional<std::string>& path) const;

    // The item test: an item when n has at least minSize bytes, is not gone, and is neither a
    // taken node nor inside or around one; the node is then taken.
    Offer item(NodeId n, bool on, std::optional<std::string> note = std::nullopt);
    // Appends a group of the items offered (refused ones dropped, largest first, stable), or
    // nothing when none is left.
    void add(std::string_view id, std::string_view title, std::string_view blurb,
             std::string_view symbol, CleanGroup::Risk risk, std::vector<Offer> offers);

    // An application of this (folder) name is running: the lowercased name is a running
    // entry, begins one followed by a space, or starts with an entry of at least 4 characters
    // (as a user counts them: grapheme clusters).
    bool running(std::string_view name) const;
    // A name like a bundle identifier (three or more parts, not Apple's) none of whose prefixes
    // of two or more parts is installed.
    bool orphan(std::string_view name) const;

    // 1 <= t <= now32.
    bool validTime(std::uint32_t t) const { return t - 1u < now32; }
    std::uint32_t age(std::uint32_t t) const { return validTime(t) ? now32 - t : 0; }
    std::uint32_t days(std::uint32_t t) const { return age(t) / 86'400; }
    // "1 day ago", "0 days ago", "13 days ago".
    std::string dayPhrase(std::uint32_t t) const;

    // The groups added so far, sorted by their current totals, largest first (stable).
    std::vector<CleanGroup> finish();

private:
    bool clashesWithTaken(NodeId n) const;

    std::optional<std::string> home_;
    // context.running, with the cache-folder aliases of open browsers on Linux.
    std::set<std::string> running_;
    // The running entries of at least 4 characters (grapheme clusters), which also match as
    // prefixes of a name.
    std::vector<std::string> prefixApps_;
    std::set<NodeId> taken_;
    std::vector<CleanGroup> groups_;
};

// The eight groups, each appended by its rules in this build order.
void addDevGroup(CleanPlanner& plan);
void addAiGroup(CleanPlanner& plan);
void addWebGroup(CleanPlanner& plan);
void addCachesGroup(CleanPlanner& plan);
void addLogsGroup(CleanPlanner& plan);
void addProjectsGroup(CleanPlanner& plan);
void addInstallersGroup(CleanPlanner& plan);
void addLeftoversGroup(CleanPlanner& plan);

}  // namespace tamrel
