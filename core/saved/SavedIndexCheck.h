#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/index/Layout.h"

namespace tamrel {

// Whether the node arrays of a region read from a saved file form a tree that every reader of a
// DiskIndex may walk without leaving the arrays: 1 <= count <= cap; name offsets start at 0,
// never decrease and stay within nameCap; node 0 is named `rootPath`, every other name is one
// path component of 1 to 65535 bytes (no "/" or NUL, not "." or ".."); parents come before their
// children and each node lies in its parent's child block; the child blocks cover ids
// 1 .. count exactly once; only folders have children; and each subtree range
// firstChild .. subtreeEnd holds exactly the node's descendants, within count. Sizes, item
// counts, kinds and masks are not checked: a wrong value there reads wrong, never out of bounds.
//
// `region` must hold layout.total bytes; layout.cap must be below NONE and layout.nameCap at
// most 2^32 - 1. Reads the arrays only; large trees are checked in chunks on
// ComputePool::shared().
bool checkSavedTree(const std::byte* region, const Layout& layout, std::uint64_t count,
                    std::string_view rootPath);

}  // namespace tamrel
