// tamrel-bench live ROOT: what following a disk costs the model alone, while a writer keeps
// changing one folder and while the disk is idle.
#include <fcntl.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "bench/tamrel-bench/model/NoDesktop.h"
#include "core/saved/SavedIndex.h"
#include "core/saved/SavedIndexHeader.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "model/app/AppModel.h"
#include "platform/PathText.h"
#include "platform/UniqueFd.h"
#include "platform/XdgDirs.h"

namespace tamrel::bench {

namespace {

double cpuSeconds(clockid_t clock) {
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double processCpu() {
    return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

// The CPU clock of a thread of this process, read from any thread.
clockid_t clockOf(std::thread& t) {
    clockid_t clock{};
    ::pthread_getcpuclockid(t.native_handle(), &clock);
    return clock;
}

// Times every event the main thread handles while the model runs (the model's queued calls
// among them, whatever carries them): those that raised its revision are the adoptions of
// refreshed indexes.
class TimedApp : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    AppModel* model = nullptr;
    std::vector<double> adoptMs;
    std::vector<double> adoptCpuMs;  // the main thread's CPU time in those calls
    // In those calls, the times the main thread gave up its processor (waiting for something)
    // and was put off it (other threads running), and the page faults it took.
    std::vector<double> adoptWaits, adoptPreempted, adoptFaults;
    double longestMs = 0;  // any event on the main thread

    bool notify(QObject* receiver, QEvent* event) override {
        if (!model || QThread::currentThread() != thread())
            return QCoreApplication::notify(receiver, event);
        const int revision = model->revision();
        const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        rusage before{};
        ::getrusage(RUSAGE_THREAD, &before);
        QElapsedTimer t;
        t.start();
        const bool done = QCoreApplication::notify(receiver, event);
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        longestMs = std::max(longestMs, ms);
        if (model->revision() != revision) {
            rusage after{};
            ::getrusage(RUSAGE_THREAD, &after);
            adoptMs.push_back(ms);
            adoptCpuMs.push_back((cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu) * 1e3);
            adoptWaits.push_back(static_cast<double>(after.ru_nvcsw - before.ru_nvcsw));
            adoptPreempted.push_back(static_cast<double>(after.ru_nivcsw - before.ru_nivcsw));
            adoptFaults.push_back(static_cast<double>(after.ru_minflt - before.ru_minflt +
                                                      after.ru_majflt - before.ru_majflt));
        }
        return done;
    }
};

// Serves the main thread's event loop for `seconds`, sleeping while nothing comes.
void serveFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// Serves until `done` holds (checked every 100 ms) or `seconds` pass; false on the timeout.
template <typename Done>
bool serveUntilDone(Done done, double seconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > seconds * 1000) return false;
        serveFor(0.1);
    }
    return true;
}

// Counts the saves of one saved index file: each is a rename into the folder.
class SaveCounter {
public:
    explicit SaveCounter(std::string file)
        : file_(std::move(file)), fd_(::inotify_init1(IN_CLOEXEC)) {
        const std::string dir = file_.substr(0, file_.rfind('/'));
        name_ = file_.substr(file_.rfind('/') + 1);
        if (::inotify_add_watch(fd_.get(), dir.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) < 0)
            std::fprintf(stderr, "tamrel-bench: saves cannot be counted: %s\n",
                         std::strerror(errno));
        thread_ = std::thread([this] { run(); });
    }
    ~SaveCounter() {
        stop_ = true;
        // A file of our own, created and removed in the watched folder, wakes the read.
        const std::string poke = file_ + ".wake";
        ::close(::open(poke.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        ::unlink(poke.c_str());
        thread_.join();
    }
    SaveCounter(const SaveCounter&) = delete;
    SaveCounter& operator=(const SaveCounter&) = delete;

    int saves() const { return saves_.load(); }
    long long lastBytes() const { return bytes_.load(); }
    double cpu() { return cpuSeconds(clockOf(thread_)); }

private:
    void run() {
        alignas(inotify_event) char buffer[4096];
        while (!stop_) {
            const ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
            if (n <= 0) {
                if (n < 0 && errno == EINTR) continue;
                return;
            }
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
                if ((e->mask & IN_MOVED_TO) && e->len > 0 && name_ == e->name) {
                    struct stat st {};
                    if (::stat(file_.c_str(), &st) == 0) bytes_ = st.st_size;
                    ++saves_;
                }
            }
        }
    }

    std::string file_;
    std::string name_;
    UniqueFd fd_;
    std::atomic<bool> stop_{false};
    std::atomic<int> saves_{0};
    std::atomic<long long> bytes_{0};
    std::thread thread_;
};

// Writes `perSecond` files a second into `folder` while `on` holds: each write creates a new
// file of 4 KiB and, once 100 are there, removes the oldest (its own); with `rewrite`, the same
// 100 names are written over in turn instead, so the folder keeps its entries.
class Writer {
public:
    Writer(std::string folder, int perSecond, bool rewrite)
        : folder_(std::move(folder)), perSecond_(perSecond), rewrite_(rewrite) {}
    ~Writer() { removeFiles(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void start() {
        on_ = true;
        thread_ = std::thread([this] { run(); });
    }
    void stop() {
        on_ = false;
        if (thread_.joinable()) {
            cpu_ += cpuSeconds(clockOf(thread_));
            thread_.join();
        }
    }
    double cpu() { return cpu_ + (thread_.joinable() ? cpuSeconds(clockOf(thread_)) : 0); }
    // Stops, and removes the files it wrote that are still there.
    void removeFiles() {
        stop();
        for (long long k = std::max(0LL, next_ - window); k < next_; ++k)
            ::unlink(name(k).c_str());
        next_ = 0;
    }
    long long writes() const { return next_; }

private:
    static constexpr long long window = 100;

    std::string name(long long k) const {
        char n[32];
        std::snprintf(n, sizeof n, "w%06lld", rewrite_ ? k % window : k);
        return joinPath(folder_, n);
    }

    void run() {
        static const std::array<char, 4096> bytes{};
        timespec at{};
        ::clock_gettime(CLOCK_MONOTONIC, &at);
        const long step = 1'000'000'000L / perSecond_;
        while (on_) {
            const int fd =
                ::open(name(next_).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd >= 0) {
                const ssize_t n = ::write(fd, bytes.data(), bytes.size());
                (void)n;
                ::close(fd);
            }
            if (!rewrite_ && next_ >= window) ::unlink(name(next_ - window).c_str());
            ++next_;
            at.tv_nsec += step;
            while (at.tv_nsec >= 1'000'000'000L) {
                at.tv_nsec -= 1'000'000'000L;
                ++at.tv_sec;
            }
            ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
        }
    }

    std::string folder_;
    int perSecond_;
    bool rewrite_;
    std::atomic<bool> on_{false};
    std::atomic<long long> next_{0};
    double cpu_ = 0;
    std::thread thread_;
};

// The event id in the header of a saved index file, or 0.
std::uint64_t savedEventID(const std::string& file) {
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    std::array<std::byte, SavedIndexHeader::pageBytes> page{};
    if (!fd || ::pread(fd.get(), page.data(), page.size(), 0) != static_cast<ssize_t>(page.size()))
        return 0;
    const auto header = SavedIndexHeader::decode(page);
    return header ? header->eventID : 0;
}

bool takeFlag(std::vector<std::string>& args, const std::string& flag) {
    const auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end()) return false;
    args.erase(it);
    return true;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

struct Round {
    double writeCpuPerMin = 0;
    double idleCpuPerMin = 0;
    double savesPerMin = 0;
    double idleSaves = 0;
    int refreshes = 0;
    int idleRefreshes = 0;
};

}  // namespace

int liveMode(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    const int perSecond = static_cast<int>(takeNumber(args, "--writes", 20));
    const double seconds = static_cast<double>(takeNumber(args, "--seconds", 120));
    const double idleSeconds = static_cast<double>(takeNumber(args, "--idle", 60));
    const int runs = static_cast<int>(takeNumber(args, "--runs", 1));
    const std::string folderName = takeText(args, "--folder", "tamrel-bench-live");
    const bool fanotify = takeFlag(args, "--fanotify");
    const bool rewrite = takeFlag(args, "--rewrite");
    // The model scans ROOT itself instead of opening a saved index of it.
    const bool fresh = takeFlag(args, "--fresh");
    if (args.size() != 1 || perSecond < 1 || seconds < 1 || runs < 1) {
        std::fprintf(stderr,
                     "usage: tamrel-bench live ROOT [--writes N] [--seconds S] [--idle S] "
                     "[--runs N] [--folder NAME] [--fanotify] [--rewrite] [--fresh]\n");
        return 2;
    }
    std::string root = args[0];
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    const std::string folder = joinPath(root, folderName);
    const bool made = ::mkdir(folder.c_str(), 0755) == 0;
    if (!made && errno != EEXIST) {
        std::fprintf(stderr, "tamrel-bench: cannot make %s\n", folder.c_str());
        return 1;
    }
    ScratchDataHome home;
    int argc = 1;
    char name[] = "tamrel-bench";
    char* argv[] = {name, nullptr};
    TimedApp app(argc, argv);
    if (fresh) {
        // The saves are counted in the folder before the first one is written.
        ::mkdir(appDataDirectory().c_str(), 0700);
    } else {
        ScanProgress progress;
        SavedIndex::save(*Scanner::scan(root, progress, defaultScanThreads()));
    }
    const std::string saved = SavedIndex::cacheURL(root);
    // Its inotify watch is placed before the model's watcher may take every one there is.
    SaveCounter counter(saved);
    NoDesktop desktop;
    AppModel::Options options;
    options.startUp = false;
    options.watcher.allowFanotify = fanotify;
    AppModel model(desktop, options);
    app.model = &model;
    // How long each refresh ran, from its start (updating) to its landing (live): one far
    // above the rest is a scan of a whole subtree or of the root.
    std::vector<double> refreshMs;
    QElapsedTimer updating;
    QObject::connect(&model.sync, &PropertyNotifier::changed, [&] {
        if (model.sync() == Sync::updating) {
            updating.start();
        } else if (updating.isValid()) {
            refreshMs.push_back(static_cast<double>(updating.nsecsElapsed()) / 1e6);
            updating.invalidate();
        }
    });
    model.scan(root, fresh);
    if (fresh) serveUntilDone([&] { return model.phase() != Phase::scanning; }, 3600);
    if (model.phase() != Phase::results) {
        std::fprintf(stderr, "tamrel-bench: the %s of %s did not open\n",
                     fresh ? "scan" : "saved index", root.c_str());
        return 1;
    }
    const NodeId count = model.index()->count();
    const int shownRevision = model.revision();
    // The catch-up and the derived data of the root (and a fresh scan's own save).
    serveUntilDone(
        [&] {
            return model.sync() == Sync::live && !model.breakdown().empty() &&
                   (!fresh || model.indexed().contains(root));
        },
        600);
    if (fresh) {
        // What the catch-up after the scan brings while nothing changes: refreshes, and saves
        // of the whole index in the first idle minute after the scan was shown.
        const int saves = counter.saves();
        const int caughtUp = model.revision();
        serveFor(idleSeconds);
        std::printf(
            "after the fresh scan: %d refresh(es) by the catch-up, then in %.0f s idle %d "
            "refresh(es) and %d save(s)\n",
            caughtUp - shownRevision, idleSeconds, model.revision() - caughtUp,
            counter.saves() - saves);
    }
    serveFor(5);

    Writer writer(folder, perSecond, rewrite);
    std::vector<Round> rounds;
    // The refreshes the writer causes, not the catch-up of the open.
    app.adoptMs.clear();
    app.adoptCpuMs.clear();
    app.adoptWaits.clear();
    app.adoptPreempted.clear();
    app.adoptFaults.clear();
    refreshMs.clear();
    for (int r = 0; r < runs; ++r) {
        Round round;
        int revision = model.revision();
        int saves = counter.saves();
        double cpu = processCpu() - writer.cpu() - counter.cpu();
        writer.start();
        serveFor(seconds);
        writer.stop();
        double spent = processCpu() - writer.cpu() - counter.cpu() - cpu;
        round.writeCpuPerMin = spent / seconds * 60;
        round.savesPerMin = (counter.saves() - saves) / seconds * 60;
        round.refreshes = model.revision() - revision;

        // Settled: the last changes adopted, the saved file holding the shown generation, and
        // no refresh for 5 s (the last batch and its quiet time).
        QElapsedTimer steady;
        steady.start();
        int seen = model.revision();
        serveUntilDone(
            [&] {
                if (model.revision() != seen || model.sync() != Sync::live) {
                    seen = model.revision();
                    steady.restart();
                }
                return steady.elapsed() > 5000 && model.index() &&
                       savedEventID(saved) == model.index()->eventID();
            },
            180);
        revision = model.revision();
        saves = counter.saves();
        cpu = processCpu() - writer.cpu() - counter.cpu();
        serveFor(idleSeconds);
        spent = processCpu() - writer.cpu() - counter.cpu() - cpu;
        round.idleCpuPerMin = spent / idleSeconds * 60;
        round.idleSaves = counter.saves() - saves;
        round.idleRefreshes = model.revision() - revision;
        rounds.push_back(round);
        std::fprintf(stderr,
                     "  round %d: %.2f CPU-s/min writing (%d refreshes, %.1f saves/min), %.3f "
                     "CPU-s/min idle (%d refreshes, %.0f saves)\n",
                     r + 1, round.writeCpuPerMin, round.refreshes, round.savesPerMin,
                     round.idleCpuPerMin, round.idleRefreshes, round.idleSaves);
    }

    auto med = [&](auto field) {
        std::vector<double> v;
        for (const Round& r : rounds)
            v.push_back(static_cast<double>(field(r)));
        return median(v);
    };
    const char* mode = fanotify ? "fanotify" : "inotify";
    std::printf("live over %s: %u nodes, %s, %d %s/s into %s for %.0f s, %d round(s)\n",
                root.c_str(), count, mode, perSecond, rewrite ? "rewrites" : "new files",
                folderName.c_str(), seconds, runs);
    std::printf("  CPU while writing    median %.2f CPU-s/min\n",
                med([](const Round& r) { return r.writeCpuPerMin; }));
    std::printf("  CPU while idle       median %.3f CPU-s/min (over %.0f s)\n",
                med([](const Round& r) { return r.idleCpuPerMin; }), idleSeconds);
    std::printf("  refreshes            median %.0f while writing, %.0f while idle\n",
                med([](const Round& r) { return r.refreshes; }),
                med([](const Round& r) { return r.idleRefreshes; }));
    std::printf(
        "  saves                median %.1f a minute while writing, %.0f while idle; "
        "%.1f MB a save\n",
        med([](const Round& r) { return r.savesPerMin; }),
        med([](const Round& r) { return r.idleSaves; }),
        static_cast<double>(counter.lastBytes()) / 1e6);
    std::printf(
        "  adoption on the main thread  median %.2f ms  p95 %.2f ms  max %.2f ms  "
        "(%zu adoptions of the writes; longest event on the main thread %.2f ms)\n",
        percentile(app.adoptMs, 0.5), percentile(app.adoptMs, 0.95), percentile(app.adoptMs, 1.0),
        app.adoptMs.size(), app.longestMs);
    std::printf(
        "    its CPU time (peer: what the thread ran)  median %.2f ms  p95 %.2f ms  max "
        "%.2f ms\n",
        percentile(app.adoptCpuMs, 0.5), percentile(app.adoptCpuMs, 0.95),
        percentile(app.adoptCpuMs, 1.0));
    std::printf(
        "    in it, the thread waited %.0f times (p95 %.0f), was put off its processor %.0f "
        "times (p95 %.0f), took %.0f page faults (p95 %.0f)  (medians)\n",
        percentile(app.adoptWaits, 0.5), percentile(app.adoptWaits, 0.95),
        percentile(app.adoptPreempted, 0.5), percentile(app.adoptPreempted, 0.95),
        percentile(app.adoptFaults, 0.5), percentile(app.adoptFaults, 0.95));
    std::printf("  each refresh, start to landing  median %.0f ms  max %.0f ms  (%zu)\n",
                percentile(refreshMs, 0.5), percentile(refreshMs, 1.0), refreshMs.size());
    app.model = nullptr;
    writer.removeFiles();
    if (made) ::rmdir(folder.c_str());
    return 0;
}

}  // namespace tamrel::bench
