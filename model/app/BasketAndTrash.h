#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "model/app/ModelContext.h"
#include "model/removal/TrashCan.h"

namespace tamrel {

// The Trash basket (`basket`, picked nodes of the shown generation) and the one action that
// moves nodes of an index generation to the Trash (`trashing` meanwhile), used by the basket,
// the clean-up run and, for its outcome, the uninstall.
//
// Threading: main thread; moves run one after the other on a worker that holds their
// generation by shared ownership, each under the context's move lock from the check that its
// node is not gone until it is marked removed.
class BasketAndTrash {
public:
    explicit BasketAndTrash(ModelContext& context) : context_(context), model_(context.model) {}
    BasketAndTrash(const BasketAndTrash&) = delete;
    BasketAndTrash& operator=(const BasketAndTrash&) = delete;

    // The node or one of its ancestors is in the basket; false without an index.
    bool inBasket(NodeId node) const;
    // Whether the Trash would take the node of the shown generation: not the root, not gone,
    // and not a place isProtected() refuses. The screens offer picking only where it holds.
    bool mayPick(NodeId node) const;
    // Adds or removes the node (see the basket rules); nothing without an index. A node that
    // mayPick() refuses is not added: a toast says why.
    void toggleBasket(NodeId node);
    // Sum of the sizes of the basket's nodes; 0 without an index.
    std::uint64_t basketSize() const;
    // Replaces the whole basket in one change ("Clear" hands it the empty list). What the
    // basket never holds is left out, keeping the order of the rest: ids that no node of the
    // shown generation has, the root, repeats, and entries inside another entry of the list.
    // Without an index the basket becomes empty.
    void setBasket(NodeIds basket);
    // Moves the nodes (ids of the shown generation) to the Trash on a worker, one after the
    // other, and returns at once; `skipped` are names the caller already held back, reported
    // first among the failures. Each item moves only while it is what that generation recorded
    // (kind, and for anything but a folder size and time; see expectedItem()) and belongs to
    // this user. A protected path, a node already gone and a refused move are failures, named by
    // their last path component, the toast adding why the first of them stayed; moved nodes
    // are marked removed in the generation the call began with. The outcome leaves the basket
    // and the clean-up ticks, raises revision and sets the toast; when another generation is
    // shown by then, it is applied there by path. Nothing for an empty list or without an
    // index; refused with a toast while another removal runs (removalBusy()).
    void trash(const NodeIds& nodes, const std::vector<std::string>& skipped);
    // trash() for the ids of `generation` (which the worker holds), busy or not.
    void startTrash(const IndexRef& generation, const NodeIds& nodes,
                    const std::vector<std::string>& skipped);
    // After items moved to the Trash from the generation `from` (where the worker has marked
    // them removed): raises `revision`; in the shown generation the moved items leave the basket
    // and the clean-up ticks, and a current folder that is gone goes back to the root. When
    // another generation is shown, the moved items are found in it by path and left unmarked:
    // its own refresh takes them out, and a move of one again fails on the missing path.
    void pruneMoved(const IndexRef& from, const NodeIds& moved,
                    const std::vector<std::string>& movedPaths);

    // A path the Trash never takes (TrashMover::isProtectedPlace()).
    static bool isProtected(const std::string& path);
    // "Skipped a, b, c +2": the first three names, then how many more.
    static QString skippedText(const std::vector<std::string>& names);
    // Why a move did not happen, as a toast tells it ("no permission to move it"); empty when
    // not known. `why` is the system's own text, told for TrashRefusal::failed.
    static QString refusalText(TrashRefusal refusal, const std::string& why = {});
    // " — " and the first of `reasons` (parallel to `names`, empty: none) that is not empty,
    // preceded by its item's name when other items failed for other reasons; empty when none.
    static QString reasonTail(const std::vector<std::string>& names,
                              const std::vector<QString>& reasons);

private:
    ModelContext& context_;
    AppModel& model_;
};

}  // namespace tamrel
