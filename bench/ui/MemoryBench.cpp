// Resident memory of the application over a large tree: after a fresh scan and after each of a
// number of live refreshes, with the model alone or with the window open.
//   QT_QPA_PLATFORM=offscreen build/bench/memory-bench ROOT [--window] [--animate]
//                                     [--fanotify] [--saved] [--write DIR] [--refreshes N]
// With --saved the index of ROOT is saved first and opened as at launch, not scanned afresh;
// with --data DIR the saved indexes go to DIR (kept) instead of a temporary data folder.
// --busy (with --write) keeps writing files into DIR throughout, as a busy disk does.
// --tab N shows the Nth tab (from 0) and --query TEXT searches before the refreshes. After each
// refresh the number of index generations still alive is printed (1: only the shown one).
// A refresh is caused by setting ROOT's mode to what it is (an attribute event that alters
// nothing on disk), or with --write by writing a new small file into DIR (a folder below ROOT).

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "bench/ServeUntil.h"
#include "core/saved/SavedIndex.h"
#include "core/scan/ScanThreads.h"
#include "core/scan/Scanner.h"
#include "model/app/AppModel.h"
#include "tests/model/app/FakeDesktop.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/ui/Headless.h"
#include "ui/shell/MainWindow.h"
#include "ui/theme/SpringAnimator.h"

using namespace tamrel;
using tamrel::bench::serveUntil;

namespace {

// A field of /proc/self/status in kilobytes, or -1.
long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::strtol(line.c_str() + n + 1, nullptr, 10);
    }
    return -1;
}

void report(const char* what, double entries) {
    const double rss = static_cast<double>(statusKb("VmRSS")) * 1024;
    const double anon = static_cast<double>(statusKb("RssAnon")) * 1024;
    const double file = static_cast<double>(statusKb("RssFile")) * 1024;
    const struct mallinfo2 heap = mallinfo2();
    std::printf(
        "%-28s RSS %7.1f MB (%6.1f B/entry)  anon %7.1f MB  file %6.1f MB  "
        "heap in use %7.1f MB  heap free %7.1f MB\n",
        what, rss / 1e6, rss / entries, anon / 1e6, file / 1e6,
        static_cast<double>(heap.uordblks) / 1e6, static_cast<double>(heap.fordblks) / 1e6);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const auto app = test::headlessApp(argc, argv);
    std::string root;
    bool window = false;
    bool fanotify = false;
    bool saved = false;
    std::string dataHome;
    int tab = -1;
    bool busy = false;
    QString query;
    std::string scratch;
    int refreshes = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--window")
            window = true;
        else if (arg == "--fanotify")
            fanotify = true;
        else if (arg == "--saved")
            saved = true;
        else if (arg == "--data" && i + 1 < argc)
            dataHome = argv[++i];
        else if (arg == "--busy")
            busy = true;
        else if (arg == "--tab" && i + 1 < argc)
            tab = std::atoi(argv[++i]);
        else if (arg == "--query" && i + 1 < argc)
            query = QString::fromUtf8(argv[++i]);
        else if (arg == "--animate")
            SpringAnimator::setInstant(false);
        else if (arg == "--write" && i + 1 < argc)
            scratch = argv[++i];
        else if (arg == "--refreshes" && i + 1 < argc)
            refreshes = std::atoi(argv[++i]);
        else
            root = arg;
    }
    if (root.empty()) {
        std::fprintf(stderr,
                     "usage: memory-bench ROOT [--window] [--animate] [--fanotify] [--saved] "
                     "[--data DIR] [--write DIR] [--busy] [--tab N] [--query TEXT] "
                     "[--refreshes N]\n");
        return 2;
    }
    std::unique_ptr<test::ScopedDataHome> scratchData;
    if (dataHome.empty())
        scratchData = std::make_unique<test::ScopedDataHome>();
    else
        ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    test::FakeDesktop desktop;
    AppModel::Options options;
    options.startUp = false;
    options.quietTime = std::chrono::milliseconds(200);
    options.watcher.allowFanotify = fanotify;
    options.watcher.latency = std::chrono::milliseconds(200);
    options.liveMaxWait = std::chrono::milliseconds(1000);
    AppModel model(desktop, options);
    model.refreshVolumes();
    std::unique_ptr<MainWindow> shown;
    if (window) {
        shown = std::make_unique<MainWindow>(model);
        shown->show();
    }
    report("start", 1);
    if (saved) {
        ScanProgress progress;
        SavedIndex::save(*Scanner::scan(root, progress, defaultScanThreads()));
        report("saved index written", 1);
    }
    model.scan(root, !saved);
    if (!serveUntil(
            [&] {
                return model.phase() == Phase::results && model.sync() == Sync::live &&
                       !model.breakdown().empty();
            },
            600)) {
        std::fprintf(stderr, "memory-bench: the scan of %s did not finish\n", root.c_str());
        return 1;
    }
    serveUntil([] { return false; }, 2.0);
    const double entries = model.index()->count();
    std::printf("%s: %.0f entries, %s\n", root.c_str(), entries,
                window ? "model with the window" : "model alone");
    if (tab >= 0) model.setTab(allTabs()[static_cast<std::size_t>(tab) % allTabs().size()]);
    if (!query.isEmpty()) {
        model.setQuery(query);
        serveUntil([&] { return !model.searching(); }, 60);
    }
    serveUntil([] { return false; }, 2.0);
    report("after the scan", entries);
    // Every generation shown so far: all but the shown one should be gone.
    std::vector<std::weak_ptr<DiskIndex>> generations{model.index()};

    // A disk that never falls quiet: a file written every 20 ms until the end.
    std::atomic<bool> stop{false};
    std::thread writer;
    if (busy && !scratch.empty()) {
        writer = std::thread([&] {
            for (int n = 0; !stop; ++n) {
                std::ofstream(scratch + "/busy-" + std::to_string(n % 500)) << n;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    struct stat st {};
    ::stat(root.c_str(), &st);
    for (int k = 1; k <= refreshes; ++k) {
        const int revision = model.revision();
        if (scratch.empty()) {
            ::chmod(root.c_str(), st.st_mode & 07777);
        } else {
            std::ofstream(scratch + "/written-" + std::to_string(k)) << k;
        }
        const auto adopted = [&] {
            return model.revision() > revision && (busy || model.sync() == Sync::live);
        };
        if (!serveUntil(adopted, 120)) {
            std::fprintf(stderr, "memory-bench: refresh %d was not adopted\n", k);
            stop = true;
            if (writer.joinable()) writer.join();
            return 1;
        }
        serveUntil([] { return false; }, 0.5);
        generations.push_back(model.index());
        int alive = 0;
        for (const auto& g : generations)
            alive += g.expired() ? 0 : 1;
        char what[64];
        std::snprintf(what, sizeof what, "after refresh %d (%d alive)", k, alive);
        report(what, entries);
    }
    stop = true;
    if (writer.joinable()) writer.join();
    return 0;
}
