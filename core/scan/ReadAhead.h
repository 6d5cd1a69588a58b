#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/scan/DirReader.h"
#include "platform/UniqueFd.h"

namespace tamrel {

// How many pre-reads run ahead of the scanning threads, chosen window by window from what the
// last window showed. Level 0 is off; level k runs steps()[k - 1] helper threads.
//
// Reads that never reach the disk (a warm cache) keep it off. When a share of the folders read
// needed the disk, it tries the next level and keeps it only when folders were listed faster
// over a step of a few windows than at the level below; otherwise it goes back down and holds
// there for a while before it tries again. So on a disk or a network file system where more reads in flight do not help,
// the depth stays low or off.
//
// Thread safety: none; ReadAhead calls it under its own lock.
class ReadAheadGovernor {
public:
    struct Window {
        std::uint64_t folders = 0;      // folders read in the window, by scanners and helpers
        std::uint64_t coldFolders = 0;  // of which needed reads from the disk
        std::uint64_t listed = 0;       // folders the scanning threads listed
        double seconds = 0;
    };

    // A share of cold folders below this counts as a warm cache.
    static constexpr double coldShare = 0.05;
    // A deeper level is kept when it lists at least this much faster than the one below.
    static constexpr double gain = 1.20;
    // A level is judged by the folders listed over this many windows.
    static constexpr int windowsPerStep = 3;
    // Steps spent at a level after the one above did not pay, before it is tried again.
    static constexpr int holdSteps = 10;

    // At most `maxHelpers` helper threads (0: always off).
    explicit ReadAheadGovernor(int maxHelpers);

    // Takes one window's figures and returns the level for the next window.
    int observe(const Window& w);

    int level() const { return level_; }
    // The helper threads of each level above 0: 8, 16, 32, ... up to maxHelpers.
    const std::vector<int>& steps() const { return steps_; }
    int helpers() const { return level_ == 0 ? 0 : steps_[level_ - 1]; }

private:
    std::vector<int> steps_;
    int level_ = 0;
    bool probing_ = false;  // the current level was entered from the one below last step
    double belowRate_ = 0;  // folders per second listed at the level below, before the probe
    int hold_ = 0;          // steps left before the next probe upward
    int windows_ = 0;       // windows seen in this step, and what they listed in how long
    std::uint64_t listed_ = 0;
    double seconds_ = 0;
};

// A folder a helper may read ahead, shared by its scan job and the helpers. Whoever comes first
// owns the reading: a helper that claims it opens and reads it into `folder`; a scanning thread
// that takes the job first reads it itself, and no helper touches it after.
//
// Thread safety: take() by the one scanning thread that popped the job; the rest is ReadAhead's.
class FolderAhead {
public:
    // True when a helper read the folder: `fd` is then the folder opened with the scan's flags
    // and `folder` its entries. Waits while a helper is reading it. False when no helper claimed
    // it first, or its open failed: the caller opens and lists it as usual.
    bool take();

    UniqueFd fd;
    ReadFolder folder;

private:
    friend class ReadAhead;
    enum State : int { idle, reading, ready, taken };
    std::atomic<int> state_{idle};
};

// Helper threads that read folders ahead of the scanning threads when the cache is cold, so
// that many more metadata reads are in flight than there are scanning threads. The scanning
// threads offer the subfolders they queue; a helper opens one, lists it with getdents64 and
// statx's every entry (the same calls and flags as the scan) into its FolderAhead. The scanning
// thread that takes that folder's job interprets what was read exactly as if it had read it
// itself: what the scan lists, counts and flags is decided by the scanning threads alone, and
// nothing is read twice.
//
// Helpers start only once reads are seen to reach the disk, so a scan of a warm cache starts
// no thread, and the governor keeps the number working as high as pays. Folders read ahead and
// not yet taken hold at most a share of the descriptor limit and a bounded number of entries;
// past either, offers are left to the scanning threads.
//
// Thread safety: offer(), taken(), Probe (one per thread) and stop() may be called from every
// scanning thread.
class ReadAhead {
public:
    enum class Mode {
        adaptive,  // on and as deep as pays, while reads reach the disk
        off,       // never
        always,    // every helper on from the start (tests and measurements)
    };

    // The mode of scans that name none (a process-wide setting for measurements; off, see
    // ReadAhead.cpp for why).
    static Mode defaultMode();
    static void setDefaultMode(Mode mode);

    static constexpr std::size_t queueCap = 4096;         // offers kept, the newest first
    static constexpr std::uint64_t entriesAhead = 32768;  // entries read and not yet taken
    static constexpr auto window = std::chrono::milliseconds(100);

    // `maxHelpers` bounds the helper threads; no thread starts here (but for Mode::always).
    ReadAhead(Mode mode, int maxHelpers);
    ~ReadAhead();  // stops and joins the helpers
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Whether offers are wanted now; scanning threads skip offering while it is false.
    bool active() const { return active_.load(std::memory_order_relaxed); }

    // Queues `folder`, the subfolder `name` of the open folder `parent`, for a helper. The
    // pending job holds both; the offer holds neither, and is dropped once they are gone.
    void offer(const std::shared_ptr<FolderAhead>& folder,
               const std::shared_ptr<const UniqueFd>& parent, std::string name);

    // A scanning thread took a folder read ahead (take() was true): its descriptor and entries
    // no longer count against the bounds.
    void taken(const FolderAhead& folder);

    // Per scanning thread: call once after each folder listed. Finds whether the thread's reads
    // since its last call reached the disk, and closes a window when one is due.
    class Probe {
    public:
        explicit Probe(ReadAhead& owner);
        void noteListed();

    private:
        ReadAhead& owner_;
        long lastBlocks_;
    };

    // Drops the queued offers and ends the helpers (cancellation, or the scan's end). A folder
    // a helper is reading is finished first, so no take() waits forever.
    void stop();

    // Helper threads started so far, the governor's highest level, and folders helpers have
    // read (for tests and measurements).
    int started() const;
    int highestLevel() const { return highest_.load(std::memory_order_relaxed); }
    std::uint64_t foldersRead() const { return readAhead_.load(std::memory_order_relaxed); }

private:
    struct Offer {
        std::weak_ptr<FolderAhead> folder;
        std::weak_ptr<const UniqueFd> parent;
        std::string name;
    };

    void note(bool cold, bool listedByScanner);
    void closeWindow(std::chrono::steady_clock::time_point now);
    void setHelpers(int n);
    void helperLoop(int index);
    void readAhead(const Offer& offer, char* buffer);

    const Mode mode_;
    ReadAheadGovernor governor_;
    std::atomic<bool> active_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<int> highest_{0};
    std::atomic<std::uint64_t> readAhead_{0};

    // Window counters.
    std::atomic<std::uint64_t> folders_{0};
    std::atomic<std::uint64_t> cold_{0};
    std::atomic<std::uint64_t> listed_{0};
    std::mutex windowLock_;
    std::chrono::steady_clock::time_point windowStart_;
    std::atomic<std::int64_t> windowStartTicks_;

    // What folders read ahead and not yet taken hold.
    std::atomic<int> descriptors_{0};
    int descriptorBudget_ = 0;
    std::atomic<std::uint64_t> entries_{0};

    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Offer> queue_;
    int running_ = 0;  // helpers allowed to work now
    std::vector<std::thread> helpers_;
};

}  // namespace tamrel
