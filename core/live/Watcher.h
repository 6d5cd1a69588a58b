#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/live/Changes.h"

namespace tamrel {

// Follows the file-system events below one root from a saved event id and gathers the folders
// that changed.
//
// States: catching up (what changed since `since` is found by a walk of the tree that places the
// watches as it goes, reporting every folder whose ctime, or an entry's, is at or after since
// minus 2 s, and putting into `deep` every folder that may have been moved or made at its name
// since, by its own ctime and its parent's mtime, for the folders it brings keep old ctimes;
// events accumulate silently) → one handover (onHistoryDone with everything gathered,
// when the walk ends) → live (each batch of events, closed 1 s after its first event, adds to
// the pending changes and calls onLive) → stopped. With since 0 the handover is made with empty
// changes on the constructing thread before the constructor returns; the walk that places the
// watches then reports what changed while it ran as a live batch.
//
// Live events come from one fanotify mark per file system where the process may, else from
// inotify with one watch per folder. A full event queue, or the root deleted or moved, puts the
// root into `deep`. When no more watches can be placed, status() says so and the subtrees left
// unwatched are walked again by ctime, on one thread, about once a minute, and less often while
// those walks find nothing (the wait doubles up to 16 minutes, and is back at one once a walk
// finds a change); what a walk finds is a live batch.
// Changes inside appDataDirectory() are not reported: the saves of the index itself would
// otherwise start a refresh of their own without end.
//
// Thread safety: the handlers run one at a time on the watcher's own thread, named
// "tamrel.fsevents" (except the since = 0 handover above); they must not throw, and must not
// wait for a thread that may be calling stop(). take(), oldestPending(), status() and stop()
// may be called from any thread. No handler runs once stop() has returned; stop() called from a
// handler returns at once and no further handler runs after that one.
class Watcher {
public:
    using HistoryHandler = std::function<void(Changes)>;
    using LiveHandler = std::function<void()>;

    struct Options {
        bool allowFanotify = true;                     // false: inotify even where fanotify works
        std::chrono::milliseconds latency{1000};       // how long a batch gathers events
        std::chrono::milliseconds rewalkEvery{60000};  // walks of unwatched subtrees, at most
        std::size_t maxWatches = static_cast<std::size_t>(-1);  // inotify watches placed at most
        int walkThreads = 0;  // threads of a walk; 0: as a fresh scan
    };

    struct Status {
        enum class Mode { none, inotify, fanotify };
        Mode mode = Mode::none;     // none: no watch could be had at all
        bool catchingUp = true;     // the handover has not happened yet
        bool limitReached = false;  // some folders are not watched (walked again, see above)
        std::size_t unwatched = 0;  // subtrees without watches
        // Events read from the kernel that lay outside the tree: with fanotify, whose mark sees
        // the whole file system, the first of each folder outside (its later ones are dropped
        // by the kernel, see FanotifyBackend).
        std::uint64_t outsideEvents = 0;
    };

    // Starts watching `root` (as the index names it) from event id `since` (0: no saved id).
    Watcher(std::string root, std::uint64_t since, HistoryHandler onHistoryDone, LiveHandler onLive,
            Options options);
    Watcher(std::string root, std::uint64_t since, HistoryHandler onHistoryDone, LiveHandler onLive)
        : Watcher(std::move(root), since, std::move(onHistoryDone), std::move(onLive), Options()) {}
    // Stops the watcher (see stop()).
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    // The changes gathered since the last take() or the handover; leaves none behind.
    Changes take();
    // The event id at which the oldest change still pending was seen, or 0 when none is. An
    // index refreshed after a take() saves an event id no later than this (see Refresher::refreshed()).
    std::uint64_t oldestPending() const;
    Status status() const;
    // Ends the watching; a second call does nothing. Waits for a handler that is running on
    // another thread to return.
    void stop();

    // The file-system event id of this moment (currentEventID()).
    static std::uint64_t currentEventID();

private:
    struct Core;
    std::shared_ptr<Core> core_;
    std::thread thread_;
    std::mutex joinLock_;
};

}  // namespace tamrel
