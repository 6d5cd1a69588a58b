#include "core/live/Watcher.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <optional>
#include <vector>

#include "core/base/BackgroundThread.h"
#include "core/scan/EventID.h"
#include "core/live/FanotifyBackend.h"
#include "core/live/FolderWalk.h"
#include "core/live/InotifyBackend.h"
#include "core/scan/MountPolicy.h"
#include "core/scan/ScanThreads.h"
#include "platform/UniqueFd.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

using Steady = std::chrono::steady_clock;


// A walk of the unwatched folders that finds nothing doubles the wait before the next one, up
// to this many times Options::rewalkEvery; one that finds a change brings it back. On 3 million
// entries with 63,000 folders past the watch limit, each walk takes 1.5 CPU-s.
constexpr int maxRewalkStretch = 16;

// Once drained, the kernel's queue is waited on again only after this long (or a batch
// latency, when shorter): woken for every event, the thread spent 1 CPU-s a minute on a quiet
// tree while builds elsewhere on its file system sent fanotify a few thousand events a minute.
constexpr std::chrono::milliseconds readPace{100};

std::uint64_t stampBefore(std::uint64_t id) {
    return id > fileTimeMargin ? id - fileTimeMargin : 1;
}

std::string normalised(std::string path) {
    while (path.size() >= 2 && path.back() == '/')
        path.pop_back();
    return path;
}

// appDataDirectory() as a walk from a root reaches it: with the symbolic links above it resolved.
std::string resolvedAppData() {
    const std::string home = dataHome();
    char* real = home.empty() ? nullptr : ::realpath(home.c_str(), nullptr);
    if (!real) return {};
    std::string out = normalised(real);
    std::free(real);
    return (out == "/" ? std::string() : out) + "/Tamrel";
}

}  // namespace

struct Watcher::Core {
    std::string root;
    std::uint64_t since;
    HistoryHandler onHistoryDone;
    LiveHandler onLive;
    Options options;
    std::string ignored = normalised(appDataDirectory());
    std::string ignoredReal = resolvedAppData();
    std::atomic<bool> stopping{false};
    // The watcher thread's id, set before it runs a handler: Watcher::thread_ itself changes
    // while it is joined, and is assigned only after the thread has started.
    std::atomic<std::thread::id> thread;
    std::unique_ptr<WatchBackend> backend;
    UniqueFd wake{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::atomic<bool> catchingUp{true};

    mutable std::mutex pendingLock;
    Changes pending;
    std::uint64_t oldest = 0;

    // The walk in flight, if any: run on its own threads while this one keeps reading events.
    std::thread walkThread;
    std::atomic<bool> walkDone{false};
    std::atomic<bool> walkCancel{false};
    std::unique_ptr<MountPolicy> walkMounts;
    WalkResult walkResult;
    std::uint64_t walkStamp = 0;

    void wakeUp() {
        const std::uint64_t one = 1;
        if (!wake) return;
        const ssize_t n = ::write(wake.get(), &one, sizeof one);
        (void)n;  // a full counter wakes the thread just as well
    }

    // Adds to the pending changes what `got` holds, seen at event id `seen`. True when anything
    // was added (repeats included).
    bool add(Changes& got, std::uint64_t seen) {
        bool any = false;
        std::lock_guard guard(pendingLock);
        for (const std::string& p : got.dirs) {
            std::string n = normalised(p);
            if (n == ignored || n == ignoredReal) continue;
            pending.dirs.insert(std::move(n));
            any = true;
        }
        for (const std::string& p : got.deep) {
            pending.deep.insert(normalised(p));
            any = true;
        }
        if (any) oldest = oldest == 0 ? seen : std::min(oldest, seen);
        got = Changes();
        return any;
    }

    Changes take() {
        std::lock_guard guard(pendingLock);
        Changes out = std::move(pending);
        pending = Changes();
        oldest = 0;
        return out;
    }

    int walkThreads() const {
        if (options.walkThreads > 0) return options.walkThreads;
        return defaultScanThreads();
    }

    // `threads` 0: as many as a scan.
    void startWalk(std::vector<WalkStart> starts, std::uint64_t stamp, int threads) {
        walkDone = false;
        walkStamp = stamp;
        walkMounts = std::make_unique<MountPolicy>(deviceOf(root));
        if (threads == 0) threads = walkThreads();
        walkThread = std::thread([this, starts = std::move(starts), stamp, threads] {
            walkResult = walkFolders(*backend, starts, stamp, threads, *walkMounts, walkCancel);
            walkDone = true;
            wakeUp();
        });
    }

    void run();
};

void Watcher::Core::run() {
    thread = std::this_thread::get_id();
    ::pthread_setname_np(::pthread_self(), "tamrel.fsevents");
    becomeBackgroundThread();
    const std::uint64_t margin = stampBefore(since != 0 ? since : currentEventID());
    std::uint64_t lastWalk = currentEventID();
    // An event read now happened after the previous read began (it was not there to be read
    // then): the event id a change counts from, whatever kept this thread busy meanwhile.
    std::uint64_t lastRead = lastWalk;
    auto readEvents = [&](Changes& out, bool settle) {
        const std::uint64_t before = currentEventID();
        backend->readEvents(out);
        if (settle) backend->settle(out);
        const bool any = add(out, lastRead);
        lastRead = before;
        return any;
    };
    startWalk({WalkStart{root, noParent, root}}, margin, 0);
    bool firstWalk = true;
    bool historyDone = since == 0;
    std::optional<Steady::time_point> deadline;
    std::optional<Steady::time_point> nextRewalk;
    const auto pace = std::min<std::chrono::milliseconds>(readPace, options.latency);
    std::chrono::milliseconds rewalkWait = options.rewalkEvery;
    std::optional<Steady::time_point> readAgain;  // the queue is not waited on before then

    while (!stopping) {
        auto wait = std::optional<Steady::time_point>{};
        if (deadline) wait = deadline;
        if (nextRewalk && !walkThread.joinable() && (!wait || *nextRewalk < *wait))
            wait = nextRewalk;
        const bool paced = readAgain && Steady::now() < *readAgain;
        if (paced && (!wait || *readAgain < *wait)) wait = readAgain;
        int timeout = -1;
        if (wait) {
            const auto ms =
                std::chrono::ceil<std::chrono::milliseconds>(*wait - Steady::now()).count();
            timeout = static_cast<int>(std::clamp<long long>(ms, 0, 3'600'000));
        }
        pollfd fds[2] = {{wake.get(), POLLIN, 0}, {backend->fd(), POLLIN, 0}};
        const bool waitedOnQueue = backend->fd() >= 0 && !paced;
        ::poll(fds, waitedOnQueue ? 2 : 1, timeout);
        const bool woken = waitedOnQueue && (fds[1].revents & POLLIN);
        if (stopping) break;
        std::uint64_t drained;
        while (::read(wake.get(), &drained, sizeof drained) > 0) {
        }

        Changes got;
        const bool added = readEvents(got, false);
        const auto now = Steady::now();
        // Woken by events, the queue is waited on again after `pace`, once drained: a burst is
        // read at full speed, and a quiet queue is waited on without a timeout.
        if (woken) {
            pollfd queued{backend->fd(), POLLIN, 0};
            readAgain = ::poll(&queued, 1, 0) > 0 ? now : now + pace;
        }
        if (added && !deadline) deadline = now + options.latency;

        if (walkThread.joinable() && walkDone) {
            walkThread.join();
            Changes found;
            found.dirs = std::move(walkResult.changed);
            found.deep = std::move(walkResult.replaced);
            if (firstWalk && !walkResult.missing.empty()) found.deep.insert(root);
            walkResult = WalkResult();
            const bool foundAny = add(found, walkStamp);
            if (!firstWalk) {
                rewalkWait = foundAny
                                 ? options.rewalkEvery
                                 : std::min(rewalkWait * 2, options.rewalkEvery * maxRewalkStretch);
            }
            nextRewalk = now + rewalkWait;
            if (firstWalk) {
                firstWalk = false;
                catchingUp = false;
                if (!historyDone) {
                    // The handover carries every event read until now, this batch's included.
                    Changes more;
                    readEvents(more, true);
                    historyDone = true;
                    deadline.reset();
                    Changes handed = take();
                    if (stopping) break;
                    onHistoryDone(std::move(handed));
                    continue;
                }
            }
            if (foundAny && !deadline) deadline = now;
        }

        if (deadline && now >= *deadline) {
            Changes more;
            readEvents(more, true);
            deadline.reset();
            if (historyDone && !stopping) onLive();
        }

        if (nextRewalk && now >= *nextRewalk && !walkThread.joinable()) {
            nextRewalk.reset();
            std::vector<WalkStart> starts = backend->unwatchedFolders();
            if (starts.empty()) {
                nextRewalk = now + options.rewalkEvery;
            } else {
                const std::uint64_t stamp = stampBefore(lastWalk);
                lastWalk = currentEventID();
                // On one thread: nobody waits for these walks, and more threads cost more CPU
                // than they save (63,000 small folders: 0.64 CPU-s on one, 1.34 on eight).
                startWalk(std::move(starts), stamp, 1);
            }
        }
    }
    walkCancel = true;
    if (walkThread.joinable()) walkThread.join();
}

Watcher::Watcher(std::string root, std::uint64_t since, HistoryHandler onHistoryDone,
                 LiveHandler onLive, Options options)
    : core_(std::make_shared<Core>()) {
    Core& c = *core_;
    c.root = std::move(root);
    c.since = since;
    c.onHistoryDone = std::move(onHistoryDone);
    c.onLive = std::move(onLive);
    c.options = options;
    if (options.allowFanotify) c.backend = FanotifyBackend::create(c.root, c.stopping);
    if (!c.backend) {
        c.backend = std::make_unique<InotifyBackend>(c.root, options.maxWatches, c.stopping);
    }
    if (since == 0) {
        c.catchingUp = false;
        c.onHistoryDone(Changes());
    }
    thread_ = std::thread([core = core_] { core->run(); });
}

Watcher::~Watcher() {
    stop();
    // Stopped from its own thread (the owner let go of it inside a handler): the thread holds
    // the state it needs and ends by itself.
    if (thread_.joinable()) thread_.detach();
}

Changes Watcher::take() {
    return core_->take();
}

std::uint64_t Watcher::oldestPending() const {
    std::lock_guard guard(core_->pendingLock);
    return core_->oldest;
}

Watcher::Status Watcher::status() const {
    Status s;
    s.mode = core_->backend->mode();
    s.catchingUp = core_->catchingUp;
    s.unwatched = core_->backend->unwatchedCount();
    s.limitReached = s.unwatched > 0;
    s.outsideEvents = core_->backend->outsideEvents();
    return s;
}

void Watcher::stop() {
    core_->stopping = true;
    core_->wakeUp();
    if (std::this_thread::get_id() == core_->thread.load()) return;
    std::lock_guard guard(joinLock_);
    if (thread_.joinable()) thread_.join();
}

std::uint64_t Watcher::currentEventID() {
    return tamrel::currentEventID();
}

}  // namespace tamrel
