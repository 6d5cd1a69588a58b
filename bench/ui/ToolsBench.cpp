// The space tools over the million-entry tree (bench/mktree.sh; $TAMREL_TREE, default
// /work/tree1m, with $HOME at its "home" folder so the rules look there), headless, 1320 x 840:
//   - painting the System Data screen: under 8 ms at the 95th percentile;
//   - painting the Clean up screen with a plan in which every group finds something (eight
//     groups of 2,000 items each taken from the tree, the first open with its 200 rows): under
//     8 ms at the 95th percentile;
//   - an Apps filter keystroke with 500 applications, to the repainted screen: under 16 ms;
//   - a click in the application detail, to the repainted detail, against the same click when it
//     also listed the processes on the main thread.
// Each reports its median and 95th percentile (p50_ms, p95_ms) and the main thread's CPU time;
// a peer (the ground filled and one line drawn) is measured in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "bench/ui/BenchTiming.h"
#include "model/app/AppModel.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/model/app/FakeDesktop.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/ui/Headless.h"
#include "ui/theme/Keys.h"
#include "ui/tools/AppsView.h"
#include "ui/tools/CleanView.h"
#include "ui/tools/SystemDataView.h"

namespace tamrel {

struct Fixture {
    test::ScopedDataHome data;
    test::FakeDesktop desktop;
    std::unique_ptr<AppModel> model;
    QImage canvas{1320, 840, QImage::Format_ARGB32_Premultiplied};

    Fixture() {
        const char* tree = std::getenv("TAMREL_TREE");
        const std::string root = tree ? tree : "/work/tree1m";
        ::setenv("HOME", (root + "/home").c_str(), 1);
        AppModel::Options options;
        options.startUp = false;
        options.watcher.allowFanotify = false;
        model = std::make_unique<AppModel>(desktop, options);
        model->scan(root, true);
        if (!QTest::qWaitFor([&] { return model->phase() == Phase::results && model->index(); },
                             600'000)) {
            std::fprintf(stderr, "tools-bench: the scan of %s did not finish\n", root.c_str());
            std::exit(1);
        }
        (void)QTest::qWaitFor([&] { return model->systemReport().has_value(); }, 120'000);
    }
    void paint(QWidget& w) {
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        w.render(&painter);
    }
};

std::unique_ptr<Fixture> shared;

namespace {

Fixture& fixture() {
    if (!shared) shared = std::make_unique<Fixture>();
    return *shared;
}

using bench::report;
using bench::threadMs;

template <typename Step>
void measure(benchmark::State& state, Step step) {
    std::vector<double> ms, cpu;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = threadMs();
        step();
        cpu.push_back(threadMs() - cpu0);
        const double took = double(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(took / 1000);
        ms.push_back(took);
    }
    report(state, ms, cpu);
}

void BM_PaintSystemData(benchmark::State& state) {
    Fixture& f = fixture();
    // Every bucket finds something: the twelve buckets with six top items each from the tree,
    // purgeable, unseen, snapshot and unreadable space.
    const DiskIndex& index = *f.model->index();
    SystemDataReport report = *f.model->systemReport();
    report.buckets.clear();
    const char* ids[] = {"caches", "logs", "temp", "trash",   "ios",  "dev",
                         "ai",     "vm",   "mail", "appdata", "swap", "macos"};
    NodeId next = 1;
    for (int b = 0; b < 12; ++b) {
        SpaceBucket bucket{
            ids[b],
            ids[b],
            "What the rule found, with a blurb that takes two lines on a card of this width.",
            "sparkles",
            SpaceBucket::Advice(b % 3),
            std::uint64_t(12 - b) << 30,
            {},
            {},
            {}};
        for (int k = 0; k < 6; ++k, next += 997) {
            bucket.top.push_back(next % index.count());
            bucket.topBytes.push_back(index.size(next % index.count()));
        }
        bucket.roots.push_back(bucket.top.front());
        report.buckets.push_back(std::move(bucket));
    }
    report.purgeable = 3ull << 30;
    report.unseen = 5ull << 30;
    report.snapshots = 2;
    report.unreadable = 1234;
    ActionsProbe::setSystemReport(*f.model, report);
    SystemDataView view(*f.model);
    view.resize(1320, 840);
    view.show();
    QApplication::processEvents();
    state.counters["buckets"] = double(view.cards().size());
    measure(state, [&] { f.paint(view); });
}
BENCHMARK(BM_PaintSystemData)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_PaintCleanUp(benchmark::State& state) {
    Fixture& f = fixture();
    const DiskIndex& index = *f.model->index();
    // Eight groups, each with 2,000 nodes of the tree, largest first as a plan gives them.
    std::vector<std::pair<std::uint64_t, NodeId>> nodes;
    for (NodeId n = 1; n < index.count(); n += std::max<NodeId>(1, index.count() / 16'000))
        nodes.emplace_back(index.size(n), n);
    CleanGroups plan;
    const char* ids[] = {"dev",  "ai",       "web",        "caches",
                         "logs", "projects", "installers", "leftovers"};
    for (int g = 0; g < 8; ++g) {
        CleanGroup group{ids[g],
                         ids[g],
                         "Things the rules found.",
                         "sparkles",
                         g % 2 ? CleanGroup::Risk::review : CleanGroup::Risk::safe,
                         {}};
        for (std::size_t k = std::size_t(g); k < nodes.size() && group.items.size() < 2000; k += 8)
            group.items.push_back(
                {nodes[k].second, g % 2 == 0,
                 k % 5 ? std::nullopt : std::optional<std::string>("12 days old")});
        std::sort(group.items.begin(), group.items.end(),
                  [&](const CleanItem& a, const CleanItem& b) {
                      return index.size(a.node) > index.size(b.node);
                  });
        plan.push_back(std::move(group));
    }
    f.model->applyCleanPlan(plan);
    CleanView view(*f.model);
    view.resize(1320, 840);
    view.show();
    QApplication::processEvents();
    if (!view.cards().empty()) view.cards().front()->expandKey()->click();
    QApplication::processEvents();
    measure(state, [&] { f.paint(view); });
}
BENCHMARK(BM_PaintCleanUp)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_AppsFilterKeystroke(benchmark::State& state) {
    Fixture& f = fixture();
    const IndexRef index = f.model->index();
    InstalledApps apps;
    for (int k = 0; k < 500; ++k) {
        const std::string name = "App " + std::to_string(k * 7919 % 1000);
        apps.push_back(
            InstalledApp{.node = NodeId(1 + k),
                         .path = index->path(NodeId(1 + k)),
                         .name = name,
                         .bundleID = "com.example.app" + std::to_string(k),
                         .version = "1.0",
                         .identity = AppIdentity({"com.example.app" + std::to_string(k)}, {name}),
                         .appStore = false,
                         .homebrew = false,
                         .lastUsed = std::nullopt,
                         .appSize = std::uint64_t(k) * 1000,
                         .leftovers = {},
                         .leftoverSize = 0});
    }
    ActionsProbe::setApps(*f.model, std::move(apps), index, f.model->revision());
    AppsView view(*f.model);
    view.resize(1320, 840);
    view.show();
    f.model->selectApp(NodeId(1));
    QApplication::processEvents();
    const QString texts[] = {QStringLiteral("a"),     QStringLiteral("ap"),  QStringLiteral("app"),
                             QStringLiteral("app 1"), QStringLiteral("app"), QStringLiteral("")};
    std::size_t k = 0;
    measure(state, [&] {
        f.model->setAppFilter(texts[k++ % std::size(texts)]);
        f.paint(view);
    });
}
BENCHMARK(BM_AppsFilterKeystroke)->UseManualTime()->Iterations(120)->Unit(benchmark::kMillisecond);

// A click in the application detail (a tick) refreshes the detail and repaints it. The detail
// no longer lists /proc for it (whether the application runs is found on a worker when the
// detail is shown); the second case adds that listing back on the main thread, as a click cost
// before, to compare in the same run.
void detailClick(benchmark::State& state, bool listProcesses) {
    Fixture& f = fixture();
    const IndexRef index = f.model->index();
    InstalledApps apps{InstalledApp{.node = NodeId(1),
                                    .path = index->path(NodeId(1)),
                                    .name = "Editor",
                                    .bundleID = "com.example.editor",
                                    .version = "1.0",
                                    .identity = AppIdentity({"com.example.editor"}, {"Editor"}),
                                    .appStore = false,
                                    .homebrew = false,
                                    .lastUsed = std::nullopt,
                                    .appSize = 1000,
                                    .leftovers = {},
                                    .leftoverSize = 0}};
    ActionsProbe::setApps(*f.model, std::move(apps), index, f.model->revision());
    AppsView view(*f.model);
    view.resize(1320, 840);
    view.show();
    f.model->selectApp(NodeId(1));
    (void)QTest::qWaitFor([&] { return !view.runningCheck().busy(); }, 5000);
    AppDetail* detail = view.detail();
    if (!detail) {
        state.SkipWithError("no detail");
        return;
    }
    measure(state, [&] {
        detail->refresh();
        if (listProcesses) benchmark::DoNotOptimize(f.model->appRunning(detail->app()));
        f.paint(*detail);
    });
}
void BM_AppsDetailClick(benchmark::State& state) {
    detailClick(state, false);
}
BENCHMARK(BM_AppsDetailClick)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);
void BM_AppsDetailClickListingProcesses(benchmark::State& state) {
    detailClick(state, true);
}
BENCHMARK(BM_AppsDetailClickListingProcesses)
    ->UseManualTime()
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

void BM_PeerFillCanvas(benchmark::State& state) {
    Fixture& f = fixture();
    measure(state, [&] {
        QPainter painter(&f.canvas);
        painter.fillRect(f.canvas.rect(), QColor(0xFF, 0xFD, 0xF9));
        painter.drawText(QPointF(20, 40), QStringLiteral("Heaviest files"));
    });
}
BENCHMARK(BM_PeerFillCanvas)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tamrel

int main(int argc, char** argv) {
    const auto app = tamrel::test::headlessApp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    tamrel::shared.reset();
    return 0;
}
