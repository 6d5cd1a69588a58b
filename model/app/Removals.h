#pragma once

#include <mutex>

#include "model/app/ModelContext.h"
#include "model/app/Toasts.h"

namespace tamrel {

// Which removal runs: a clean-up being prepared (`preparingClean`), a move to the Trash
// (`trashing`) or an uninstall (`uninstalling`); `removalBusy` while any of them does. Removals
// never overlap: this is the one rule the basket, the clean-up and the uninstall ask (refused()).
//
// Threading: main thread, except `moveLock`.
class Removals {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    enum class Kind { clean, trash, uninstall };

    Removals(ModelContext& context, Toasts& toasts) : context_(context), toasts_(toasts) {}
    Removals(const Removals&) = delete;
    Removals& operator=(const Removals&) = delete;

    // True from runClean() until its recomputed plan is handed to the trash action (which sets
    // `trashing` in the same step) or dropped.
    Property<bool> preparingClean{context_.announcer, false};
    Property<bool> trashing{context_.announcer, false};
    Property<bool> uninstalling{context_.announcer, false};
    // Any of the three.
    Property<bool> removalBusy{context_.announcer, false};

    // Marks the removal of `kind` as running or ended (within the caller's batch, if any).
    void set(Kind kind, bool running);
    // Shows a toast ("Another removal is under way") and gives true when a removal runs.
    bool refused();

    // Held by a worker from the check that a node is not gone until it is marked removed, so
    // two moves never take the same node (or what has taken its place on disk since).
    std::mutex moveLock;

private:
    Toasts& toasts_;
};

}  // namespace tamrel
