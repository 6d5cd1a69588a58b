#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/UniqueFd.h"

namespace tamrel {

// How many pre-reads run ahead of the scanning threads, chosen window by window from what the
// last windows showed. Level 0 is off; level k runs steps()[k - 1] helper threads. There are at
// most three levels: off, a shallow one (8 helpers) and the deepest the bound allows.
//
// Reads that never reach the disk (a warm cache) keep it off, or turn it off after a few windows
// (the scanning threads find warm what the helpers read, and one helper's wait for the disk
// shows only when its folder is done); when reads reach the disk again it goes back to the level
// it left.
//
// The first cold window goes straight to the deepest level: on the virtual disk it was measured
// on, a cold walk with 64 reads in flight took 0.45 of the time with 8, and climbing one level
// per step cost a cold scan of a million entries about 0.6 s of 2.7. Then it probes: now and
// then it spends one step at the level below, or above when there is one, and settles there when
// that read at least as many cold folders per second as the last two steps at its own level (a
// shallower level), or `gain` times as many (a deeper one). In a steady walk two steps differ by
// about a tenth, but over the first few hundred milliseconds the walk fans out and the rate
// climbs step by step; it does not probe below until the climb ends. A climb that did not pay
// waits twice as long before the next. So on a disk or a network file system where reads in
// flight do not help, or hurt as on a spinning disk, it settles shallow or off within the first
// second. (The folders the scanning threads list are no measure alone: they list what helpers
// read in earlier windows.)
//
// Thread safety: none; ReadAhead calls it under its own lock.
class ReadAheadGovernor {
public:
    struct Window {
        std::uint64_t folders = 0;      // folders read in the window, by scanners and helpers
        std::uint64_t coldFolders = 0;  // of which needed reads from the disk
        double seconds = 0;
    };

    // A share of cold folders below this counts as a warm cache.
    static constexpr double coldShare = 0.05;
    // A deeper level is taken when it reads at least this much faster than the current one.
    static constexpr double gain = 1.20;
    // A level is judged by the cold folders read over this many windows.
    static constexpr int windowsPerStep = 2;
    // Steps at the deepest level before the first probe below, and between later probes.
    static constexpr int firstProbeSteps = 4;
    static constexpr int probeSteps = 10;
    // Steps below the deepest level before a probe above; doubled after each that did not pay.
    static constexpr int climbSteps = 3;
    static constexpr int maxClimbSteps = 24;
    // Warm windows in a row that turn it off.
    static constexpr int warmWindows = 4;

    // At most `maxHelpers` helper threads (0: always off).
    explicit ReadAheadGovernor(int maxHelpers);

    // Takes one window's figures and returns the level for the next window.
    int observe(const Window& w);

    int level() const { return level_; }
    // The helper threads of each level above 0: 8, then maxHelpers (or maxHelpers alone).
    const std::vector<int>& steps() const { return steps_; }
    int helpers() const { return level_ == 0 ? 0 : steps_[level_ - 1]; }

private:
    int top() const { return static_cast<int>(steps_.size()); }
    void settle(int level);

    std::vector<int> steps_;
    int level_ = 0;
    int home_ = 0;            // the level settled on; level_ differs while a probe runs
    int probe_ = 0;           // -1: probing below, +1: above, 0: none
    bool started_ = false;    // cold windows were seen
    bool probedBelow_ = false;
    double homeRate_ = 0;     // cold folders per second at home before the probe
    int stepsAtHome_ = 0;
    int climbWait_ = climbSteps;
    int warm_ = 0;            // warm windows in a row
    int resume_ = 0;          // the level a warm stretch turned off
    int windows_ = 0;         // windows seen in this step, and the cold folders read in how long
    std::uint64_t cold_ = 0;
    double seconds_ = 0;
    double lastRate_ = 0;     // cold folders per second of the last step at home, and the one
                              // before it
    double beforeRate_ = 0;
};

// Helper threads that walk the tree of a scan ahead of its scanning threads when the cache is
// cold, so that many more metadata reads are in flight than there are scanning threads. A helper
// opens a folder, lists it with getdents64 and statx's every entry with the scan's own calls and
// flags, then throws what it read away: what it leaves behind is the kernel's caches, from which
// the scanning threads list the same folders without waiting on the disk. What the scan lists,
// counts and flags is thus decided by the scanning threads alone, exactly as without helpers.
//
// The helpers share one last-in-first-out stack and start from the scan root, so they run depth
// first in listing order as the scanning threads do, only more of them at once. They enter only
// folders on the device of the folder that holds them that are no mount root.
//
// Why they walk on their own rather than hand what they read to the scanning threads: a cold
// folder costs one wait for its directory block (getdents64, about 60% of a cold scan's time on
// a single thread of the machine it was built on) and more for its inodes (statx), and a scanning
// thread that descends into the first subfolder of the folder it just listed waits for both in
// turn; read-ahead of only the subfolders the scanning threads queue left that chain serial.
// Walking ahead, a warm re-read costs the scanning threads about a fifth of the kernel time of
// the cold read. (Handing each scanning thread's new subfolders to the helpers as well, on top
// of their own walk, measured 1.17 times slower cold: they crowd out the walk ahead.)
//
// A wide folder is the longest wait of a cold walk when one thread statx's its entries in turn,
// so the entries of a wide folder are read in batches by many helpers at once: those of a folder
// a helper walks, and those of a folder a scanning thread lists (share()).
//
// Helpers start only once reads are seen to reach the disk, so a scan of a warm cache starts no
// thread, and the governor keeps the number working as high as pays. Folders the helpers hold
// open take at most a share of the descriptor limit, and their stack a bounded number of folders;
// past either, folders are left to the scanning threads.
//
// Thread safety: start(), share(), Probe (one per thread) and stop() may be called from every
// thread.
class ReadAhead {
public:
    enum class Mode {
        adaptive,  // on and as deep as pays, while reads reach the disk
        off,       // never
        always,    // every helper on from the start (tests and measurements)
    };

    // The mode of scans that name none (a process-wide setting for measurements; adaptive).
    static Mode defaultMode();
    static void setDefaultMode(Mode mode);

    static constexpr std::size_t stackCap = 16384;  // folders waiting for a helper
    static constexpr auto window = std::chrono::milliseconds(50);
    // The first window is shorter, so that a cold scan starts its helpers about 40 ms sooner; it
    // closes once this many folders were listed.
    static constexpr auto firstWindow = std::chrono::milliseconds(10);
    static constexpr std::uint64_t firstWindowFolders = 16;

    // `maxHelpers` bounds the helper threads. No thread starts here.
    ReadAhead(Mode mode, int maxHelpers);
    ~ReadAhead();  // stops and joins the helpers
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Gives the walk its root: the scan root `root`, opened with the scan's flags, on `device`.
    // Call once, before the scanning threads start; the helpers hold `root` until they end.
    // With Mode::always every helper starts here.
    void start(std::shared_ptr<const UniqueFd> root, dev_t device);

    // Whether helpers are allowed to work now.
    bool active() const { return active_.load(std::memory_order_relaxed); }

    // Per scanning thread: call once after each folder listed. Finds whether the thread's reads
    // reached the disk, and closes a window when one is due.
    class Probe {
    public:
        explicit Probe(ReadAhead& owner);
        void noteListed();

    private:
        ReadAhead& owner_;
        long lastBlocks_;
        int uncounted_ = 0;  // folders listed since the last look at the blocks read
        int looks_ = 0;      // looks so far
    };

    // Entries of a wide folder are read in batches of this many, by as many helpers at once:
    // one helper alone took 0.8 to 1.7 s to statx a cold folder of 50,000 files, the longest
    // single wait of a cold scan of the million-entry tree.
    static constexpr std::size_t batchEntries = 128;

    // Called by a scanning thread with each getdents64 result `dirents` of the folder `dir`,
    // which lies on `device`, before it statx's the entries itself: when the result holds more
    // than two batches, the helpers statx all but the first batch ahead of it (without walking
    // the folders among them, which the scan reaches itself). Does nothing while inactive.
    void share(const std::shared_ptr<const UniqueFd>& dir, dev_t device, const char* dirents,
               std::size_t bytes);

    // Drops the folders still to walk and ends the helpers (cancellation, or the scan's end). A
    // folder a helper is reading is finished first.
    void stop();

    // Blocks until the helpers have walked the whole tree or stop() was called (tests).
    void waitForWalk();

    // Helper threads started so far, the governor's highest level, and folders helpers have
    // read (for tests and measurements).
    int started() const;
    int highestLevel() const { return highest_.load(std::memory_order_relaxed); }
    std::uint64_t foldersRead() const { return readAhead_.load(std::memory_order_relaxed); }
    // Entries helpers have read in batches.
    std::uint64_t batchedEntriesRead() const { return batched_.load(std::memory_order_relaxed); }

private:
    // An open folder that helpers hold while subfolders of it wait on the stack.
    struct HeldDir {
        HeldDir(UniqueFd f, std::atomic<int>& count) : fd(std::move(f)), held(count) {}
        ~HeldDir() { held.fetch_sub(1, std::memory_order_relaxed); }
        UniqueFd fd;
        std::atomic<int>& held;
    };
    // A folder to walk, or a batch of entries of a wide folder to statx.
    struct Folder {
        std::shared_ptr<const UniqueFd> parent;
        std::string name;    // the folder in `parent`; empty for a batch
        dev_t device;        // the device the folder lies on, or `parent` for a batch
        std::string batch;   // the batch: names in `parent`, each ending with a NUL
        bool descend = true; // whether the batch's folders are walked
    };

    void note(bool cold, std::uint64_t folders);
    void closeWindow(std::chrono::steady_clock::time_point now);
    void setHelpers(int n);
    void helperLoop(int index);
    // Reads `folder` and appends its subfolders to `found`.
    void walk(const Folder& folder, char* buffer, std::vector<Folder>& found);
    // Reads the batch `folder` and appends its subfolders to `found` if it descends.
    void statBatch(const Folder& folder, std::vector<Folder>& found);
    // Statx's `name` in `parent`; appends it to `found` if it is a folder to walk.
    void statEntry(const std::shared_ptr<const UniqueFd>& parent, dev_t device, const char* name,
                   std::size_t length, unsigned char type, std::vector<Folder>* found);
    // Pushes the entries of `dirents` past the first `skip` in batches; false when the result
    // holds no more than two batches or the stack is full, and nothing was pushed.
    bool pushBatches(const std::shared_ptr<const UniqueFd>& dir, dev_t device,
                            const char* dirents, std::size_t bytes, std::size_t skip,
                            bool descend);

    const Mode mode_;
    ReadAheadGovernor governor_;
    std::atomic<bool> active_{false};
    std::atomic<bool> firstClosed_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<int> highest_{0};
    std::atomic<std::uint64_t> readAhead_{0};
    std::atomic<std::uint64_t> batched_{0};

    // Window counters.
    std::atomic<std::uint64_t> folders_{0};
    std::atomic<std::uint64_t> cold_{0};
    std::mutex windowLock_;
    std::chrono::steady_clock::time_point windowStart_;
    std::atomic<std::int64_t> windowStartTicks_;

    // Descriptors the helpers hold, and how many they may.
    std::atomic<int> descriptors_{0};
    int descriptorBudget_ = 0;

    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable walked_;
    std::vector<Folder> stack_;
    int busy_ = 0;     // helpers reading a folder
    int running_ = 0;  // helpers allowed to work now
    std::vector<std::thread> helpers_;
};

}  // namespace tamrel
