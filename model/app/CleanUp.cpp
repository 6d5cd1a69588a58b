// The clean-up plan's ticks and running it, and the rules the model runs with.

#include "model/app/CleanUp.h"

#include <unordered_set>

#include "core/base/LargestFirst.h"
#include "model/app/AppModel.h"
#include "model/apps/AppRegistry.h"
#include "model/system/Processes.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

// The same bound as the plan the screen shows.
constexpr std::uint64_t planMinSize = 256 * 1024;

AppRegistry& registry() {
    static AppRegistry registry = AppRegistry::forCurrentUser();
    return registry;
}

}  // namespace

bool InstalledCache::installed(std::string_view bundleID) {
    const std::string key(bundleID);
    {
        std::lock_guard guard(lock_);
        if (const auto it = known_.find(key); it != known_.end()) return it->second;
    }
    const bool answer = registry().isInstalled(key);
    std::lock_guard guard(lock_);
    known_[key] = answer;
    return answer;
}

CleanContext CleanUp::cleanContext() {
    CleanContext context;
    context.profile = ruleProfile();
    context.running = runningNames();
    context.snapInstalled = [](std::string_view name) { return registry().snapInstalled(name); };
    auto cache = std::make_shared<InstalledCache>();
    context.isInstalled = [cache](std::string_view bundleID) { return cache->installed(bundleID); };
    return context;
}

RuleSet CleanUp::ruleSet() {
    return RuleSet::linuxDesktop;
}

RuleProfile CleanUp::ruleProfile() {
    return RuleProfile::linuxDesktop(homeDirectory());
}

std::set<std::string> CleanUp::runningNames() {
    const std::vector<std::string> names = Processes::runningNames(Processes::list());
    return {names.begin(), names.end()};
}

void CleanUp::applyCleanPlan(CleanGroups plan) {
    if (!model_.index()) return;
    Batch batch(context_.announcer);
    NodeSet picked;
    for (const CleanGroup& group : plan) {
        for (const CleanItem& item : group.items) {
            if (item.node >= model_.index()->count()) continue;
            const std::string p = model_.index()->path(item.node);
            if (cleanOn_.contains(p) || (item.on && !cleanOff_.contains(p)))
                picked.insert(item.node);
        }
    }
    model_.cleanPlan.set(batch, std::move(plan));
    model_.cleanPicked.set(batch, std::move(picked));
}

void CleanUp::setClean(const NodeIds& nodes, bool on) {
    if (!model_.index() || nodes.empty()) return;
    NodeSet items;
    for (const CleanGroup& group : model_.cleanPlan()) {
        for (const CleanItem& item : group.items)
            items.insert(item.node);
    }
    Batch batch(context_.announcer);
    NodeSet picked = model_.cleanPicked();
    for (NodeId node : nodes) {
        // Only items of the stored plan (of the shown generation) can be ticked.
        if (!items.contains(node) || node >= model_.index()->count()) continue;
        const std::string p = model_.index()->path(node);
        if (on) {
            picked.insert(node);
            cleanOn_.insert(p);
            cleanOff_.erase(p);
        } else {
            picked.erase(node);
            cleanOff_.insert(p);
            cleanOn_.erase(p);
        }
    }
    model_.cleanPicked.set(batch, std::move(picked));
}

std::uint64_t CleanUp::cleanSize() const {
    return ModelContext::bytesOf(model_.index(), model_.cleanPicked());
}

void CleanUp::runClean() {
    if (!model_.index() || context_.refusedWhileBusy()) return;
    // The ticks are ids of the shown generation; ids beyond it are nobody's.
    NodeIds picked;
    picked.reserve(model_.cleanPicked().size());
    for (NodeId node : model_.cleanPicked()) {
        if (node < model_.index()->count()) picked.push_back(node);
    }
    Batch batch(context_.announcer);
    model_.preparingClean.set(batch, true);
    context_.runInBackground([this, index = model_.index(), picked = std::move(picked)] {
        const std::vector<CleanGroup> plan = tamrel::cleanPlan(*index, cleanContext(), planMinSize);
        const std::unordered_set<NodeId> pick(picked.begin(), picked.end());
        std::unordered_set<NodeId> held;
        std::vector<std::string> skipped;
        for (const CleanGroup& group : plan) {
            for (const CleanItem& item : group.items) {
                if (!pick.contains(item.node) || !item.note ||
                    item.note->find("open") == std::string::npos) {
                    continue;
                }
                if (held.insert(item.node).second) skipped.push_back(index->name(item.node));
            }
        }
        // Each size read once: a trash on another worker may change them meanwhile.
        std::vector<std::pair<std::uint64_t, NodeId>> keyed;
        for (NodeId node : picked) {
            if (!held.contains(node)) keyed.emplace_back(index->size(node), node);
        }
        context_.onMainThread(
            [this, index, nodes = largestFirst(std::move(keyed)), skipped = std::move(skipped)] {
                Batch batch(context_.announcer);
                // Against the generation the plan was computed in, whose ids these are, even when a
                // refreshed one has been adopted meanwhile: each item still moves only while it is
                // what that generation recorded, and the outcome meets the shown one by path. The
                // trash action starts its busy state before this one ends. When everything ticked
                // was held back nothing moves and no toast appears: each item's note says why.
                context_.basket->startTrash(index, nodes, skipped);
                model_.preparingClean.set(batch, false);
            });
    });
}

}  // namespace tamrel
