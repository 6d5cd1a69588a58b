#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/index/DiskIndex.h"
#include "model/app/ModelContext.h"

namespace tamrel {

// Carries node ids of one generation over to another by path, name by name (ids of one
// generation mean nothing in another), looking each id up once. Both generations must outlive
// it.
class IdCarrier {
public:
    IdCarrier(const DiskIndex& from, const DiskIndex& to) : from_(from), to_(to) {}

    // The node of `to` at the path of `id` in `from`; nothing when `to` lacks it or `from` has
    // no such id.
    std::optional<NodeId> operator()(NodeId id);
    // The ids found, in their order; what is not found is dropped.
    NodeIds all(const NodeIds& ids);

private:
    const DiskIndex& from_;
    const DiskIndex& to_;
    std::unordered_map<NodeId, std::optional<NodeId>> memo_;
};

// What changed in the shown index, as its followers are told (ShownIndex::follow()). Every id a
// follower holds belongs to the generation shown before the change; it is made to belong to the
// shown one in the same batch of writes.
struct ShownChange {
    // Items moved to the Trash: their ids in the generation the move began with, their paths,
    // and the nodes of the shown generation they are (the same ids, or found by path there).
    struct Moved {
        const IndexRef& from;
        const NodeIds& ids;
        const std::vector<std::string>& paths;
        const std::unordered_set<NodeId>& shown;
    };

    // Another generation of the same target is shown: the ids held are carried over by path
    // (what it lacks is dropped). Null when they stay valid or are dropped.
    IdCarrier* carry = nullptr;
    // Every id held is dropped: a new target is shown with nothing shown before it, or none is.
    bool dropped = false;
    // Null unless items were moved to the Trash; then the generation stays.
    const Moved* moved = nullptr;
};

// The index on screen and where the user is in it: which generation is shown (`index`), the
// target asked for (`scanTarget`), the top-level screen (`phase`), the folder explored
// (`current`), the node pointed at (`hovered`), the Trash basket (`basket`) and the count of
// changes of the shown content (`revision`). The one owner of these: installing another index
// and every change of the shown content go through it, and each is told once to the followers
// (follow()), which bring what they hold of the shown index along in the same batch.
//
// Threading: main thread only.
class ShownIndex {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    explicit ShownIndex(ModelContext& context) : context_(context) {}
    ShownIndex(const ShownIndex&) = delete;
    ShownIndex& operator=(const ShownIndex&) = delete;

    Property<Phase> phase{context_.announcer, Phase::home};
    // The screens' motion into scanning, into the results, and back to Welcome.
    static constexpr Spring scanningSpring{0.5, 0.8};
    static constexpr Spring resultsSpring{0.55, 0.82};
    static constexpr Spring homeSpring{0.5, 1.0};
    // The folder or volume last asked for (its absolute path).
    Property<OptionalPath> scanTarget{context_.announcer};
    // The index on screen, or null.
    Property<IndexRef, Announce::everyWrite> index{context_.announcer};
    // The folder being explored; 0 is the root.
    Property<NodeId> current{context_.announcer, 0};
    // Entering a folder: `current` with the tab and `hovered`.
    static constexpr Spring openSpring{0.42, 0.82};
    Property<OptionalNode> hovered{context_.announcer};
    // Rises by one at every change of the shown index's content.
    Property<int> revision{context_.announcer, 0};
    // The picked nodes of the shown generation, none inside another, never the root.
    Property<NodeIds> basket{context_.announcer};
    // A pick or unpick; and the basket emptied of what was moved to the Trash, with its toast.
    static constexpr Spring pickSpring{0.35, 0.7};
    static constexpr Spring trashedSpring{0.4, 0.75};

    // What install() keeps of where the user was.
    enum class Keep {
        // Nothing: the new index is shown at its root, nothing picked or pointed at.
        nothing,
        // The same target's next generation: the current folder, the basket and the node
        // pointed at are carried over by path (what it lacks is dropped, a current folder it
        // lacks goes back to the root), and `revision` rises.
        byPath,
    };
    // Shows `next` (null: none), keeping of where the user was what `keep` says, and tells the
    // followers.
    void install(IndexRef next, Keep keep);
    // The shown generation changed in place (same nodes, new sizes and dates): `revision` rises
    // and the followers are told.
    void contentChanged();
    // Items moved to the Trash from the generation `from` (ids `moved`, where a worker has
    // marked them removed; their paths `movedPaths`): `revision` rises; in the shown generation
    // (the same ids, or when another generation is shown, the nodes at those paths, left
    // unmarked for its own refresh to take out) they leave the basket, a current folder that is
    // gone or below one goes back to the root, and the followers are told.
    void itemsMoved(const IndexRef& from, const NodeIds& moved,
                    const std::vector<std::string>& movedPaths);

    // Calls `follower` in every change install(), contentChanged() and itemsMoved() make, after
    // their own writes and within their batch, in the order the followers came.
    void follow(std::function<void(ShownChange&)> follower) {
        followers_.push_back(std::move(follower));
    }

    void setPhase(Phase phase, Spring spring);
    void setScanTarget(OptionalPath path);
    void setCurrent(NodeId folder);
    void setHovered(OptionalNode node);
    // Replaces the whole basket in one change ("Clear" hands it the empty list). What the
    // basket never holds is left out, keeping the order of the rest: ids that no node of the
    // shown generation has, the root, repeats, and entries inside another entry of the list.
    // Without an index the basket becomes empty.
    void setBasket(NodeIds basket);

    // The bytes of `nodes` of the shown generation added up (0 without an index); ids beyond it
    // count nothing.
    template <typename Nodes>
    std::uint64_t bytesOf(const Nodes& nodes) const {
        std::uint64_t sum = 0;
        if (!index()) return sum;
        for (NodeId node : nodes) {
            if (node < index()->count()) sum += index()->size(node);
        }
        return sum;
    }

private:
    void tell(ShownChange& change);

    std::vector<std::function<void(ShownChange&)>> followers_;
};

}  // namespace tamrel
