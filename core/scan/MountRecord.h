#pragma once

#include <string>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/scan/MountPolicy.h"

namespace tamrel {

// The mounts of `table` at `root` or below it, each named through `root` as an index of it names
// it (the table names folders with every symbolic link resolved); of mounts stacked at one
// point, the last. Sorted by path.
std::vector<HeldMount> mountsAt(const std::string& root, const std::vector<MountInfo>& table);

// The mounts of `table` that `index` holds (DiskIndex::mounts()): those of mountsAt() its root
// whose point is the root or a folder the index holds, entered or not. Known, sorted by path.
HeldMounts heldMounts(const DiskIndex& index, const std::vector<MountInfo>& table);

// The folders whose mounts differ between what `index` holds and `table`: a mount the index holds
// that the table no longer has at its folder (or has with another device or file system type
// there), and a mount of the table at a folder the index holds that the index does not hold; the
// outermost ones only, sorted. Nothing for an index whose mounts are not known. A refresh that
// takes them in Changes::mounts lists each again as a scan would meet it.
std::vector<std::string> changedMounts(const DiskIndex& index, const std::vector<MountInfo>& table);

}  // namespace tamrel
