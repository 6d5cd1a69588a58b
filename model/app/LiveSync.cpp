#include "model/app/LiveSync.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

#include "core/live/Refresher.h"
#include "core/scan/MountRecord.h"

namespace tamrel {

LiveSync::LiveSync(ModelContext& context, ShownIndex& shown)
    : context_(context),
      shown_(shown),
      retryTimer_(context.clock, [this] { retryWaiting(); }),
      liveTimer_(context.clock,
                 [this] {
                     if (watcher_) apply(watcher_->take());
                 }),
      saveTimer_(context.clock, [this] { saveNow(SavedIndex::Write::direct); }) {
    retryTimer_.setSingleShot(true);
    liveTimer_.setSingleShot(true);
    // A coarse timer may fire up to 5 % late, 100 ms on the 2 s quiet time.
    liveTimer_.setPrecise(true);
    saveTimer_.setSingleShot(true);
}

void LiveSync::holdSaves(bool held) {
    savesHeld_ = held;
    if (!held && unsaved_) saveLater();
}

void LiveSync::watch() {
    following_ = true;
    // Just loaded from its saved file, or being saved after its fresh scan.
    savedAt_ = context_.clock.now();
    mountsPending_.clear();
    addMountChanges(MountPolicy::parseMounts(MountPolicy::readMountTable()));
    startWatcher();
}

void LiveSync::followMounts(const std::vector<MountInfo>& table) {
    if (following_ && addMountChanges(table)) startWatcher();
}

bool LiveSync::addMountChanges(const std::vector<MountInfo>& table) {
    if (!shown_.index()) return false;
    const std::vector<std::string> changed = changedMounts(*shown_.index(), table);
    for (const std::string& path : changed)
        mountsPending_.insert(path);
    return !changed.empty();
}

void LiveSync::startWatcher() {
    Batch batch(context_.announcer);
    sync.set(batch, Sync::catchingUp);
    if (watcher_) watcher_->stop();
    watcher_.reset();
    const std::uint64_t seq = ++watcherSeq_;
    // The handlers run on the watcher's thread and only queue work for the main thread; what
    // they queue does nothing once this watcher has been stopped or replaced.
    auto history = [this, seq](Changes changes) {
        context_.onMainThread([this, seq, changes = std::move(changes)]() mutable {
            if (seq != watcherSeq_) return;
            changes.mounts.merge(std::exchange(mountsPending_, PathSet()));
            apply(std::move(changes));
        });
    };
    auto live = [this, seq] {
        context_.onMainThread([this, seq] {
            if (seq == watcherSeq_) scheduleLive();
        });
    };
    const IndexRef& index = shown_.index();
    try {
        watcher_ =
            std::make_unique<Watcher>(index->rootPath(), index->eventID(), std::move(history),
                                      std::move(live), context_.options.watcher);
    } catch (const std::exception&) {
        watcher_.reset();
        // Nothing will follow the disk's entries; its mounts are still taken (and `sync` is
        // live once they are, at once when there are none).
        Changes mounts;
        mounts.mounts = std::exchange(mountsPending_, PathSet());
        apply(std::move(mounts));
    }
}

void LiveSync::stopWatching() {
    ++watcherSeq_;
    following_ = false;
    mountsPending_.clear();
    saveNow();         // the followed generation, before another one is shown
    unsaved_ = false;  // not saved when its saved file was found damaged
    if (!watcher_) return;
    watcher_->stop();
    watcher_.reset();
}

void LiveSync::scheduleLive() {
    // Each batch restarts the wait: the changes are taken once the disk has been quiet, or at
    // the latest when the first of them has waited liveMaxWait.
    using namespace std::chrono;
    const auto now = context_.clock.now();
    if (!liveTimer_.isActive()) liveSince_ = now;
    const auto left =
        duration_cast<milliseconds>(context_.options.liveMaxWait - (now - liveSince_));
    liveTimer_.start(std::clamp(left, milliseconds(0), context_.options.quietTime));
}

void LiveSync::apply(Changes changes) {
    Batch batch(context_.announcer);
    if (!shown_.index() || changes.isEmpty()) {
        sync.set(batch, Sync::live);
        return;
    }
    if (applying_) {
        // One retry takes everything that came meanwhile: a retry per batch would copy and save
        // the whole index once for each batch, one after the other, and on a disk that never
        // falls quiet (a whole-disk index) they would queue up faster than they run.
        if (waitingSeq_ != watcherSeq_) {
            waiting_ = Changes();
            waitingSeq_ = watcherSeq_;
        }
        waiting_.dirs.merge(changes.dirs);
        waiting_.deep.merge(changes.deep);
        waiting_.mounts.merge(changes.mounts);
        if (!retryTimer_.isActive()) retryTimer_.start(context_.options.retryDelay);
        return;
    }
    applying_ = true;
    sync.set(batch, Sync::updating);
    const IndexRef index = shown_.index();
    // Taken after the changes were: the refreshed index never claims a change it lacks.
    const std::uint64_t oldest = watcher_ ? watcher_->oldestPending() : 0;
    context_.runInBackground([this, index, changes = std::move(changes), oldest] {
        IndexRef next;
        bool inPlace = false;
        try {
            ScanProgress unseen;
            bool changed = true;
            next = ModelContext::ownIndex(
                Refresher::refresh(*index, changes, unseen, oldest, &changed));
            // A refresh that found the disk as the index has it changes nothing to show or save.
            inPlace = !next && changed;
        } catch (const std::exception&) {
            // A refresh that failed adopts nothing.
        }
        // Compared by address only: the main thread must not be left holding the last reference
        // to the replaced generation.
        context_.onMainThread([this, refreshed = index.get(), next, inPlace] {
            Batch batch(context_.announcer);
            applying_ = false;
            sync.set(batch, Sync::live);
            // A generation of an index no longer shown is dropped unsaved: the saved file holds
            // what was adopted until then, and the next open catches up from there.
            if (!shown_.index() || shown_.index().get() != refreshed) return;
            if (next) {
                adopt(next);
            } else if (inPlace) {
                changedInPlace();
            }
        });
    });
}

void LiveSync::retryWaiting() {
    Changes waiting = std::exchange(waiting_, Changes());
    // Changes of a stopped watcher are dropped.
    if (waitingSeq_ == watcherSeq_) apply(std::move(waiting));
}

void LiveSync::changedInPlace() {
    // The same nodes with new sizes and dates: every id held stays valid.
    Batch batch(context_.announcer);
    shown_.contentChanged();
    saveLater();
}

void LiveSync::adopt(IndexRef next) {
    if (!shown_.index()) return;
    Batch batch(context_.announcer);
    shown_.install(std::move(next), ShownIndex::Keep::byPath);
    saveLater();
}

void LiveSync::saveLater() {
    using namespace std::chrono;
    unsaved_ = true;
    if (saving_ || saveTimer_.isActive()) return;
    const auto since = context_.clock.now() - savedAt_.value_or(Clock::TimePoint());
    const auto wait = duration_cast<milliseconds>(context_.options.saveInterval - since);
    saveTimer_.start(std::clamp(wait, milliseconds(0), context_.options.saveInterval));
}

void LiveSync::saveNow(SavedIndex::Write how) {
    saveTimer_.stop();
    // A generation of a saved file not yet found intact waits for that check (checkSaved()).
    if (!unsaved_ || !shown_.index() || savesHeld_) return;
    unsaved_ = false;
    saving_ = true;
    savedAt_ = context_.clock.now();
    // The generation carries the event id of its own content: a file saved from it never claims
    // changes of a later generation.
    context_.runInBackground([this, index = shown_.index(), how] {
        try {
            SavedIndex::save(*index, how);
        } catch (const std::exception&) {
            // The older saved file stays; its event id makes the next open catch up from there.
        }
        context_.onMainThread([this] {
            saving_ = false;
            if (unsaved_) saveLater();
        });
    });
}

}  // namespace tamrel
