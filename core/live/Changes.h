#pragma once

#include "core/live/PathSet.h"

namespace tamrel {

// What changed below a watched root, as absolute paths without a trailing "/". A path may be in
// both sets; repeated paths collapse. Held as trees of names (PathSet): a catch-up that finds
// every folder of a deep tree changed costs memory in proportion to the folders, not to the
// square of the depth.
struct Changes {
    PathSet dirs;  // folders whose own entries changed: list again, one level
    PathSet deep;  // paths whose whole subtree must be scanned again
    // Folders where a file system was mounted or unmounted (changedMounts()): each is listed
    // again in its parent, and what it holds now is entered as a scan would enter it.
    PathSet mounts = {};

    bool isEmpty() const { return dirs.empty() && deep.empty() && mounts.empty(); }
    friend bool operator==(const Changes&, const Changes&) = default;
};

}  // namespace tamrel
