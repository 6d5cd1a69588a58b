#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/UniqueFd.h"

namespace tamrel {

// Moves items into a freedesktop.org Trash folder: each item goes to files/ under a name that
// nothing in the Trash has yet, with info/NAME.trashinfo saying where it came from and when
// (the path percent-encoded, so every byte of a name survives). Nothing in the Trash is ever
// overwritten and nothing is deleted outright. Folders are opened one component at a time
// without following links, so a link swapped into a path cannot redirect a move.
//
// Two ways in:
//  - trashItem(): every move under the user's own rights (the model's Trash, clean-up and
//    uninstall actions). Picks the Trash the freedesktop.org rules give the item; never copies.
//  - open() + move(): the privileged helper, running as root for the user `owner`. It renames
//    into the user's Trash, or copies when the Trash is on another file system, and gives what
//    it moved to the user. What it accepts is checked before anything moves (see move()).
//
// Paths are byte strings; one holding a NUL byte is refused everywhere.
// Not thread-safe: one mover object per thread. trashItem() keeps no state and may be called
// from any thread.
class TrashMover {
public:
    // Moves the item at `path` (absolute, byte-exact) into this user's Trash under this
    // process's own rights, where the freedesktop.org Trash rules put it: the home
    // Trash (homeTrashDirectory(), made with its parents when missing) when the item lies on
    // the home Trash's file system; otherwise the Trash at the top of the item's own file
    // system, $topdir/.Trash/$uid when $topdir/.Trash is a real folder with the sticky bit,
    // else $topdir/.Trash-$uid (its .trashinfo then holds the path relative to $topdir). A
    // symbolic link, dangling or not, is moved itself; links among its parent folders are
    // resolved (the .trashinfo then names the resolved place). Never copies between file
    // systems. Returns the path of the item inside the Trash (".../files/NAME"), or nothing with
    // the reason in `why`.
    static std::optional<std::string> trashItem(const std::string& path, std::string& why);

    // Opens the Trash folder `trashDir` (an absolute path; links in it are resolved once), making
    // it below an existing folder of `owner` when it is missing, and its files/ and info/ folders
    // (mode 0700, given to owner/group). Nothing, with the reason in `why`, when it cannot be
    // opened or made, or when it belongs to anybody but `owner`.
    static std::optional<TrashMover> open(const std::string& trashDir, uid_t owner, gid_t group,
                                          std::string& why);

    // Moves the item at `path` into the Trash under its own name, else "name.2", "name.3", ...,
    // writing its .trashinfo first. Returns the name in files/, or nothing with the reason in
    // `why`, in which case the item is where it was and the Trash holds nothing new.
    //
    // Always refused: a relative path, a NUL byte, "." or ".." components, a link among the
    // parent folders, a mount point, the Trash or a folder holding it, and anything in the
    // Trash (its files/ and info/ folders included).
    //
    // When the mover acts for another user than the one it runs as (the helper as root), it
    // also refuses, before anything moves, an item whose tree holds a device node, a file of a
    // user other than root and `owner`, or a mount point anywhere inside (bind mounts of the
    // same disk included). When the Trash lies on another file system the item is copied
    // (folders, files, links), refusing any file with more than one link; a copy that fails
    // for any reason is taken out of the Trash again and the original stays. After the whole
    // copy exists, exactly what was copied is removed from the original place: entries made or
    // changed meanwhile stay there (the call then fails, with the copy kept in the Trash). What
    // was moved is given to the owner (root's entries only; files with other hard links keep
    // theirs), walking with a fixed number of descriptors however deep the tree is.
    std::optional<std::string> move(const std::string& path, std::string& why);

    // The Trash folder, links resolved.
    const std::string& path() const { return path_; }

private:
    TrashMover() = default;

    std::string path_;
    // The folder the .trashinfo paths are relative to; empty for absolute paths.
    std::string top_;
    UniqueFd files_;
    UniqueFd info_;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    // Acting for another user than this process's: the stricter checks of move() apply.
    bool elevated_ = false;
    // A move to another file system may copy (the helper); trashItem() never does.
    bool mayCopy_ = true;
    // (device, inode) of the Trash folder, and of every folder above it.
    std::pair<dev_t, ino_t> trash_{};
    std::vector<std::pair<dev_t, ino_t>> chain_;
};

}  // namespace tamrel
