#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "core/index/DiskIndex.h"
#include "core/scan/ScanProgress.h"
#include "model/app/AppValues.h"
#include "model/app/DerivedData.h"
#include "model/app/LiveSync.h"
#include "model/app/ModelContext.h"
#include "model/app/Removals.h"
#include "model/app/SearchController.h"
#include "model/app/ShownIndex.h"
#include "model/app/Toasts.h"
#include "model/app/VolumesAndPlaces.h"

namespace tamrel {

// Opening a target and moving around in it: which index is shown (through ShownIndex), the
// counters of a fresh scan (`progress`), the folder explored in it and the tab (`tab`); the
// saved indexes a target is served from, and the check that such a file is intact; the file
// actions of the context menu.
//
// Threading: main thread; a fresh scan, its save and the check of a saved file run on the
// model's pool and hold their index by shared ownership. A scan's result is shown only while
// its scan still owns the screen; a check's outcome is of the target opened at the same count
// only.
class Navigator {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    Navigator(ModelContext& context, ShownIndex& shown, VolumesAndPlaces& volumes, LiveSync& live,
              SearchController& search, DerivedData& derived, Removals& removals, Toasts& toasts)
        : context_(context),
          shown_(shown),
          volumes_(volumes),
          live_(live),
          search_(search),
          derived_(derived),
          removals_(removals),
          toasts_(toasts) {}
    Navigator(const Navigator&) = delete;
    Navigator& operator=(const Navigator&) = delete;

    // Counters of the last fresh scan; a new object for every fresh scan.
    Property<ProgressRef, Announce::everyWrite> progress{context_.announcer};
    Property<Tab> tab{context_.announcer, Tab::explore};

    void setTab(Tab tab);

    // The start-up actions: refreshVolumes(), then, when `indexed` has an entry for "/",
    // scan("/", false).
    void startUp();
    // Shows the folder or volume at `path`: navigated to inside the shown index, served from
    // the saved index of "/", loaded from its own saved index, or scanned afresh (always with
    // `fresh`).
    void scan(const std::string& path, bool fresh);
    // Lets the user pick a folder, then scan(picked, false).
    void chooseFolder();
    // scan(index root, true) when an index is shown.
    void rescan();
    // Explores a folder of the shown index; anything else is ignored.
    void open(NodeId node);
    // Explores the parent of `current`.
    void up();
    // The node's children not marked removed, largest first; empty without an index. With
    // `head`, only the first `head` are in order (DiskIndex::sortedChildren).
    NodeIds children(NodeId node, std::size_t head) const;
    // The file actions of the context menu. False when no index is shown or the desktop
    // refused.
    bool reveal(NodeId node);
    bool openItem(NodeId node);
    bool copyPath(NodeId node);
    // Shows `index` at its root with nothing picked, as a newly opened target.
    void show(IndexRef index);

private:
    // What every opening that replaces the shown target does first: stops following it, counts
    // a new opening, takes `path` as the scan target and empties the basket and the query.
    void replaceShown(const std::string& path);
    void finishScan(const std::string& path, const ProgressRef& counters, IndexRef scanned,
                    const QString& error);
    // VolumesAndPlaces::loadSaved(root), except that the saved index of "/" start-up loaded is
    // handed over (once) instead of being loaded again.
    VolumesAndPlaces::Saved savedIndex(const std::string& root);
    // Checks on the pool that the file a shown index was loaded from is intact (its checksum);
    // when it is not and nothing else was opened since, the index is thrown away and its root
    // scanned afresh, with a toast that says so. Refreshes are not saved, and removals do not
    // start (Removals::begin()), until the check passed; a removal that waited for a check that
    // failed is dropped.
    void checkSaved(const IndexRef& index);
    // "The saved index was damaged", as a failure, with `detail`.
    static Toast damagedToast(const QString& detail);

    ShownIndex& shown_;
    VolumesAndPlaces& volumes_;
    LiveSync& live_;
    SearchController& search_;
    DerivedData& derived_;
    Removals& removals_;
    Toasts& toasts_;
    // While startUp() runs: the saved index of "/" as refreshVolumes() loaded it (null inside
    // when that load failed). Empty at any other time: it is never held beyond start-up.
    std::optional<VolumesAndPlaces::Saved> startUpRoot_;
    // Rises whenever scan() replaces what is shown: a check's outcome is of the target opened
    // at the same count only.
    std::uint64_t opened_ = 0;
};

}  // namespace tamrel
