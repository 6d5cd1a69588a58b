#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/app/AppInventory.h"
#include "model/app/ModelContext.h"
#include "model/app/Removals.h"
#include "model/app/ShownIndex.h"
#include "model/app/Toasts.h"
#include "model/removal/Remover.h"
#include "model/system/Clock.h"

namespace tamrel {

// Uninstalling an application of the inventory, once confirmed (`confirmUninstall`): closing
// its running copies, then moving it and its ticked leftovers to the Trash (Removals'
// `uninstalling` meanwhile).
//
// Threading: main thread; the wait for the application to quit and the moves run on a worker
// that holds the inventory's generation by shared ownership, under the move lock of Removals.
class Uninstaller {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    Uninstaller(ModelContext& context, ShownIndex& shown, AppInventory& inventory,
                Removals& removals, Toasts& toasts);
    Uninstaller(const Uninstaller&) = delete;
    Uninstaller& operator=(const Uninstaller&) = delete;

    Property<bool> confirmUninstall{context_.announcer, false};

    void setConfirmUninstall(bool on);

    // Whether a copy of the application runs now: a process of this user that belongs to an
    // application with its bundle identifier (see Processes::copiesOf), or that runs from its
    // bundle. Reads /proc (a few milliseconds); any thread, as it reads no model state.
    bool appRunning(const InstalledApp& app) const;
    // Asks the application's running copies to quit (SIGTERM, then a wait of up to 30 times
    // Options::quitCheck on the clock, looking every quitCheck), then moves it and its ticked
    // leftovers to the Trash on a worker, with administrator rights where needed; each item only
    // while it is what the inventory's generation recorded. Returns at once. The outcome goes to
    // ShownIndex::itemsMoved() (which the inventory follows) and sets the toast. Refused with a
    // toast while another removal runs; and, with the inventory loaded again, when the
    // inventory is not of the shown generation or no longer lists the application where it was.
    // On an index whose saved file is still being checked, it waits for the check and is
    // dropped if it fails (Removals::begin()).
    void uninstall(const InstalledApp& app);

private:
    // uninstall() once it may start: `chosen` and the `items` of `index` it moves, `total` their
    // bytes.
    void remove(const IndexRef& index, const InstalledApp& chosen, std::vector<Remover::Item> items,
                std::uint64_t total);

    ShownIndex& shown_;
    AppInventory& inventory_;
    Removals& removals_;
    Toasts& toasts_;
    // An uninstall's patience with the application's running copies: 30 times quitCheck on the
    // clock, after which quitOver_ (of that uninstall) tells its worker to stop waiting.
    Timer quitWait_;
    std::shared_ptr<std::atomic<bool>> quitOver_;
};

}  // namespace tamrel
