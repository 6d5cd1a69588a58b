#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "core/index/DiskIndex.h"
#include "core/live/Changes.h"
#include "core/live/Watcher.h"
#include "core/saved/SavedIndex.h"
#include "core/scan/MountPolicy.h"
#include "model/app/ModelContext.h"
#include "model/app/ShownIndex.h"
#include "model/system/Clock.h"

namespace tamrel {

// Keeps the shown index live: a Watcher of its root hands over the changes since the index's
// event id, then batches of live changes; they are taken once the disk has been quiet for
// Options::quietTime (or the first of them has waited liveMaxWait), refreshed on the pool into
// the shown generation itself or a new one, which is adopted with every node id held carried
// over by path (ShownIndex::install()). `sync` tells where that stands. A refreshed generation is
// saved at most once a saveInterval, and when it stops being followed; a refresh that found the
// disk as the index had it (as the catch-up after a fresh scan mostly does: it lists again what
// changed while the scan ran) changes nothing, so neither `revision` nor a save follows it.
// Saves are whole files (168 MB at 3 million entries), so only what differs from the saved file
// is worth one.
//
// Mounts: a disk mounted or unmounted at a folder the index holds changes no entry the watcher
// sees. The mounts the index records (DiskIndex::mounts()) are compared with the mount table
// when following begins, so that what changed while the program was closed is caught up, and at
// every change of the table (followMounts()); each folder whose mount differs is listed again as
// a scan would meet it, with the catch-up of a watcher started anew (a disk that arrived must be
// watched too, and one that left takes its watches with it).
//
// Threading: main thread; the watcher's callbacks only queue work for it, and what they queue
// does nothing once that watcher has been stopped or replaced. A refresh holds its index by
// shared ownership; a result for a generation no longer shown is dropped unsaved (the saved file
// holds what was adopted until then, and the next open catches up from its event id).
class LiveSync {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    LiveSync(ModelContext& context, ShownIndex& shown);
    LiveSync(const LiveSync&) = delete;
    LiveSync& operator=(const LiveSync&) = delete;

    Property<Sync> sync{context_.announcer, Sync::live};

    // Follows the shown index (just shown) from its event id on; catchingUp until the watcher's
    // history is applied. Mounts as above, against this process's mount table.
    void watch();
    // The mount table is now `table`: when the followed index holds a folder whose mount
    // differs, the watcher starts anew (catchingUp) and its catch-up lists those folders again.
    // Nothing while no index is followed.
    void followMounts(const std::vector<MountInfo>& table);
    // Stops following, after saving the followed generation when it holds unsaved changes.
    void stopWatching();
    // Holds the saves of refreshes while the saved file the shown index came from has not been
    // found intact (so a damaged file never gets a new checksum over its damage); released,
    // a refresh not saved meanwhile is saved in its turn.
    void holdSaves(bool held);
    // Installs `next`, a refreshed generation of the shown index, carrying over every node id
    // held by path.
    void adopt(IndexRef next);

private:
    // Starts a watcher of the shown index from its event id; its catch-up also takes the
    // folders in mountsPending_.
    void startWatcher();
    // Adds the folders of the shown index whose mounts differ from `table` to mountsPending_;
    // whether there were any.
    bool addMountChanges(const std::vector<MountInfo>& table);
    void scheduleLive();
    void apply(Changes changes);
    // The changes gathered while a refresh ran, applied when still of the running watcher.
    void retryWaiting();
    // After a refresh that changed the shown generation itself (Refresher::refresh()).
    void changedInPlace();
    // Marks the shown generation as not saved; it is saved once saveInterval has passed since
    // the previous save of a refresh began, or earlier by saveNow().
    void saveLater();
    // Saves the shown generation on the pool when it is not saved yet, unless saves are held
    // (it is saved once they are released). The saves of the interval are written around the
    // page cache: nothing reads them back while the model runs.
    void saveNow(SavedIndex::Write how = SavedIndex::Write::cached);

    ShownIndex& shown_;
    bool following_ = false;  // between watch() and stopWatching()
    std::unique_ptr<Watcher> watcher_;
    // Folders whose mounts changed, for the catch-up of the running watcher.
    PathSet mountsPending_;
    std::uint64_t watcherSeq_ = 0;  // calls of an earlier watcher change nothing
    bool applying_ = false;
    // Changes that came while a refresh ran, gathered into one set for the one refresh that
    // follows it, once retryTimer_ has run out; of the watcher numbered waitingSeq_.
    Changes waiting_;
    std::uint64_t waitingSeq_ = 0;
    Timer retryTimer_;  // a refresh found another running: the retry's wait
    Timer liveTimer_;   // the quiet-time wait
    // When the first batch not yet taken arrived (valid while liveTimer_ is active).
    Clock::TimePoint liveSince_;
    // The shown index came from a saved file whose check has not passed yet (holdSaves()).
    bool savesHeld_ = false;
    // The shown generation holds refreshed changes that its saved file lacks; saveTimer_ runs
    // until the next save may begin. savedAt_: when the last save of a refresh began.
    bool unsaved_ = false;
    bool saving_ = false;  // a save of a refresh runs on the pool
    Timer saveTimer_;
    std::optional<Clock::TimePoint> savedAt_;
};

}  // namespace tamrel
