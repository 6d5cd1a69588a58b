#pragma once

#include <cstdint>
#include <vector>

#include "core/index/DiskIndex.h"

namespace tamrel {

// A file node whose size, kind byte or modification time must change so that its hard links
// count once and all show what the file is now: a write or chmod through one name changes the
// file that every other name shows too, in folders that were not listed again.
struct LinkPatch {
    NodeId id;
    std::uint8_t kind;
    std::uint64_t size;
    std::uint32_t mtime;
};

// How the hard links of `index` must be counted for it to equal a fresh scan of the disk now:
// for every file with the linked flag that is not gone, its (device, inode), link count,
// allocated size, modification time and mode are read from the disk (folder by folder, paths of
// any length), and the links of one file found in the index carry its bytes at the first of them
// in id order (where a scan on one thread counts them) and 0 at the others, each with the file's
// modification time and executable flag. A file left with one link loses the linked flag.
// When a file has more links than the index holds flagged, the files the index holds without
// the flag that have its size and modification time are read too: a link made in a folder
// listed again, to a file whose folder was not, flags that file as well. A node that cannot be
// read any more is left as it is.
//
// Reads `index` without its lock (it is a new generation no one else holds yet).
std::vector<LinkPatch> linkPatches(const DiskIndex& index);

}  // namespace tamrel
