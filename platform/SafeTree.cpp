#include "platform/SafeTree.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

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

Copy copyTree(int srcParent, const char* srcName, int dstParent, const char* dstName,
              const CopyRules& rules, std::string& why, bool top) {
    TreeEntry e;
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
        TreeEntry opened;
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

bool removeCopied(int srcParent, const char* srcName, int dstParent, const char* dstName,
                  std::size_t& removed, const TreeEntry* item) {
    TreeEntry src, dst;
    if (!entryAt(srcParent, srcName, src)) return errno == ENOENT;
    if (item && !src.same(*item)) return false;
    if (!entryAt(dstParent, dstName, dst) || !stillCopied(src, dst)) return false;
    if (!src.isDir()) {
        if (::unlinkat(srcParent, srcName, 0) != 0) return false;
        ++removed;
        return true;
    }
    DirHandle from = openDir(srcParent, srcName);
    UniqueFd copy(::openat(dstParent, dstName, readDirFlags));
    if (!from || !copy) return false;
    bool all = true;
    while (const dirent* c = ::readdir(from.get())) {
        if (std::strcmp(c->d_name, ".") == 0 || std::strcmp(c->d_name, "..") == 0) continue;
        all = removeCopied(::dirfd(from.get()), c->d_name, copy.get(), c->d_name, removed) && all;
    }
    from.reset();
    if (!all || ::unlinkat(srcParent, srcName, AT_REMOVEDIR) != 0) return false;
    ++removed;
    return true;
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
