// Running the clean-up: the ticked items go to the Trash, except those of programs running now.

#include <unordered_set>

#include "core/base/LargestFirst.h"
#include "model/app/AppModel.h"

namespace tamrel {

namespace {

// The same bound as the plan the screen shows.
constexpr std::uint64_t planMinSize = 256 * 1024;

}  // namespace

void AppModel::runClean() {
    if (!index() || context_.refusedWhileBusy()) return;
    // The ticks are ids of the shown generation; ids beyond it are nobody's.
    NodeIds picked;
    picked.reserve(cleanPicked().size());
    for (NodeId node : cleanPicked()) {
        if (node < index()->count()) picked.push_back(node);
    }
    Batch batch(announcer_);
    preparingClean.set(batch, true);
    context_.runInBackground([this, index = index(), picked = std::move(picked)] {
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
                Batch batch(announcer_);
                // Against the generation the plan was computed in, whose ids these are, even when a
                // refreshed one has been adopted meanwhile: each item still moves only while it is
                // what that generation recorded, and the outcome meets the shown one by path. The
                // trash action starts its busy state before this one ends. When everything ticked
                // was held back nothing moves and no toast appears: each item's note says why.
                basketAndTrash_.startTrash(index, nodes, skipped);
                preparingClean.set(batch, false);
            });
    });
}

}  // namespace tamrel
