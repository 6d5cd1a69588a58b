#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

namespace tamrel {

// The one persistent pool of threads that runs the chunks of the parallel passes (biggest files,
// breakdown, search, folder-name scan). The caller joins in, so a pass never waits for a thread
// to start and a pool of n threads runs n + 1 chunks at once.
//
// Thread safety: run() may be called from several threads at once; their chunks share the
// workers. The shared pool is never destroyed: its workers sleep until the process ends.
//
// Fork: the workers live only in the process that made the pool. In a forked copy (a test's
// child that becomes another user) run() runs every chunk on the caller without touching the
// pool's lock or conditions, which the fork may have copied while a worker held or waited on
// them, and parallelism() is 1. Between passes no worker holds a lock of the runtime: the
// constructor returns once every worker waits for work (a thread part way through starting holds
// some, under AddressSanitizer its allocator's, and a copy forked then finds them held for good).
class ComputePool {
public:
    // A pool with `workers` threads besides the callers.
    explicit ComputePool(int workers);
    ~ComputePool();
    ComputePool(const ComputePool&) = delete;
    ComputePool& operator=(const ComputePool&) = delete;

    // The process's pool: $TAMREL_THREADS - 1 workers when that is set (benchmarks pick a
    // thread count with it), else one fewer than the hardware threads. Never destroyed, so no
    // static destructor joins its workers while a thread that outlives main() still runs a pass.
    static ComputePool& shared();

    // Runs body(i) once for every i in 0 .. chunks, on the workers and the calling thread, and
    // returns when all have finished. `body` must not throw.
    void run(std::size_t chunks, const std::function<void(std::size_t)>& body);

    // Workers plus the caller: how many chunks run at once.
    int parallelism() const;

private:
    struct Task;
    void workerLoop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::list<Task*> tasks_;
    bool stopping_ = false;
    int waiting_ = 0;  // workers that have started and come to wait for work
    std::vector<std::thread> threads_;
    pid_t owner_;  // the process whose threads the workers are
};

}  // namespace tamrel
