// Painting costs of the first screens and the launch with a saved whole-disk index:
//   QT_QPA_PLATFORM=offscreen build/bench/window-bench
// (the offscreen platform is chosen when none is set).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <functional>
#include <memory>
#include <string>

#include "core/saved/SavedIndex.h"
#include "model/app/AppModel.h"
#include "tests/model/app/FakeDesktop.h"
#include "tests/support/IndexBuilder.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"
#include "tests/ui/Headless.h"
#include "ui/home/ScanningView.h"
#include "ui/home/Sidebar.h"
#include "ui/home/WelcomeView.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/RootView.h"
#include "ui/shell/TamrelApp.h"
#include "ui/theme/SpringAnimator.h"

using namespace tamrel;

namespace {

AppModel::Options quietOptions() {
    AppModel::Options options;
    options.startUp = false;
    options.watcher.allowFanotify = false;
    return options;
}

// Renders `widget` at its size into an image, as one frame of the window would.
void paintInto(QWidget& widget, QImage& image) {
    image.fill(Qt::transparent);
    QPainter p(&image);
    widget.render(&p);
}

// Paints `View` (made over a model with the machine's volumes and places) at `size` once per
// iteration; `perFrame` changes what it shows first.
template <typename View>
void paintBench(benchmark::State& state, QSize size,
                const std::function<void(View&, double)>& perFrame = {}) {
    test::FakeDesktop desktop;
    AppModel model(desktop, quietOptions());
    model.refreshVolumes();
    View view(model);
    view.resize(size);
    view.show();
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    double t = 1;
    for (auto _ : state) {
        t += 1.0 / 60;
        if (perFrame) perFrame(view, t);
        paintInto(view, image);
    }
}

constexpr QSize kScreenSize(1320 - 228, 840);

void BM_PaintSidebar(benchmark::State& state) {
    paintBench<Sidebar>(state, QSize(228, 840));
}
BENCHMARK(BM_PaintSidebar)->Unit(benchmark::kMillisecond);

void BM_PaintWelcome(benchmark::State& state) {
    paintBench<WelcomeView>(state, kScreenSize);
}
BENCHMARK(BM_PaintWelcome)->Unit(benchmark::kMillisecond);

// One frame of the Scanning screen with counts that change every frame.
void BM_PaintScanningFrame(benchmark::State& state) {
    paintBench<ScanningView>(state, kScreenSize, [](ScanningView& view, double t) {
        view.freeze(
            {0.42, 1'284'377 + static_cast<qint64>(t * 1000), 96'512, 182'400'000'000, 48'200, t});
    });
}
BENCHMARK(BM_PaintScanningFrame)->Unit(benchmark::kMillisecond);

// The peer: a stock Qt screen of similar content (a dozen labels and two push buttons in the
// Fusion style) painted at the same size, measured in the same run.
void BM_PaintPeerStockWidgets(benchmark::State& state) {
    QWidget view;
    auto* layout = new QVBoxLayout(&view);
    for (int i = 0; i < 12; ++i) {
        auto* label = new QLabel(QStringLiteral("Stock label %1 with some words").arg(i), &view);
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    layout->addWidget(new QPushButton(QStringLiteral("Look inside"), &view));
    layout->addWidget(new QPushButton(QStringLiteral("Just my Home"), &view));
    view.resize(kScreenSize);
    view.show();
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        paintInto(view, image);
}
BENCHMARK(BM_PaintPeerStockWidgets)->Unit(benchmark::kMillisecond);

// A saved index of "/" with a million entries, in a temporary XDG_DATA_HOME.
struct SavedDisk {
    test::ScopedDataHome data;
    SavedDisk() {
        test::IndexBuilder b;
        const int folders = 1000;
        const int files = 999;
        for (int d = 0; d < folders; ++d) {
            const std::string folder = "/srv/f" + std::to_string(d / 50) + "/d" + std::to_string(d);
            for (int f = 0; f < files; ++f) {
                b.file(folder + "/file" + std::to_string(f) + ".bin",
                       4096 * static_cast<std::uint64_t>(1 + (d * 7 + f) % 97), 1'700'000'000);
            }
        }
        SavedIndex::save(*b.build());
    }
};

SavedDisk& savedDisk() {
    static SavedDisk disk;
    return disk;
}

// A model that opens the saved whole-disk index as it starts.
AppModel::Options launchOptions() {
    AppModel::Options options = quietOptions();
    options.startUp = true;
    return options;
}

// Waits until the window shows the saved disk's results; false (and the benchmark marked)
// when it does not open.
bool resultsShown(const AppModel& model, benchmark::State& state) {
    if (QTest::qWaitFor([&] { return model.phase() == Phase::results; }, 20000)) return true;
    state.SkipWithError("the saved index did not open");
    return false;
}

// From creating the model to the first frame painted after the results show.
void BM_LaunchToFirstResultsFrame(benchmark::State& state) {
    savedDisk();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        test::FakeDesktop desktop;
        AppModel model(desktop, launchOptions());
        MainWindow window(model);
        window.show();
        if (!resultsShown(model, state)) break;
        QImage frame(window.size(), QImage::Format_ARGB32_Premultiplied);
        paintInto(window, frame);
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        state.counters["nodes"] = model.index() ? static_cast<double>(model.index()->count()) : 0;
    }
}
BENCHMARK(BM_LaunchToFirstResultsFrame)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// What a frame of a phase change costs beyond drawing two pictures: the incoming screen is
// live under the overlay, so each frame takes a fresh snapshot of it. Here the results screen
// over the million-entry disk, at the window's default size.
void BM_PhaseChangeIncomingFrame(benchmark::State& state) {
    savedDisk();
    test::FakeDesktop desktop;
    AppModel model(desktop, launchOptions());
    MainWindow window(model);
    window.show();
    if (!resultsShown(model, state)) return;
    QWidget* screen = window.rootView()->screen();
    for (auto _ : state) {
        QPixmap frame = screen->grab();
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_PhaseChangeIncomingFrame)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const auto app = test::headlessApp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
