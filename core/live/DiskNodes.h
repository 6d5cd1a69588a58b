#pragma once

#include <sys/stat.h>

#include <functional>
#include <vector>

#include "core/index/DiskIndex.h"

namespace tamrel {

// Reads nodes of `index` from the disk as they are now: statx (`mask`, symbolic links and
// automounts not followed) of each node's name relative to its parent folder, opening every
// parent folder once, by path of any length. `found` is called, in no set order, for each node
// that could be read; a node whose folder or name is gone or shut is skipped. The root and ids
// past count() must not be passed.
//
// Reads `index` without its lock: the caller holds it, or holds a generation no one else has.
void statNodes(const DiskIndex& index, std::vector<NodeId> ids, unsigned mask,
               const std::function<void(NodeId, const struct statx&)>& found);

}  // namespace tamrel
