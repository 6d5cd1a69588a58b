// The treemap's layout: 91 sizes (a full folder of tiles plus the others tile) must stay under
// 20 us, 10,000 sizes under 5 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui/results/Squarify.h"

namespace tamrel {
namespace {

// Folder sizes fall off roughly like 1/k, largest first, with some noise.
std::vector<double> folderSizes(int n) {
    std::vector<double> sizes;
    std::uint64_t x = 88172645463325252ull;
    for (int k = 0; k < n; ++k) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        sizes.push_back(4e10 / (k + 1) * (0.8 + 0.2 * double(x % 1000) / 1000));
    }
    std::sort(sizes.begin(), sizes.end(), std::greater<>());
    return sizes;
}

void BM_Squarify(benchmark::State& state) {
    const auto sizes = folderSizes(int(state.range(0)));
    const QRectF rect(9, 9, 878, 700);
    for (auto _ : state) {
        auto rects = Squarify::layout(sizes, rect);
        benchmark::DoNotOptimize(rects.data());
    }
}
BENCHMARK(BM_Squarify)->Arg(91)->Arg(10'000)->Unit(benchmark::kMicrosecond);

// A peer measured in the same run, so that figures from a busy machine can be compared: sorting
// the same sizes.
void BM_PeerSortSizes(benchmark::State& state) {
    const auto sizes = folderSizes(int(state.range(0)));
    for (auto _ : state) {
        auto copy = sizes;
        std::sort(copy.begin(), copy.end());
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_PeerSortSizes)->Arg(91)->Arg(10'000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tamrel

BENCHMARK_MAIN();
