#pragma once

namespace tamrel {

// Makes the calling thread a background thread for the scheduler (SCHED_BATCH): it keeps its
// share of the processor, but waking up it no longer takes the processor from the thread running
// there, such as the main thread in the middle of an event. A thread woken on the main thread's
// processor (the watcher's, at every burst of events; a compute worker) otherwise took it at
// once and kept it for milliseconds while the main thread, with 0.2 ms of work left, waited.
// Threads the calling thread starts afterwards inherit it. Nothing happens where the kernel
// refuses. (Switching a running thread's policy back and forth makes the scheduler look again
// at once: a thread that must stay in the foreground is left as it is.)
void becomeBackgroundThread();

}  // namespace tamrel
