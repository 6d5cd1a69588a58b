#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/index/DiskIndex.h"

namespace tamrel::test {

// Builds an index straight through IndexWriter from a list of paths, so a test can describe
// any tree (macOS-style folders included) with exact sizes, times and flags:
//
//   IndexBuilder b;                         // root "/"
//   b.file("/Users/t/Downloads/a.dmg", 5 << 20, mtime);
//   b.dir("/Users/t/Library/Caches/com.x", mtime);
//   b.removed("/Users/t/Library/Caches/com.x");
//   auto index = b.build();
//
// Folders named on the way to a path are made as needed (mtime 0). Children keep the order in
// which they were first named. A folder's size is the sum of its files. build() checks the tree
// invariants (test::expectValidTree) and then marks the removed paths with IndexWriter::markRemoved().
class IndexBuilder {
public:
    explicit IndexBuilder(std::string rootPath = "/");

    // A folder (made or updated): its mtime and kind-byte flags (hidden, mount, denied).
    IndexBuilder& dir(std::string_view path, std::uint32_t mtime = 0, std::uint8_t flags = 0);
    // A file of `size` allocated bytes.
    IndexBuilder& file(std::string_view path, std::uint64_t size, std::uint32_t mtime = 0,
                       std::uint8_t flags = 0);
    // A non-folder node of any kind (link, other).
    IndexBuilder& entry(std::string_view path, Kind kind, std::uint64_t size,
                        std::uint32_t mtime = 0, std::uint8_t flags = 0);
    // Marks the node at `path` removed after building, as a move to the Trash would.
    IndexBuilder& removed(std::string_view path);

    std::unique_ptr<DiskIndex> build() const;

private:
    struct Node {
        std::string name;
        std::uint8_t kind = 1;
        std::uint64_t size = 0;
        std::uint32_t mtime = 0;
        std::vector<std::size_t> children;
    };
    std::size_t at(std::string_view path);

    std::string rootPath_;
    std::vector<Node> nodes_;
    std::vector<std::string> removed_;
};

// The id of the node at `path`; fails the test and gives NONE when there is none.
NodeId idOf(const DiskIndex& index, std::string_view path);

}  // namespace tamrel::test
