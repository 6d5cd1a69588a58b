#include "platform/TrashMover.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>

#include "platform/PathText.h"
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
    std::uint64_t mount = 0;  // the mount id; 0 when the kernel gives none
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
                          STATX_INO | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_MNT_ID;
    if (::statx(dir, name, flags, mask, &sx) != 0) return false;
    e.mode = sx.stx_mode;
    e.uid = sx.stx_uid;
    e.gid = sx.stx_gid;
    e.nlink = sx.stx_nlink;
    e.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    e.ino = sx.stx_ino;
    e.size = sx.stx_size;
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
std::optional<std::string> refusal(int parent, const std::string& name, const Entry& top,
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
};

// Copies a tree from one file system to another, never overwriting and never leaving the mount
// of the item. Each copy gets the modification time of what it copied, by which
// removeCopied() knows it again.
Copy copyTree(int srcParent, const char* srcName, int dstParent, const char* dstName,
              const CopyRules& rules, std::string& why) {
    Entry e;
    if (!entryAt(srcParent, srcName, e)) {
        why = errorText(errno);
        return Copy::untouched;
    }
    if (!e.sameMount(rules.top) || (e.isDir() && e.mountRoot && !e.same(rules.top))) {
        why = "it holds a mount point";
        return Copy::untouched;
    }
    if (rules.elevated && e.uid != 0 && e.uid != rules.owner) {
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
// copy ran stays, with the folders that hold it. False when anything stays.
bool removeCopied(int srcParent, const char* srcName, int dstParent, const char* dstName) {
    Entry src, dst;
    if (!entryAt(srcParent, srcName, src)) return errno == ENOENT;
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

}  // namespace

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
    TrashMover m;
    m.owner_ = owner;
    m.group_ = group;
    m.elevated_ = ::geteuid() != owner;
    UniqueFd trash = ownFolder(parent.get(), base.c_str(), owner, group, why);
    if (!trash || ::fstat(trash.get(), &st) != 0) return std::nullopt;
    m.trash_ = {st.st_dev, st.st_ino};
    m.files_ = ownFolder(trash.get(), "files", owner, group, why);
    if (!m.files_) return std::nullopt;
    m.info_ = ownFolder(trash.get(), "info", owner, group, why);
    if (!m.info_) return std::nullopt;
    m.path_ = absolutePath(parts);
    for (std::size_t n = parts.size() + 1; n-- > 0;) {
        if (::lstat(absolutePath(std::span(parts).first(n)).c_str(), &st) == 0) {
            m.chain_.emplace_back(st.st_dev, st.st_ino);
        }
    }
    return m;
}

std::optional<std::string> TrashMover::trashItem(const std::string& given, std::string& why) {
    const auto givenParts = itemComponents(given, why);
    if (!givenParts) return std::nullopt;
    // Under the user's own rights a link among the parent folders redirects nothing the user
    // could not move anyway, and a home folder may well lie behind one (/home -> /var/home):
    // the parent folder is resolved once, the item itself never.
    using CString = std::unique_ptr<char, decltype(&std::free)>;
    const std::string parentText =
        absolutePath(std::span(*givenParts).first(givenParts->size() - 1));
    CString parent(::realpath(parentText.c_str(), nullptr), &std::free);
    if (!parent) {
        why = errorText(errno);
        return std::nullopt;
    }
    const std::string path = joinPath(parent.get(), givenParts->back());
    const auto parts = itemComponents(path, why);
    if (!parts) return std::nullopt;
    Entry item;
    if (!entryAt(AT_FDCWD, path.c_str(), item)) {
        why = errorText(errno);
        return std::nullopt;
    }
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    const std::string home = makeHomeTrash();
    Entry homeTrash;
    if (home.empty() || !entryAt(AT_FDCWD, home.c_str(), homeTrash)) {
        why = "no home Trash at \"" + homeTrashDirectory() + "\"";
        return std::nullopt;
    }
    std::optional<TrashMover> mover;
    if (item.sameMount(homeTrash)) {
        mover = open(home, uid, gid, why);
    } else {
        // The top of the item's own mount: the first folder on the path that is on it.
        std::string top;
        for (std::size_t n = 0; n < parts->size(); ++n) {
            const std::string folder = absolutePath(std::span(*parts).first(n));
            Entry e;
            if (entryAt(AT_FDCWD, folder.c_str(), e) && e.sameMount(item)) {
                top = folder;
                break;
            }
        }
        if (top.empty()) {
            why = "it is a mount point";
            return std::nullopt;
        }
        const std::string id = std::to_string(uid);
        const std::string shared = joinPath(top, ".Trash");
        struct stat st {};
        if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
            ::mkdir(joinPath(shared, id).c_str(), 0700);
            mover = open(joinPath(shared, id), uid, gid, why);
        }
        if (!mover) {
            const std::string own = joinPath(top, ".Trash-" + id);
            ::mkdir(own.c_str(), 0700);
            mover = open(own, uid, gid, why);
        }
        if (mover) mover->top_ = top;
    }
    if (!mover) return std::nullopt;
    mover->mayCopy_ = false;
    Entry files;
    if (!entryAt(mover->files_.get(), "", files) || !files.sameMount(item)) {
        why = "the Trash of its disk lies on another one";
        return std::nullopt;
    }
    const auto name = mover->move(path, why);
    if (!name) return std::nullopt;
    return mover->path_ + "/files/" + *name;
}

std::optional<std::string> TrashMover::move(const std::string& path, std::string& why) {
    const auto found = itemComponents(path, why);
    if (!found) return std::nullopt;
    const std::vector<std::string>& parts = *found;
    std::vector<Entry> above;
    UniqueFd parent = openFolder(parts, parts.size() - 1, why, &above);
    if (!parent) return std::nullopt;
    for (const Entry& folder : above) {
        if (folder.dev == trash_.first && folder.ino == trash_.second) {
            why = "it is in the Trash";
            return std::nullopt;
        }
    }
    const std::string& base = parts.back();
    Entry item;
    if (!entryAt(parent.get(), base.c_str(), item)) {
        why = errorText(errno);
        return std::nullopt;
    }
    // A mounted file system cannot be renamed; copying it would empty the volume instead.
    if (isMountPoint(parent.get(), item)) {
        why = "it is a mount point";
        return std::nullopt;
    }
    for (const auto& [dev, ino] : chain_) {
        if (dev == item.dev && ino == item.ino) {
            why = "it holds the Trash";
            return std::nullopt;
        }
    }
    if (elevated_) {
        if (auto refused = refusal(parent.get(), base, item, owner_)) {
            why = *refused;
            return std::nullopt;
        }
    }
    std::string infoPath = absolutePath(parts);
    if (!top_.empty()) {
        const std::string below = top_ == "/" ? "/" : top_ + "/";
        if (infoPath.starts_with(below)) infoPath = infoPath.substr(below.size());
    }
    const std::string info = trashInfo(infoPath);
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
        int moved =
            ::renameat2(parent.get(), base.c_str(), files_.get(), name.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL) {
            // A file system without RENAME_NOREPLACE: test, then rename.
            struct stat st {};
            if (::fstatat(files_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                errno = EEXIST;
            } else {
                moved = ::renameat(parent.get(), base.c_str(), files_.get(), name.c_str());
            }
        }
        if (moved == 0) {
            if (elevated_) giveMoved(files_.get(), name, owner_, group_);
            return name;
        }
        if (errno == EEXIST || errno == ENOTEMPTY) {
            dropInfo();
            continue;
        }
        if (errno != EXDEV || !mayCopy_) {
            why = errorText(errno);
            dropInfo();
            return std::nullopt;
        }
        const CopyRules rules{item, elevated_, owner_};
        const Copy copied =
            copyTree(parent.get(), base.c_str(), files_.get(), name.c_str(), rules, why);
        if (copied == Copy::exists) {
            dropInfo();
            continue;
        }
        if (copied != Copy::done) {
            // Only what this copy made goes again: an entry of that name that was in the Trash
            // before stays.
            if (copied == Copy::failed) removeTree(files_.get(), name.c_str());
            dropInfo();
            return std::nullopt;
        }
        if (elevated_) giveMoved(files_.get(), name, owner_, group_);
        if (!removeCopied(parent.get(), base.c_str(), files_.get(), name.c_str())) {
            why = "copied to the Trash, but what changed or appeared meanwhile stayed in place";
            return std::nullopt;
        }
        return name;
    }
    why = "no free name in the Trash";
    return std::nullopt;
}

}  // namespace tamrel
