#include "core/scan/ReadAhead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/scan/DirReader.h"
#include "core/scan/MountPolicy.h"

namespace tamrel {

namespace {

// A helper's listing buffer: small, since up to 56 helpers hold one each.
constexpr std::size_t helperBufferBytes = 32 * 1024;

// A scanning thread looks at the blocks it has read once every this many folders (a getrusage
// call each time): often enough to see a cold cache within a window, rarely enough that a warm
// scan does not notice.
constexpr int probeEvery = 8;

std::atomic<ReadAhead::Mode> processMode{ReadAhead::Mode::adaptive};

// Blocks this thread has read from a disk so far (in 512-byte units).
long threadBlocksRead() {
    rusage usage{};
    if (::getrusage(RUSAGE_THREAD, &usage) != 0) return 0;
    return usage.ru_inblock;
}

std::int64_t ticks(std::chrono::steady_clock::time_point t) {
    return t.time_since_epoch().count();
}

}  // namespace

ReadAheadGovernor::ReadAheadGovernor(int maxHelpers) {
    if (maxHelpers > 8) steps_.push_back(8);
    if (maxHelpers > 0) steps_.push_back(maxHelpers);
}

void ReadAheadGovernor::settle(int level) {
    level_ = level;
    home_ = level;
    probe_ = 0;
    stepsAtHome_ = 0;
    lastRate_ = 0;
    beforeRate_ = 0;
}

int ReadAheadGovernor::observe(const Window& w) {
    if (steps_.empty() || w.folders == 0 || w.seconds <= 0) return level_;
    if (static_cast<double>(w.coldFolders) < coldShare * static_cast<double>(w.folders)) {
        // The cache answers: nothing to read ahead, unless the helpers are merely ahead.
        if (++warm_ < warmWindows) return level_;
        if (home_ > 0) resume_ = home_;
        settle(0);
        windows_ = 0;
        cold_ = 0;
        seconds_ = 0;
        return level_;
    }
    warm_ = 0;
    if (!started_) {
        // The first cold window: as deep as allowed, then probe.
        started_ = true;
        settle(top());
        return level_;
    }
    if (level_ == 0 && resume_ > 0) {
        // Cold again after a warm stretch: back where it was, without probing.
        settle(resume_);
        resume_ = 0;
        return level_;
    }
    cold_ += w.coldFolders;
    seconds_ += w.seconds;
    if (++windows_ < windowsPerStep) return level_;
    const double rate = static_cast<double>(cold_) / seconds_;
    windows_ = 0;

    if (probe_ != 0) {
        const bool better = rate >= homeRate_ * (probe_ > 0 ? gain : 1.0);
        if (probe_ > 0) climbWait_ = better ? climbSteps : std::min(climbWait_ * 2, maxClimbSteps);
        settle(better ? level_ : home_);
        cold_ = 0;
        seconds_ = 0;
        return level_;
    }
    cold_ = 0;
    seconds_ = 0;
    ++stepsAtHome_;
    beforeRate_ = lastRate_;
    lastRate_ = rate;
    // While the walk still fans out (the rate rising step by step), a shallower level would be
    // judged against the slower steps before: no descent then. A climb is due sooner than a
    // descent, so below the deepest level they take turns.
    const bool rising = stepsAtHome_ < 2 || lastRate_ > beforeRate_ * gain;
    const bool canClimb = level_ < top() && stepsAtHome_ >= climbWait_;
    const bool canDescend = level_ > 0 && !rising &&
                            stepsAtHome_ >= (probedBelow_ ? probeSteps : firstProbeSteps);
    if (!canClimb && !canDescend) return level_;
    homeRate_ = (lastRate_ + beforeRate_) / 2;
    probe_ = canClimb ? 1 : -1;
    if (probe_ < 0) probedBelow_ = true;
    level_ += probe_;
    return level_;
}

ReadAhead::Mode ReadAhead::defaultMode() {
    return processMode.load(std::memory_order_relaxed);
}

void ReadAhead::setDefaultMode(Mode mode) {
    processMode.store(mode, std::memory_order_relaxed);
}

ReadAhead::ReadAhead(Mode mode, int maxHelpers)
    : mode_(mode), governor_(mode == Mode::off ? 0 : std::max(maxHelpers, 0)) {
    const auto now = std::chrono::steady_clock::now();
    windowStart_ = now;
    windowStartTicks_.store(ticks(now), std::memory_order_relaxed);
    // Leave most descriptors to the scanning threads, which keep a folder open until all its
    // subfolders are opened: the helpers hold at most a quarter of what is left above 256.
    rlimit limit{};
    long soft = 0;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        soft = limit.rlim_cur == RLIM_INFINITY ? 1 << 20 : static_cast<long>(limit.rlim_cur);
    }
    descriptorBudget_ = static_cast<int>(std::clamp<long>((soft - 256) / 4, 0, 4096));
}

ReadAhead::~ReadAhead() {
    stop();
    for (auto& t : helpers_)
        t.join();
}

void ReadAhead::start(std::shared_ptr<const UniqueFd> root, dev_t device) {
    {
        std::lock_guard guard(lock_);
        if (stopping_.load(std::memory_order_relaxed) || mode_ == Mode::off) return;
        stack_.push_back(Folder{std::move(root), ".", device, {}, true});
    }
    if (mode_ == Mode::always && !governor_.steps().empty()) {
        setHelpers(governor_.steps().back());
        highest_.store(static_cast<int>(governor_.steps().size()), std::memory_order_relaxed);
    }
}

void ReadAhead::stop() {
    std::vector<Folder> dropped;
    {
        std::lock_guard guard(lock_);
        stopping_.store(true, std::memory_order_relaxed);
        active_.store(false, std::memory_order_relaxed);
        running_ = 0;
        dropped.swap(stack_);
    }
    wake_.notify_all();
    walked_.notify_all();
}

void ReadAhead::waitForWalk() {
    std::unique_lock guard(lock_);
    walked_.wait(guard, [&] {
        return stopping_.load(std::memory_order_relaxed) || (stack_.empty() && busy_ == 0);
    });
}

int ReadAhead::started() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(helpers_.size());
}

ReadAhead::Probe::Probe(ReadAhead& owner)
    : owner_(owner), lastBlocks_(owner.mode_ == Mode::adaptive ? threadBlocksRead() : 0) {}

void ReadAhead::Probe::noteListed() {
    if (owner_.mode_ != Mode::adaptive) return;
    // The first folders one by one, so that a cold start shows within the first window.
    if (++uncounted_ < (looks_ < probeEvery ? 1 : probeEvery)) return;
    ++looks_;
    const long blocks = threadBlocksRead();
    const bool cold = blocks > lastBlocks_;
    lastBlocks_ = blocks;
    owner_.note(cold, static_cast<std::uint64_t>(uncounted_));
    uncounted_ = 0;
}

void ReadAhead::note(bool cold, std::uint64_t folders) {
    folders_.fetch_add(folders, std::memory_order_relaxed);
    if (cold) cold_.fetch_add(folders, std::memory_order_relaxed);
    if (mode_ != Mode::adaptive) return;
    const auto now = std::chrono::steady_clock::now();
    const bool first = !firstClosed_.load(std::memory_order_relaxed);
    const auto due =
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(first ? firstWindow : window);
    if (ticks(now) - windowStartTicks_.load(std::memory_order_relaxed) < due.count()) return;
    if (first && folders_.load(std::memory_order_relaxed) < firstWindowFolders) return;
    std::unique_lock guard(windowLock_, std::try_to_lock);
    if (!guard || now - windowStart_ < due) return;
    closeWindow(now);
    firstClosed_.store(true, std::memory_order_relaxed);
}

void ReadAhead::closeWindow(std::chrono::steady_clock::time_point now) {
    ReadAheadGovernor::Window w;
    w.folders = folders_.exchange(0, std::memory_order_relaxed);
    w.coldFolders = cold_.exchange(0, std::memory_order_relaxed);
    w.seconds = std::chrono::duration<double>(now - windowStart_).count();
    windowStart_ = now;
    windowStartTicks_.store(ticks(now), std::memory_order_relaxed);
    const int level = governor_.observe(w);
    if (level > highest_.load(std::memory_order_relaxed)) {
        highest_.store(level, std::memory_order_relaxed);
    }
    setHelpers(governor_.helpers());
}

void ReadAhead::setHelpers(int n) {
    {
        std::lock_guard guard(lock_);
        if (stopping_.load(std::memory_order_relaxed)) return;
        running_ = n;
        active_.store(n > 0, std::memory_order_relaxed);
        while (static_cast<int>(helpers_.size()) < n) {
            const int index = static_cast<int>(helpers_.size());
            helpers_.emplace_back([this, index] { helperLoop(index); });
        }
    }
    wake_.notify_all();
}

void ReadAhead::helperLoop(int index) {
    std::unique_ptr<char[]> buffer(new char[helperBufferBytes]);
    std::vector<Folder> found;
    std::unique_lock guard(lock_);
    for (;;) {
        wake_.wait(guard, [&] {
            return stopping_.load(std::memory_order_relaxed) ||
                   (index < running_ && !stack_.empty());
        });
        if (stopping_.load(std::memory_order_relaxed)) return;
        Folder folder = std::move(stack_.back());
        stack_.pop_back();
        ++busy_;
        guard.unlock();
        if (folder.batch.empty()) {
            walk(folder, buffer.get(), found);
        } else {
            statBatch(folder, found);
        }
        folder.parent.reset();
        guard.lock();
        // In reverse, so the first subfolder listed is the next one taken, as in the scan. Past
        // the bound the rest is left to the scanning threads.
        const std::size_t room = stackCap - std::min(stackCap, stack_.size());
        const std::size_t keep = std::min(room, found.size());
        for (std::size_t k = keep; k-- > 0;)
            stack_.push_back(std::move(found[k]));
        found.clear();
        --busy_;
        const bool done = stack_.empty() && busy_ == 0;
        if (keep > 1) wake_.notify_all();
        if (keep == 1) wake_.notify_one();
        if (done) walked_.notify_all();
    }
}

void ReadAhead::statEntry(const std::shared_ptr<const UniqueFd>& parent, dev_t device,
                          const char* name, std::size_t length, unsigned char type,
                          std::vector<Folder>* found) {
    struct statx sx;
    if (::statx(parent->get(), name, scanStatxFlags, scanStatxMask, &sx) != 0) return;
    if (!found || (type != DT_DIR && type != DT_UNKNOWN) || !S_ISDIR(sx.stx_mode)) return;
    if (makedev(sx.stx_dev_major, sx.stx_dev_minor) != device || MountPolicy::isMountRoot(sx)) {
        return;
    }
    found->push_back(Folder{parent, std::string(name, length), device, {}, true});
}

bool ReadAhead::pushBatches(const std::shared_ptr<const UniqueFd>& dir, dev_t device,
                                   const char* dirents, std::size_t bytes, std::size_t skip,
                                   bool descend) {
    // No entry takes fewer than 24 bytes: most results are too short to look into.
    if (bytes <= 2 * batchEntries * 24) return false;
    std::size_t entries = 0;
    forEachDirent(dirents, bytes, [&](const char*, std::size_t, unsigned char) { ++entries; });
    if (entries <= 2 * batchEntries) return false;
    std::vector<Folder> batches;
    std::size_t k = 0;
    forEachDirent(dirents, bytes, [&](const char* name, std::size_t length, unsigned char) {
        if (k++ < skip) return;
        if ((k - skip - 1) % batchEntries == 0) {
            batches.push_back(Folder{dir, {}, device, {}, descend});
            batches.back().batch.reserve(batchEntries * 24);
        }
        batches.back().batch.append(name, length + 1);
    });
    {
        std::lock_guard guard(lock_);
        if (stopping_.load(std::memory_order_relaxed) || stack_.size() + batches.size() > stackCap) {
            return false;
        }
        // In reverse, so the batch nearest the reader's place is taken first.
        for (std::size_t b = batches.size(); b-- > 0;)
            stack_.push_back(std::move(batches[b]));
    }
    wake_.notify_all();
    return true;
}

void ReadAhead::share(const std::shared_ptr<const UniqueFd>& dir, dev_t device,
                      const char* dirents, std::size_t bytes) {
    if (!active()) return;
    pushBatches(dir, device, dirents, bytes, batchEntries, false);
}

void ReadAhead::statBatch(const Folder& folder, std::vector<Folder>& found) {
    const long before = threadBlocksRead();
    const char* name = folder.batch.data();
    const char* end = name + folder.batch.size();
    while (name < end) {
        const std::size_t length = std::strlen(name);
        statEntry(folder.parent, folder.device, name, length, DT_UNKNOWN,
                  folder.descend ? &found : nullptr);
        name += length + 1;
        batched_.fetch_add(1, std::memory_order_relaxed);
    }
    note(threadBlocksRead() > before, 1);
}

void ReadAhead::walk(const Folder& folder, char* buffer, std::vector<Folder>& found) {
    if (descriptors_.fetch_add(1, std::memory_order_relaxed) >= descriptorBudget_) {
        descriptors_.fetch_sub(1, std::memory_order_relaxed);
        return;  // the scanning threads read it and all below it
    }
    UniqueFd fd(::openat(folder.parent->get(), folder.name.c_str(), scanOpenFlags));
    if (!fd) {
        descriptors_.fetch_sub(1, std::memory_order_relaxed);
        return;
    }
    const long before = threadBlocksRead();
    auto dir = std::make_shared<HeldDir>(std::move(fd), descriptors_);
    const std::shared_ptr<const UniqueFd> held(dir, &dir->fd);
    // A wide folder's entries past the first batch of each result go to other helpers.
    std::size_t limit = 0;
    std::size_t k = 0;
    readEntries(
        dir->fd.get(), buffer, helperBufferBytes,
        [&](const char* name, std::size_t length, unsigned char type) {
            if (k++ < limit) statEntry(held, folder.device, name, length, type, &found);
        },
        [&](const char* dirents, std::size_t bytes) {
            k = 0;
            limit = pushBatches(held, folder.device, dirents, bytes, batchEntries, true)
                        ? batchEntries
                        : SIZE_MAX;
        });
    readAhead_.fetch_add(1, std::memory_order_relaxed);
    note(threadBlocksRead() > before, 1);
}

}  // namespace tamrel
