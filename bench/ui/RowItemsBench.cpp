// Building the rows of a list: 400 rows (the Explore list's cap, and more than the 300 search
// results) must stay under 1 ms. Over a generated index of a million nodes.
#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QDir>

#include <memory>

#include "core/query/Biggest.h"
#include "tests/support/GeneratedIndex.h"
#include "ui/results/RowItems.h"

namespace tamrel {
namespace {

const DiskIndex& millionNodes() {
    static const std::unique_ptr<DiskIndex> index = test::generateIndex(1'000'000, 7);
    return *index;
}

// 400 of the heaviest files, their subtitles told relative to the root (the search and Biggest
// lists).
void BM_RowItemsRelative(benchmark::State& state) {
    const DiskIndex& index = millionNodes();
    const std::vector<NodeId> ids = biggestFiles(index, 0, 400);
    const std::string home = QDir::homePath().toStdString();
    const auto inBasket = [](NodeId) { return false; };
    for (auto _ : state) {
        auto rows = rowItems(index, ids, index.size(ids.front()), NodeId(0), inBasket, home,
                             QDateTime::currentDateTime());
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["rows"] = double(ids.size());
}
BENCHMARK(BM_RowItemsRelative)->Unit(benchmark::kMicrosecond);

// 400 children of folders with counts and ages (the Explore list).
void BM_RowItemsCounts(benchmark::State& state) {
    const DiskIndex& index = millionNodes();
    std::vector<NodeId> ids;
    for (NodeId parent = 0; ids.size() < 400 && parent < index.count(); ++parent) {
        for (NodeId kid : index.sortedChildren(parent)) {
            if (ids.size() == 400) break;
            ids.push_back(kid);
        }
    }
    const std::string home = QDir::homePath().toStdString();
    const auto inBasket = [](NodeId) { return false; };
    for (auto _ : state) {
        auto rows = rowItems(index, ids, index.size(ids.front()), std::nullopt, inBasket, home,
                             QDateTime::currentDateTime());
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_RowItemsCounts)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tamrel
