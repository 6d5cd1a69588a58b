#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/scan/MountPolicy.h"
#include "model/app/AppValues.h"

namespace tamrel {

// The mount `path` lies on: of the entries whose mount point is `path` or a folder above it,
// the last (the table lists mounts in the order they were made, and a later one covers what
// lies at or below its point); null when none holds it.
const MountInfo* mountOf(std::string_view path, const std::vector<MountInfo>& mounts);
// Whether the mount `path` lay on in `before` is gone in `after`: unmounted, or covered by
// another file system mounted at or above it, so that the path no longer shows that disk.
bool mountGone(std::string_view path, const std::vector<MountInfo>& before,
               const std::vector<MountInfo>& after);

// The volumes of mountinfo text: every mount of a local disk file system (the scanner's mount
// policy) on a folder, each block device once (its first such mount), with its statvfs
// capacities; mounts of any other type are never touched, so a dead network mount cannot block.
// Volumes without capacity are left out. Names come from the file-system labels in
// /dev/disk/by-label, else the last path component ("/": "Computer"); isInternal from /sys
// (neither removable nor on USB).
std::vector<Volume> volumesOf(std::string_view mountinfo);

// volumesOf() of this process's mount table.
std::vector<Volume> mountedVolumes();

// The process may read every folder: it holds CAP_DAC_READ_SEARCH in its effective set (as
// root does).
bool canReadEverything();

}  // namespace tamrel
