#include "core/ComputePool.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace tamrel {

struct ComputePool::Task {
    std::size_t chunks;
    const std::function<void(std::size_t)>* body;
    std::atomic<std::size_t> next{0};
    std::size_t finished = 0;  // under the pool's mutex
    int users = 0;             // workers inside drain(), under the pool's mutex
};

ComputePool::ComputePool(int workers) {
    threads_.reserve(std::max(workers, 0));
    for (int i = 0; i < workers; ++i)
        threads_.emplace_back([this] { workerLoop(); });
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
    static ComputePool pool([] {
        if (const char* env = std::getenv("TAMREL_THREADS")) {
            const int n = std::atoi(env);
            if (n >= 1) return n - 1;
        }
        const int hw = static_cast<int>(std::thread::hardware_concurrency());
        return std::max(hw, 1) - 1;
    }());
    return pool;
}

void ComputePool::workerLoop() {
    std::unique_lock lock(mutex_);
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
        std::size_t done = 0;
        for (;;) {
            const std::size_t i = task->next.fetch_add(1, std::memory_order_relaxed);
            if (i >= task->chunks) break;
            (*task->body)(i);
            ++done;
        }
        lock.lock();
        task->finished += done;
        --task->users;
        if (task->users == 0) finished_.notify_all();
    }
}

void ComputePool::run(std::size_t chunks, const std::function<void(std::size_t)>& body) {
    if (chunks == 0) return;
    if (chunks == 1 || threads_.empty()) {
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
    std::size_t done = 0;
    for (;;) {
        const std::size_t i = task.next.fetch_add(1, std::memory_order_relaxed);
        if (i >= chunks) break;
        body(i);
        ++done;
    }
    std::unique_lock lock(mutex_);
    task.finished += done;
    // Every chunk is claimed; wait until the workers that claimed some are out of the task, so
    // none touches it after this frame is gone.
    finished_.wait(lock, [&] { return task.finished == chunks && task.users == 0; });
    tasks_.erase(at);
}

}  // namespace tamrel
