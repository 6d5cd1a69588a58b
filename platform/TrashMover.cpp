#include "platform/TrashMover.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>

#include "platform/PathText.h"

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000
#endif

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

// Opens the folder made of the first `count` components below "/" without following links.
UniqueFd openFolder(const std::vector<std::string>& parts, std::size_t count, std::string& why) {
    UniqueFd at(::open("/", pathFlags));
    if (!at) {
        why = errorText(errno);
        return {};
    }
    for (std::size_t i = 0; i < count; ++i) {
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
    return at;
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

// Gives a moved tree to owner/group, deepest entries first so that nobody else can change a
// folder's entries before its own turn comes. Each entry is opened without following links and
// changed through that descriptor, so an entry swapped in under its name is never the one
// changed. Files with other hard links keep their owner: the same inode may be visible
// elsewhere. A file system mounted inside the tree (it moves along with a rename) is not ours to
// give: nothing on another device than `device` is changed.
void giveTree(int parent, const char* name, dev_t device, uid_t owner, gid_t group) {
    UniqueFd fd(::openat(parent, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || st.st_dev != device) return;
    DirHandle dir;
    if (S_ISDIR(st.st_mode)) {
        // The same folder opened for reading, which then serves for its owner too: one
        // descriptor per level of a deep tree.
        dir = openDir(fd.get(), ".");
        if (dir) fd.reset();
        while (const dirent* e = dir ? ::readdir(dir.get()) : nullptr) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            giveTree(::dirfd(dir.get()), e->d_name, device, owner, group);
        }
    } else if (!S_ISLNK(st.st_mode) && st.st_nlink > 1) {
        return;
    }
    if (st.st_uid != owner || st.st_gid != group) {
        ::fchownat(dir ? ::dirfd(dir.get()) : fd.get(), "", owner, group,
                   AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW);
    }
}

// Gives the entry `name` of files/ and everything of its file system below it.
void giveMoved(int files, const char* name, uid_t owner, gid_t group) {
    struct stat st {};
    if (::fstat(files, &st) == 0) giveTree(files, name, st.st_dev, owner, group);
}

// Removes a tree without following links. False when anything stays.
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

// Copies a tree from one file system to another, never overwriting and never leaving `device`.
Copy copyTree(int srcParent, const char* srcName, int dstParent, const char* dstName, dev_t device,
              std::string& why) {
    struct stat st {};
    if (::fstatat(srcParent, srcName, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        why = errorText(errno);
        return Copy::untouched;
    }
    if (st.st_dev != device) {
        why = "it holds a mount point";
        return Copy::untouched;
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    const mode_t mode = st.st_mode & 0777;
    if (S_ISDIR(st.st_mode)) {
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
        while (const dirent* e = ::readdir(dir.get())) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            if (copyTree(::dirfd(dir.get()), e->d_name, dst.get(), e->d_name, device, why) !=
                Copy::done) {
                return Copy::failed;
            }
        }
        ::fchmod(dst.get(), mode);
        ::futimens(dst.get(), times);
        return Copy::done;
    }
    if (S_ISREG(st.st_mode)) {
        // Non-blocking, so that a pipe swapped in under the name cannot hang the open.
        UniqueFd src(::openat(srcParent, srcName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened {};
        if (!src || ::fstat(src.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
            why = src ? "it changed while it was copied" : errorText(errno);
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
        ::futimens(dst.get(), times);
        return Copy::done;
    }
    if (S_ISLNK(st.st_mode)) {
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
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

// The entry `name` of `parent` is the root of a mounted file system (bind mounts included).
bool isMountPoint(int parent, const char* name, dev_t device) {
    struct stat above {};
    if (::fstat(parent, &above) == 0 && above.st_dev != device) return true;
    struct statx sx {};
    return ::statx(parent, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &sx) == 0 &&
           (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
           (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

// `base`, shortened so that "base.N.trashinfo" fits in one file name.
std::string candidate(const std::string& base, int n) {
    const std::string suffix = n == 1 ? std::string() : "." + std::to_string(n);
    constexpr std::size_t room = NAME_MAX - sizeof(".trashinfo") + 1;
    return base.substr(0, room - suffix.size()) + suffix;
}

}  // namespace

std::optional<TrashMover> TrashMover::open(const std::string& trashDir, uid_t owner, gid_t group,
                                           std::string& why) {
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
    UniqueFd trash = ownFolder(parent.get(), base.c_str(), owner, group, why);
    if (!trash) return std::nullopt;
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

std::optional<std::string> TrashMover::move(const std::string& path, std::string& why) {
    if (!path.starts_with('/')) {
        why = "not an absolute path";
        return std::nullopt;
    }
    const auto parts = pathComponents(path);
    if (parts.empty()) {
        why = "the root folder cannot be moved";
        return std::nullopt;
    }
    if (hasDotComponent(parts)) {
        why = "the path holds \".\" or \"..\"";
        return std::nullopt;
    }
    UniqueFd parent = openFolder(parts, parts.size() - 1, why);
    if (!parent) return std::nullopt;
    const std::string& base = parts.back();
    struct stat item {};
    if (::fstatat(parent.get(), base.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0) {
        why = errorText(errno);
        return std::nullopt;
    }
    // A mounted file system cannot be renamed; copying it would empty the volume instead.
    if (isMountPoint(parent.get(), base.c_str(), item.st_dev)) {
        why = "it is a mount point";
        return std::nullopt;
    }
    for (const auto& [dev, ino] : chain_) {
        if (dev == item.st_dev && ino == item.st_ino) {
            why = "it holds the Trash";
            return std::nullopt;
        }
    }
    const std::string info = trashInfo(absolutePath(parts));
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
            giveMoved(files_.get(), name.c_str(), owner_, group_);
            return name;
        }
        if (errno == EEXIST || errno == ENOTEMPTY) {
            dropInfo();
            continue;
        }
        if (errno != EXDEV) {
            why = errorText(errno);
            dropInfo();
            return std::nullopt;
        }
        const Copy copied =
            copyTree(parent.get(), base.c_str(), files_.get(), name.c_str(), item.st_dev, why);
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
        giveMoved(files_.get(), name.c_str(), owner_, group_);
        if (!removeTree(parent.get(), base.c_str())) {
            why = "copied to the Trash, but the original could not be removed";
            return std::nullopt;
        }
        return name;
    }
    why = "no free name in the Trash";
    return std::nullopt;
}

}  // namespace tamrel
