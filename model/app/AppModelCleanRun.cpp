// Running the clean-up: the ticked items go to the Trash, except those of programs running now.

#include <algorithm>
#include <unordered_set>

#include "model/app/AppModel.h"

namespace tamrel {

namespace {

// The same bound as the plan the screen shows.
constexpr std::uint64_t planMinSize = 256 * 1024;

}  // namespace

void AppModel::runClean() {
    if (!index_) return;
    // The ticks are ids of the shown generation; ids beyond it are nobody's.
    NodeIds picked;
    picked.reserve(cleanPicked_.size());
    for (NodeId node : cleanPicked_) {
        if (node < index_->count()) picked.push_back(node);
    }
    runInBackground([this, index = index_, picked = std::move(picked)]() mutable {
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
        std::erase_if(picked, [&](NodeId node) { return held.contains(node); });
        std::stable_sort(picked.begin(), picked.end(), [&](NodeId a, NodeId b) {
            return index->size(a) > index->size(b);
        });
        onMainThread([this, index, picked = std::move(picked), skipped = std::move(skipped)] {
            // Ids of another generation are never handed on.
            if (index_ != index) return;
            trash(picked, skipped);
        });
    });
}

}  // namespace tamrel
