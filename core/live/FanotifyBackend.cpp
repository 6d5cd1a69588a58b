#include "core/live/FanotifyBackend.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/live/FolderWalk.h"
#include "core/scan/DirReader.h"
#include "platform/LongPath.h"
#include "platform/PathText.h"

namespace tamrel {

namespace {

constexpr std::uint64_t markMask = FAN_CREATE | FAN_DELETE | FAN_MOVED_FROM | FAN_MOVED_TO |
                                   FAN_MODIFY | FAN_CLOSE_WRITE | FAN_ATTRIB | FAN_ONDIR;
// Reads of 64 KiB (about 1,000 events) made by one call of readEvents at most.
constexpr int maxReadsPerCall = 16;
// Folder paths cached at most, and their bytes with their keys; the cache is emptied when it
// would grow past either. The bytes bound it where another program makes a deep tree elsewhere:
// 6,000 levels gave paths of 15 KB on average, and a cache bound by count alone then held 74 MB.
constexpr std::size_t maxCachedPaths = 65536;
constexpr std::size_t maxCachedPathBytes = 4 << 20;
// Folders known to lie outside the tree, at most (about 3 MB of keys).
constexpr std::size_t maxOutsideKeys = 65536;

bool markFileSystem(int group, int dirFd) {
    return ::fanotify_mark(group, FAN_MARK_ADD | FAN_MARK_FILESYSTEM, markMask, dirFd, nullptr) ==
           0;
}

// Whether a folder's file handle opens again: events name folders by handle, and opening one
// takes CAP_DAC_READ_SEARCH, which a process may lack where it may place marks.
bool handlesOpen(int dirFd) {
    std::vector<std::uint64_t> storage((sizeof(file_handle) + MAX_HANDLE_SZ + 7) / 8);
    auto* handle = reinterpret_cast<file_handle*>(storage.data());
    handle->handle_bytes = MAX_HANDLE_SZ;
    int mountID = 0;
    if (::name_to_handle_at(dirFd, "", handle, &mountID, AT_EMPTY_PATH) != 0) return false;
    return UniqueFd(::open_by_handle_at(dirFd, handle, O_PATH | O_CLOEXEC)).get() >= 0;
}

// The path the kernel gives for an open folder, or "" when it has none.
std::string linkedPath(int fd, bool& tooLong) {
    char self[40];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    char path[4096];  // on the stack: this runs for every folder an event names
    const ssize_t n = ::readlink(self, path, sizeof path);
    tooLong = (n < 0 && errno == ENAMETOOLONG) || static_cast<std::size_t>(n) >= sizeof path;
    if (n <= 0 || tooLong) return {};
    return std::string(path, static_cast<std::size_t>(n));
}

// The name under which `parent` holds the folder `child`, found by its (device, inode).
std::string nameIn(int parent, const struct stat& child) {
    UniqueFd list(::openat(parent, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!list) return {};
    alignas(8) char buffer[16 * 1024];
    std::string found;
    readEntries(list.get(), buffer, sizeof buffer,
                [&](const char* name, std::size_t, unsigned char, ino64_t inode) {
                    if (inode != child.st_ino) return true;
                    struct stat st {};
                    if (::fstatat(list.get(), name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                        st.st_dev == child.st_dev && st.st_ino == child.st_ino) {
                        found = name;
                        return false;
                    }
                    return true;
                });
    return found;
}

std::string fsidKey(const void* fsid) {
    return std::string(static_cast<const char*>(fsid), 8);
}

// Whether an open folder lies on the file system whose id is `fsid` (8 bytes).
bool onFileSystem(int fd, const std::string& fsid) {
    struct statfs sf {};
    return ::fstatfs(fd, &sf) == 0 && fsidKey(&sf.f_fsid) == fsid;
}

// The key by which events name an open folder: its file system id and its file handle; "" when
// it has none.
std::string handleKey(int fd) {
    struct statfs sf {};
    if (::fstatfs(fd, &sf) != 0) return {};
    std::vector<std::uint64_t> storage((sizeof(file_handle) + MAX_HANDLE_SZ + 7) / 8);
    auto* handle = reinterpret_cast<file_handle*>(storage.data());
    handle->handle_bytes = MAX_HANDLE_SZ;
    int mountID = 0;
    if (::name_to_handle_at(fd, "", handle, &mountID, AT_EMPTY_PATH) != 0) return {};
    return fsidKey(&sf.f_fsid) +
           std::string(reinterpret_cast<const char*>(handle), sizeof(file_handle) + handle->handle_bytes);
}

}  // namespace

std::unique_ptr<FanotifyBackend> FanotifyBackend::create(std::string root,
                                                         const std::atomic<bool>& stopping) {
    // The mark sees the whole file system: a burst elsewhere (a build making thousands of
    // folders) may come faster than its first events are read, and a full queue (16,384 events)
    // costs a rescan of the whole tree. The same right the marks need lifts that limit; the
    // events are charged to this process's memory.
    constexpr unsigned flags = FAN_CLASS_NOTIF | FAN_CLOEXEC | FAN_NONBLOCK | FAN_REPORT_DFID_NAME;
    UniqueFd group(
        ::fanotify_init(flags | FAN_UNLIMITED_QUEUE, O_RDONLY | O_CLOEXEC | O_LARGEFILE));
    if (!group) group.reset(::fanotify_init(flags, O_RDONLY | O_CLOEXEC | O_LARGEFILE));
    if (!group) return nullptr;
    // A group may be allowed where a file-system mark is not: try one, on the root's file
    // system when the root is there.
    UniqueFd probe(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!probe) probe.reset(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!probe || !markFileSystem(group.get(), probe.get()) || !handlesOpen(probe.get())) {
        return nullptr;
    }
    ::fanotify_mark(group.get(), FAN_MARK_REMOVE | FAN_MARK_FILESYSTEM, markMask, probe.get(),
                    nullptr);
    return std::unique_ptr<FanotifyBackend>(
        new FanotifyBackend(std::move(group), std::move(root), stopping));
}

FanotifyBackend::FanotifyBackend(UniqueFd fd, std::string root, const std::atomic<bool>& stopping)
    : fd_(std::move(fd)),
      root_(std::move(root)),
      base_(root_),
      stopping_(stopping),
      mounts_(deviceOf(root_)) {
    if (!base_.empty() && base_.back() == '/') base_.pop_back();
    // Folders are named by the kernel with every symbolic link resolved.
    real_ = base_;
    if (char* resolved = ::realpath(root_.c_str(), nullptr)) {
        real_ = resolved;
        std::free(resolved);
        if (real_ == "/") real_.clear();
    }
}

WatchToken FanotifyBackend::addFolder(WatchToken parent, std::string_view, const std::string& path,
                                      int dirFd, dev_t device) {
    if (parent == unwatched) return unwatched;
    std::lock_guard guard(lock_);
    bool watched = marked_.contains(device);
    if (!watched && !refused_.contains(device)) {
        watched = markFileSystem(fd_.get(), dirFd);
        // Its path, not a descriptor: one held open would keep the disk from being unmounted.
        struct statfs sf {};
        if (watched && ::fstatfs(dirFd, &sf) == 0) {
            fileSystems_.try_emplace(fsidKey(&sf.f_fsid), FileSystem{path, device});
        }
        (watched ? marked_ : refused_).insert(device);
    }
    if (parent == noParent) {
        rootUnwatched_ = !watched;
    } else if (watched) {
        unwatched_.erase(path);
    } else {
        unwatched_.insert(path);
    }
    return watched ? 0 : unwatched;
}

void FanotifyBackend::unopened(WatchToken parent, std::string_view, const std::string& path) {
    if (parent == unwatched) return;
    std::lock_guard guard(lock_);
    unwatched_.insert(path);
}

void FanotifyBackend::unreachable(const WalkStart& start) {
    std::lock_guard guard(lock_);
    if (start.parent == noParent) {
        rootUnwatched_ = true;
    } else {
        unwatched_.erase(start.path);
    }
}

bool FanotifyBackend::inside(const std::string& path) const {
    return isAtOrBelow(path, base_);
}

bool FanotifyBackend::coversRoot(const std::string& path) const {
    return (!base_.empty() && isAtOrBelow(base_, path)) ||
           (!real_.empty() && isAtOrBelow(real_, path));
}

std::string FanotifyBackend::local(const std::string& resolved) const {
    if (real_ == base_ || !isAtOrBelow(resolved, real_)) return resolved;
    return base_ + resolved.substr(real_.size());
}

std::string FanotifyBackend::pathOfFolder(int fd, bool& outside) const {
    bool tooLong = false;
    std::string path = linkedPath(fd, tooLong);
    if (!tooLong) return path;
    // Past the 4096 bytes the kernel writes out in one piece: the names below the nearest
    // ancestor whose path is known (cached, or short enough) are found level by level.
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    std::vector<std::string> names;
    UniqueFd at(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    // A path of 4096 bytes or more holds at least 16 levels; a tree holds far fewer than this.
    for (int level = 0; at && level < 1 << 20; ++level) {
        UniqueFd up(::openat(at.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!up) return {};
        std::string name = nameIn(up.get(), st);
        if (name.empty() || ::fstat(up.get(), &st) != 0) return {};
        names.push_back(std::move(name));
        at = std::move(up);
        const std::string key = handleKey(at.get());
        if (outsideKeys_.contains(key)) {
            outside = true;
            return {};
        }
        if (auto known = paths_.find(key); known != paths_.end()) {
            path = known->second;
        } else {
            path = linkedPath(at.get(), tooLong);
            if (tooLong) continue;
        }
        if (path.empty()) return {};
        for (auto n = names.rbegin(); n != names.rend(); ++n)
            path = joinPath(path, *n);
        return path;
    }
    return {};
}

void FanotifyBackend::forgetPaths() {
    paths_.clear();
    pathBytes_ = 0;
}

std::string FanotifyBackend::resolve(const std::string& key, bool& outside) {
    if (auto it = paths_.find(key); it != paths_.end()) return it->second;
    if (outsideKeys_.contains(key)) {
        outside = true;
        return {};
    }
    UniqueFd dir;
    {
        // Open for this resolve only, so that the disk can be unmounted: this adds 2.7 µs to the
        // 5.3 an uncached resolve took (a path of 3 levels on ext4); cached paths, most of
        // them, cost nothing more.
        const UniqueFd fileSystem = openFileSystem(key.substr(0, 8));
        if (!fileSystem) return {};
        // An aligned copy of the handle.
        std::vector<std::uint64_t> copy((key.size() - 8 + 7) / 8 + 1);
        std::memcpy(copy.data(), key.data() + 8, key.size() - 8);
        dir.reset(::open_by_handle_at(fileSystem.get(), reinterpret_cast<file_handle*>(copy.data()),
                                      O_PATH | O_CLOEXEC));
    }
    struct stat st {};
    if (!dir || ::fstat(dir.get(), &st) != 0 || st.st_nlink == 0) return {};
    std::string path = pathOfFolder(dir.get(), outside);
    if (outside || (!path.empty() && !inside(local(path)) && !coversRoot(local(path)))) {
        ignore(dir.get());
        if (outsideKeys_.size() >= maxOutsideKeys) outsideKeys_.clear();
        outsideKeys_.insert(key);
    }
    if (path.empty()) return {};
    if (paths_.size() >= maxCachedPaths || pathBytes_ + key.size() + path.size() > maxCachedPathBytes)
        forgetPaths();
    paths_.emplace(key, path);
    pathBytes_ += key.size() + path.size();
    return path;
}

UniqueFd FanotifyBackend::openFileSystem(const std::string& fsid) {
    FileSystem known;
    {
        std::lock_guard guard(lock_);
        auto it = fileSystems_.find(fsid);
        if (it == fileSystems_.end()) return {};
        known = it->second;
    }
    // Not O_PATH: open_by_handle_at takes no such descriptor.
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    UniqueFd fd(openLongPath(known.folder, flags));
    if (fd && onFileSystem(fd.get(), fsid)) return fd;
    // Out of descriptors, nothing tells whether the file system is still there.
    if (!fd && (errno == EMFILE || errno == ENFILE)) return {};
    fd.reset();

    // The folder moved, went, or another disk was mounted over it: the file system may still be
    // mounted elsewhere. The mounts in the tree or above its root are tried before the others;
    // in each group those of its device first, then those of other local disks (a btrfs
    // subvolume has a device of its own), the newest first. No other mount is asked (a network
    // one may not answer). Once per file system that moved or left: the folder found is
    // remembered, and a file system found nowhere is forgotten.
    const std::vector<MountInfo> table = MountPolicy::parseMounts(MountPolicy::readMountTable());
    if (table.empty()) return {};
    std::vector<const MountInfo*> mounts;
    for (auto m = table.rbegin(); m != table.rend(); ++m) {
        if (m->device == known.device || MountPolicy::isLocalDisk(m->type)) mounts.push_back(&*m);
    }
    const std::string top = real_.empty() ? "/" : real_;
    std::stable_partition(mounts.begin(), mounts.end(),
                          [&](const MountInfo* m) { return m->device == known.device; });
    std::stable_partition(mounts.begin(), mounts.end(), [&](const MountInfo* m) {
        return isAtOrBelow(m->point, real_) || isAtOrBelow(top, m->point);
    });
    std::string found;
    for (const MountInfo* m : mounts) {
        fd.reset(openLongPath(m->point, flags));
        if (fd && onFileSystem(fd.get(), fsid)) {
            found = m->point;
            break;
        }
        fd.reset();
    }
    std::lock_guard guard(lock_);
    // Walks only add file systems: the entry is still there.
    auto it = fileSystems_.find(fsid);
    if (it == fileSystems_.end()) return fd;
    if (fd) {
        it->second.folder = found;
    } else {
        marked_.erase(it->second.device);
        fileSystems_.erase(it);
    }
    return fd;
}

void FanotifyBackend::ignore(int dirFd) {
    if (!ignoring_) return;
    // Evictable: the mark goes when the kernel drops the folder from its caches, so marks never
    // pin folders in memory; the next event of such a folder places a new one.
    // A mark takes no O_PATH descriptor, as a resolved handle is: the folder is named through
    // the descriptor's link in /proc, which leads to it without a walk of its path.
    char self[40];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", dirFd);
    if (::fanotify_mark(fd_.get(), FAN_MARK_ADD | FAN_MARK_IGNORE_SURV | FAN_MARK_EVICTABLE,
                        markMask | FAN_EVENT_ON_CHILD, AT_FDCWD, self) == 0) {
        ignored_ = true;
    } else if (errno == EINVAL || errno == ENOSPC || errno == EOPNOTSUPP) {
        ignoring_ = false;  // an older kernel, or out of marks: events are dropped here
    }
}

void FanotifyBackend::forgetIgnored() {
    outsideKeys_.clear();
    if (!ignored_) return;
    // Without FAN_MARK_FILESYSTEM the flush takes the marks of folders and files only.
    ::fanotify_mark(fd_.get(), FAN_MARK_FLUSH, 0, AT_FDCWD, nullptr);
    ignored_ = false;
    ignoring_ = true;
}

void FanotifyBackend::readEvents(Changes& out) {
    // Records are read with memcpy: the kernel packs them without padding to 8 bytes.
    char buffer[64 * 1024];
    std::vector<WalkStart> fresh;
    // The mark sees the whole file system: while other programs keep it busy, events may come
    // faster than they are read. What is left waits for the next call, so that the watcher's
    // thread still gets to the end of its walks and to its batches.
    for (int reads = 0; reads < maxReadsPerCall; ++reads) {
        const ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const char* const end = buffer + n;
        for (const char* at = buffer; at + sizeof(fanotify_event_metadata) <= end;) {
            fanotify_event_metadata m;
            std::memcpy(&m, at, sizeof m);
            if (m.vers != FANOTIFY_METADATA_VERSION || m.event_len < m.metadata_len ||
                m.event_len > static_cast<std::size_t>(end - at)) {
                break;
            }
            const char* info = at + m.metadata_len;
            const char* const eventEnd = at + m.event_len;
            at = eventEnd;
            if (m.fd >= 0) ::close(m.fd);
            if (m.mask & FAN_Q_OVERFLOW) {
                out.deep.insert(root_);
                continue;
            }
            while (info + sizeof(fanotify_event_info_header) <= eventEnd) {
                fanotify_event_info_header h;
                std::memcpy(&h, info, sizeof h);
                if (h.len < sizeof h || h.len > static_cast<std::size_t>(eventEnd - info)) break;
                const char* const infoEnd = info + h.len;
                const char* handle = info + offsetof(fanotify_event_info_fid, handle);
                if ((h.info_type == FAN_EVENT_INFO_TYPE_DFID_NAME ||
                     h.info_type == FAN_EVENT_INFO_TYPE_DFID) &&
                    handle + sizeof(file_handle) <= infoEnd) {
                    unsigned int handleBytes;
                    std::memcpy(&handleBytes, handle + offsetof(file_handle, handle_bytes),
                                sizeof handleBytes);
                    if (handleBytes <=
                        static_cast<std::size_t>(infoEnd - handle) - sizeof(file_handle)) {
                        const char* handleEnd = handle + sizeof(file_handle) + handleBytes;
                        std::string name;
                        if (h.info_type == FAN_EVENT_INFO_TYPE_DFID_NAME) {
                            name.assign(handleEnd, ::strnlen(handleEnd, static_cast<std::size_t>(
                                                                            infoEnd - handleEnd)));
                        }
                        const std::string key =
                            std::string(info + offsetof(fanotify_event_info_fid, fsid), 8) +
                            std::string(handle, handleEnd);
                        bool known = false;
                        const std::string dir = local(resolve(key, known));
                        if (known || (!dir.empty() && !inside(dir) && !coversRoot(dir))) {
                            outside_.fetch_add(1, std::memory_order_relaxed);
                        } else {
                            // A folder moved in may bring ignore marks into the tree.
                            if ((m.mask & FAN_ONDIR) && (m.mask & FAN_MOVED_TO) && inside(dir))
                                forgetIgnored();
                            classify(dir, name, m.mask, out, fresh);
                        }
                    }
                }
                info = infoEnd;
            }
            // A folder moved may change the path of every cached folder below it. One deleted
            // had none below it, and its handle never names another folder.
            if ((m.mask & FAN_ONDIR) && (m.mask & (FAN_MOVED_FROM | FAN_MOVED_TO))) forgetPaths();
        }
    }
    if (fresh.empty()) return;
    WalkResult found = walkFolders(*this, fresh, 0, 1, mounts_, stopping_);
    out.dirs.merge(found.changed);
}

void FanotifyBackend::classify(const std::string& dir, const std::string& name, std::uint64_t mask,
                               Changes& out, std::vector<WalkStart>& fresh) const {
    if (dir.empty()) return;
    const bool named = !name.empty() && name != ".";
    if (inside(dir)) {
        out.dirs.insert(dir);
        if (named && (mask & FAN_ONDIR) && (mask & (FAN_CREATE | FAN_MOVED_TO))) {
            fresh.push_back(WalkStart{joinPath(dir, name), 0, name});
        }
    }
    if (!named) return;
    const std::string full = joinPath(dir, name);
    // A folder's own attributes (it may have become unreadable).
    if ((mask & FAN_ONDIR) && (mask & FAN_ATTRIB) && inside(full)) out.dirs.insert(full);
    if ((mask & (FAN_DELETE | FAN_MOVED_FROM | FAN_MOVED_TO)) && coversRoot(full)) {
        out.deep.insert(root_);
    }
}

void FanotifyBackend::settle(Changes&) {}

std::vector<WalkStart> FanotifyBackend::unwatchedFolders() const {
    std::lock_guard guard(lock_);
    std::vector<WalkStart> out;
    if (rootUnwatched_) out.push_back(WalkStart{root_, noParent, root_});
    for (const std::string& path : unwatched_) {
        out.push_back(WalkStart{path, 0, lastComponent(path)});
    }
    return out;
}

std::size_t FanotifyBackend::unwatchedCount() const {
    std::lock_guard guard(lock_);
    return unwatched_.size() + (rootUnwatched_ ? 1 : 0);
}

}  // namespace tamrel
