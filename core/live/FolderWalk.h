#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/live/PathSet.h"
#include "core/live/WatchBackend.h"

namespace tamrel {

class MountPolicy;

// What one walk found. Paths are held as trees of names: a walk that reports every folder of a
// tree thousands of levels deep holds a name per folder, not a path per folder.
struct WalkResult {
    PathSet changed;                   // folders whose own ctime, or an entry's, is >= the stamp
    std::vector<std::string> missing;  // starts that could not be opened
    // Folders that may not be the ones that were there at the stamp: their own ctime and their
    // parent's mtime are both at or after it (a folder moved or made at that name since). What
    // lies below one may carry old ctimes, so only a scan of its whole subtree is sure.
    PathSet replaced;
};

// The device of the folder at `path` (0 when it cannot be read): where the MountPolicy of walks
// below a root starts.
dev_t deviceOf(const std::string& path);

// Walks the folders below each start on `threads` threads (the caller's one among them),
// watching every folder through `backend` before reading its entries, so that a change is
// either seen by the walk or reported by the watch. A folder is reported when its own ctime or
// the ctime of any entry in it is at or after `stamp` (nanoseconds since 1970; 0 reports every
// folder); once a folder is reported its remaining entries are not looked at. With a stamp, a
// folder whose own ctime and whose parent's mtime are both at or after it is also `replaced`
// (a start is never: its parent is not looked at). A folder below a
// start that cannot be opened is reported by its own ctime alone. Folders are opened relative to
// their parent's descriptor (by path when descriptors run short), never following a symbolic
// link; mount points are entered as `mounts` says, as a scan would. A folder that cannot be
// opened for want of descriptors is handed to backend.unopened(). Stops taking folders once
// `cancel` is set. Blocks until done. Folders waiting to be walked hold their names and a link
// to their parent's, never a whole path, so memory grows with the folders, not their depth.
//
// `mounts` and `backend` must outlive the call; both are used from all the walking threads.
WalkResult walkFolders(WatchBackend& backend, const std::vector<WalkStart>& starts,
                       std::uint64_t stamp, int threads, MountPolicy& mounts,
                       const std::atomic<bool>& cancel);

}  // namespace tamrel
