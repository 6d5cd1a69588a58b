#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/app/ModelContext.h"
#include "model/app/Removals.h"
#include "model/app/ShownIndex.h"
#include "model/app/Toasts.h"
#include "model/removal/TrashCan.h"

namespace tamrel {

// The rules of the Trash basket (ShownIndex's `basket`, picked nodes of the shown generation),
// its confirmation (`confirmTrash`), and the one action that moves nodes of an index generation
// to the Trash (Removals' `trashing` meanwhile), used by the basket and the clean-up run; the texts
// of their outcomes, which the uninstall shares.
//
// Threading: main thread; moves run one after the other on a worker that holds their
// generation by shared ownership, each under the move lock of Removals from the check that its
// node is not gone until it is marked removed.
class BasketAndTrash {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    BasketAndTrash(ModelContext& context, ShownIndex& shown, Removals& removals, Toasts& toasts)
        : context_(context), shown_(shown), removals_(removals), toasts_(toasts) {}
    BasketAndTrash(const BasketAndTrash&) = delete;
    BasketAndTrash& operator=(const BasketAndTrash&) = delete;

    Property<bool> confirmTrash{context_.announcer, false};

    void setConfirmTrash(bool on);

    // The node or one of its ancestors is in the basket; false without an index.
    bool inBasket(NodeId node) const;
    // Whether the Trash would take the node of the shown generation: not the root, not gone,
    // and not a place isProtected() refuses. Reads no disk: the rows offer picking only where
    // it holds.
    bool mayPick(NodeId node) const;
    // Why the node of the shown generation may not be picked, as a refused pick's toast says
    // it (pickRefusalText()); empty when it may, and for an id no node of the shown generation
    // has. Reads the disk (pickRefusal()): for a menu being opened, not for every row drawn.
    QString pickRefusal(NodeId node) const;
    // Adds or removes the node (see the basket rules); nothing without an index. A node that
    // mayPick() or pickedItem() refuses is not added: a toast says why. A node added has what
    // identifies it on the disk recorded (pickedItem()), kept by its path across generations
    // while it stays in the basket: it moves only while it is that very item.
    void toggleBasket(NodeId node);
    // Replaces the whole basket (ShownIndex::setBasket()), recording what identifies each entry
    // that has nothing recorded at its path yet, as a pick does, refusing none.
    void setBasket(NodeIds nodes);
    // Sum of the sizes of the basket's nodes; 0 without an index.
    std::uint64_t basketSize() const;
    // Moves the nodes (ids of the shown generation) to the Trash on a worker, one after the
    // other, and returns at once; `skipped` are names the caller already held back, reported
    // first among the failures. Each item moves only while it is what that generation recorded
    // (kind, and for anything but a folder size and time; see expectedItem()), belongs to this
    // user and, when it was picked into the basket, is the very item picked, reached through the
    // same mounts (withIdentity()). A protected path, a node already gone and a refused move are failures, named by
    // their last path component, the toast adding why the first of them stayed; moved nodes
    // are marked removed in the generation the call began with. The outcome goes to
    // ShownIndex::itemsMoved() (the basket, the clean-up ticks and revision; by path when
    // another generation is shown by then) and sets the toast. Nothing for an empty list or
    // without an index; refused with a toast while another removal runs (Removals::refused()).
    // On an index whose saved file is still being checked, the move waits for the check and
    // is dropped if it fails (Removals::begin()).
    void trash(const NodeIds& nodes, const std::vector<std::string>& skipped);
    // trash() for the ids of `generation` (which the worker holds), busy or not; an item with
    // an identity in `picks` (by its path) moves only while it is that item.
    void startTrash(const IndexRef& generation, const NodeIds& nodes,
                    const std::vector<std::string>& skipped,
                    std::shared_ptr<const PickedItems> picks);
    // A path the Trash never takes (TrashMover::isProtectedPlace()).
    static bool isProtected(const std::string& path);
    // "Skipped a, b, c +2": the first three names, then how many more.
    static QString skippedText(const std::vector<std::string>& names);
    // Why a move did not happen, as a toast tells it ("no permission to move it"); empty when
    // not known. `why` is the system's own text, told for TrashRefusal::failed.
    static QString refusalText(TrashRefusal refusal, const std::string& why = {});
    // Why a pick is refused: refusalText(), but for an item of another kind than the index
    // shows, which has not been picked yet, "changed since it was listed".
    static QString pickRefusalText(const TrashResult& refused);
    // " — " and the first of `reasons` (parallel to `names`, empty: none) that is not empty,
    // preceded by its item's name when other items failed for other reasons; empty when none.
    static QString reasonTail(const std::vector<std::string>& names,
                              const std::vector<QString>& reasons);

private:
    ShownIndex& shown_;
    Removals& removals_;
    Toasts& toasts_;
    // What each pick recorded, by path: the entries of the basket, and stale ones of entries
    // that left it with a generation or a move, dropped once the basket is empty.
    PickedItems picks_;
};

}  // namespace tamrel
