// The passes over a generated index of 10 million nodes with realistic names: search, biggest
// files and the breakdown by kind of the whole tree. The compute pool's size comes from
// $TAMREL_THREADS, so compare thread counts with separate runs:
//   TAMREL_THREADS=8 build/bench/search-bench
//   TAMREL_THREADS=2 build/bench/search-bench
// $TAMREL_NODES sets another node count (TAMREL_NODES=100000000 takes about 6 GB). Each result
// also shows the process's resident bytes per node once the index is built.
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/ComputePool.h"
#include "core/index/IndexWriter.h"
#include "core/query/Biggest.h"
#include "core/query/Breakdown.h"
#include "core/query/Search.h"
#include "core/scan/CrawlLayout.h"
#include "core/scan/Listing.h"

namespace tamrel {
namespace {

NodeId nodeCount() {
    static const NodeId count = [] {
        const char* given = std::getenv("TAMREL_NODES");
        const unsigned long long n = given ? std::strtoull(given, nullptr, 10) : 0;
        return n >= 2 && n < NONE ? static_cast<NodeId>(n) : NodeId{10'000'000};
    }();
    return count;
}

// The resident bytes of this process.
double residentBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long long size = 0, resident = 0;
    if (statm) {
        if (std::fscanf(statm, "%llu %llu", &size, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

constexpr std::array<std::string_view, 64> words = {
    "report", "invoice",    "photo",   "holiday", "backup",  "draft",   "final",   "notes",
    "readme", "main",       "util",    "config",  "index",   "test",    "data",    "model",
    "view",   "controller", "render",  "shader",  "texture", "mesh",    "audio",   "track",
    "album",  "cover",      "thumb",   "cache",   "temp",    "log",     "session", "user",
    "admin",  "client",     "server",  "build",   "release", "debug",   "module",  "package",
    "vendor", "lib",        "core",    "common",  "api",     "schema",  "query",   "table",
    "export", "import",     "summary", "budget",  "plan",    "meeting", "letter",  "scan",
    "video",  "clip",       "movie",   "episode", "season",  "raw",     "edit",    "mix"};
constexpr std::array<std::string_view, 32> dirWords = {
    "src",   "include", "lib",       "bin",      "docs", "assets",  "images", "Photos",
    "Music", "Videos",  "Downloads", "projects", "work", "archive", "old",    "tmp",
    "cache", "build",   "dist",      "out",      "test", "tests",   "vendor", "node_modules",
    ".git",  "objects", "refs",      "pack",     "data", "config",  "share",  "Library"};
// Weighted: common extensions appear several times.
constexpr std::array<std::string_view, 48> exts = {
    "txt", "txt", "md",  "pdf",  "pdf",  "jpg",    "jpg",  "jpg",  "JPG", "png",   "png", "heic",
    "mp4", "mkv", "mp3", "flac", "c",    "h",      "h",    "cpp",  "hpp", "py",    "py",  "js",
    "js",  "js",  "ts",  "json", "json", "html",   "css",  "so",   "o",   "o",     "a",   "zip",
    "tar", "gz",  "log", "log",  "db",   "sqlite", "docx", "xlsx", "iso", "plist", "",    ""};
constexpr char hex[] = "0123456789abcdef";

// A name for node `id`; folders and files differ.
void nameOf(std::uint64_t id, bool folder, std::string& out) {
    const std::uint64_t h = mix(id * 0x5851F42D4C957F2Dull + 17);
    out.clear();
    if (folder) {
        out += dirWords[h % dirWords.size()];
        if ((h >> 8) % 3 == 0) out += "-" + std::to_string((h >> 12) % 100);
        return;
    }
    switch ((h >> 8) % 16) {
        case 0:  // a camera's name
            out += "IMG_";
            out += std::to_string(1000 + (h >> 16) % 9000);
            out += ".JPG";
            return;
        case 1:  // an object store's hash
            for (int k = 0; k < 38; ++k)
                out += hex[(mix(h + k) >> 20) & 15];
            return;
        case 2:
            out += (h >> 16) % 2 ? "README" : "Makefile";
            return;
        default:
            break;
    }
    out += words[(h >> 16) % words.size()];
    switch ((h >> 24) % 4) {
        case 0:
            out += '_';
            out += words[(h >> 28) % words.size()];
            break;
        case 1:
            out += '-';
            out += std::to_string((h >> 28) % 2000);
            break;
        case 2:
            out += ' ';
            out += std::to_string((h >> 28) % 20);
            break;
        default:
            break;
    }
    const std::string_view e = exts[(h >> 40) % exts.size()];
    if (!e.empty()) {
        out += '.';
        out += e;
    }
}

// Breadth-first shape (folders of 1 to 40 entries, about a seventh of them folders), written
// depth first as the scanner does.
std::unique_ptr<DiskIndex> generate() {
    const NodeId nodeCount = tamrel::nodeCount();
    std::vector<std::uint32_t> firstChild(nodeCount, 0);
    std::vector<std::uint32_t> childCount(nodeCount, 0);
    std::vector<bool> isFolder(nodeCount, false);
    isFolder[0] = true;
    std::uint32_t next = 1;
    for (std::uint32_t f = 0; next < nodeCount && f < next; ++f) {
        if (!isFolder[f]) continue;
        const std::uint64_t h = mix(f);
        const std::uint32_t c = std::min<std::uint32_t>(1 + h % 40, nodeCount - next);
        firstChild[f] = next;
        childCount[f] = c;
        bool any = false;
        for (std::uint32_t j = 0; j < c; ++j) {
            const bool folder = mix(next + j + 0x1234) % 7 == 0;
            isFolder[next + j] = folder;
            any = any || folder;
        }
        if (!any) isFolder[next + c - 1] = true;
        next += c;
    }

    IndexWriter writer(nodeCount, std::uint64_t{nodeCount} * 40);
    writer.add("/bench", static_cast<std::uint8_t>(Kind::dir), 0, 0, NONE);
    std::vector<std::pair<NodeId, std::uint32_t>> stack{{0, 0}};
    Listing listing;
    std::string name;
    while (!stack.empty()) {
        const auto [node, b] = stack.back();
        stack.pop_back();
        if (childCount[b] == 0) continue;
        listing.names.clear();
        listing.ents.clear();
        for (std::uint32_t j = 0; j < childCount[b]; ++j) {
            const std::uint32_t c = firstChild[b] + j;
            const bool folder = isFolder[c];
            nameOf(c, folder, name);
            const std::uint64_t h = mix(c ^ 0xABCDEF);
            // Sizes spread over many orders of magnitude, in 4 KiB blocks.
            const std::uint64_t size =
                folder ? 0 : ((h % (std::uint64_t{1} << ((h >> 59) % 20))) + 1) * 4096;
            const std::uint32_t mtime =
                1'550'000'000u + static_cast<std::uint32_t>((h >> 20) % 189'000'000);
            listing.ents.push_back({static_cast<std::uint32_t>(listing.names.size()),
                                    static_cast<std::uint16_t>(name.size()),
                                    static_cast<std::uint8_t>(folder ? Kind::dir : Kind::file),
                                    size, mtime, c});
            listing.names.insert(listing.names.end(), name.begin(), name.end());
        }
        const auto folders = writeListing(writer, listing, node);
        for (auto it = folders.rbegin(); it != folders.rend(); ++it)
            stack.push_back(*it);
    }
    return writer.finish("/bench");
}

struct Generated {
    std::unique_ptr<DiskIndex> index = generate();
    double residentPerNode = residentBytes() / index->count();  // once the index is built
};

const Generated& generated() {
    static const Generated built;
    return built;
}

const DiskIndex& index() {
    return *generated().index;
}

void label(benchmark::State& state) {
    state.counters["threads"] = ComputePool::shared().parallelism();
    state.counters["nodes"] = index().count();
    state.counters["resident B/node"] = generated().residentPerNode;
}

void searchQuery(benchmark::State& state, std::string_view text) {
    const DiskIndex& idx = index();
    const Query query(text, "/bench", std::chrono::system_clock::now());
    std::size_t total = 0;
    for (auto _ : state) {
        const SearchResult r = search(idx, query, 0, 300);
        total = r.total;
        benchmark::DoNotOptimize(r.ids.data());
    }
    state.counters["matches"] = static_cast<double>(total);
    label(state);
}

void BM_Biggest(benchmark::State& state) {
    const DiskIndex& idx = index();
    for (auto _ : state)
        benchmark::DoNotOptimize(biggestFiles(idx, 0, 200).data());
    label(state);
}

void BM_Breakdown(benchmark::State& state) {
    const DiskIndex& idx = index();
    for (auto _ : state)
        benchmark::DoNotOptimize(breakdown(idx, 0).data());
    label(state);
}

BENCHMARK_CAPTURE(searchQuery, common_word, "report")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(searchQuery, rare_word, "quarantine")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(searchQuery, prefix_word, "^img")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(searchQuery, two_words, "budget final")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(searchQuery, ext, "ext:jpg,png")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(searchQuery, kind_size, "kind:video size:>100m")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Biggest)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Breakdown)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tamrel

BENCHMARK_MAIN();
