// The installed-application inventory of a home with 200 applications, against the floor of
// reading their 200 information dictionaries alone; the inventory of a home with 200 AppImages
// and their desktop entries, against the floor of reading the entries alone; and the running
// check the application
// detail makes at every refresh (this machine's processes, matched by bundle identifier),
// against the floor of listing the processes alone.
//
//   build/bench/apps-bench --benchmark_repetitions=10 --benchmark_report_aggregates_only

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/model/AppsFixture.h"
#include "core/index/DiskIndex.h"
#include "core/apps/Leftovers.h"
#include "core/scan/ScanProgress.h"
#include "model/apps/AppImages.h"
#include "model/apps/AppScanner.h"
#include "model/apps/BundleInfo.h"
#include "model/system/Processes.h"

namespace {

using namespace tamrel;
using bench::Fixture;
using bench::fixture;
using bench::AppImagesFixture;
using bench::appImagesFixture;

void Inventory(benchmark::State& state) {
    Fixture& f = fixture();
    std::size_t leftovers = 0;
    for (auto _ : state) {
        const auto list = AppScanner::scan(*f.index, f.home, f.system);
        leftovers = 0;
        for (const InstalledApp& a : list)
            leftovers += a.leftovers.size();
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["leftovers"] = static_cast<double>(leftovers);
}
BENCHMARK(Inventory)->Unit(benchmark::kMillisecond);

// The floor: opening each bundle's information dictionary and nothing else.
void ReadDictionariesOnly(benchmark::State& state) {
    Fixture& f = fixture();
    const auto bundles = appBundles(*f.index, f.home, f.system);
    for (auto _ : state) {
        for (NodeId b : bundles)
            benchmark::DoNotOptimize(BundleInfo::open(f.index->path(b)));
    }
    state.counters["bundles"] = static_cast<double>(bundles.size());
}
BENCHMARK(ReadDictionariesOnly)->Unit(benchmark::kMillisecond);

// 200 AppImages with their desktop entries, icons and leftovers, as the model lists them on
// Linux: the file heads, owners and times, the entries, the leftover search.
void AppImageInventory(benchmark::State& state) {
    AppImagesFixture& f = appImagesFixture();
    RuleProfile profile;
    profile.onLinux = true;  // the XDG folders at their places below the fixture's home
    std::size_t listed = 0;
    std::size_t leftovers = 0;
    for (auto _ : state) {
        const auto list = AppScanner::scan(*f.index, f.home, "", profile);
        listed = list.size();
        leftovers = 0;
        for (const InstalledApp& a : list) leftovers += a.leftovers.size();
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["apps"] = static_cast<double>(listed);
    state.counters["leftovers"] = static_cast<double>(leftovers);
}
BENCHMARK(AppImageInventory)->Unit(benchmark::kMillisecond);

// The floor: reading the 400 desktop entries of that home and nothing else.
void ReadDesktopEntriesOnly(benchmark::State& state) {
    AppImagesFixture& f = appImagesFixture();
    const auto folder = f.index->lookup(f.home + "/.local/share/applications");
    std::vector<std::string> paths;
    for (NodeId n : f.index->children(*folder)) paths.push_back(f.index->path(n));
    for (auto _ : state) {
        for (const std::string& p : paths) benchmark::DoNotOptimize(readDesktopEntry(p));
    }
    state.counters["entries"] = static_cast<double>(paths.size());
}
BENCHMARK(ReadDesktopEntriesOnly)->Unit(benchmark::kMillisecond);

void RunningCheck(benchmark::State& state) {
    Fixture& f = fixture();
    const std::string bundle = f.home + "/Applications/Nowhere.app";
    std::size_t processes = 0;
    for (auto _ : state) {
        const auto all = Processes::list();
        processes = all.size();
        benchmark::DoNotOptimize(Processes::copiesOf(all, "com.example.nowhere", bundle, {}));
    }
    state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(RunningCheck)->Unit(benchmark::kMillisecond);

// The running check of an AppImage: this machine's processes, matched by executable, by the
// APPIMAGE of their environments and by their mount folders.
void AppImageRunningCheck(benchmark::State& state) {
    const std::string file = appImagesFixture().home + "/Applications/Tool0-1.0.0-x86_64.AppImage";
    const std::vector<std::string> mounts = appImageMountRoots();
    std::size_t processes = 0;
    for (auto _ : state) {
        const auto all = Processes::list();
        processes = all.size();
        benchmark::DoNotOptimize(appImageCopies(all, file, mounts));
    }
    state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(AppImageRunningCheck)->Unit(benchmark::kMillisecond);

// The floor: listing this user's processes and nothing else.
void ListProcessesOnly(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Processes::list());
}
BENCHMARK(ListProcessesOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
