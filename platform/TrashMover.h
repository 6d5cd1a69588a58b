#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/UniqueFd.h"

namespace tamrel {

// Moves items into one freedesktop.org Trash folder: each item goes to files/ under a name that
// nothing in the Trash has yet, with info/NAME.trashinfo saying where it came from and when.
// Nothing in the Trash is ever overwritten. Folders are opened one component at a time without
// following links, so a link swapped into a path cannot redirect a move.
//
// Used by the privileged helper (running as root for the user `owner`) and for names that Qt
// cannot represent. Not thread-safe: one mover per thread.
class TrashMover {
public:
    // Opens the Trash folder `trashDir` (an absolute path; links in it are resolved once), making
    // it below an existing folder of `owner` when it is missing, and its files/ and info/ folders
    // (mode 0700, given to owner/group). Nothing, with the reason in `why`, when it cannot be
    // opened or made, or when it belongs to anybody but `owner`.
    static std::optional<TrashMover> open(const std::string& trashDir, uid_t owner, gid_t group,
                                          std::string& why);

    // Moves the item at `path` into the Trash under its own name, else "name.2", "name.3", ...,
    // writing its .trashinfo first. When the Trash lies on another file system the item is copied
    // (folders, files, links; never across a mount point inside it) and the original removed once
    // the whole copy exists; a failed copy is taken out of the Trash again and the original stays.
    // What was moved is then given to the owner, except files with other hard links, which keep
    // theirs. Refused: a relative path, "." or ".." components, a link among the parent folders,
    // a mount point, the Trash itself or a folder holding it. Returns the name in files/, or
    // nothing with the reason in `why`.
    std::optional<std::string> move(const std::string& path, std::string& why);

    // The Trash folder, links resolved.
    const std::string& path() const { return path_; }

private:
    TrashMover() = default;

    std::string path_;
    UniqueFd files_;
    UniqueFd info_;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    // (device, inode) of the Trash folder and of every folder above it.
    std::vector<std::pair<dev_t, ino_t>> chain_;
};

}  // namespace tamrel
