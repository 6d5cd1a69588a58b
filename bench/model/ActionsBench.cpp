// The model's actions on the main thread: how long a trash of 1,000 items holds the main thread
// at a time, the inventory of 200 applications through the model, ordering it, and the sums of
// a basket and of clean-up ticks of 10,000 nodes.
//
//   build/bench/actions-bench --benchmark_repetitions=10 --benchmark_report_aggregates_only

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <stdlib.h>

#include <algorithm>
#include <mutex>

#include "bench/model/AppsFixture.h"
#include "model/app/AppModel.h"
#include "model/apps/AppScanner.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/support/GeneratedIndex.h"

namespace {

using namespace tamrel;

// No desktop session in a benchmark.
class NoDesktop : public Desktop {
public:
    std::optional<std::string> chooseFolder(const QString&, const QString&) override {
        return std::nullopt;
    }
    bool reveal(const std::string&) override { return false; }
    bool open(const std::string&) override { return false; }
    bool copyText(const QString&) override { return false; }
};

// Takes every item at once without touching the disk: the moves run on the model's workers and
// are not what is measured here.
class Accepting : public TrashCan {
public:
    bool moveToTrash(const std::string&) override { return true; }
    Remover::Outcome remove(const std::vector<Remover::Item>&, Platform&,
                            const std::atomic<bool>&) override {
        return {};
    }
};

AppModel::Options options(TrashCan* can) {
    AppModel::Options o;
    o.startUp = false;
    o.trashCan = can;
    return o;
}

// Serves the event loop until `done`; the longest single pass of the loop in milliseconds.
template <typename Done>
double serveUntil(Done done) {
    double longest = 0;
    QElapsedTimer t;
    while (!done()) {
        t.start();
        QCoreApplication::processEvents();
        longest = std::max(longest, t.nsecsElapsed() / 1e6);
    }
    return longest;
}

// A generated index of a million nodes shown in a model; the files not yet trashed.
struct Shown {
    NoDesktop desktop;
    Accepting can;
    AppModel model{desktop, options(&can)};
    IndexRef index{test::generateIndex(1'000'000, 7)};
    std::vector<NodeId> files;

    Shown() {
        ActionsProbe::show(model, index);
        for (NodeId i = 1; i < index->count(); ++i) {
            if (index->isFile(i)) files.push_back(i);
        }
        // Let the derived data of the new index settle before measuring.
        QElapsedTimer waited;
        waited.start();
        serveUntil([&] { return !model.breakdown().empty() || waited.elapsed() > 30'000; });
    }
};

Shown& shown() {
    static Shown s;
    return s;
}

// The longest the main thread is held by one trash of 1,000 files: the call itself, then each
// pass of the event loop until its outcome is in the model.
void TrashThousandLongestHold(benchmark::State& state) {
    Shown& s = shown();
    double longest = 0;
    double longestCall = 0;
    std::size_t next = 0;
    for (auto _ : state) {
        if (next + 1000 > s.files.size()) next = 0;
        const NodeIds nodes(s.files.begin() + static_cast<std::ptrdiff_t>(next),
                            s.files.begin() + static_cast<std::ptrdiff_t>(next + 1000));
        next += 1000;
        QElapsedTimer t;
        t.start();
        s.model.trash(nodes, {});
        const double call = t.nsecsElapsed() / 1e6;
        longestCall = std::max(longestCall, call);
        const double hold = std::max(call, serveUntil([&] { return !s.model.trashing(); }));
        longest = std::max(longest, hold);
        state.SetIterationTime(hold / 1e3);
        // The derived data the trash asked for is applied outside the measured passes.
        bool derived = false;
        const auto connection = QObject::connect(&s.model.cleanPlan, &PropertyNotifier::changed,
                                                 [&] { derived = true; });
        QElapsedTimer waited;
        waited.start();
        serveUntil([&] { return derived || waited.elapsed() > 10'000; });
        QObject::disconnect(connection);
    }
    state.counters["longest_ms"] = longest;
    state.counters["call_ms"] = longestCall;
}
BENCHMARK(TrashThousandLongestHold)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void BasketSizeTenThousand(benchmark::State& state) {
    Shown& s = shown();
    ActionsProbe::show(s.model, s.index);
    // Set whole: the generated files exist on no disk, so a pick of each would be refused.
    s.model.setBasket(NodeIds(s.files.end() - 10'000, s.files.end()));
    for (auto _ : state) benchmark::DoNotOptimize(s.model.basketSize());
    state.counters["entries"] = static_cast<double>(s.model.basket().size());
}
BENCHMARK(BasketSizeTenThousand)->Unit(benchmark::kMicrosecond);

void CleanSizeTenThousand(benchmark::State& state) {
    Shown& s = shown();
    NodeSet picked;
    for (std::size_t i = 0; i < 10'000; ++i) picked.insert(s.files[s.files.size() - 1 - i]);
    ActionsProbe::setCleanPicked(s.model, picked);
    for (auto _ : state) benchmark::DoNotOptimize(s.model.cleanSize());
    state.counters["entries"] = static_cast<double>(s.model.cleanPicked().size());
}
BENCHMARK(CleanSizeTenThousand)->Unit(benchmark::kMicrosecond);

// The 200 applications in the home folder, scanned and shown in a model.
struct Apps {
    bench::Fixture tree{true};
    NoDesktop desktop;
    Accepting can;
    std::unique_ptr<AppModel> model;

    Apps() {
        ::setenv("HOME", tree.home.c_str(), 1);
        model = std::make_unique<AppModel>(desktop, options(&can));
        ActionsProbe::show(*model, IndexRef(std::move(tree.index)));
        model->loadApps(true);
        serveUntil([&] { return !model->appsLoading(); });
    }
};

Apps& apps() {
    static Apps a;
    return a;
}

// From the call to the inventory stored in the model.
void LoadApps(benchmark::State& state) {
    AppModel& m = *apps().model;
    for (auto _ : state) {
        m.loadApps(true);
        serveUntil([&] { return !m.appsLoading(); });
    }
    state.counters["apps"] = static_cast<double>(m.apps().size());
}
BENCHMARK(LoadApps)->Unit(benchmark::kMillisecond);

// Peer: the inventory scan alone, on this thread.
void ScanAppsDirectly(benchmark::State& state) {
    AppModel& m = *apps().model;
    for (auto _ : state) benchmark::DoNotOptimize(AppScanner::scan(*m.index()));
}
BENCHMARK(ScanAppsDirectly)->Unit(benchmark::kMillisecond);

void SortedApps(benchmark::State& state) {
    AppModel& m = *apps().model;
    m.setAppSort(static_cast<AppSort>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(m.sortedApps());
    state.SetLabel(rawValue(m.appSort()).toStdString());
}
BENCHMARK(SortedApps)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

// Peer: one copy of the inventory, what handing out the list by value would cost.
void CopyApps(benchmark::State& state) {
    AppModel& m = *apps().model;
    for (auto _ : state) benchmark::DoNotOptimize(InstalledApps(m.apps()));
}
BENCHMARK(CopyApps)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
