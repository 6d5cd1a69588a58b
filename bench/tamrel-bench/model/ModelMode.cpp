// tamrel-bench model ROOT: the application model over the saved index of a large tree.
#include <malloc.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>

#include <sys/stat.h>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>

#include "bench/ServeUntil.h"
#include "bench/tamrel-bench/BenchModes.h"
#include "bench/tamrel-bench/BenchSupport.h"
#include "bench/tamrel-bench/model/NoDesktop.h"
#include "core/live/Refresher.h"
#include "core/query/Biggest.h"
#include "core/query/Breakdown.h"
#include "core/query/Search.h"
#include "core/saved/SavedIndex.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "core/space/VolumeFacts.h"
#include "model/app/AppModel.h"
#include "platform/XdgDirs.h"

namespace tamrel::bench {

namespace {

std::vector<double> sorted(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty()) v.push_back(-1);
    return v;
}

double ms(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

std::size_t heapInUse() {
    return mallinfo2().uordblks;
}

// Marks when a queued call reaches the model, so the length of what it did on the main thread
// can be read when its announcement arrives.
class QueuedCalls : public QObject {
public:
    QElapsedTimer since;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MetaCall) since.start();
        return false;
    }
};

AppModel::Options quietOptions() {
    AppModel::Options options;
    options.startUp = false;
    return options;
}

}  // namespace

int modelMode(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    const int runs = static_cast<int>(takeNumber(args, "--runs", 9));
    const bool live = takeText(args, "--live", "yes") != "no";
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: tamrel-bench model ROOT [--runs N] [--live no]\n");
        return 2;
    }
    const std::string root = args[0];
    ScratchDataHome home;
    int argc = 1;
    char name[] = "tamrel-bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    {
        ScanProgress progress;
        SavedIndex::save(*Scanner::scan(root, progress, defaultScanThreads()));
    }
    NoDesktop desktop;

    // Start-up: volumes, places, the saved index loaded and shown.
    std::vector<double> startUps, derivedRoot;
    NodeId count = 0;
    for (int k = 0; k < runs; ++k) {
        QElapsedTimer t;
        t.start();
        AppModel model(desktop, quietOptions());
        model.refreshVolumes();
        model.scan(root, false);
        const double started = ms(t);
        startUps.push_back(started);
        if (model.phase() != Phase::results) {
            std::fprintf(stderr, "tamrel-bench: the saved index of %s did not open\n",
                         root.c_str());
            return 1;
        }
        count = model.index()->count();
        serveUntil([&] { return !model.breakdown().empty(); }, 30);
        derivedRoot.push_back(ms(t) - started);
    }

    // Peers, the same work of the core called directly on this thread.
    std::vector<double> loadPeer, derivedPeer, searchPeer, refreshPeer;
    const char* queries[] = {"png", "ext:js", "size>1mb", "report", "kind:video", "node_modules"};
    for (int k = 0; k < runs; ++k) {
        std::shared_ptr<DiskIndex> index;
        loadPeer.push_back(timed([&] { index = SavedIndex::load(root); }) * 1e3);
        derivedPeer.push_back(timed([&] {
                                  const std::string h = homeDirectory();
                                  breakdown(*index, 0);
                                  biggestFiles(*index, 0, 200);
                                  suggestions(*index, h, 1 << 20);
                                  trashSize(*index);
                                  systemData(*index, h, VolumeFacts::read(root));
                                  cleanPlan(*index, AppModel::cleanContext(), 262'144);
                              }) *
                              1e3);
        searchPeer.push_back(60 + timed([&] { search(*index, queries[k % 6], 0, 300); }) * 1e3);
        Changes changes;
        changes.dirs.insert(root + "/big");
        ScanProgress progress;
        refreshPeer.push_back(timed([&] { Refresher::refreshed(*index, changes, progress); }) *
                              1e3);
    }

    const std::size_t heapBefore = heapInUse();
    AppModel model(desktop, quietOptions());
    model.scan(root, false);
    serveUntil([&] { return !model.breakdown().empty() && model.sync() == Sync::live; }, 120);
    QCoreApplication::processEvents();
    const std::size_t heapAfter = heapInUse();

    // Folders to open: every folder below the root with children, in a fixed shuffled order.
    std::vector<NodeId> folders;
    for (NodeId i = 1; i < model.index()->count(); ++i) {
        if (model.index()->isDir(i) && model.index()->childCount(i) > 0) folders.push_back(i);
    }
    std::shuffle(folders.begin(), folders.end(), std::mt19937(42));
    std::vector<double> opens;
    for (int k = 0; k < 200 && k < static_cast<int>(folders.size()); ++k) {
        QElapsedTimer t;
        t.start();
        model.open(folders[static_cast<std::size_t>(k)]);
        opens.push_back(ms(t));
    }
    serveUntil([&] { return false; }, 1.0);
    // Fifty opens in a row, no pause: how many derived runs compute at once.
    for (int k = 0; k < 50; ++k)
        model.open(folders[static_cast<std::size_t>(k % 7)]);
    serveUntil([&] { return false; }, 2.0);
    model.open(0);
    serveUntil([&] { return false; }, 1.0);

    // From the last keystroke to stored results, the 60 ms wait included.
    std::vector<double> searches;
    for (int k = 0; k < runs; ++k) {
        model.setQuery(QString());
        model.setQuery("x");
        QElapsedTimer t;
        t.start();
        model.setQuery(queries[k % 6]);
        serveUntil([&] { return !model.searching(); }, 10);
        searches.push_back(ms(t));
    }
    model.setQuery(QString());

    std::printf("model over %s: %u nodes\n", root.c_str(), count);
    std::printf("  start-up to results (main thread)   %s\n", timingLine(sorted(startUps)).c_str());
    std::printf("    peer: SavedIndex::load alone       %s\n",
                timingLine(sorted(loadPeer)).c_str());
    std::printf("  derived data of the root             %s\n",
                timingLine(sorted(derivedRoot)).c_str());
    std::printf("    peer: the six passes, one thread   %s\n",
                timingLine(sorted(derivedPeer)).c_str());
    const std::vector<double> openMs = sorted(opens);
    std::printf(
        "  open() on the main thread            median %.1f us  p90 %.1f us  max %.1f us  "
        "(%zu opens in a row)\n",
        openMs[openMs.size() / 2] * 1e3, openMs[openMs.size() * 9 / 10] * 1e3, openMs.back() * 1e3,
        openMs.size());
    std::printf("  last keystroke to stored results     %s\n",
                timingLine(sorted(searches)).c_str());
    std::printf("    peer: 60 ms + search() alone       %s\n",
                timingLine(sorted(searchPeer)).c_str());
    std::printf("  derived runs computing at once, peak %d (after 50 opens in a row)\n",
                AppModel::peakDerivedRuns());
    std::printf("  model heap beyond the index          %.2f MB\n",
                (static_cast<double>(heapAfter) - static_cast<double>(heapBefore)) / 1e6);
    if (!live) return 0;

    // A change on disk until it is adopted (1 s event latency and 2 s of quiet included), and
    // the main-thread time of the adoption.
    QueuedCalls calls;
    model.installEventFilter(&calls);
    std::vector<double> adopted, adopts;
    // The change: a folder's mode set to what it is (an attribute event, nothing altered).
    const std::string touched = root + "/big";
    struct stat st {};
    ::stat(touched.c_str(), &st);
    const auto touch = [&] { ::chmod(touched.c_str(), st.st_mode & 07777); };
    for (int k = 0; k < 3; ++k) {
        const int revision = model.revision();
        double adoptMs = -1;
        auto connection = QObject::connect(&model.revision, &PropertyNotifier::changed,
                                           [&] { adoptMs = ms(calls.since); });
        QElapsedTimer t;
        t.start();
        touch();
        const bool ok = serveUntil([&] { return model.revision() > revision; }, 30);
        QObject::disconnect(connection);
        if (!ok) break;
        adopted.push_back(ms(t));
        adopts.push_back(adoptMs);
        serveUntil([&] { return model.sync() == Sync::live; }, 10);
        serveUntil([] { return false; }, 0.5);
    }
    // Ten batches a second apart: one refresh.
    const int revision = model.revision();
    for (int k = 0; k < 10; ++k) {
        touch();
        // A batch closes 1 s after its first event: touches a little over 1 s apart make one
        // batch each (exactly 1 s apart, two may share a batch and leave a 2 s gap).
        serveUntil([] { return false; }, 1.05);
    }
    serveUntil([&] { return model.revision() > revision && model.sync() == Sync::live; }, 30);
    serveUntil([] { return false; }, 3.0);
    const int refreshes = model.revision() - revision;

    std::printf("  change on disk to adopted index      %s\n", timingLine(sorted(adopted)).c_str());
    for (double& r : refreshPeer)
        r += 3000;
    std::printf("    peer: 1 s + 2 s + refreshed() alone %s\n",
                timingLine(sorted(refreshPeer)).c_str());
    std::printf("  adopt on the main thread             %s\n", timingLine(sorted(adopts)).c_str());
    std::printf("  ten batches 1 s apart gave %d refresh(es)\n", refreshes);
    return 0;
}

}  // namespace tamrel::bench
