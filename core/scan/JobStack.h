#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tamrel {

// The last-in-first-out stack of folders still to visit that the threads of a scan or a walk
// share, with the count of threads busy on one. A thread pops a job, works on it, pushes the
// subfolders it found as one group and calls done(); pop() answers nothing once the stack is
// empty and no thread is busy, so every thread ends together. Pushing a folder's subfolders in
// reverse makes the first one listed the next one taken: the walk runs depth first.
//
// A job that could not start for want of file descriptors is deferred: it waits until
// `releases` shows that a descriptor was given back, or, when nothing else runs, until a pause
// has passed.
//
// Thread safety: every call may come from any of the threads.
template <typename Job>
class JobStack {
public:
    static constexpr auto retryPause = std::chrono::milliseconds(10);

    std::optional<Job> pop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (!stack_.empty()) {
                ++busy_;
                Job job = std::move(stack_.back());
                stack_.pop_back();
                return job;
            }
            if (!deferred_.empty()) {
                const bool freed = releases.load(std::memory_order_relaxed) != releasesAtDefer_;
                if (busy_ == 0 && !freed) {
                    lock.unlock();
                    std::this_thread::sleep_for(retryPause);
                    lock.lock();
                }
                if (busy_ == 0 || freed) {
                    releasesAtDefer_ = releases.load(std::memory_order_relaxed);
                    for (auto& j : deferred_)
                        stack_.push_back(std::move(j));
                    deferred_.clear();
                    continue;
                }
                cond_.wait_for(lock, retryPause);
                continue;
            }
            if (busy_ == 0) {
                cond_.notify_all();
                return std::nullopt;
            }
            cond_.wait(lock);
        }
    }

    // Pushes one folder's subfolders so that the first listed is taken first; empties `group`.
    void push(std::vector<Job>& group) {
        if (group.empty()) return;
        const std::size_t n = group.size();
        {
            std::lock_guard lock(mutex_);
            for (auto it = group.rbegin(); it != group.rend(); ++it) {
                stack_.push_back(std::move(*it));
            }
        }
        group.clear();
        // Waking every idle thread for one job had them all fight over this lock.
        if (n == 1) {
            cond_.notify_one();
        } else {
            cond_.notify_all();
        }
    }

    // Keeps a job that could not get a descriptor until descriptors free up.
    void defer(Job job) {
        std::lock_guard lock(mutex_);
        if (deferred_.empty()) releasesAtDefer_ = releases.load(std::memory_order_relaxed);
        deferred_.push_back(std::move(job));
    }

    // The job popped last by this thread is finished.
    void done() {
        bool wake;
        {
            std::lock_guard lock(mutex_);
            --busy_;
            wake = busy_ == 0 && stack_.empty();
        }
        if (wake) cond_.notify_all();
    }

    // Drops every pending job (cancellation). The jobs, and whatever they hold, are released
    // outside the lock.
    void clear() {
        std::vector<Job> dropped, droppedDeferred;
        std::lock_guard lock(mutex_);
        dropped.swap(stack_);
        droppedDeferred.swap(deferred_);
    }

    // Counts descriptors given back, so deferred jobs know when to try again.
    std::atomic<std::uint64_t> releases{0};

private:
    std::mutex mutex_;
    std::condition_variable cond_;
    std::vector<Job> stack_;
    std::vector<Job> deferred_;
    std::uint64_t releasesAtDefer_ = 0;
    int busy_ = 0;
};

}  // namespace tamrel
