#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/space/CleanPlan.h"
#include "core/space/RuleProfile.h"
#include "model/app/BasketAndTrash.h"
#include "model/app/ModelContext.h"
#include "model/app/Removals.h"
#include "model/app/ShownIndex.h"
#include "model/removal/TrashCan.h"

namespace tamrel {

// A lock-guarded memo of which applications are installed, asked of the application registry
// once per bundle identifier. Thread-safe; the lock is never held while the registry is asked,
// so two threads asking at once for a new identifier may both ask and store the same answer.
class InstalledCache {
public:
    // True when an application with `bundleID` (case as given) is installed, or when the
    // registry cannot tell.
    bool installed(std::string_view bundleID);

private:
    std::mutex lock_;
    std::unordered_map<std::string, bool> known_;
};

// The clean-up plan of the shown index (`cleanPlan`, computed with the derived data), its ticks
// (`cleanPicked`, remembered by path for the whole run, so they survive new plans and
// generations) with what identifies each ticked item on the disk (pickedItem(), recorded when it
// is first shown ticked or when the user ticks it, and kept by path while it stays ticked), its
// confirmation (`confirmClean`) and running it (Removals' `preparingClean`, then
// the trash action); and the rule profile the model runs with. Follows the shown index: the plan
// and its ticks are carried over to another generation by path or dropped, and what moved to the
// Trash is unticked.
//
// Threading: main thread, except the static functions (any thread, reading no model state).
// A run recomputes its plan on the pool from the generation it began with.
class CleanUp {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    CleanUp(ModelContext& context, ShownIndex& shown, Removals& removals, BasketAndTrash& trash);
    CleanUp(const CleanUp&) = delete;
    CleanUp& operator=(const CleanUp&) = delete;

    Property<CleanGroups, Announce::everyWrite> cleanPlan{context_.announcer};
    Property<NodeSet> cleanPicked{context_.announcer};
    Property<bool> confirmClean{context_.announcer, false};

    void setConfirmClean(bool on);

    // Stores a newly computed plan of the shown index and rebuilds cleanPicked from the
    // defaults and the user's ticks by path. A ticked item with no identity recorded at its path
    // takes the one `recorded` holds there (pickDefaults() of the worker that computed the plan),
    // else one recorded now.
    void applyCleanPlan(CleanGroups plan, const PickedItems& recorded = {});
    // Ticks or unticks items of the stored plan (remembered by path for the whole run); an item
    // ticked has what identifies it recorded now.
    void setClean(const NodeIds& nodes, bool on);
    // Sum of the sizes of the ticked items; 0 without an index.
    std::uint64_t cleanSize() const;
    // Moves the ticked items to the Trash, holding back those of running programs: the plan is
    // computed again on a worker (preparingClean meanwhile), then the rest moves as trash()
    // moves it, each only while it is the item its tick recorded, against the generation the plan was computed in even when a refreshed one is
    // shown by then. When every ticked item is held back nothing moves and no toast appears
    // (each item's note says why). Nothing without an index; refused with a toast while another
    // removal runs; on an index whose saved file is still being checked, it waits for the check
    // and is dropped if it fails (Removals::begin()).
    void runClean();

    // What identifies the items `plan` ticks by default (pickedItem()), by path. For the worker
    // that computes the plan from `index`: a statx and an open a folder above each such item.
    static PickedItems pickDefaults(const DiskIndex& index, const CleanGroups& plan);
    // The context of a plan computation: this user's running programs and a fresh
    // installed-application memo.
    static CleanContext cleanContext();
    // The Linux folders the space rules look in beside the designed ones, for this user's home
    // folder and XDG settings. Blocking: reads user-dirs.dirs, so it is built on workers only.
    // Its rules() are ModelContext::ruleSet().
    static RuleProfile ruleProfile();

private:
    // The running set of a clean-up context.
    static std::set<std::string> runningNames();
    // runClean() once it may start: the ticked ids `picked` of `index`, with what their ticks
    // recorded.
    void prepareClean(const IndexRef& index, NodeIds picked,
                      std::shared_ptr<const PickedItems> picks);
    void follow(ShownChange& change);

    ShownIndex& shown_;
    Removals& removals_;
    BasketAndTrash& trash_;
    // The user's ticks by path, for the whole run.
    std::set<std::string> cleanOn_;
    std::set<std::string> cleanOff_;
    // What identifies each ticked item, by path; none for ticks made by other means.
    PickedItems cleanPicks_;
};

}  // namespace tamrel
