#pragma once

#include <string>
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
// below. `node` must be below index.count().
ExpectedItem expectedItem(const DiskIndex& index, NodeId node);

}  // namespace tamrel
