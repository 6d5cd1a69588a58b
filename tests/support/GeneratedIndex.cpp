#include "tests/support/GeneratedIndex.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/index/IndexWriter.h"
#include "core/scan/CrawlLayout.h"
#include "core/scan/Listing.h"

namespace tamrel::test {

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

namespace {

void append(Listing& listing, std::string_view name, std::uint8_t kind, std::uint64_t size,
            std::uint32_t mtime, std::uint32_t child) {
    listing.ents.push_back({static_cast<std::uint32_t>(listing.names.size()),
                            static_cast<std::uint16_t>(name.size()), kind, size, mtime, child});
    listing.names.insert(listing.names.end(), name.begin(), name.end());
}

}  // namespace

std::unique_ptr<DiskIndex> filesAt(
    NodeId rangeNodes,
    const std::function<std::pair<std::string_view, std::uint64_t>(NodeId)>& fileAt) {
    constexpr NodeId perFolder = 65'536;
    const NodeId folders = (rangeNodes + perFolder) / (perFolder + 1);
    IndexWriter writer(std::uint64_t{rangeNodes} + 1, std::uint64_t{rangeNodes} * 8 + 8);
    writer.add("/flat", static_cast<std::uint8_t>(Kind::dir), 0, 0, NONE);
    Listing listing;
    for (NodeId f = 0; f < folders; ++f) {
        append(listing, "d", static_cast<std::uint8_t>(Kind::dir), 0, 0, f);
    }
    const auto blocks = writeListing(writer, listing, 0);
    NodeId left = rangeNodes - folders;
    for (const auto& [folder, unused] : blocks) {
        listing.names.clear();
        listing.ents.clear();
        const NodeId first = writer.next();
        const NodeId n = std::min(left, perFolder);
        for (NodeId j = 0; j < n; ++j) {
            const auto [name, size] = fileAt(first + j);
            append(listing, name, static_cast<std::uint8_t>(Kind::file), size, 0, NONE);
        }
        writeListing(writer, listing, folder);
        left -= n;
    }
    return writer.finish("/flat");
}

namespace {

constexpr std::array<std::string_view, 24> stems = {"report",
                                                    "IMG_",
                                                    "Photo",
                                                    "notes",
                                                    "cache",
                                                    "Caches",
                                                    "ChromeCache",
                                                    "README",
                                                    "Makefile",
                                                    "data",
                                                    "a",
                                                    "tmp",
                                                    "\xC3\xA9t\xC3\xA9",
                                                    "\xC3\x84rger",
                                                    "x\xFF",
                                                    ".bashrc",
                                                    "..x",
                                                    "Tool",
                                                    "backup-2021",
                                                    "log",
                                                    "Movie Clip",
                                                    "index",
                                                    "Documents",
                                                    "node_modules"};
constexpr std::array<std::string_view, 24> exts = {"",
                                                   ".jpg",
                                                   ".JPG",
                                                   ".jpeg",
                                                   ".mp4",
                                                   ".MOV",
                                                   ".db",
                                                   ".log",
                                                   ".tar.gz",
                                                   ".",
                                                   ".txt",
                                                   ".app",
                                                   ".x\xFF",
                                                   ".\xE2\x84\xAA"
                                                   "ey",
                                                   ".pkg",
                                                   ".md",
                                                   "",
                                                   ".png",
                                                   ".js",
                                                   ".so",
                                                   ".cache",
                                                   ".json",
                                                   "",
                                                   ".iso"};
constexpr std::array<std::uint64_t, 8> sizeSteps = {0, 512, 4096, 4096, 8192, 65536, 1 << 20, 7};

// The shape of a generated tree in breadth-first order: each node's children are one run of
// later breadth-first ids.
struct Shape {
    std::vector<std::uint32_t> firstChild;
    std::vector<std::uint32_t> childCount;
    std::vector<std::uint8_t> kind;
};

Shape shapeOf(NodeId nodes, std::uint64_t seed) {
    Shape s;
    s.firstChild.assign(nodes, 0);
    s.childCount.assign(nodes, 0);
    s.kind.assign(nodes, 0);
    s.kind[0] = static_cast<std::uint8_t>(Kind::dir);
    std::uint32_t next = 1;
    std::uint32_t folder = 0;  // breadth-first ids are also the queue of folders
    while (next < nodes && folder < next) {
        const std::uint32_t f = folder++;
        if ((s.kind[f] & Flag::kindMask) != static_cast<std::uint8_t>(Kind::dir) ||
            (s.kind[f] & Flag::denied)) {
            continue;
        }
        const std::uint64_t h = mix(seed ^ (std::uint64_t{f} << 20));
        const std::uint32_t c = std::min<std::uint32_t>(1 + h % 40, nodes - next);
        s.firstChild[f] = next;
        s.childCount[f] = c;
        bool anyFolder = false;
        for (std::uint32_t j = 0; j < c; ++j) {
            const std::uint64_t g = mix(seed + next + j);
            std::uint8_t kind = static_cast<std::uint8_t>(Kind::file);
            switch (g % 32) {
                case 0:
                case 1:
                case 2:
                case 3:
                case 4:
                    kind = static_cast<std::uint8_t>(Kind::dir);
                    break;
                case 5:
                    kind = static_cast<std::uint8_t>(Kind::dir) | Flag::denied;
                    break;
                case 6:
                    kind = static_cast<std::uint8_t>(Kind::link);
                    break;
                case 7:
                    kind = static_cast<std::uint8_t>(Kind::other);
                    break;
                default:
                    break;
            }
            if ((g >> 40) % 50 == 0) kind |= Flag::hidden;
            s.kind[next + j] = kind;
            anyFolder = anyFolder || kind == static_cast<std::uint8_t>(Kind::dir);
        }
        // Keep the queue of folders alive until the tree is whole.
        if (!anyFolder) s.kind[next + c - 1] = static_cast<std::uint8_t>(Kind::dir);
        next += c;
    }
    return s;
}

}  // namespace

std::unique_ptr<DiskIndex> generateIndex(NodeId nodes, std::uint64_t seed) {
    nodes = std::max<NodeId>(nodes, 1);
    const Shape shape = shapeOf(nodes, seed);
    const std::string rootPath = "/gen";
    IndexWriter writer(nodes, std::uint64_t{nodes} * 24 + rootPath.size());
    writer.add(rootPath, static_cast<std::uint8_t>(Kind::dir), 0, 0, NONE);
    std::vector<std::pair<NodeId, std::uint32_t>> stack{{0, 0}};  // (node id, breadth-first id)
    // Every name a stem, perhaps a number, and an extension can make, made once.
    std::vector<std::string> pool;
    for (std::string_view stem : stems) {
        for (int number = -1; number < 16; ++number) {
            for (std::string_view e : exts) {
                std::string name(stem);
                if (number >= 0) name += std::to_string(number * 37 % 1000);
                name += e;
                pool.push_back(std::move(name));
            }
        }
    }
    Listing listing;
    while (!stack.empty()) {
        const auto [node, b] = stack.back();
        stack.pop_back();
        if (shape.childCount[b] == 0) continue;
        listing.names.clear();
        listing.ents.clear();
        for (std::uint32_t j = 0; j < shape.childCount[b]; ++j) {
            const std::uint32_t c = shape.firstChild[b] + j;
            const std::uint64_t h = mix(seed * 31 + c);
            const std::string& name = pool[h % pool.size()];
            const std::uint8_t kind = shape.kind[c];
            const bool isFolder = (kind & Flag::kindMask) == static_cast<std::uint8_t>(Kind::dir);
            const std::uint64_t size =
                isFolder ? 0 : sizeSteps[(h >> 32) % sizeSteps.size()] * (1 + (h >> 36) % 3);
            const std::uint32_t mtime =
                1'600'000'000u + static_cast<std::uint32_t>((h >> 40) % 2000) * 86'400u;
            append(listing, name, kind, size, mtime, c);
        }
        const auto folders = writeListing(writer, listing, node);
        for (auto it = folders.rbegin(); it != folders.rend(); ++it)
            stack.push_back(*it);
    }
    return writer.finish(rootPath);
}

}  // namespace tamrel::test
