#include "platform/TrashMover.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <string_view>

#include "platform/PathText.h"
#include "platform/ProtectedPaths.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

constexpr int pathFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int readDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// The folder `name` of `parent` opened for reading without following a link; null on failure.
DirHandle openDir(int parent, const char* name) {
    UniqueFd fd(::openat(parent, name, readDirFlags));
    DirHandle dir(fd ? ::fdopendir(fd.get()) : nullptr);
    if (dir) fd.release();
    return dir;
}

std::string errorText(int err) {
    return std::strerror(err);
}

bool holdsNul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

// What the mover needs to know of one entry, read without following a link or an automount.
struct Entry {
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    nlink_t nlink = 0;
    dev_t dev = 0;
    ino_t ino = 0;
    std::uint64_t size = 0;
    std::uint64_t blocks = 0;  // of 512 bytes
    std::uint64_t mount = 0;   // the mount id; 0 when the kernel gives none
    bool mountRoot = false;   // the root of a mount, bind mounts included
    timespec atime{};
    timespec mtime{};

    bool isDir() const { return S_ISDIR(mode); }
    bool same(const Entry& o) const { return dev == o.dev && ino == o.ino; }
    // On the same mount: a rename between the two can work, and a walk from one to the other
    // crosses no mount point.
    bool sameMount(const Entry& o) const {
        return dev == o.dev && (mount == 0 || o.mount == 0 || mount == o.mount);
    }
};

// The entry `name` of `dir` ("" for `dir` itself). False with errno on failure.
bool entryAt(int dir, const char* name, Entry& e) {
    struct statx sx {};
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (*name ? 0 : AT_EMPTY_PATH);
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_NLINK |
                          STATX_INO | STATX_SIZE | STATX_BLOCKS | STATX_ATIME | STATX_MTIME |
                          STATX_MNT_ID;
    if (::statx(dir, name, flags, mask, &sx) != 0) return false;
    e.mode = sx.stx_mode;
    e.uid = sx.stx_uid;
    e.gid = sx.stx_gid;
    e.nlink = sx.stx_nlink;
    e.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    e.ino = sx.stx_ino;
    e.size = sx.stx_size;
    e.blocks = sx.stx_blocks;
    e.mount = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
    e.mountRoot = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
                  (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    e.atime = {sx.stx_atime.tv_sec, static_cast<long>(sx.stx_atime.tv_nsec)};
    e.mtime = {sx.stx_mtime.tv_sec, static_cast<long>(sx.stx_mtime.tv_nsec)};
    return true;
}

// Opens the folder made of the first `count` components below "/" without following links,
// adding each folder it passes (the last one included) to `passed`.
UniqueFd openFolder(const std::vector<std::string>& parts, std::size_t count, std::string& why,
                    std::vector<Entry>* passed = nullptr) {
    UniqueFd at(::open("/", pathFlags));
    Entry e;
    for (std::size_t i = 0;; ++i) {
        if (!at) {
            why = errorText(errno);
            return {};
        }
        if (passed && entryAt(at.get(), "", e)) passed->push_back(e);
        if (i == count) return at;
        UniqueFd next(::openat(at.get(), parts[i].c_str(), pathFlags));
        if (!next) {
            const int err = errno;
            struct stat st {};
            if (::fstatat(at.get(), parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode)) {
                why = "a symbolic link among its parent folders";
            } else {
                why = errorText(err);
            }
            return {};
        }
        at = std::move(next);
    }
}

// Opens (making it when missing) the folder `name` in `parent`, which must belong to `owner`.
UniqueFd ownFolder(int parent, const char* name, uid_t owner, gid_t group, std::string& why) {
    const bool made = ::mkdirat(parent, name, 0700) == 0;
    if (!made && errno != EEXIST) {
        why = errorText(errno);
        return {};
    }
    UniqueFd fd(::openat(parent, name, pathFlags));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        why = errorText(errno);
        return {};
    }
    // Through the descriptor: a file swapped in under the name meanwhile is never given away.
    if (made && st.st_uid != owner &&
        ::fchownat(fd.get(), "", owner, group, AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW) == 0) {
        st.st_uid = owner;
    }
    if (st.st_uid != owner) {
        why = "the Trash belongs to another user";
        return {};
    }
    return fd;
}

std::string trashInfo(const std::string& path) {
    char date[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + percentEncoded(path) + "\nDeletionDate=" + date + "\n";
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The names in the open folder `dir`, "." and ".." left out. False when it cannot be read.
bool listNames(int dir, std::vector<std::string>& names) {
    // A description of its own, so that reading it moves no offset of `dir`.
    DirHandle list = openDir(dir, ".");
    if (!list) return false;
    errno = 0;
    while (const dirent* e = ::readdir(list.get())) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        names.emplace_back(e->d_name);
    }
    return errno == 0;
}

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
// top, whose folder is the caller's). Returns false when the walk stopped or a folder could not be opened,
// read or climbed back from; entries that vanish during the walk are passed over.
template <class Pre, class Post>
bool walkTree(int parent, const std::string& name, Pre&& pre, Post&& post) {
    struct Level {
        std::vector<std::string> names;
        std::size_t next = 0;
        std::string name;
        Entry entry;
    };
    Entry top;
    if (!entryAt(parent, name.c_str(), top)) return false;
    const Visit first = pre(parent, name, top);
    if (first != Visit::enter) return first == Visit::skip;
    if (!top.isDir()) {
        post(parent, name, top, nullptr);
        return true;
    }
    Entry opened;
    UniqueFd at(::openat(parent, name.c_str(), readDirFlags));
    if (!at || !entryAt(at.get(), "", opened) || !opened.same(top)) return false;
    std::vector<Level> levels;
    levels.push_back({{}, 0, name, top});
    if (!listNames(at.get(), levels.back().names)) return false;
    for (;;) {
        Level& level = levels.back();
        if (level.next < level.names.size()) {
            const std::string child = level.names[level.next++];
            Entry e;
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
            UniqueFd down(::openat(at.get(), child.c_str(), readDirFlags));
            if (!down || !entryAt(down.get(), "", opened) || !opened.same(e)) return false;
            Level entered{{}, 0, child, e};
            if (!listNames(down.get(), entered.names)) return false;
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
        UniqueFd up(::openat(at.get(), "..", readDirFlags));
        if (!up || !entryAt(up.get(), "", opened) || !opened.same(levels.back().entry)) {
            return false;
        }
        at = std::move(up);
        post(at.get(), done.name, done.entry, &levels.back().entry);
    }
}

// Gives the entry `name` of `dir`, seen as `e`, to owner/group: only root's entries and the
// owner's own (never another user's file), never a device node, and never a file with other
// hard links (the same inode may be visible elsewhere). In a folder of root's that nobody else
// may write to (`folder`), nobody can have swapped another entry in under the name since it was
// seen: it is changed by name. Anywhere else it is changed through a descriptor of the entry
// checked to be `e`, so an entry swapped in is never the one changed.
void giveEntry(int dir, const std::string& name, const Entry& e, const Entry* folder,
               uid_t owner, gid_t group) {
    if (e.uid != 0 && e.uid != owner) return;
    if (e.uid == owner && e.gid == group) return;
    if (S_ISCHR(e.mode) || S_ISBLK(e.mode)) return;
    if (!e.isDir() && !S_ISLNK(e.mode) && e.nlink > 1) return;
    if (folder && folder->uid == 0 && !(folder->mode & (S_IWGRP | S_IWOTH))) {
        ::fchownat(dir, name.c_str(), owner, group, AT_SYMLINK_NOFOLLOW);
        return;
    }
    UniqueFd fd(::openat(dir, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    Entry now;
    if (!fd || !entryAt(fd.get(), "", now) || !now.same(e)) return;
    ::fchownat(fd.get(), "", owner, group, AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW);
}

// Gives the entry `name` of files/ and everything below it on the Trash's own mount to
// owner/group, deepest entries first, so that nobody else can change a folder's entries before
// its own turn comes.
void giveMoved(int files, const std::string& name, uid_t owner, gid_t group) {
    Entry trash;
    if (!entryAt(files, "", trash)) return;
    walkTree(
        files, name,
        [&](int, const std::string&, const Entry& e) {
            return e.sameMount(trash) && !(e.isDir() && e.mountRoot) ? Visit::enter
                                                                     : Visit::skip;
        },
        [&](int dir, const std::string& entry, const Entry& e, const Entry* folder) {
            giveEntry(dir, entry, e, folder, owner, group);
        });
}

// Why the tree at `name` in `parent` (its top seen as `top`) may not be handed to `owner` by a
// mover running with other rights: a device node, an entry of a user other than root and
// `owner`, or a mount point anywhere below the top. Nothing when it may.
std::optional<std::string> treeRefusal(int parent, const std::string& name, const Entry& top,
                                       uid_t owner) {
    std::string why;
    const bool whole = walkTree(
        parent, name,
        [&](int, const std::string&, const Entry& e) {
            if (S_ISCHR(e.mode) || S_ISBLK(e.mode)) {
                why = "it holds a device node";
            } else if (e.uid != 0 && e.uid != owner) {
                why = "it holds files of another user";
            } else if (!e.sameMount(top) || (e.isDir() && e.mountRoot && !e.same(top))) {
                why = "it holds a mount point";
            } else {
                return Visit::enter;
            }
            return Visit::stop;
        },
        [](int, const std::string&, const Entry&, const Entry*) {});
    if (whole) return std::nullopt;
    if (why.empty()) why = "it could not be read whole: " + errorText(errno);
    return why;
}

// Removes a tree that this mover made in the Trash, without following links. False when
// anything stays.
bool removeTree(int parent, const char* name) {
    struct stat st {};
    if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) return ::unlinkat(parent, name, 0) == 0;
    DirHandle dir = openDir(parent, name);
    if (!dir) return false;
    bool all = true;
    while (const dirent* e = ::readdir(dir.get())) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        all = removeTree(::dirfd(dir.get()), e->d_name) && all;
    }
    dir.reset();
    return all && ::unlinkat(parent, name, AT_REMOVEDIR) == 0;
}

bool copyData(int from, int to) {
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (n == 0) return true;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            return false;
        }
        break;
    }
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(from, buf, sizeof buf);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (!writeAll(to, {buf, static_cast<std::size_t>(n)})) return false;
    }
}

// untouched: nothing was made at the destination; failed: what was made there must go again.
enum class Copy { done, exists, untouched, failed };

// What a copy between file systems takes.
struct CopyRules {
    Entry top;               // the item: nothing on another mount is copied
    bool elevated = false;   // copying for another user: the stricter rules
    uid_t owner = 0;
    // Whose files may be copied: the owner's, and when elevated root's too. A copy is made
    // afresh by the one copying, so another user's file would become the owner's.
    bool mayCopy(const Entry& e) const { return e.uid == owner || (elevated && e.uid == 0); }
};

// Copies a tree from one file system to another, never overwriting and never leaving the mount
// of the item. Each copy gets the modification time of what it copied, by which
// removeCopied() knows it again. `top` is true for the item itself, which must still be the
// one checked (rules.top).
Copy copyTree(int srcParent, const char* srcName, int dstParent, const char* dstName,
              const CopyRules& rules, std::string& why, bool top = false) {
    Entry e;
    if (!entryAt(srcParent, srcName, e)) {
        why = errorText(errno);
        return Copy::untouched;
    }
    if (top && !e.same(rules.top)) {
        why = "it changed before it was copied";
        return Copy::untouched;
    }
    if (!e.sameMount(rules.top) || (e.isDir() && e.mountRoot && !e.same(rules.top))) {
        why = "it holds a mount point";
        return Copy::untouched;
    }
    if (!rules.mayCopy(e)) {
        why = "it holds files of another user";
        return Copy::untouched;
    }
    const timespec times[2] = {e.atime, e.mtime};
    const mode_t mode = e.mode & 0777;
    if (S_ISDIR(e.mode)) {
        if (::mkdirat(dstParent, dstName, 0700) != 0) {
            why = errorText(errno);
            return errno == EEXIST ? Copy::exists : Copy::untouched;
        }
        DirHandle dir = openDir(srcParent, srcName);
        UniqueFd dst(::openat(dstParent, dstName, readDirFlags));
        if (!dir || !dst) {
            why = errorText(errno);
            return Copy::failed;
        }
        Entry opened;
        if (!entryAt(::dirfd(dir.get()), "", opened) || !opened.same(e)) {
            why = "it changed while it was copied";
            return Copy::failed;
        }
        while (const dirent* c = ::readdir(dir.get())) {
            if (std::strcmp(c->d_name, ".") == 0 || std::strcmp(c->d_name, "..") == 0) continue;
            if (copyTree(::dirfd(dir.get()), c->d_name, dst.get(), c->d_name, rules, why) !=
                Copy::done) {
                return Copy::failed;
            }
        }
        ::fchmod(dst.get(), mode);
        ::futimens(dst.get(), times);
        return Copy::done;
    }
    if (S_ISREG(e.mode)) {
        // Non-blocking, so that a pipe swapped in under the name cannot hang the open.
        UniqueFd src(::openat(srcParent, srcName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        Entry opened;
        if (!src || !entryAt(src.get(), "", opened) || !S_ISREG(opened.mode) || !opened.same(e)) {
            why = src ? "it changed while it was copied" : errorText(errno);
            return Copy::untouched;
        }
        // Another name of the same file may be one the owner must not read (a link to a file
        // only root may read): such a file is never copied out and given away.
        if (rules.elevated && opened.nlink > 1) {
            why = "it holds a file with other hard links";
            return Copy::untouched;
        }
        UniqueFd dst(::openat(dstParent, dstName,
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!dst) {
            why = errorText(errno);
            return errno == EEXIST ? Copy::exists : Copy::untouched;
        }
        if (!copyData(src.get(), dst.get())) {
            why = errorText(errno);
            return Copy::failed;
        }
        ::fchmod(dst.get(), mode);
        if (::futimens(dst.get(), times) != 0) {
            why = errorText(errno);
            return Copy::failed;
        }
        return Copy::done;
    }
    if (S_ISLNK(e.mode)) {
        std::string target(e.size > 0 ? e.size : PATH_MAX, '\0');
        const ssize_t n = ::readlinkat(srcParent, srcName, target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) > target.size()) {
            why = errorText(errno);
            return Copy::untouched;
        }
        target.resize(static_cast<std::size_t>(n));
        if (::symlinkat(target.c_str(), dstParent, dstName) != 0) {
            why = errorText(errno);
            return errno == EEXIST ? Copy::exists : Copy::untouched;
        }
        ::utimensat(dstParent, dstName, times, AT_SYMLINK_NOFOLLOW);
        return Copy::done;
    }
    why = "a special file cannot be copied to another disk";
    return Copy::untouched;
}

// The copy `dst` still stands for what is at `src`: same kind, and for anything but a folder
// the same size and modification time (a copy on a file system without nanoseconds matches on
// the seconds).
bool stillCopied(const Entry& src, const Entry& dst) {
    if ((src.mode & S_IFMT) != (dst.mode & S_IFMT)) return false;
    if (src.isDir()) return true;
    return src.size == dst.size && src.mtime.tv_sec == dst.mtime.tv_sec &&
           (src.mtime.tv_nsec == dst.mtime.tv_nsec || dst.mtime.tv_nsec == 0);
}

// Removes from the original place exactly what the finished copy `dstName` in `dstParent`
// holds: an entry goes only when the copy has one of the same name that still stands for it,
// and a folder only when nothing else is left in it. What was made or changed there while the
// copy ran stays, with the folders that hold it. With `item`, the entry at the top must still be
// that one. False when anything stays.
bool removeCopied(int srcParent, const char* srcName, int dstParent, const char* dstName,
                  const Entry* item = nullptr) {
    Entry src, dst;
    if (!entryAt(srcParent, srcName, src)) return errno == ENOENT;
    if (item && !src.same(*item)) return false;
    if (!entryAt(dstParent, dstName, dst) || !stillCopied(src, dst)) return false;
    if (!src.isDir()) return ::unlinkat(srcParent, srcName, 0) == 0;
    DirHandle from = openDir(srcParent, srcName);
    UniqueFd copy(::openat(dstParent, dstName, readDirFlags));
    if (!from || !copy) return false;
    bool all = true;
    while (const dirent* c = ::readdir(from.get())) {
        if (std::strcmp(c->d_name, ".") == 0 || std::strcmp(c->d_name, "..") == 0) continue;
        all = removeCopied(::dirfd(from.get()), c->d_name, copy.get(), c->d_name) && all;
    }
    from.reset();
    return all && ::unlinkat(srcParent, srcName, AT_REMOVEDIR) == 0;
}

// The entry `name` of `parent` is the root of a mounted file system (bind mounts included).
bool isMountPoint(int parent, const Entry& item) {
    Entry above;
    return item.mountRoot || (entryAt(parent, "", above) && !above.sameMount(item));
}

// `base`, shortened so that "base.N.trashinfo" fits in one file name.
std::string candidate(const std::string& base, int n) {
    const std::string suffix = n == 1 ? std::string() : "." + std::to_string(n);
    constexpr std::size_t room = NAME_MAX - sizeof(".trashinfo") + 1;
    return base.substr(0, room - suffix.size()) + suffix;
}

// The components of `path` when it names an item the mover may take: absolute, not "/", and
// without a NUL byte, "." or "..". Nothing otherwise, with the reason in `why`.
std::optional<std::vector<std::string>> itemComponents(const std::string& path,
                                                       std::string& why) {
    if (holdsNul(path)) {
        why = "the path holds a NUL byte";
        return std::nullopt;
    }
    if (!path.starts_with('/')) {
        why = "not an absolute path";
        return std::nullopt;
    }
    auto parts = pathComponents(path);
    if (parts.empty()) {
        why = "the root folder cannot be moved";
        return std::nullopt;
    }
    if (hasDotComponent(parts)) {
        why = "the path holds \".\" or \"..\"";
        return std::nullopt;
    }
    return parts;
}

// What a failed call's errno tells the user.
TrashRefusal refusalOf(int err) {
    switch (err) {
        case ENOENT:
            return TrashRefusal::gone;
        case EACCES:
        case EPERM:
            return TrashRefusal::permission;
        case ELOOP:
            return TrashRefusal::link;
        case ENOTDIR:
            return TrashRefusal::changed;
        default:
            return TrashRefusal::failed;
    }
}

// Seconds as an index stores modification times.
std::uint32_t storedSeconds(std::int64_t seconds) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(seconds, 0, 0xFFFFFFFFll));
}

ExpectedItem::Type typeOf(mode_t mode) {
    if (S_ISREG(mode)) return ExpectedItem::Type::file;
    if (S_ISDIR(mode)) return ExpectedItem::Type::folder;
    if (S_ISLNK(mode)) return ExpectedItem::Type::link;
    return ExpectedItem::Type::other;
}

const char* typeName(ExpectedItem::Type type) {
    switch (type) {
        case ExpectedItem::Type::file:
            return "a file";
        case ExpectedItem::Type::folder:
            return "a folder";
        case ExpectedItem::Type::link:
            return "a symbolic link";
        case ExpectedItem::Type::other:
            break;
    }
    return "a special file";
}

// What differs between the entry found and the one expected; nothing when they match.
std::optional<std::string> difference(const Entry& e, const ExpectedItem& expected) {
    const ExpectedItem::Type type = typeOf(e.mode);
    if (type != expected.type) {
        return std::string("it is ") + typeName(type) + " now, not " + typeName(expected.type);
    }
    if (expected.file && (expected.file->first != e.dev || expected.file->second != e.ino)) {
        return "another file stands under its name";
    }
    if (expected.allocated && *expected.allocated != e.blocks * 512) return "its size changed";
    if (expected.mtime && *expected.mtime != storedSeconds(e.mtime.tv_sec)) {
        return "it was modified";
    }
    return std::nullopt;
}

// A link that nobody but root and `uid` could have put where it is: it belongs to one of them,
// in a folder that belongs to one of them and that nobody else may write to, or that has the
// sticky bit (where only the link's owner may replace it).
bool trustedLink(const Entry& folder, const Entry& link, uid_t uid) {
    const auto ours = [uid](uid_t owner) { return owner == 0 || owner == uid; };
    const bool closed = (folder.mode & (S_IWGRP | S_IWOTH)) == 0 || (folder.mode & S_ISVTX);
    return ours(link.uid) && ours(folder.uid) && closed;
}

// The folder holding an item, reached from "/" (see TrashMover::trashItem()).
struct Reached {
    UniqueFd parent;                // O_PATH; invalid when it was not reached
    std::vector<std::string> path;  // its components, links resolved
    TrashRefusal refusal = TrashRefusal::none;
    std::string why;
};

// Opens the folder made of all components of `parts` but the last, following a symbolic link
// only among the first `followable` components and only when it is trusted; nothing is followed
// below them.
Reached reachParent(const std::vector<std::string>& parts, std::size_t followable, uid_t uid) {
    constexpr int maxLinks = 40;  // as the kernel's own resolution allows
    Reached out;
    const auto fail = [&out](TrashRefusal refusal, std::string why) {
        out.parent.reset();
        out.refusal = refusal;
        out.why = std::move(why);
        return std::move(out);
    };
    std::deque<std::string> todo(parts.begin(), parts.end() - 1);
    std::size_t mayLink = std::min(followable, todo.size());  // how many at the front may be links
    UniqueFd at(::open("/", pathFlags));
    Entry here;
    if (!at || !entryAt(at.get(), "", here)) return fail(refusalOf(errno), errorText(errno));
    int links = 0;
    while (!todo.empty()) {
        const std::string part = std::move(todo.front());
        todo.pop_front();
        const bool mayFollow = mayLink > 0;
        if (mayLink > 0) --mayLink;
        // "." and ".." come only from the targets of links.
        if (part == ".") continue;
        if (part == "..") {
            UniqueFd up(::openat(at.get(), "..", pathFlags));
            if (!up || !entryAt(up.get(), "", here)) {
                return fail(refusalOf(errno), errorText(errno));
            }
            at = std::move(up);
            if (!out.path.empty()) out.path.pop_back();
            continue;
        }
        Entry e;
        if (!entryAt(at.get(), part.c_str(), e)) return fail(refusalOf(errno), errorText(errno));
        if (S_ISLNK(e.mode)) {
            if (!mayFollow || !trustedLink(here, e, uid) || ++links > maxLinks) {
                return fail(TrashRefusal::link, "a symbolic link among its parent folders");
            }
            std::string target(PATH_MAX, '\0');
            const ssize_t n = ::readlinkat(at.get(), part.c_str(), target.data(), target.size());
            if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
                return fail(TrashRefusal::changed, "a symbolic link among its parent folders");
            }
            target.resize(static_cast<std::size_t>(n));
            if (target.find('\0') != std::string::npos) {
                return fail(TrashRefusal::failed, "a link target holds a NUL byte");
            }
            if (target.starts_with('/')) {
                at.reset(::open("/", pathFlags));
                if (!at || !entryAt(at.get(), "", here)) {
                    return fail(refusalOf(errno), errorText(errno));
                }
                out.path.clear();
            }
            const auto more = pathComponents(target);
            todo.insert(todo.begin(), more.begin(), more.end());
            mayLink += more.size();
            continue;
        }
        if (!e.isDir()) return fail(TrashRefusal::changed, "a file stands among its folders");
        UniqueFd next(::openat(at.get(), part.c_str(), pathFlags));
        Entry opened;
        if (!next || !entryAt(next.get(), "", opened) || !opened.same(e)) {
            return fail(next ? TrashRefusal::changed : refusalOf(errno),
                        next ? "its folders changed while they were opened" : errorText(errno));
        }
        at = std::move(next);
        here = opened;
        out.path.push_back(part);
    }
    out.parent = std::move(at);
    return out;
}

// The folders from `fd` up to "/", each one's entry, `fd`'s own first: the place the folder
// really has, whatever path led to it. False when a folder could not be opened.
bool climb(int fd, std::vector<Entry>& chain) {
    UniqueFd at(::openat(fd, ".", pathFlags));
    for (std::size_t depth = 0; at && depth < PATH_MAX; ++depth) {
        Entry e;
        if (!entryAt(at.get(), "", e)) return false;
        chain.push_back(e);
        UniqueFd up(::openat(at.get(), "..", pathFlags));
        Entry above;
        if (!up || !entryAt(up.get(), "", above)) return false;
        if (above.same(e)) return true;
        at = std::move(up);
    }
    return false;
}

// The top of the mount that holds the folder `fd`: the highest folder above it (or itself)
// on the same mount, and in `up` how many levels above `fd` that is.
UniqueFd mountTop(int fd, std::size_t& up) {
    up = 0;
    UniqueFd at(::openat(fd, ".", pathFlags));
    Entry here;
    if (!at || !entryAt(at.get(), "", here)) return {};
    while (!here.mountRoot) {
        UniqueFd parent(::openat(at.get(), "..", pathFlags));
        Entry above;
        if (!parent || !entryAt(parent.get(), "", above)) return {};
        if (above.same(here) || !above.sameMount(here)) break;
        at = std::move(parent);
        here = above;
        ++up;
    }
    return at;
}

// The real folder `name` in `parent`, opened without following a link: owned by `uid` unless
// `anyOwner`; with `sticky`, it must have the sticky bit.
UniqueFd realFolder(int parent, const char* name, uid_t uid, bool anyOwner, bool sticky) {
    Entry seen, opened;
    if (!entryAt(parent, name, seen) || !seen.isDir()) return {};
    UniqueFd fd(::openat(parent, name, pathFlags));
    if (!fd || !entryAt(fd.get(), "", opened) || !opened.same(seen)) return {};
    if (!anyOwner && opened.uid != uid) return {};
    if (sticky && !(opened.mode & S_ISVTX)) return {};
    return fd;
}

// A home folder and the place its links lead to: the two texts a path below it may begin with.
std::vector<std::string> homeNames(const std::string& home) {
    std::vector<std::string> names;
    if (home.empty()) return names;
    names.push_back(home);
    using CString = std::unique_ptr<char, decltype(&std::free)>;
    if (CString real(::realpath(home.c_str(), nullptr), &std::free); real && home != real.get()) {
        names.emplace_back(real.get());
    }
    return names;
}

// The hook of TrashMover::setBeforeMove().
std::function<void(const std::string&)>& beforeMove() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

}  // namespace

// An item checked and ready to be moved.
struct TrashMover::Found {
    int parent = -1;           // the folder holding it (not owned)
    std::string name;          // its name in that folder
    Entry entry;               // as it was checked
    std::vector<Entry> above;  // the folders above it, its own folder included
    std::string place;         // its absolute path, as the .trashinfo records it
};

void TrashMover::setBeforeMove(std::function<void(const std::string&)> hook) {
    beforeMove() = std::move(hook);
}

bool TrashMover::isProtectedPlace(std::string_view path) {
    // Only absolute paths name one place; anything else is never handed to a mover.
    if (!path.starts_with('/')) return true;
    const std::string home = homeDirectory();
    if (isProtectedPath(path, home)) return true;
    for (const std::string& name : homeNames(home)) {
        if (isProtectedPath(path, name)) return true;
    }
    if (isSystemFolder(path)) {
        // This user's own home is the home wherever it lies: root's /root among the system's
        // folders, a service account's below /var.
        const std::optional<UserEntry> user = userEntry(::geteuid());
        bool own = false;
        for (const std::string& home : homeNames(user ? user->home : std::string())) {
            own = own || (home != "/" && home.starts_with('/') && isAtOrBelow(path, home) &&
                          path.size() > home.size());
        }
        if (!own) return true;
    }
    // The Trash, what lies in it and the folders that hold it; this application's own data.
    // Without a home folder neither is known, and nothing is moved.
    for (const std::string& trash : homeNames(homeTrashDirectory())) {
        if (isAtOrBelow(path, trash) || isAtOrBelow(trash, path)) return true;
    }
    const std::string data = appDataDirectory();
    if (data.empty()) return true;
    for (const std::string& own : homeNames(data)) {
        if (isAtOrBelow(path, own)) return true;
    }
    return false;
}

std::optional<TrashMover> TrashMover::open(const std::string& trashDir, uid_t owner, gid_t group,
                                           std::string& why) {
    if (holdsNul(trashDir)) {
        why = "the Trash path holds a NUL byte";
        return std::nullopt;
    }
    const auto given = pathComponents(trashDir);
    if (!trashDir.starts_with('/') || given.empty()) {
        why = "the Trash path is not absolute";
        return std::nullopt;
    }
    if (hasDotComponent(given)) {
        why = "the Trash path holds \".\" or \"..\"";
        return std::nullopt;
    }
    // Links in the path are resolved once here; from then on nothing is followed.
    using CString = std::unique_ptr<char, decltype(&std::free)>;
    std::vector<std::string> parts;
    if (CString full(::realpath(trashDir.c_str(), nullptr), &std::free); full) {
        parts = pathComponents(full.get());
    } else {
        const std::string parentText = absolutePath(std::span(given).first(given.size() - 1));
        CString parent(::realpath(parentText.c_str(), nullptr), &std::free);
        if (!parent) {
            why = "no folder for the Trash: " + errorText(errno);
            return std::nullopt;
        }
        parts = pathComponents(parent.get());
        parts.push_back(given.back());
    }
    if (parts.empty()) {
        why = "the Trash cannot be the root folder";
        return std::nullopt;
    }
    UniqueFd parent = openFolder(parts, parts.size() - 1, why);
    if (!parent) return std::nullopt;
    const std::string& base = parts.back();
    struct stat st {};
    if (::fstatat(parent.get(), base.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 &&
        (::fstat(parent.get(), &st) != 0 || st.st_uid != owner)) {
        why = "no Trash folder, and the folder for it belongs to another user";
        return std::nullopt;
    }
    UniqueFd trash = ownFolder(parent.get(), base.c_str(), owner, group, why);
    if (!trash) return std::nullopt;
    return inFolder(std::move(trash), absolutePath(parts), owner, group, why);
}

std::optional<TrashMover> TrashMover::inFolder(UniqueFd trash, std::string path, uid_t owner,
                                               gid_t group, std::string& why) {
    TrashMover m;
    m.owner_ = owner;
    m.group_ = group;
    m.elevated_ = ::geteuid() != owner;
    std::vector<Entry> chain;
    if (!climb(trash.get(), chain)) {
        why = "cannot find where the Trash lies: " + errorText(errno);
        return std::nullopt;
    }
    m.trash_ = {chain.front().dev, chain.front().ino};
    for (const Entry& folder : chain)
        m.chain_.emplace_back(folder.dev, folder.ino);
    m.files_ = ownFolder(trash.get(), "files", owner, group, why);
    if (!m.files_) return std::nullopt;
    m.info_ = ownFolder(trash.get(), "info", owner, group, why);
    if (!m.info_) return std::nullopt;
    m.path_ = std::move(path);
    return m;
}

std::optional<TrashMover> TrashMover::diskTrash(int top, const std::string& topPath, uid_t uid,
                                                gid_t gid, std::string& why) {
    const std::string id = std::to_string(uid);
    // $topdir/.Trash/$uid: only in a real .Trash folder with the sticky bit, and only when the
    // user's folder in it is a real folder of theirs.
    if (UniqueFd shared = realFolder(top, ".Trash", uid, true, true)) {
        ::mkdirat(shared.get(), id.c_str(), 0700);
        if (UniqueFd mine = realFolder(shared.get(), id.c_str(), uid, false, false)) {
            if (auto m = inFolder(std::move(mine), joinPath(joinPath(topPath, ".Trash"), id), uid,
                                  gid, why)) {
                return m;
            }
        }
    }
    // Else $topdir/.Trash-$uid, made by this user or refused.
    const std::string own = ".Trash-" + id;
    ::mkdirat(top, own.c_str(), 0700);
    UniqueFd mine = realFolder(top, own.c_str(), uid, false, false);
    if (!mine) {
        why = "no Trash of this user's on its disk";
        return std::nullopt;
    }
    return inFolder(std::move(mine), joinPath(topPath, own), uid, gid, why);
}

TrashResult TrashMover::trashItem(const std::string& given, const ExpectedItem* expected) {
    TrashResult out;
    const auto fail = [&out](TrashRefusal refusal, std::string why) {
        out.refusal = refusal;
        out.why = std::move(why);
        return out;
    };
    const auto parts = itemComponents(given, out.why);
    if (!parts) return fail(TrashRefusal::failed, out.why);
    // Links may stand only among the components of the folder the item was found below.
    std::size_t followable = parts->size() - 1;
    if (expected && !expected->root.empty()) {
        const auto root = pathComponents(expected->root);
        if (root.size() >= parts->size() || !std::equal(root.begin(), root.end(), parts->begin())) {
            return fail(TrashRefusal::failed, "it is not below the folder it was found in");
        }
        followable = root.size();
    }
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    Reached at = reachParent(*parts, followable, uid);
    if (!at.parent) return fail(at.refusal, at.why);
    const std::string& name = parts->back();
    at.path.push_back(name);
    const std::string place = absolutePath(at.path);
    at.path.pop_back();
    if (isProtectedPlace(place)) {
        return fail(TrashRefusal::protectedPlace, "\"" + place + "\" is never moved");
    }
    Entry item;
    if (!entryAt(at.parent.get(), name.c_str(), item)) {
        return fail(refusalOf(errno), errorText(errno));
    }
    if (expected) {
        if (auto differs = difference(item, *expected)) {
            return fail(TrashRefusal::changed, *differs);
        }
    }
    if (item.uid != uid) {
        return fail(TrashRefusal::otherUser, "it belongs to user " + std::to_string(item.uid));
    }
    // A mounted file system cannot be renamed, nor does a copy of it belong in the Trash.
    if (isMountPoint(at.parent.get(), item)) return fail(TrashRefusal::failed, "a mount point");
    Found found{at.parent.get(), name, item, {}, place};
    if (!climb(at.parent.get(), found.above)) return fail(refusalOf(errno), errorText(errno));

    const std::string homeDir = makeHomeTrash();
    if (homeDir.empty()) {
        return fail(TrashRefusal::noTrash, "no home Trash at \"" + homeTrashDirectory() + "\"");
    }
    std::string why;
    std::optional<TrashMover> home = open(homeDir, uid, gid, why);
    if (!home) return fail(TrashRefusal::noTrash, why);
    const auto takes = [&item](const TrashMover& m) {
        Entry files;
        return entryAt(m.files_.get(), "", files) && files.sameMount(item);
    };
    std::optional<TrashMover> mover;
    if (takes(*home)) {
        mover = std::move(home);
        mover->mayCopy_ = false;
    } else {
        std::size_t up = 0;
        const UniqueFd top = mountTop(at.parent.get(), up);
        if (top && up <= at.path.size()) {
            const std::string topPath = absolutePath(std::span(at.path).first(at.path.size() - up));
            mover = diskTrash(top.get(), topPath, uid, gid, why);
            if (mover && !takes(*mover)) mover.reset();
            if (mover) {
                mover->top_ = topPath;
                mover->mayCopy_ = false;
            }
        }
        // The disk has no Trash for this user: a copy into the home Trash, with the user's own
        // rights.
        if (!mover) mover = std::move(home);
    }
    const auto moved = mover->moveFound(found, out.why, out.refusal);
    if (!moved) {
        if (out.refusal == TrashRefusal::none) out.refusal = TrashRefusal::failed;
        return out;
    }
    out.where = mover->path_ + "/files/" + *moved;
    return out;
}

std::optional<std::string> TrashMover::trashItem(const std::string& path, std::string& why) {
    TrashResult result = trashItem(path, nullptr);
    why = std::move(result.why);
    return std::move(result.where);
}

TrashResult TrashMover::checkItem(const std::string& given, const ExpectedItem& expected) {
    TrashResult out;
    const auto parts = itemComponents(given, out.why);
    if (!parts) {
        out.refusal = TrashRefusal::failed;
        return out;
    }
    std::size_t followable = parts->size() - 1;
    if (!expected.root.empty()) {
        const auto root = pathComponents(expected.root);
        if (root.size() >= parts->size() || !std::equal(root.begin(), root.end(), parts->begin())) {
            out.refusal = TrashRefusal::failed;
            out.why = "it is not below the folder it was found in";
            return out;
        }
        followable = root.size();
    }
    const Reached at = reachParent(*parts, followable, ::geteuid());
    if (!at.parent) {
        out.refusal = at.refusal;
        out.why = at.why;
        return out;
    }
    Entry item;
    if (!entryAt(at.parent.get(), parts->back().c_str(), item)) {
        out.refusal = refusalOf(errno);
        out.why = errorText(errno);
    } else if (auto differs = difference(item, expected)) {
        out.refusal = TrashRefusal::changed;
        out.why = *differs;
    }
    return out;
}

std::optional<std::string> TrashMover::move(const std::string& path, std::string& why) {
    const auto found = itemComponents(path, why);
    if (!found) return std::nullopt;
    const std::vector<std::string>& parts = *found;
    Found item;
    UniqueFd parent = openFolder(parts, parts.size() - 1, why, &item.above);
    if (!parent) return std::nullopt;
    item.parent = parent.get();
    item.name = parts.back();
    item.place = absolutePath(parts);
    if (!entryAt(parent.get(), item.name.c_str(), item.entry)) {
        why = errorText(errno);
        return std::nullopt;
    }
    TrashRefusal refusal = TrashRefusal::none;
    return moveFound(item, why, refusal);
}

std::optional<std::string> TrashMover::moveFound(const Found& found, std::string& why,
                                                 TrashRefusal& refusal) {
    const int parent = found.parent;
    const std::string& base = found.name;
    const Entry& item = found.entry;
    refusal = TrashRefusal::failed;
    for (const Entry& folder : found.above) {
        if (folder.dev == trash_.first && folder.ino == trash_.second) {
            why = "it is in the Trash";
            refusal = TrashRefusal::protectedPlace;
            return std::nullopt;
        }
    }
    // A mounted file system cannot be renamed; copying it would empty the volume instead.
    if (isMountPoint(parent, item)) {
        why = "it is a mount point";
        return std::nullopt;
    }
    for (const auto& [dev, ino] : chain_) {
        if (dev == item.dev && ino == item.ino) {
            why = "it holds the Trash";
            refusal = TrashRefusal::protectedPlace;
            return std::nullopt;
        }
    }
    if (elevated_) {
        if (auto refused = treeRefusal(parent, base, item, owner_)) {
            why = *refused;
            return std::nullopt;
        }
    }
    std::string infoPath = found.place;
    if (!top_.empty()) {
        const std::string below = top_ == "/" ? "/" : top_ + "/";
        if (infoPath.starts_with(below)) infoPath = infoPath.substr(below.size());
    }
    const std::string info = trashInfo(infoPath);
    bool hooked = false;
    for (int n = 1; n <= 100000; ++n) {
        const std::string name = candidate(base, n);
        const std::string infoName = name + ".trashinfo";
        UniqueFd infoFd(::openat(info_.get(), infoName.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFd) {
            if (errno == EEXIST) continue;
            why = "cannot write to the Trash: " + errorText(errno);
            return std::nullopt;
        }
        ::fchown(infoFd.get(), owner_, group_);
        const bool written = writeAll(infoFd.get(), info) && ::fsync(infoFd.get()) == 0;
        infoFd.reset();
        const auto dropInfo = [&] { ::unlinkat(info_.get(), infoName.c_str(), 0); };
        if (!written) {
            why = "cannot write to the Trash: " + errorText(errno);
            dropInfo();
            return std::nullopt;
        }
        if (!hooked && beforeMove()) beforeMove()(found.place);
        hooked = true;
        int moved = ::renameat2(parent, base.c_str(), files_.get(), name.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL) {
            // A file system without RENAME_NOREPLACE: test, then rename.
            struct stat st {};
            if (::fstatat(files_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                errno = EEXIST;
            } else {
                moved = ::renameat(parent, base.c_str(), files_.get(), name.c_str());
            }
        }
        if (moved == 0) {
            // What arrived must be what was checked: another item renamed in under the name
            // since then goes back, and nothing moves in its place.
            Entry arrived;
            if (!entryAt(files_.get(), name.c_str(), arrived) || !arrived.same(item)) {
                refusal = TrashRefusal::changed;
                why = "it changed just before the move";
                if (::renameat2(files_.get(), name.c_str(), parent, base.c_str(),
                                RENAME_NOREPLACE) == 0) {
                    dropInfo();
                } else {
                    why += "; what took its place is in the Trash";
                }
                return std::nullopt;
            }
            if (elevated_) giveMoved(files_.get(), name, owner_, group_);
            refusal = TrashRefusal::none;
            return name;
        }
        if (errno == EEXIST || errno == ENOTEMPTY) {
            dropInfo();
            continue;
        }
        if (errno != EXDEV || !mayCopy_) {
            refusal = refusalOf(errno);
            if (refusal == TrashRefusal::gone) refusal = TrashRefusal::changed;
            why = errorText(errno);
            dropInfo();
            return std::nullopt;
        }
        const CopyRules rules{item, elevated_, owner_};
        Copy copied = copyTree(parent, base.c_str(), files_.get(), name.c_str(), rules, why, true);
        if (copied == Copy::exists) {
            dropInfo();
            continue;
        }
        if (copied == Copy::done) {
            // On disk before anything of the original goes.
            UniqueFd sync(::openat(files_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!sync || ::syncfs(sync.get()) != 0) {
                why = "the copy could not be written to disk: " + errorText(errno);
                copied = Copy::failed;
            }
        }
        if (copied != Copy::done) {
            // Only what this copy made goes again: an entry of that name that was in the Trash
            // before stays.
            if (copied == Copy::failed) removeTree(files_.get(), name.c_str());
            dropInfo();
            return std::nullopt;
        }
        if (elevated_) giveMoved(files_.get(), name, owner_, group_);
        if (!removeCopied(parent, base.c_str(), files_.get(), name.c_str(), &item)) {
            why = "copied to the Trash, but what changed or appeared meanwhile stayed in place";
            return std::nullopt;
        }
        refusal = TrashRefusal::none;
        return name;
    }
    why = "no free name in the Trash";
    return std::nullopt;
}

}  // namespace tamrel
