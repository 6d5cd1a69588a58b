#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>

#include "core/index/DiskIndex.h"

namespace tamrel::test {

// A generated index of exactly `nodes` nodes (root included, at least 1), the same for the same
// seed, shaped breadth first (shallow, a few dozen children per folder) and written depth first.
// Names mix cases, extensions of 0 to 13 bytes, dot rules ("x.", ".bashrc", "..x", "Tool.app"),
// non-ASCII and invalid UTF-8; sizes come from a small set so that many are equal, a sixth of them
// 0; modification times lie within about 2,000 days from 1,600,000,000; a few folders are denied or
// hidden, a few nodes are links or other. Builds about 4 million nodes per second.
std::unique_ptr<DiskIndex> generateIndex(NodeId nodes, std::uint64_t seed);

// An index whose root's subtree is exactly `rangeNodes` nodes: a few folders named "d" below the
// root, then every other id a plain file whose name and size fileAt(id) gives. Ids run from the
// folders (1 .. folders) to the files (folders + 1 .. rangeNodes), so a test can place files at
// chosen ids, such as either side of a chunk boundary.
std::unique_ptr<DiskIndex> filesAt(
    NodeId rangeNodes,
    const std::function<std::pair<std::string_view, std::uint64_t>(NodeId)>& fileAt);

// A deterministic hash for picking things in tests.
std::uint64_t mix(std::uint64_t x);

}  // namespace tamrel::test
