#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "core/apps/Leftover.h"
#include "core/index/DiskIndex.h"
#include "model/system/Platform.h"
#include "platform/TrashMover.h"

namespace tamrel {

// Moves the items of an uninstall into the user's Trash: items in the home folder under the
// user's own rights, the rest (and home items whose move failed) with administrator rights
// after a single prompt. Launch agents and daemons are stopped before they move. Nothing is
// deleted. Stateless.
class Remover {
public:
    struct Item {
        NodeId node = NONE;
        std::string path;                    // absolute, byte-exact
        bool system = false;                 // outside the home folder (Leftover::system)
        std::optional<Leftover::Kind> kind;  // nothing for the application bundle itself
        // The item as the index generation it was chosen in recorded it: moved only while it
        // still matches (TrashMover::trashItem(), checkItem()). Nothing: not compared. (Given
        // with "{}", so that an item listed by its first four fields stays complete.)
        std::optional<ExpectedItem> expected{};
    };

    struct Outcome {
        // Nodes of the items that are gone: user items in the order they were trashed, then the
        // items moved with administrator rights, in list order.
        std::vector<NodeId> removed;
        // Last path component of each item that stayed: first the user items refused under
        // the user's own rights, then those of the administrator step, each in list order.
        std::vector<std::string> failures;
        // Why each of `failures` stayed, in the same order (TrashRefusal::none: not known).
        std::vector<TrashRefusal> reasons{};

        // Compares what moved and what stayed; the reasons are what the user is told.
        friend bool operator==(const Outcome& a, const Outcome& b) {
            return a.removed == b.removed && a.failures == b.failures;
        }
    };

    // Removes `items` through the real platform.
    static Outcome remove(const std::vector<Item>& items);

    // Removes `items`; `platform` stops launch jobs and moves with administrator rights; `stop`
    // (set from any thread, as at quit) ends the wait for the administrator move early.
    //
    // A user item (system false) of kind agent is first stopped with "/bin/launchctl bootout
    // gui/UID PATH", then moved to the Trash under the user's own rights
    // (TrashMover::trashItem() with its `expected`: the home Trash, the Trash of the item's own
    // disk, or a copy into the home Trash). A user item that this user may not move (another
    // user's, root's among them, or refused for want of rights) is handed on; one refused for any
    // other reason (changed since it was chosen, a link in its path, no Trash for it) stays,
    // and never reaches the administrator step; one with nothing left at its path is gone. The
    // items handed on, then the system items, go to platform.trashAsAdministrator() in one call,
    // agents and daemons marked to be stopped first; an item whose `expected` no longer matches
    // (TrashMover::checkItem(); one this user cannot look at goes on) stays instead, or is gone
    // when nothing is left at its path; no call and no prompt when there are none. That call
    // is made on the calling thread and blocks it while the prompt asks (the prompt is another
    // process's window), so remove() belongs off the main thread. When `stop` is set before the
    // call, nothing is asked; set during it, the call gives up (Platform). An elevated item counts
    // as removed when the call ran (was not stopped) and nothing exists at its path any more (a
    // link counts as existing); otherwise it is a failure, also when a mover left to finish takes
    // it later (its reason: TrashRefusal::rightsRefused when the call did not run). A path holding
    // a NUL byte names no file a program can be given: it is never moved nor handed on, and is a
    // failure. Never throws.
    static Outcome remove(const std::vector<Item>& items, Platform& platform,
                          const std::atomic<bool>& stop);
    // remove(items, platform, stop) with a `stop` that is never set.
    static Outcome remove(const std::vector<Item>& items, Platform& platform);

    // Moves the one item at `path` into the user's Trash under the user's own rights, as a user
    // item of remove() is moved (TrashMover::trashItem() with nothing expected); never asks for
    // administrator rights. True when it was moved.
    static bool trashAsUser(const std::string& path);
};

}  // namespace tamrel
