#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "core/index/DiskIndex.h"
#include "model/removal/Remover.h"
#include "model/system/Platform.h"
#include "platform/TrashMover.h"

namespace tamrel {

// Where the model's moves to the Trash go: single items under the user's own rights (the Trash
// basket and the clean-up) and the items of an uninstall. The one place the model reaches the
// movers; system() is the real one, tests hand the model one that records every path.
//
// Thread safety: every call may come from any thread; the model calls from its worker threads.
class TrashCan {
public:
    virtual ~TrashCan() = default;

    // Moves the item at `path` into the user's Trash under the user's own rights; never asks for
    // administrator rights. True when the item is in the Trash.
    virtual bool moveToTrash(const std::string& path) = 0;

    // Moves the item at `path` into the user's Trash under the user's own rights when it is
    // still what `expected` describes (TrashMover::trashItem()); never asks for administrator
    // rights. The real can checks and says why it refused; by default moveToTrash(path), which
    // compares nothing and gives no reason.
    virtual TrashResult trashPicked(const std::string& path, const ExpectedItem& expected);

    // Removes the items of an uninstall (Remover::remove, with administrator rights where
    // needed, through `platform`, giving up the wait for them once `stop` is set). Blocks; must
    // not be called on the main thread.
    virtual Remover::Outcome remove(const std::vector<Remover::Item>& items, Platform& platform,
                                    const std::atomic<bool>& stop) = 0;

    // The real movers; lives for the whole process.
    static TrashCan& system();
};

// The node as the generation `index` recorded it, for a move that must find it unchanged: its
// kind; for anything but a folder its allocated bytes (unless it has other hard links, one of
// which carries the bytes) and modification time; and the index's root as the folder it was found
// below. `node` must be below index.count(). Reads nothing from the disk.
ExpectedItem expectedItem(const DiskIndex& index, NodeId node);

// The node as the user picks it: expectedItem() and what identifies it on the disk now, its
// device, inode and birth time (or generation) and the mounts between the index's root and it
// (TrashMover::recordItem()), so that a later move takes this very item, reached through the
// same mounts, or nothing. Records this at the moment of the pick (a basket entry, a ticked
// clean-up item, the items of an uninstall) and keep it with the pick across generations, by
// path (withIdentity() joins it to the generation moved). Only the kind is compared at the
// pick: an index follows the disk seconds late, so a size or time it has not caught up with is
// judged at the move, against the generation then moved. An item of another kind, or one that
// cannot be reached, gets an identity no item has, and `refusal` (when given) says why; it also
// says why a move under the user's own rights would be refused (see pickRefusal()). One statx
// and open for each folder between the root and the node: a few microseconds, fine on the main
// thread for one pick; `node` below index.count().
ExpectedItem pickedItem(const DiskIndex& index, NodeId node, TrashResult* refusal = nullptr);

// What the picks recorded (pickedItem()), by the path of the item picked: the identity follows
// the item by path across index generations, never by node id.
using PickedItems = std::unordered_map<std::string, ExpectedItem>;

// `now` (expectedItem() of the generation being moved) with the identity `picked` recorded at
// the pick: its device, inode, birth time or generation, and its mounts. A size changed since
// the pick moves; another item under the name (one made anew in the same inode number too), or
// one reached through another mount, does not. `picked` null: `now`.
ExpectedItem withIdentity(ExpectedItem now, const ExpectedItem* picked);
// withIdentity() with what `picks` recorded at `path`, if anything.
ExpectedItem withIdentity(ExpectedItem now, const PickedItems& picks, const std::string& path);

// Whether `node` of `index` may be picked for the Trash, and why not: TrashRefusal::none when
// a move under the user's own rights would take it as the index shows it; otherwise the reason
// a refused move's toast gives (BasketAndTrash::refusalText(refusal, why)): gone (the node or
// its folder moved to the Trash here, or nothing at its path), protectedPlace (the root of the
// index, or a place isProtectedPlace() names: a system folder, the home's own folders, the
// Trash), otherUser, permission (its folder may not be changed by this user), link, changed
// (another kind than the index recorded), failed (a mount point, with `why`). Reads the disk as
// pickedItem() does: for a menu being opened or a pick, not for every row drawn.
TrashResult pickRefusal(const DiskIndex& index, NodeId node);

}  // namespace tamrel
