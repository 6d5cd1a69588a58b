#pragma once

// Reaching a folder by its path without following links, for the movers: each component is
// opened relative to the folder before it and checked to be the entry that was looked at.
//
// Thread safety: no state; every call may come from any thread.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/SafeTree.h"
#include "platform/TrashMover.h"
#include "platform/UniqueFd.h"

namespace tamrel {

inline bool holdsNul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

// The components of `path` when it names an item a mover may take: absolute, not "/", and
// without a NUL byte, "." or "..". Nothing otherwise, with the reason in `why`.
std::optional<std::vector<std::string>> itemComponents(const std::string& path, std::string& why);

// What a failed call's errno tells the user.
TrashRefusal refusalOf(int err);

// Opens (O_PATH) the folder made of the first `count` of `parts` below "/" without following a
// link anywhere, adding each folder it passes ("/" and the last one included) to `passed`.
// Invalid, with the reason in `why`, when a component is missing, not a folder or a link.
UniqueFd openFolder(const std::vector<std::string>& parts, std::size_t count, std::string& why,
                    std::vector<TreeEntry>* passed = nullptr);

// The folder holding an item, reached from "/" by reachParent().
struct Reached {
    UniqueFd parent;                // O_PATH; invalid when it was not reached
    std::vector<std::string> path;  // its components, links resolved
    // The mount ids of the folders the walk passed once no link could be followed any more:
    // the folder the followable components lead to (the folder the item was found below), then
    // each folder below it down to `parent`.
    std::vector<std::uint64_t> mounts;
    TrashRefusal refusal = TrashRefusal::none;
    std::string why;
};

// Opens the folder made of all components of `parts` but the last, following a symbolic link
// only among the first `followable` components and only when nobody but root and `uid` could
// have put it there (it belongs to one of them, in a folder that belongs to one of them and
// that others may not write to, or that has the sticky bit); nothing is followed below them.
// A folder swapped while it is opened is refused (TrashRefusal::changed), and so is, below the
// followable components, a mount of a disk the walk has met already (a bind mount), which a
// scan never enters.
Reached reachParent(const std::vector<std::string>& parts, std::size_t followable, uid_t uid);

}  // namespace tamrel
