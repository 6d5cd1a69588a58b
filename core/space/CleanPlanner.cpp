#include "core/space/CleanPlanner.h"

#include <algorithm>
#include <mutex>
#include <shared_mutex>

#include "core/base/LargestFirst.h"
#include "core/space/HomeBase.h"
#include "core/base/TextCase.h"

namespace tamrel {

std::string_view rawValue(CleanGroup::Risk risk) {
    return risk == CleanGroup::Risk::safe ? "safe" : "review";
}

CleanPlanner::CleanPlanner(const DiskIndex& index, const CleanContext& context,
                           std::uint64_t minSize)
    : index(index),
      context(context),
      minSize(minSize),
      now32(storedSeconds(context.now)),
      places(context.profile, context.home),
      home_(homeBase(context.home)),
      running_(context.profile.onLinux ? withFolderAliases(context.running) : context.running) {
    for (const std::string& app : running_) {
        if (graphemeCount(app) >= 4) prefixApps_.push_back(app);
    }
}

std::vector<NodeId> CleanPlanner::nodes(std::string_view rulePath) const {
    const std::optional<std::string> path = places(rulePath);
    return path ? lookupAll(index, *path) : std::vector<NodeId>{};
}

std::vector<NodeId> CleanPlanner::kidsAll(std::string_view rulePath) const {
    std::vector<NodeId> out;
    for (NodeId n : nodes(rulePath)) {
        for (NodeId c : index.children(n)) {
            if (!index.isRemoved(c)) out.push_back(c);
        }
    }
    return out;
}

std::optional<std::string> CleanPlanner::home(std::string_view suffix) const {
    if (!home_) return std::nullopt;
    return *home_ + std::string(suffix);
}

std::vector<NodeId> CleanPlanner::node(const std::optional<std::string>& path) const {
    if (!path) return {};
    if (const std::optional<NodeId> n = index.lookup(*path)) return {*n};
    return {};
}

std::vector<NodeId> CleanPlanner::kids(const std::optional<std::string>& path) const {
    std::vector<NodeId> out;
    if (!path) return out;
    if (const std::optional<NodeId> n = index.lookup(*path)) {
        for (NodeId c : index.children(*n)) {
            if (!index.isRemoved(c)) out.push_back(c);
        }
    }
    return out;
}

bool CleanPlanner::clashesWithTaken(NodeId n) const {
    // Equal to comparing n with every taken node, in O(depth + log taken): a taken node is n,
    // an ancestor of n, or lies in n's descendant range.
    for (NodeId at = n; at != NONE; at = index.parent(at)) {
        if (taken_.contains(at)) return true;
    }
    const IdRange inside = index.subtree(n);
    if (inside.empty()) return false;
    const auto first = taken_.lower_bound(inside.lo);
    return first != taken_.end() && *first < inside.hi;
}

CleanPlanner::Offer CleanPlanner::item(NodeId n, bool on, std::optional<std::string> note) {
    if (index.size(n) < minSize) return std::nullopt;
    if (index.isGone(n)) return std::nullopt;
    if (clashesWithTaken(n)) return std::nullopt;
    taken_.insert(n);
    return CleanItem{n, on, std::move(note)};
}

void CleanPlanner::add(std::string_view id, std::string_view title, std::string_view blurb,
                       std::string_view symbol, CleanGroup::Risk risk, std::vector<Offer> offers) {
    std::vector<std::pair<std::uint64_t, CleanItem>> keyed;
    for (Offer& o : offers) {
        if (o) keyed.emplace_back(index.size(o->node), std::move(*o));
    }
    if (keyed.empty()) return;
    groups_.push_back(CleanGroup{std::string(id), std::string(title), std::string(blurb),
                                 std::string(symbol), risk, largestFirst(std::move(keyed))});
}

bool CleanPlanner::running(std::string_view name) const {
    const std::string lowered = lowercase(name);
    const std::set<std::string>& apps = running_;
    if (apps.contains(lowered)) return true;
    const std::string spaced = lowered + ' ';
    const auto next = apps.lower_bound(spaced);
    if (next != apps.end() && next->starts_with(spaced)) return true;
    return std::any_of(prefixApps_.begin(), prefixApps_.end(),
                       [&](const std::string& app) { return lowered.starts_with(app); });
}

bool CleanPlanner::orphan(std::string_view name) const {
    const std::vector<std::string_view> parts = splitNonEmpty(name, '.');
    if (parts.size() < 3 || name.starts_with("com.apple.") || name.starts_with("group.com.apple")) {
        return false;
    }
    for (std::size_t k = parts.size(); k >= 2; --k) {
        std::string prefix(parts[0]);
        for (std::size_t p = 1; p < k; ++p) {
            prefix += '.';
            prefix += parts[p];
        }
        if (context.isInstalled(prefix)) return false;
    }
    return true;
}

std::string CleanPlanner::dayPhrase(std::uint32_t t) const {
    const std::uint32_t d = days(t);
    return std::to_string(d) + (d == 1 ? " day ago" : " days ago");
}

std::vector<CleanGroup> CleanPlanner::finish() {
    std::vector<std::pair<std::uint64_t, CleanGroup>> keyed;
    keyed.reserve(groups_.size());
    for (CleanGroup& g : groups_) {
        std::uint64_t total = 0;
        for (const CleanItem& it : g.items)
            total += index.size(it.node);
        keyed.emplace_back(total, std::move(g));
    }
    groups_.clear();
    return largestFirst(std::move(keyed));
}

std::vector<CleanGroup> cleanPlan(const DiskIndex& index, const CleanContext& context,
                                  std::uint64_t minSize) {
    std::shared_lock guard(index.lock());
    CleanPlanner plan(index, context, minSize);
    addDevGroup(plan);
    addAiGroup(plan);
    addWebGroup(plan);
    addCachesGroup(plan);
    addLogsGroup(plan);
    addProjectsGroup(plan);
    addInstallersGroup(plan);
    addLeftoversGroup(plan);
    return plan.finish();
}

}  // namespace tamrel
