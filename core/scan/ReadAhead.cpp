#include "core/scan/ReadAhead.h"

#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>

namespace tamrel {

namespace {

// The scan's own flags.
constexpr int openFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;
// A helper's listing buffer: small, since up to 56 helpers hold one each.
constexpr std::size_t helperBufferBytes = 32 * 1024;

// Off until it pays on a disk where it was measured: on the virtual disk of the machine it was
// built on, a cold scan is bound by the kernel's processor time, not by reads in flight, and the
// helpers made cold scans of the million-entry tree 1.15 times slower (adaptive) and 1.18 times
// (always).
std::atomic<ReadAhead::Mode> processMode{ReadAhead::Mode::off};

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
    for (int n = 8; n < maxHelpers; n *= 2)
        steps_.push_back(n);
    if (maxHelpers > 0) steps_.push_back(maxHelpers);
}

int ReadAheadGovernor::observe(const Window& w) {
    if (steps_.empty() || w.folders == 0 || w.seconds <= 0) return level_;
    if (static_cast<double>(w.coldFolders) < coldShare * static_cast<double>(w.folders)) {
        // The cache answers: nothing to read ahead.
        level_ = 0;
        probing_ = false;
        hold_ = 0;
        windows_ = 0;
        listed_ = 0;
        seconds_ = 0;
        return level_;
    }
    listed_ += w.listed;
    seconds_ += w.seconds;
    if (++windows_ < windowsPerStep) return level_;
    const double rate = static_cast<double>(listed_) / seconds_;
    windows_ = 0;
    listed_ = 0;
    seconds_ = 0;
    if (probing_) {
        probing_ = false;
        if (rate < belowRate_ * gain) {
            --level_;
            hold_ = holdSteps;
            return level_;
        }
    } else if (hold_ > 0) {
        --hold_;
        return level_;
    }
    if (level_ < static_cast<int>(steps_.size())) {
        belowRate_ = rate;
        ++level_;
        probing_ = true;
    }
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
    // subfolders are opened: folders read ahead hold at most a quarter of what is left above 256.
    rlimit limit{};
    long soft = 0;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        soft = limit.rlim_cur == RLIM_INFINITY ? 1 << 20 : static_cast<long>(limit.rlim_cur);
    }
    descriptorBudget_ = static_cast<int>(std::clamp<long>((soft - 256) / 4, 0, 4096));
    if (mode_ == Mode::always && !governor_.steps().empty()) {
        setHelpers(governor_.steps().back());
        highest_.store(static_cast<int>(governor_.steps().size()), std::memory_order_relaxed);
    }
}

ReadAhead::~ReadAhead() {

    stop();
    for (auto& t : helpers_)
        t.join();
}

bool FolderAhead::take() {
    int state = idle;
    if (state_.compare_exchange_strong(state, taken, std::memory_order_acq_rel)) return false;
    while (state == reading) {
        state_.wait(reading, std::memory_order_acquire);
        state = state_.load(std::memory_order_acquire);
    }
    return fd.valid();
}

void ReadAhead::offer(const std::shared_ptr<FolderAhead>& folder,
                      const std::shared_ptr<const UniqueFd>& parent, std::string name) {
    {
        std::lock_guard guard(lock_);
        if (stopping_.load(std::memory_order_relaxed) || running_ == 0) return;
        queue_.push_back(Offer{folder, parent, std::move(name)});
        if (queue_.size() > queueCap) queue_.pop_front();  // the oldest is the least likely needed
    }
    wake_.notify_one();
}

void ReadAhead::taken(const FolderAhead& folder) {
    descriptors_.fetch_sub(1, std::memory_order_relaxed);
    entries_.fetch_sub(folder.folder.entries.size(), std::memory_order_relaxed);
}

void ReadAhead::stop() {
    std::deque<Offer> dropped;
    {
        std::lock_guard guard(lock_);
        stopping_.store(true, std::memory_order_relaxed);
        active_.store(false, std::memory_order_relaxed);
        running_ = 0;
        dropped.swap(queue_);
    }
    wake_.notify_all();
}

int ReadAhead::started() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(helpers_.size());
}

ReadAhead::Probe::Probe(ReadAhead& owner)
    : owner_(owner), lastBlocks_(owner.mode_ == Mode::off ? 0 : threadBlocksRead()) {}

void ReadAhead::Probe::noteListed() {
    if (owner_.mode_ == Mode::off) return;
    const long blocks = threadBlocksRead();
    const bool cold = blocks > lastBlocks_;
    lastBlocks_ = blocks;
    owner_.note(cold, true);
}

void ReadAhead::note(bool cold, bool listedByScanner) {
    folders_.fetch_add(1, std::memory_order_relaxed);
    if (cold) cold_.fetch_add(1, std::memory_order_relaxed);
    if (listedByScanner) listed_.fetch_add(1, std::memory_order_relaxed);
    if (mode_ != Mode::adaptive) return;
    const auto now = std::chrono::steady_clock::now();
    const auto due = std::chrono::duration_cast<std::chrono::steady_clock::duration>(window);
    if (ticks(now) - windowStartTicks_.load(std::memory_order_relaxed) < due.count()) return;
    std::unique_lock guard(windowLock_, std::try_to_lock);
    if (!guard || now - windowStart_ < due) return;
    closeWindow(now);
}

void ReadAhead::closeWindow(std::chrono::steady_clock::time_point now) {
    ReadAheadGovernor::Window w;
    w.folders = folders_.exchange(0, std::memory_order_relaxed);
    w.coldFolders = cold_.exchange(0, std::memory_order_relaxed);
    w.listed = listed_.exchange(0, std::memory_order_relaxed);
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
        if (n == 0) queue_.clear();
        while (static_cast<int>(helpers_.size()) < n) {
            const int index = static_cast<int>(helpers_.size());
            helpers_.emplace_back([this, index] { helperLoop(index); });
        }
    }
    wake_.notify_all();
}

void ReadAhead::helperLoop(int index) {
    std::unique_ptr<char[]> buffer(new char[helperBufferBytes]);
    std::unique_lock guard(lock_);
    for (;;) {
        wake_.wait(guard, [&] {
            return stopping_.load(std::memory_order_relaxed) ||
                   (index < running_ && !queue_.empty());
        });
        if (stopping_.load(std::memory_order_relaxed)) return;
        Offer offer = std::move(queue_.back());
        queue_.pop_back();
        guard.unlock();
        readAhead(offer, buffer.get());
        guard.lock();
    }
}

void ReadAhead::readAhead(const Offer& offer, char* buffer) {
    const std::shared_ptr<FolderAhead> folder = offer.folder.lock();
    if (!folder) return;  // its job is done
    if (entries_.load(std::memory_order_relaxed) >= entriesAhead) return;
    if (descriptors_.fetch_add(1, std::memory_order_relaxed) >= descriptorBudget_) {
        descriptors_.fetch_sub(1, std::memory_order_relaxed);
        return;
    }
    int state = FolderAhead::idle;
    if (!folder->state_.compare_exchange_strong(state, FolderAhead::reading,
                                                std::memory_order_acq_rel)) {
        descriptors_.fetch_sub(1, std::memory_order_relaxed);
        return;  // a scanning thread took it
    }
    const long before = threadBlocksRead();
    // The pending job holds the parent open for as long as the folder is idle.
    if (const std::shared_ptr<const UniqueFd> parent = offer.parent.lock()) {
        folder->fd.reset(::openat(parent->get(), offer.name.c_str(), openFlags));
    }
    if (folder->fd) {
        folder->folder.read(folder->fd.get(), buffer, helperBufferBytes);
        entries_.fetch_add(folder->folder.entries.size(), std::memory_order_relaxed);
        readAhead_.fetch_add(1, std::memory_order_relaxed);
    } else {
        descriptors_.fetch_sub(1, std::memory_order_relaxed);  // the scanning thread opens it
    }
    note(threadBlocksRead() > before, false);
    folder->state_.store(FolderAhead::ready, std::memory_order_release);
    folder->state_.notify_all();
}

}  // namespace tamrel
