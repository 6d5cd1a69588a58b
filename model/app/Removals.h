#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "model/app/ModelContext.h"
#include "model/app/Toasts.h"

namespace tamrel {

// Which removal runs: a clean-up being prepared (`preparingClean`), a move to the Trash
// (`trashing`) or an uninstall (`uninstalling`); `removalBusy` while any of them does. Removals
// never overlap: this is the one rule the basket, the clean-up and the uninstall ask (refused()).
//
// Nothing moves on an index that is not known to be intact: while the shown index (and every
// generation refreshed from it) comes from a saved file whose whole check has not passed yet
// (setCheck()), a removal asked for waits for that check (begin()), counting as running
// meanwhile, so the screens show it under way and a second one is refused. Once the check
// passes it starts; if the check fails it is dropped and nothing moves (the caller of
// checkEnded() tells the user).
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
    // Shows a toast ("Another removal is under way") and gives true when a removal runs or
    // waits.
    bool refused();

    // The shown index came from a saved file whose check numbered `check` has not ended yet;
    // nothing: it needs no check (it was scanned afresh, or none is shown).
    void setCheck(std::optional<std::uint64_t> check);
    // The check the shown index waits for, if any.
    std::optional<std::uint64_t> check() const { return check_; }
    // The check numbered `check` ended. The shown index no longer waits for it; the removal
    // waiting for it starts when `intact`, else it is dropped. True when one was dropped.
    bool checkEnded(std::uint64_t check, bool intact);
    // Starts a removal of `kind` by calling `start` (which sets its running state itself), at
    // once, or once the check the shown index waits for has passed, `kind` running meanwhile.
    // The caller has asked refused() first. `start` holds the generation its ids belong to.
    void begin(Kind kind, std::function<void()> start);

    // Held by a worker from the check that a node is not gone until it is marked removed, so
    // two moves never take the same node (or what has taken its place on disk since).
    std::mutex moveLock;

private:
    Toasts& toasts_;
    std::optional<std::uint64_t> check_;
    // The removal asked for while the shown index waited for check `check`.
    struct Waiting {
        Kind kind;
        std::uint64_t check;
        std::function<void()> start;
    };
    std::optional<Waiting> waiting_;
};

}  // namespace tamrel
