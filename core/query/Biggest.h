#pragma once

#include <cstddef>
#include <vector>

#include "core/index/DiskIndex.h"

namespace tamrel {

// The largest plain files below `under` (its descendants, not itself), at most `limit`, largest
// first; files of size 0, folders, links and other nodes never count, nor anything removed or
// below a removed folder. Equal sizes keep the order in which the chunks gathered them.
// Runs in parallel chunks on the shared compute pool, holding index.lock() shared throughout.
// Thread-safe: may run beside readers and beside IndexWriter::markRemoved() on other threads.
std::vector<NodeId> biggestFiles(const DiskIndex& index, NodeId under, std::size_t limit);

}  // namespace tamrel
