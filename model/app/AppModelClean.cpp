#include "model/app/AppModel.h"
#include "model/apps/AppRegistry.h"
#include "model/system/Processes.h"

namespace tamrel {

namespace {

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

CleanContext AppModel::cleanContext() {
    CleanContext context;
    context.profile = ruleProfile();
    context.running = runningNames();
    context.snapInstalled = [](std::string_view name) { return registry().snapInstalled(name); };
    auto cache = std::make_shared<InstalledCache>();
    context.isInstalled = [cache](std::string_view bundleID) { return cache->installed(bundleID); };
    return context;
}

RuleSet AppModel::ruleSet() {
    return RuleSet::linuxDesktop;
}

RuleProfile AppModel::ruleProfile() {
    return RuleProfile::linuxDesktop(homeDirectory());
}

std::set<std::string> AppModel::runningNames() {
    const std::vector<std::string> names = Processes::runningNames(Processes::list());
    return {names.begin(), names.end()};
}

void AppModel::applyCleanPlan(CleanGroups plan) {
    if (!index()) return;
    Batch batch(announcer_);
    NodeSet picked;
    for (const CleanGroup& group : plan) {
        for (const CleanItem& item : group.items) {
            if (item.node >= index()->count()) continue;
            const std::string p = index()->path(item.node);
            if (cleanOn_.contains(p) || (item.on && !cleanOff_.contains(p)))
                picked.insert(item.node);
        }
    }
    cleanPlan.set(batch, std::move(plan));
    cleanPicked.set(batch, std::move(picked));
}

void AppModel::setClean(const NodeIds& nodes, bool on) {
    if (!index() || nodes.empty()) return;
    NodeSet items;
    for (const CleanGroup& group : cleanPlan()) {
        for (const CleanItem& item : group.items)
            items.insert(item.node);
    }
    Batch batch(announcer_);
    NodeSet picked = cleanPicked();
    for (NodeId node : nodes) {
        // Only items of the stored plan (of the shown generation) can be ticked.
        if (!items.contains(node) || node >= index()->count()) continue;
        const std::string p = index()->path(node);
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
    cleanPicked.set(batch, std::move(picked));
}

std::uint64_t AppModel::cleanSize() const {
    if (!index()) return 0;
    std::uint64_t total = 0;
    for (NodeId node : cleanPicked()) {
        if (node < index()->count()) total += index()->size(node);
    }
    return total;
}

}  // namespace tamrel
