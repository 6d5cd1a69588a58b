// A refresh that lists one folder again, in a tree of 200 folders of 100 files, without hard
// links and with 2,000 files linked from a second folder: what counting every link again from
// the disk costs when the folder listed holds one.
//   build/bench/refresh-bench --benchmark_repetitions=9 --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/index/DiskIndex.h"
#include "core/live/Changes.h"
#include "core/live/Refresher.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"

namespace tamrel {
namespace {

constexpr int folders = 200;
constexpr int filesPerFolder = 100;

// A tree made for the benchmark in $TMPDIR, removed with everything in it at the end.
class Tree {
public:
    explicit Tree(bool links) {
        std::string pattern = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") +
                              "/tamrel-bench-XXXXXX";
        root_ = ::mkdtemp(pattern.data());
        const std::string data(5000, 'x');
        for (int d = 0; d < folders; ++d) {
            const std::string folder = root_ + "/d" + std::to_string(d);
            ::mkdir(folder.c_str(), 0755);
            for (int f = 0; f < filesPerFolder; ++f) {
                const std::string file = folder + "/f" + std::to_string(f);
                const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                if (::write(fd, data.data(), data.size()) < 0) std::abort();
                ::close(fd);
                // One file in ten gets a second name in the next folder.
                if (links && f % 10 == 0 && d > 0) {
                    const std::string other = root_ + "/d" + std::to_string(d - 1) + "/l" +
                                              std::to_string(f);
                    ::link(file.c_str(), other.c_str());
                }
            }
        }
        ScanProgress progress;
        index_ = Scanner::scan(root_, progress, 4);
    }
    ~Tree() { std::filesystem::remove_all(root_); }

    const DiskIndex& index() const { return *index_; }
    std::string folder(int d) const { return root_ + "/d" + std::to_string(d); }

private:
    std::string root_;
    std::unique_ptr<DiskIndex> index_;
};

void refreshOneFolder(benchmark::State& state) {
    static Tree plain(false), linked(true);
    const Tree& tree = state.range(0) ? linked : plain;
    const Changes changes{{tree.folder(100)}, {}};
    for (auto _ : state) {
        ScanProgress progress;
        benchmark::DoNotOptimize(Refresher::refreshed(tree.index(), changes, progress));
    }
    state.SetLabel(state.range(0) ? "2,000 linked files" : "no links");
}
BENCHMARK(refreshOneFolder)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tamrel

BENCHMARK_MAIN();
