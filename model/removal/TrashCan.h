#pragma once

#include <string>
#include <vector>

#include "model/removal/Remover.h"
#include "model/system/Platform.h"

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

    // Removes the items of an uninstall (Remover::remove, with administrator rights where
    // needed, through `platform`, giving up the wait for them once `stop` is set). Blocks; must
    // not be called on the main thread.
    virtual Remover::Outcome remove(const std::vector<Remover::Item>& items, Platform& platform,
                                    const std::atomic<bool>& stop) = 0;

    // The real movers; lives for the whole process.
    static TrashCan& system();
};

}  // namespace tamrel
