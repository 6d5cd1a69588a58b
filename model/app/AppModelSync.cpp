#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

#include "model/app/AppModel.h"

namespace tamrel {

void AppModel::watch(const IndexRef& index) {
    Batch batch(announcer_);
    sync.set(batch, Sync::catchingUp);
    // Just loaded from its saved file, or being saved after its fresh scan.
    savedAt_ = clock_.now();
    const std::uint64_t seq = ++watcherSeq_;
    // The handlers run on the watcher's thread and only queue work for the main thread; what
    // they queue does nothing once this watcher has been stopped or replaced.
    auto history = [this, seq](Changes changes) {
        context_.onMainThread([this, seq, changes = std::move(changes)] {
            if (seq == watcherSeq_) apply(changes);
        });
    };
    auto live = [this, seq] {
        context_.onMainThread([this, seq] {
            if (seq == watcherSeq_) scheduleLive();
        });
    };
    try {
        watcher_ = std::make_unique<Watcher>(index->rootPath(), index->eventID(),
                                             std::move(history), std::move(live), options_.watcher);
    } catch (const std::exception&) {
        watcher_.reset();
        sync.set(batch, Sync::live);  // nothing will follow the disk; the index stays as loaded
    }
}

void AppModel::stopWatching() {
    ++watcherSeq_;
    saveNow();         // the followed generation, before another one is shown
    unsaved_ = false;  // not saved when its saved file was found damaged
    if (!watcher_) return;
    watcher_->stop();
    watcher_.reset();
}

void AppModel::scheduleLive() {
    // Each batch restarts the wait: the changes are taken once the disk has been quiet, or at
    // the latest when the first of them has waited liveMaxWait.
    using namespace std::chrono;
    const auto now = clock_.now();
    if (!liveTimer_.isActive()) liveSince_ = now;
    const auto left = duration_cast<milliseconds>(options_.liveMaxWait - (now - liveSince_));
    liveTimer_.start(std::clamp(left, milliseconds(0), options_.quietTime));
}

void AppModel::apply(Changes changes) {
    Batch batch(announcer_);
    if (!index() || changes.isEmpty()) {
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
        if (!retryTimer_.isActive()) retryTimer_.start(options_.retryDelay);
        return;
    }
    applying_ = true;
    sync.set(batch, Sync::updating);
    const IndexRef index = this->index();
    // Taken after the changes were: the refreshed index never claims a change it lacks.
    const std::uint64_t oldest = watcher_ ? watcher_->oldestPending() : 0;
    context_.runInBackground([this, index, changes = std::move(changes), oldest] {
        IndexRef next;
        bool inPlace = false;
        try {
            ScanProgress unseen;
            next = ModelContext::ownIndex(index->refresh(changes, unseen, oldest));
            inPlace = !next;
        } catch (const std::exception&) {
            // A refresh that failed adopts nothing.
        }
        // Compared by address only: the main thread must not be left holding the last reference
        // to the replaced generation.
        context_.onMainThread([this, refreshed = index.get(), next, inPlace] {
            Batch batch(announcer_);
            applying_ = false;
            sync.set(batch, Sync::live);
            // A generation of an index no longer shown is dropped unsaved: the saved file holds
            // what was adopted until then, and the next open catches up from there.
            if (!this->index() || this->index().get() != refreshed) return;
            if (next) {
                adopt(next);
            } else if (inPlace) {
                changedInPlace();
            }
        });
    });
}

void AppModel::retryWaiting() {
    Changes waiting = std::exchange(waiting_, Changes());
    // Changes of a stopped watcher are dropped.
    if (waitingSeq_ == watcherSeq_) apply(std::move(waiting));
}

void AppModel::changedInPlace() {
    // The same nodes with new sizes and dates: every id held stays valid.
    Batch batch(announcer_);
    revision.set(batch, revision() + 1);
    derived_.refreshDerived();
    if (!query().isEmpty()) search_.scheduleSearch();
    saveLater();
}

void AppModel::adopt(IndexRef next) {
    if (!index()) return;
    Batch batch(announcer_);
    const IndexRef old = index();
    // By path, name by name: ids of one generation mean nothing in another.
    const auto find = [&](NodeId id) -> std::optional<NodeId> {
        if (id >= old->count()) return std::nullopt;
        return next->counterpart(*old, id);
    };
    NodeId folder = 0;
    if (const auto n = find(current()); n && next->isDir(*n)) folder = *n;
    NodeIds picked;
    for (NodeId id : basket()) {
        if (const auto n = find(id); n && *n != 0) picked.push_back(*n);
    }
    const OptionalNode pointed = hovered() ? find(*hovered()) : std::nullopt;

    index.set(batch, next);
    current.set(batch, folder);
    setBasket(std::move(picked));
    setHovered(pointed);
    derived_.carryListsOver(*old, *next);
    revision.set(batch, revision() + 1);
    derived_.refreshDerived();
    if (!query().isEmpty()) search_.scheduleSearch();
    saveLater();
}

void AppModel::saveLater() {
    using namespace std::chrono;
    unsaved_ = true;
    if (saving_ || saveTimer_.isActive()) return;
    const auto since = clock_.now() - savedAt_.value_or(Clock::TimePoint());
    const auto wait = duration_cast<milliseconds>(options_.saveInterval - since);
    saveTimer_.start(std::clamp(wait, milliseconds(0), options_.saveInterval));
}

void AppModel::saveNow(DiskIndex::Write how) {
    saveTimer_.stop();
    // A generation of a saved file not yet found intact waits for that check (checkSaved()).
    if (!unsaved_ || !index() || savedUnchecked_) return;
    unsaved_ = false;
    saving_ = true;
    savedAt_ = clock_.now();
    // The generation carries the event id of its own content: a file saved from it never claims
    // changes of a later generation.
    context_.runInBackground([this, index = index(), how] {
        try {
            index->save(how);
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
