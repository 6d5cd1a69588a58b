#include "core/base/ComputePool.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "core/base/BackgroundThread.h"

namespace tamrel {

struct ComputePool::Task {
    std::size_t chunks;
    const std::function<void(std::size_t)>* body;
    std::atomic<std::size_t> next{0};
    int users = 0;  // workers running its chunks, under the pool's mutex

    // Runs chunks until none is left to claim.
    void drain() {
        for (;;) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= chunks) return;
            (*body)(i);
        }
    }
};

ComputePool::ComputePool(int workers) : owner_(::getpid()) {
    threads_.reserve(std::max(workers, 0));
    for (int i = 0; i < workers; ++i) {
        threads_.emplace_back([this] {
            becomeBackgroundThread();
            workerLoop();
        });
    }
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return waiting_ == static_cast<int>(threads_.size()); });
}

ComputePool::~ComputePool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_)
        t.join();
}

ComputePool& ComputePool::shared() {
    static ComputePool& pool = *new ComputePool([] {
        if (const char* env = std::getenv("TAMREL_THREADS")) {
            const int n = std::atoi(env);
            if (n >= 1) return n - 1;
        }
        const int hw = static_cast<int>(std::thread::hardware_concurrency());
        return std::max(hw, 1) - 1;
    }());
    return pool;
}

int ComputePool::parallelism() const {
    return ::getpid() == owner_ ? static_cast<int>(threads_.size()) + 1 : 1;
}

void ComputePool::workerLoop() {
    std::unique_lock lock(mutex_);
    ++waiting_;
    finished_.notify_all();
    for (;;) {
        Task* task = nullptr;
        for (Task* t : tasks_) {
            if (t->next.load(std::memory_order_relaxed) < t->chunks) {
                task = t;
                break;
            }
        }
        if (!task) {
            if (stopping_) return;
            wake_.wait(lock);
            continue;
        }
        ++task->users;
        lock.unlock();
        task->drain();
        lock.lock();
        --task->users;
        if (task->users == 0) finished_.notify_all();
    }
}

void ComputePool::run(std::size_t chunks, const std::function<void(std::size_t)>& body) {
    if (chunks == 0) return;
    if (chunks == 1 || threads_.empty() || ::getpid() != owner_) {
        for (std::size_t i = 0; i < chunks; ++i)
            body(i);
        return;
    }
    Task task;
    task.chunks = chunks;
    task.body = &body;
    std::list<Task*>::iterator at;
    {
        std::lock_guard lock(mutex_);
        at = tasks_.insert(tasks_.end(), &task);
    }
    wake_.notify_all();
    task.drain();
    // Every chunk is claimed; wait until the workers that claimed some are done with them, so
    // none touches the task after this frame is gone.
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return task.users == 0; });
    tasks_.erase(at);
}

}  // namespace tamrel
