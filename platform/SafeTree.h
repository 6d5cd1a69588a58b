#pragma once

// Tree operations relative to a folder descriptor, for the movers: every entry is looked at and
// opened without following a link or an automount, and every folder entered is checked to be the
// entry that was looked at, so nothing swapped in under a name redirects them. Paths are never
// resolved here; reaching a folder by its path is SafePath.h's.
//
// Thread safety: no state; each call uses only the descriptors it is given and its own.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/DirHandle.h"
#include "platform/UniqueFd.h"

namespace tamrel {

// A folder opened to be walked from or looked at, never followed as a link.
inline constexpr int pathFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// A folder opened to read its entries, never followed as a link.
inline constexpr int readDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The system's text for an errno value.
inline std::string errorText(int err) {
    return std::strerror(err);
}

// What the movers need to know of one entry, read without following a link or an automount.
struct TreeEntry {
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    nlink_t nlink = 0;
    dev_t dev = 0;
    ino_t ino = 0;
    std::uint64_t size = 0;
    std::uint64_t blocks = 0;  // of 512 bytes
    // The mount id: the kernel's unique one where it has them (Linux 6.8), else the one it may
    // give again once the mount is gone; 0 when the kernel gives none.
    std::uint64_t mount = 0;
    bool mountRoot = false;  // the root of a mount, bind mounts included
    timespec atime{};
    timespec mtime{};
    // When the inode was made, to the nanosecond; {0, 0} where the file system gives no birth
    // time (see hasBirth()). It never changes while the inode lives (writes, renames and changes
    // of owner or mode keep it), and an inode number that is freed and given to the next file
    // made (ext4 does so at once) comes with a birth time of its own.
    timespec birth{};

    bool isDir() const { return S_ISDIR(mode); }
    bool hasBirth() const { return birth.tv_sec != 0 || birth.tv_nsec != 0; }
    // The same inode: device and inode number, and the birth time when both have one, so that
    // a file made anew in a freed inode number is not taken for the one that had it.
    bool same(const TreeEntry& o) const {
        return dev == o.dev && ino == o.ino &&
               (!hasBirth() || !o.hasBirth() ||
                (birth.tv_sec == o.birth.tv_sec && birth.tv_nsec == o.birth.tv_nsec));
    }
    // On the same mount: a rename between the two can work, and a walk from one to the other
    // crosses no mount point.
    bool sameMount(const TreeEntry& o) const {
        return dev == o.dev && (mount == 0 || o.mount == 0 || mount == o.mount);
    }
};

// The entry `name` of the folder `dir` ("" for `dir` itself). False with errno on failure.
bool entryAt(int dir, const char* name, TreeEntry& e);

// The generation number of the regular file or folder `name` (not "") in `dir`, seen there as
// `e`: a number the file system draws anew for each inode it makes (ext2/3/4, xfs, f2fs), which
// tells a file made in a freed inode number from the one that had it where no birth time is
// given (ext4 with 128-byte inodes). Nothing for other kinds, when it cannot be opened (no
// rights, or another entry stands under the name now), or when the file system gives none
// (tmpfs, ramfs, overlayfs; btrfs gives the transaction's, shared by the files made in it).
// The ioctl needs an open file: it is opened for reading without following a link, without
// blocking (a fifo, a lease) and, when this process may, without touching its access time,
// and closed again before the call returns.
std::optional<std::uint32_t> generationAt(int dir, const char* name, const TreeEntry& e);

// The folder `name` of `parent` opened for reading without following a link; null on failure.
DirHandle openDir(int parent, const char* name);

// Writes all of `bytes`, again after an interruption. False with errno on failure.
bool writeAll(int fd, std::string_view bytes);

// How a walk enters a folder: it holds names (yes), or none, so that the walk need not go in
// and climb back out (empty); it could not be opened or read (failed, errno says why); another
// entry than the one looked at stands under the name (other).
enum class Entered { yes, empty, failed, other };

// Opens the folder `name` of `dir`, looked at as `seen`, for reading into `fd`, checks that it is
// that very entry and lists its names, "." and ".." left out, into `names`. The names are read
// through a duplicate of `fd`, which is closed again, so that a folder that may be read but not
// searched lists too (an empty one of mode 0400 is copied and removed like any other).
Entered enterFolder(int dir, const char* name, const TreeEntry& seen, UniqueFd& fd,
                    std::vector<std::string>& names);

// The folder above `dir`, opened for reading, when it is the folder `left` that the walk went
// down into `dir` from; invalid otherwise.
UniqueFd climbTo(int dir, const TreeEntry& left);

// Opens (making it, mode 0700, when missing) the folder `name` in `parent`, which must belong to
// `owner`; one this call made is given to owner/group through its descriptor. Invalid, with the
// reason in `why`, otherwise.
UniqueFd ownFolder(int parent, const char* name, uid_t owner, gid_t group, std::string& why);

// The real folder `name` in `parent`, opened (O_PATH) without following a link: owned by `uid`
// unless `anyOwner`; with `sticky`, it must have the sticky bit. Invalid otherwise.
UniqueFd realFolder(int parent, const char* name, uid_t uid, bool anyOwner, bool sticky);

// The folders from `fd` up to "/", each one's entry, `fd`'s own first: the place the folder
// really has, whatever path led to it. False when a folder could not be opened.
bool climb(int fd, std::vector<TreeEntry>& chain);

// The top of the mount that holds the folder `fd`: the highest folder above it (or itself)
// on the same mount, and in `up` how many levels above `fd` that is. Invalid on failure.
UniqueFd mountTop(int fd, std::size_t& up);

// The entry `item` of the folder `parent` is the root of a mounted file system (bind mounts
// included).
bool isMountPoint(int parent, const TreeEntry& item);

enum class Visit { enter, skip, stop };

// Walks the tree at `name` in `parent` depth first with a fixed number of descriptors however
// deep it is: one for the folder being walked and, briefly, one for the folder entered or
// climbed to. It climbs back through ".." and goes on only when it arrives at the very folder it
// left; every folder entered is checked to be the entry that was looked at.
//
// pre(dir, name, entry) sees each entry before anything below it: Visit::enter goes on (into a
// folder), Visit::skip leaves the entry and its tree alone, Visit::stop ends the walk.
// post(dir, name, entry, folder) sees each entry that pre let in after everything below it,
// with the descriptor of its folder and that folder's entry as the walk saw it (null for the
// top, whose folder is the caller's). Returns false when the walk stopped or a folder could not
// be opened, read or climbed back from; entries that vanish during the walk are passed over.
template <class Pre, class Post>
bool walkTree(int parent, const std::string& name, Pre&& pre, Post&& post) {
    struct Level {
        std::vector<std::string> names;
        std::size_t next = 0;
        std::string name;
        TreeEntry entry;
    };
    TreeEntry top;
    if (!entryAt(parent, name.c_str(), top)) return false;
    const Visit first = pre(parent, name, top);
    if (first != Visit::enter) return first == Visit::skip;
    if (!top.isDir()) {
        post(parent, name, top, nullptr);
        return true;
    }
    UniqueFd at;
    std::vector<Level> levels;
    levels.push_back({{}, 0, name, top});
    const Entered how = enterFolder(parent, name.c_str(), top, at, levels.back().names);
    if (how == Entered::failed || how == Entered::other) return false;
    for (;;) {
        Level& level = levels.back();
        if (level.next < level.names.size()) {
            const std::string child = level.names[level.next++];
            TreeEntry e;
            if (!entryAt(at.get(), child.c_str(), e)) {
                if (errno == ENOENT) continue;
                return false;
            }
            const Visit v = pre(at.get(), child, e);
            if (v == Visit::stop) return false;
            if (v == Visit::skip) continue;
            if (!e.isDir()) {
                post(at.get(), child, e, &level.entry);
                continue;
            }
            UniqueFd down;
            Level entered{{}, 0, child, e};
            const Entered into = enterFolder(at.get(), child.c_str(), e, down, entered.names);
            if (into == Entered::failed || into == Entered::other) return false;
            if (into == Entered::empty) {
                down.reset();
                post(at.get(), child, e, &level.entry);
                continue;
            }
            at = std::move(down);
            levels.push_back(std::move(entered));
            continue;
        }
        const Level done = std::move(levels.back());
        levels.pop_back();
        if (levels.empty()) {
            at.reset();
            post(parent, done.name, done.entry, nullptr);
            return true;
        }
        UniqueFd up = climbTo(at.get(), levels.back().entry);
        if (!up) return false;
        at = std::move(up);
        post(at.get(), done.name, done.entry, &levels.back().entry);
    }
}

// The walks of removeTree(), copyTree() and removeCopied() hold a fixed number of descriptors
// however deep the tree is, as walkTree() does: one for the folder being walked on each side
// (the original and the copy) and, briefly, those of the folder entered or climbed to and of the
// entry being copied. Each folder's names are listed when it is entered, so no folder's stream
// stays open below it; every folder entered is checked to be the entry that was looked at, and
// the walk climbs back through ".." only to the very folder it left on each side, else it stops
// there and fails (a copy with Copy::failed and "it changed while it was copied"). No path is
// ever built, so trees whose paths outgrow PATH_MAX are handled too.

// Removes a tree that a mover made itself (a copy in the Trash), without following links.
// False when anything stays.
bool removeTree(int parent, const char* name);

// untouched: nothing was made at the destination; exists: the destination name is taken;
// failed: what was made there must go again.
enum class Copy { done, exists, untouched, failed };

// What a copy between file systems takes.
struct CopyRules {
    TreeEntry top;          // the item: nothing on another mount is copied
    bool elevated = false;  // copying for another user: the stricter rules
    uid_t owner = 0;
    // Whose files may be copied: the owner's, and when elevated root's too. A copy is made
    // afresh by the one copying, so another user's file would become the owner's.
    bool mayCopy(const TreeEntry& e) const { return e.uid == owner || (elevated && e.uid == 0); }
};

// Copies a tree from one file system to another (folders, files, links), never overwriting and
// never leaving the mount of the item. Each copy gets the modification time of what it copied,
// by which removeCopied() knows it again; a folder gets its mode and times once everything in it
// is copied. `top` is true for the item itself, which must still be the one checked
// (rules.top). The reason of anything but Copy::done is in `why`. Nothing is synced here: the
// caller syncs the copy before anything of the original goes.
Copy copyTree(int srcParent, const char* srcName, int dstParent, const char* dstName,
              const CopyRules& rules, std::string& why, bool top = false);

// Removes from the original place exactly what the finished copy `dstName` in `dstParent`
// holds: an entry goes only when the copy has one of the same name that still stands for it
// (same kind, and for anything but a folder the same size and modification time), and a folder
// only when nothing else is left in it. What was made or changed there while the copy ran
// stays, with the folders that hold it. With `item`, the entry at the top must still be that
// one. Counts in `removed` each entry it removed. False when anything stays.
bool removeCopied(int srcParent, const char* srcName, int dstParent, const char* dstName,
                  std::size_t& removed, const TreeEntry* item = nullptr);

}  // namespace tamrel
