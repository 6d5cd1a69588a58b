// The clean-up plan's ticks and running it, and the rules the model runs with.

#include "model/app/CleanUp.h"

#include <unordered_set>

#include "core/base/LargestFirst.h"
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

CleanUp::CleanUp(ModelContext& context, ShownIndex& shown, Removals& removals,
                 BasketAndTrash& trash)
    : context_(context), shown_(shown), removals_(removals), trash_(trash) {
    shown_.follow([this](ShownChange& change) { follow(change); });
}

void CleanUp::follow(ShownChange& change) {
    Batch batch(context_.announcer);
    if (change.dropped) {
        cleanPlan.set(batch, {});
        cleanPicked.set(batch, {});
        cleanPicks_.clear();
    } else if (IdCarrier* carry = change.carry) {
        CleanGroups plan = cleanPlan();
        for (CleanGroup& group : plan) {
            std::vector<CleanItem> items;
            for (CleanItem item : group.items) {
                if (const auto n = (*carry)(item.node)) {
                    item.node = *n;
                    items.push_back(std::move(item));
                }
            }
            group.items = std::move(items);
        }
        std::erase_if(plan, [](const CleanGroup& g) { return g.items.empty(); });
        cleanPlan.set(batch, std::move(plan));
        NodeSet picked;
        for (NodeId id : cleanPicked()) {
            if (const auto n = (*carry)(id)) picked.insert(*n);
        }
        cleanPicked.set(batch, std::move(picked));
    } else if (change.moved && !change.moved->shown.empty()) {
        NodeSet picked = cleanPicked();
        std::erase_if(picked, [&](NodeId node) { return change.moved->shown.contains(node); });
        cleanPicked.set(batch, std::move(picked));
    }
    if (change.moved) {
        for (const std::string& path : change.moved->paths)
            cleanPicks_.erase(path);
    }
}

void CleanUp::setConfirmClean(bool on) {
    Batch batch(context_.announcer);
    confirmClean.set(batch, on);
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

RuleProfile CleanUp::ruleProfile() {
    return RuleProfile::linuxDesktop(homeDirectory());
}

std::set<std::string> CleanUp::runningNames() {
    const std::vector<std::string> names = Processes::runningNames(Processes::list());
    return {names.begin(), names.end()};
}

PickedItems CleanUp::pickDefaults(const DiskIndex& index, const CleanGroups& plan) {
    PickedItems picks;
    for (const CleanGroup& group : plan) {
        for (const CleanItem& item : group.items) {
            if (item.on && item.node < index.count())
                picks.emplace(index.path(item.node), pickedItem(index, item.node));
        }
    }
    return picks;
}

void CleanUp::applyCleanPlan(CleanGroups plan, const PickedItems& recorded) {
    if (!shown_.index()) return;
    const DiskIndex& index = *shown_.index();
    Batch batch(context_.announcer);
    NodeSet picked;
    PickedItems picks;
    for (const CleanGroup& group : plan) {
        for (const CleanItem& item : group.items) {
            if (item.node >= index.count()) continue;
            std::string p = index.path(item.node);
            if (!cleanOn_.contains(p) && !(item.on && !cleanOff_.contains(p))) continue;
            picked.insert(item.node);
            // The first identity recorded for a ticked path stands while it stays ticked.
            if (const auto kept = cleanPicks_.find(p); kept != cleanPicks_.end()) {
                picks.insert(cleanPicks_.extract(kept));
            } else if (const auto found = recorded.find(p); found != recorded.end()) {
                picks.emplace(std::move(p), found->second);
            } else {
                picks.emplace(p, pickedItem(index, item.node));
            }
        }
    }
    cleanPicks_ = std::move(picks);
    cleanPlan.set(batch, std::move(plan));
    cleanPicked.set(batch, std::move(picked));
}

void CleanUp::setClean(const NodeIds& nodes, bool on) {
    if (!shown_.index() || nodes.empty()) return;
    const DiskIndex& index = *shown_.index();
    NodeSet items;
    for (const CleanGroup& group : cleanPlan()) {
        for (const CleanItem& item : group.items)
            items.insert(item.node);
    }
    Batch batch(context_.announcer);
    NodeSet picked = cleanPicked();
    for (NodeId node : nodes) {
        // Only items of the stored plan (of the shown generation) can be ticked.
        if (!items.contains(node) || node >= index.count()) continue;
        const std::string p = index.path(node);
        if (on) {
            if (picked.insert(node).second) cleanPicks_.insert_or_assign(p, pickedItem(index, node));
            cleanOn_.insert(p);
            cleanOff_.erase(p);
        } else {
            picked.erase(node);
            cleanPicks_.erase(p);
            cleanOff_.insert(p);
            cleanOn_.erase(p);
        }
    }
    cleanPicked.set(batch, std::move(picked));
}

std::uint64_t CleanUp::cleanSize() const {
    return shown_.bytesOf(cleanPicked());
}

void CleanUp::runClean() {
    if (!shown_.index() || removals_.refused()) return;
    // The ticks are ids of the shown generation; ids beyond it are nobody's.
    NodeIds picked;
    picked.reserve(cleanPicked().size());
    for (NodeId node : cleanPicked()) {
        if (node < shown_.index()->count()) picked.push_back(node);
    }
    // The ticks' identities as the user confirms them.
    removals_.begin(Removals::Kind::clean,
                    [this, index = shown_.index(), picked = std::move(picked),
                     picks = std::make_shared<const PickedItems>(cleanPicks_)]() mutable {
                        prepareClean(index, std::move(picked), std::move(picks));
                    });
}

void CleanUp::prepareClean(const IndexRef& index, NodeIds picked,
                           std::shared_ptr<const PickedItems> picks) {
    Batch batch(context_.announcer);
    removals_.set(Removals::Kind::clean, true);
    context_.runInBackground([this, index, picked = std::move(picked), picks = std::move(picks)] {
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
            [this, index, nodes = largestFirst(std::move(keyed)), skipped = std::move(skipped),
             picks] {
                Batch batch(context_.announcer);
                // Against the generation the plan was computed in, whose ids these are, even when a
                // refreshed one has been adopted meanwhile: each item still moves only while it is
                // what that generation recorded, and the outcome meets the shown one by path. The
                // trash action starts its busy state before this one ends. When everything ticked
                // was held back nothing moves and no toast appears: each item's note says why.
                trash_.startTrash(index, nodes, skipped, picks);
                removals_.set(Removals::Kind::clean, false);
            });
    });
}

}  // namespace tamrel
