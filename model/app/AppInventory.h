#pragma once

#include "core/space/RuleProfile.h"
#include "model/app/ModelContext.h"

namespace tamrel {

// The installed applications found in the shown index (`apps`, `appsLoading`), their order
// and filter on the Apps screen, and the selected one with its ticked leftovers
// (`selectedApp`, `leftoverPicked`).
//
// Threading: main thread; a load runs on the pool and holds its generation by shared
// ownership. Its result is stored only for the generation still shown, the selection and ticks
// of another generation carried over by path.
class AppInventory {
public:
    explicit AppInventory(ModelContext& context) : context_(context), model_(context.model) {}
    AppInventory(const AppInventory&) = delete;
    AppInventory& operator=(const AppInventory&) = delete;

    // Scans the shown index for installed applications on a worker, unless one runs already or
    // (without `force`) the stored inventory is of the shown generation at this revision and
    // not empty. A result for another generation than the one shown when it arrives is dropped;
    // when loadApps() was called while that load ran, a load of the shown generation follows.
    void loadApps(bool force);
    // The applications of `apps` whose name or bundle identifier contains appFilter (blanks
    // and tabs trimmed, any case), in the order of appSort; equal ones keep the order of apps.
    // Pointers into apps(): valid until apps is next written. Recomputed at every call.
    AppRefs sortedApps() const;
    // Selects the application with this node and ticks its leftovers, those of kind group only
    // when no other application shares its team.
    void selectApp(NodeId node);
    // The stored inventory was loaded from the shown generation.
    bool inventoryShown() const;
    // The index generation `apps` was loaded from (null: never loaded).
    const IndexRef& appsIndex() const { return appsIndex_; }

private:
    ModelContext& context_;
    AppModel& model_;
    int appsRevision_ = -1;   // the revision at which `apps` was loaded; -1: never
    IndexRef appsIndex_;      // the index generation `apps` was loaded from
    bool appsAsked_ = false;  // loadApps() was called while a load ran
    // The rule profile `apps` was found with, built on the worker that loaded it: selecting an
    // application decides its default ticks with it and so reads no file on the main thread.
    RuleProfile appsProfile_;
    // Tests of the actions install an inventory directly.
    friend class ActionsProbe;
};

}  // namespace tamrel
