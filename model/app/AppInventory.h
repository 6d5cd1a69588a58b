#pragma once

#include "core/space/RuleProfile.h"
#include "model/app/ModelContext.h"
#include "model/app/ShownIndex.h"
#include "model/removal/TrashCan.h"

namespace tamrel {

// The installed applications found in the shown index (`apps`, `appsLoading`), their order
// and filter on the Apps screen (`appSort`, `appFilter`), and the selected one with its ticked
// leftovers (`selectedApp`, `leftoverPicked`) and what identifies each of its files on the disk
// (appPicks()). Follows the shown index: an application moved to
// the Trash leaves the list, and when it was the selected one, the first of the list is
// selected in its place.
//
// Threading: main thread; a load runs on the pool and holds its generation by shared
// ownership. Its result is stored only for the generation still shown, the selection and ticks
// of another generation carried over by path.
class AppInventory {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    AppInventory(ModelContext& context, ShownIndex& shown);
    AppInventory(const AppInventory&) = delete;
    AppInventory& operator=(const AppInventory&) = delete;

    Property<InstalledApps, Announce::everyWrite> apps{context_.announcer};
    // The list losing an uninstalled application, with the selection and the toast.
    static constexpr Spring uninstalledSpring{0.4, 0.8};
    Property<bool> appsLoading{context_.announcer, false};
    Property<OptionalNode> selectedApp{context_.announcer};
    Property<NodeSet> leftoverPicked{context_.announcer};
    Property<AppSort> appSort{context_.announcer, AppSort::size};
    Property<QString> appFilter{context_.announcer};

    void setLeftoverPicked(NodeSet picked);
    void setAppSort(AppSort sort);
    void setAppFilter(const QString& filter);

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
    // What identifies the files of the selected application on the disk (its bundle or file,
    // desktop entries, own icons and every leftover), by path: recorded (pickedItem()) when its
    // detail lists them, as it is selected or its inventory loaded again, and kept by path while
    // it stays selected, so an uninstall moves those very items. A file this user may not reach
    // keeps no identity: no move under the user's own rights takes it, and the administrator
    // step compares its kind, size and time.
    const PickedItems& appPicks() const { return appPicks_; }
    // The stored inventory was loaded from the shown generation.
    bool inventoryShown() const;
    // The index generation `apps` was loaded from (null: never loaded).
    const IndexRef& appsIndex() const { return appsIndex_; }

private:
    void follow(ShownChange& change);
    // Records appPicks() for the selected application's files not recorded yet, and drops the
    // rest. A statx and an open a folder above each new one.
    void recordSelected();

    ShownIndex& shown_;
    int appsRevision_ = -1;   // the revision at which `apps` was loaded; -1: never
    IndexRef appsIndex_;      // the index generation `apps` was loaded from
    bool appsAsked_ = false;  // loadApps() was called while a load ran
    // The rule profile `apps` was found with, built on the worker that loaded it: selecting an
    // application decides its default ticks with it and so reads no file on the main thread.
    RuleProfile appsProfile_;
    PickedItems appPicks_;
    // Tests of the actions install an inventory directly.
    friend class ActionsProbe;
};

}  // namespace tamrel
