#include "platform/SafeTree.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

namespace tamrel {

namespace {

// Asked for besides STATX_MNT_ID: mount ids that the kernel never gives again (Linux 6.8), so
// that a disk mounted where another was unmounted is never taken for it. An older kernel
// ignores the bit and gives the other kind.
#ifdef STATX_MNT_ID_UNIQUE
constexpr unsigned uniqueMountId = STATX_MNT_ID_UNIQUE;
#else
constexpr unsigned uniqueMountId = 0x4000U;
#endif

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

// The copy `dst` still stands for what is at `src`: same kind, and for anything but a folder
// the same size and modification time (a copy on a file system without nanoseconds matches on
// the seconds).
bool stillCopied(const TreeEntry& src, const TreeEntry& dst) {
    if ((src.mode & S_IFMT) != (dst.mode & S_IFMT)) return false;
    if (src.isDir()) return true;
    return src.size == dst.size && src.mtime.tv_sec == dst.mtime.tv_sec &&
           (src.mtime.tv_nsec == dst.mtime.tv_nsec || dst.mtime.tv_nsec == 0);
}

// The names in the folder `list` reads, "." and ".." left out, added to `names`. False when it
// cannot be read.
bool readNames(DIR* list, std::vector<std::string>& names) {
    errno = 0;
    while (const dirent* e = ::readdir(list)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        names.emplace_back(e->d_name);
        errno = 0;
    }
    return errno == 0;
}

}  // namespace

DirHandle openDir(int parent, const char* name) {
    UniqueFd fd(::openat(parent, name, readDirFlags));
    DirHandle dir(fd ? ::fdopendir(fd.get()) : nullptr);
    if (dir) fd.release();
    return dir;
}

bool entryAt(int dir, const char* name, TreeEntry& e) {
    struct statx sx {};
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (*name ? 0 : AT_EMPTY_PATH);
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_NLINK |
                          STATX_INO | STATX_SIZE | STATX_BLOCKS | STATX_ATIME | STATX_MTIME |
                          STATX_BTIME | STATX_MNT_ID | uniqueMountId;
    if (::statx(dir, name, flags, mask, &sx) != 0) return false;
    e.mode = sx.stx_mode;
    e.uid = sx.stx_uid;
    e.gid = sx.stx_gid;
    e.nlink = sx.stx_nlink;
    e.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    e.ino = sx.stx_ino;
    e.size = sx.stx_size;
    e.blocks = sx.stx_blocks;
    e.mount = (sx.stx_mask & (STATX_MNT_ID | uniqueMountId)) ? sx.stx_mnt_id : 0;
    e.mountRoot = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
                  (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    e.atime = {sx.stx_atime.tv_sec, static_cast<long>(sx.stx_atime.tv_nsec)};
    e.mtime = {sx.stx_mtime.tv_sec, static_cast<long>(sx.stx_mtime.tv_nsec)};
    e.birth = (sx.stx_mask & STATX_BTIME)
                  ? timespec{sx.stx_btime.tv_sec, static_cast<long>(sx.stx_btime.tv_nsec)}
                  : timespec{};
    return true;
}

std::optional<std::uint32_t> generationAt(int dir, const char* name, const TreeEntry& e) {
    if (!S_ISREG(e.mode) && !e.isDir()) return std::nullopt;
    const int flags =
        O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | (e.isDir() ? O_DIRECTORY : 0);
    // O_NOATIME is for the owner (and root); anybody else's open fails with EPERM with it.
    UniqueFd fd;
    if (e.uid == ::geteuid() || ::geteuid() == 0) fd.reset(::openat(dir, name, flags | O_NOATIME));
    if (!fd) fd.reset(::openat(dir, name, flags));
    TreeEntry opened;
    if (!fd || !entryAt(fd.get(), "", opened) || !opened.same(e)) return std::nullopt;
    int generation = 0;
    if (::ioctl(fd.get(), FS_IOC_GETVERSION, &generation) != 0) return std::nullopt;
    return static_cast<std::uint32_t>(generation);
}

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

Entered enterFolder(int dir, const char* name, const TreeEntry& seen, UniqueFd& fd,
                    std::vector<std::string>& names) {
    fd = UniqueFd(::openat(dir, name, readDirFlags));
    if (!fd) return Entered::failed;
    TreeEntry opened;
    if (!entryAt(fd.get(), "", opened)) return Entered::failed;
    if (!opened.same(seen)) return Entered::other;
    UniqueFd listed(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
    DirHandle list(listed ? ::fdopendir(listed.get()) : nullptr);
    if (!list) return Entered::failed;
    listed.release();
    if (!readNames(list.get(), names)) return Entered::failed;
    return names.empty() ? Entered::empty : Entered::yes;
}

UniqueFd climbTo(int dir, const TreeEntry& left) {
    UniqueFd up(::openat(dir, "..", readDirFlags));
    TreeEntry opened;
    if (!up || !entryAt(up.get(), "", opened) || !opened.same(left)) return {};
    return up;
}

namespace {

// A folder being walked, with the names it held when it was entered; in step with the copy's
// folder of the same name where two trees are walked.
struct Level {
    std::vector<std::string> names;
    std::size_t next = 0;
    std::string name;
    TreeEntry entry;  // as it was seen before it was entered
    TreeEntry copy;   // the copy's folder, as it was made or seen
    bool all = true;  // nothing below it stays
};

// Whether `source` may be copied under `rules` (`top`: it is the item itself); Copy::untouched
// with the reason in `why` when not.
Copy checkCopy(const TreeEntry& source, const CopyRules& rules, bool top, std::string& why) {
    if (top && !source.same(rules.top)) {
        why = "it changed before it was copied";
        return Copy::untouched;
    }
    if (!source.sameMount(rules.top) ||
        (source.isDir() && source.mountRoot && !source.same(rules.top))) {
        why = "it holds a mount point";
        return Copy::untouched;
    }
    if (!rules.mayCopy(source)) {
        why = "it holds files of another user";
        return Copy::untouched;
    }
    return Copy::done;
}

// Copies the entry `srcName` of `srcDir`, seen as `e`, which is no folder, to `dstName` in
// `dstDir`.
Copy copyEntry(int srcDir, const char* srcName, const TreeEntry& e, int dstDir, const char* dstName,
               const CopyRules& rules, std::string& why) {
    const timespec times[2] = {e.atime, e.mtime};
    const mode_t mode = e.mode & 0777;
    if (S_ISREG(e.mode)) {
        // Non-blocking, so that a pipe swapped in under the name cannot hang the open.
        UniqueFd src(::openat(srcDir, srcName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        TreeEntry opened;
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
        UniqueFd dst(
            ::openat(dstDir, dstName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
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
        const ssize_t n = ::readlinkat(srcDir, srcName, target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) > target.size()) {
            why = errorText(errno);
            return Copy::untouched;
        }
        target.resize(static_cast<std::size_t>(n));
        if (::symlinkat(target.c_str(), dstDir, dstName) != 0) {
            why = errorText(errno);
            return errno == EEXIST ? Copy::exists : Copy::untouched;
        }
        ::utimensat(dstDir, dstName, times, AT_SYMLINK_NOFOLLOW);
        return Copy::done;
    }
    why = "a special file cannot be copied to another disk";
    return Copy::untouched;
}

// Makes the folder `dstName` in `dstDir` for the folder `srcName` of `srcDir`, seen as `level`'s
// entry, and enters both: the source checked to be that entry and its names listed into
// `level`, the folder made opened as `dst` and its entry kept in `level`. Copy::done with
// `entered` false when the source holds nothing: the folder made is then finished.
Copy makeFolder(int srcDir, const char* srcName, int dstDir, const char* dstName, Level& level,
                UniqueFd& src, UniqueFd& dst, bool& entered, std::string& why) {
    if (::mkdirat(dstDir, dstName, 0700) != 0) {
        why = errorText(errno);
        return errno == EEXIST ? Copy::exists : Copy::untouched;
    }
    dst = UniqueFd(::openat(dstDir, dstName, readDirFlags));
    if (!dst || !entryAt(dst.get(), "", level.copy)) {
        why = errorText(errno);
        return Copy::failed;
    }
    const Entered how = enterFolder(srcDir, srcName, level.entry, src, level.names);
    if (how == Entered::failed || how == Entered::other) {
        why = how == Entered::other ? "it changed while it was copied" : errorText(errno);
        return Copy::failed;
    }
    entered = how == Entered::yes;
    return Copy::done;
}

// Gives the finished copy `dst` of a folder seen as `e` that folder's mode and times.
void finishFolder(int dst, const TreeEntry& e) {
    const timespec times[2] = {e.atime, e.mtime};
    ::fchmod(dst, e.mode & 0777);
    ::futimens(dst, times);
}

// What removeCopied() does with one entry of the original, `srcName` in `from`, against
// `dstName` in the copy's folder `copy`: true when it went (counted in `removed`) or was gone
// already, false when it stays; a folder that holds entries is entered instead (`entered`,
// with `src` and `dst` open on both sides and its names in `level`).
bool removeOne(int from, const char* srcName, int copy, const char* dstName, const TreeEntry* item,
               Level& level, UniqueFd& src, UniqueFd& dst, bool& entered, std::size_t& removed) {
    entered = false;
    if (!entryAt(from, srcName, level.entry)) return errno == ENOENT;
    if (item && !level.entry.same(*item)) return false;
    if (!entryAt(copy, dstName, level.copy) || !stillCopied(level.entry, level.copy)) return false;
    if (level.entry.isDir()) {
        const Entered how = enterFolder(from, srcName, level.entry, src, level.names);
        if (how == Entered::failed || how == Entered::other) return false;
        if (how == Entered::yes) {
            dst = UniqueFd(::openat(copy, dstName, readDirFlags));
            TreeEntry opened;
            entered = dst && entryAt(dst.get(), "", opened) && opened.same(level.copy);
            return entered;
        }
        src.reset();
        if (::unlinkat(from, srcName, AT_REMOVEDIR) != 0) return false;
    } else if (::unlinkat(from, srcName, 0) != 0) {
        return false;
    }
    ++removed;
    return true;
}

// The two walks of an original and its copy go down into `child` together: `srcDown` and
// `dstDown` are its folders, opened.
void descendBoth(std::vector<Level>& levels, Level child, UniqueFd& src, UniqueFd& dst,
                 UniqueFd srcDown, UniqueFd dstDown) {
    src = std::move(srcDown);
    dst = std::move(dstDown);
    levels.push_back(std::move(child));
}

// The two walks climb back to the folders of `above` together, each checked to land on the very
// folder it went down from; false, leaving both where they are, when either does not. The
// copy's folder left behind goes to `leftCopy`.
bool climbBoth(const Level& above, UniqueFd& src, UniqueFd& dst, UniqueFd& leftCopy) {
    UniqueFd srcUp = climbTo(src.get(), above.entry);
    UniqueFd dstUp = climbTo(dst.get(), above.copy);
    if (!srcUp || !dstUp) return false;
    src = std::move(srcUp);
    leftCopy = std::exchange(dst, std::move(dstUp));
    return true;
}

}  // namespace

bool removeTree(int parent, const char* name) {
    std::vector<Level> levels(1);
    if (!entryAt(parent, name, levels.back().entry)) return errno == ENOENT;
    if (!levels.back().entry.isDir()) return ::unlinkat(parent, name, 0) == 0;
    levels.back().name = name;
    UniqueFd at;
    const Entered top = enterFolder(parent, name, levels.back().entry, at, levels.back().names);
    if (top == Entered::failed || top == Entered::other) return false;
    for (;;) {
        Level& level = levels.back();
        if (level.next < level.names.size()) {
            Level child;
            child.name = level.names[level.next++];
            if (!entryAt(at.get(), child.name.c_str(), child.entry)) {
                if (errno != ENOENT) level.all = false;
                continue;
            }
            if (!child.entry.isDir()) {
                if (::unlinkat(at.get(), child.name.c_str(), 0) != 0) level.all = false;
                continue;
            }
            UniqueFd down;
            const Entered how =
                enterFolder(at.get(), child.name.c_str(), child.entry, down, child.names);
            if (how == Entered::yes) {
                at = std::move(down);
                levels.push_back(std::move(child));
                continue;
            }
            down.reset();
            if (how != Entered::empty ||
                ::unlinkat(at.get(), child.name.c_str(), AT_REMOVEDIR) != 0) {
                level.all = false;
            }
            continue;
        }
        const Level done = std::move(level);
        levels.pop_back();
        if (levels.empty()) {
            at.reset();
            return done.all && ::unlinkat(parent, name, AT_REMOVEDIR) == 0;
        }
        UniqueFd up = climbTo(at.get(), levels.back().entry);
        if (!up) return false;
        at = std::move(up);
        if (!done.all || ::unlinkat(at.get(), done.name.c_str(), AT_REMOVEDIR) != 0) {
            levels.back().all = false;
        }
    }
}

Copy copyTree(int srcParent, const char* srcName, int dstParent, const char* dstName,
              const CopyRules& rules, std::string& why, bool top) {
    std::vector<Level> levels(1);
    if (!entryAt(srcParent, srcName, levels.back().entry)) {
        why = errorText(errno);
        return Copy::untouched;
    }
    if (const Copy may = checkCopy(levels.back().entry, rules, top, why); may != Copy::done) {
        return may;
    }
    if (!levels.back().entry.isDir()) {
        return copyEntry(srcParent, srcName, levels.back().entry, dstParent, dstName, rules, why);
    }
    UniqueFd src, dst;
    bool entered = false;
    if (const Copy made = makeFolder(srcParent, srcName, dstParent, dstName, levels.back(), src,
                                     dst, entered, why);
        made != Copy::done) {
        return made;
    }
    for (;;) {
        Level& level = levels.back();
        if (level.next < level.names.size()) {
            Level child;
            child.name = level.names[level.next++];
            const char* name = child.name.c_str();
            if (!entryAt(src.get(), name, child.entry)) {
                why = errorText(errno);
                return Copy::failed;
            }
            if (checkCopy(child.entry, rules, false, why) != Copy::done) return Copy::failed;
            if (!child.entry.isDir()) {
                if (copyEntry(src.get(), name, child.entry, dst.get(), name, rules, why) !=
                    Copy::done) {
                    return Copy::failed;
                }
                continue;
            }
            UniqueFd srcDown, dstDown;
            if (makeFolder(src.get(), name, dst.get(), name, child, srcDown, dstDown, entered,
                           why) != Copy::done) {
                return Copy::failed;
            }
            if (!entered) {
                finishFolder(dstDown.get(), child.entry);
                continue;
            }
            descendBoth(levels, std::move(child), src, dst, std::move(srcDown),
                        std::move(dstDown));
            continue;
        }
        // Its mode (which may shut its owner out) and times once everything in it is made, and
        // after the walk has climbed out of it.
        const Level done = std::move(level);
        levels.pop_back();
        if (levels.empty()) {
            finishFolder(dst.get(), done.entry);
            return Copy::done;
        }
        UniqueFd left;
        if (!climbBoth(levels.back(), src, dst, left)) {
            why = "it changed while it was copied";
            return Copy::failed;
        }
        finishFolder(left.get(), done.entry);
    }
}

bool removeCopied(int srcParent, const char* srcName, int dstParent, const char* dstName,
                  std::size_t& removed, const TreeEntry* item) {
    std::vector<Level> levels(1);
    UniqueFd src, dst;
    bool entered = false;
    const bool went = removeOne(srcParent, srcName, dstParent, dstName, item, levels.back(), src,
                                dst, entered, removed);
    if (!entered) return went;
    for (;;) {
        Level& level = levels.back();
        if (level.next < level.names.size()) {
            Level child;
            child.name = level.names[level.next++];
            const char* name = child.name.c_str();
            UniqueFd srcDown, dstDown;
            if (!removeOne(src.get(), name, dst.get(), name, nullptr, child, srcDown, dstDown,
                           entered, removed)) {
                level.all = false;
            } else if (entered) {
                descendBoth(levels, std::move(child), src, dst, std::move(srcDown),
                            std::move(dstDown));
            }
            continue;
        }
        const Level done = std::move(level);
        levels.pop_back();
        if (levels.empty()) {
            src.reset();
            if (!done.all || ::unlinkat(srcParent, srcName, AT_REMOVEDIR) != 0) return false;
            ++removed;
            return true;
        }
        UniqueFd left;
        if (!climbBoth(levels.back(), src, dst, left)) return false;
        left.reset();
        if (done.all && ::unlinkat(src.get(), done.name.c_str(), AT_REMOVEDIR) == 0) {
            ++removed;
        } else {
            levels.back().all = false;
        }
    }
}

bool isMountPoint(int parent, const TreeEntry& item) {
    TreeEntry above;
    return item.mountRoot || (entryAt(parent, "", above) && !above.sameMount(item));
}

bool climb(int fd, std::vector<TreeEntry>& chain) {
    UniqueFd at(::openat(fd, ".", pathFlags));
    for (std::size_t depth = 0; at && depth < PATH_MAX; ++depth) {
        TreeEntry e;
        if (!entryAt(at.get(), "", e)) return false;
        chain.push_back(e);
        UniqueFd up(::openat(at.get(), "..", pathFlags));
        TreeEntry above;
        if (!up || !entryAt(up.get(), "", above)) return false;
        if (above.same(e)) return true;
        at = std::move(up);
    }
    return false;
}

UniqueFd mountTop(int fd, std::size_t& up) {
    up = 0;
    UniqueFd at(::openat(fd, ".", pathFlags));
    TreeEntry here;
    if (!at || !entryAt(at.get(), "", here)) return {};
    while (!here.mountRoot) {
        UniqueFd parent(::openat(at.get(), "..", pathFlags));
        TreeEntry above;
        if (!parent || !entryAt(parent.get(), "", above)) return {};
        if (above.same(here) || !above.sameMount(here)) break;
        at = std::move(parent);
        here = above;
        ++up;
    }
    return at;
}

UniqueFd realFolder(int parent, const char* name, uid_t uid, bool anyOwner, bool sticky) {
    TreeEntry seen, opened;
    if (!entryAt(parent, name, seen) || !seen.isDir()) return {};
    UniqueFd fd(::openat(parent, name, pathFlags));
    if (!fd || !entryAt(fd.get(), "", opened) || !opened.same(seen)) return {};
    if (!anyOwner && opened.uid != uid) return {};
    if (sticky && !(opened.mode & S_ISVTX)) return {};
    return fd;
}

}  // namespace tamrel
