#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/scan/MountPolicy.h"
#include "core/live/WatchBackend.h"
#include "platform/UniqueFd.h"

namespace tamrel {

// Watches a tree with one fanotify mark on each file system it spans (folder-level events for
// the whole volume, no per-folder watches). Each event names a folder by file handle and an
// entry name; the folder's path comes from opening the handle, cached until a folder moves.
// A handle opens through a folder on its file system: the one the file system was first marked
// through, opened for that one call, or, once that has moved, gone or been covered, a mount of
// the file system in the mount table (then remembered instead). A file system with neither
// names no path any more (its events are unresolved, as those of a folder deleted since). No
// descriptor on a watched disk outlives a call, and marks keep no mount: a disk in the tree
// unmounts at once, and its marks end with it.
// Events outside the root are dropped: the first one of a folder outside (not above the root)
// also places an evictable ignore mark on that folder, so that the kernel drops its later
// events, and those of the files in it, before they are queued; a busy file system elsewhere
// then costs next to nothing. A folder moved into the tree may carry such a mark (or hold
// folders that do), so every ignore mark is removed then. A kernel without ignore marks (before
// 6.0), or out of marks, drops those events here instead. A full queue, or the root (or a
// folder above it) deleted or moved, reports the root in `deep`. A file system that refuses a
// mark leaves its folders unwatched.
//
// Thread safety: as WatchBackend; the marks, and the folders by which each marked file system is
// reached, are guarded by one lock. The path cache and the ignore marks belong to the watcher
// thread.
class FanotifyBackend final : public WatchBackend {
public:
    // Null when the process may not use fanotify this way (it needs CAP_SYS_ADMIN). Walks of
    // new folders end early once `stopping` is set; it must outlive the backend.
    static std::unique_ptr<FanotifyBackend> create(std::string root,
                                                   const std::atomic<bool>& stopping);

    Watcher::Status::Mode mode() const override { return Watcher::Status::Mode::fanotify; }
    int fd() const override { return fd_.get(); }
    WatchToken addFolder(WatchToken parent, std::string_view name, const std::string& path,
                         int dirFd, dev_t device) override;
    void unopened(WatchToken parent, std::string_view name, const std::string& path) override;
    void unreachable(const WalkStart& start) override;
    void readEvents(Changes& out) override;
    void settle(Changes& out) override;
    std::vector<WalkStart> unwatchedFolders() const override;
    std::size_t unwatchedCount() const override;
    std::uint64_t outsideEvents() const override { return outside_.load(); }

private:
    FanotifyBackend(UniqueFd fd, std::string root, const std::atomic<bool>& stopping);

    // The path of a folder, named by its file system id (8 bytes) and file handle, or "" when
    // it cannot be opened (deleted since). A folder outside the tree is given an ignore mark.
    // A folder known to lie outside, or below one that does, gives "" with `outside` set: its
    // path is not looked for.
    std::string resolve(const std::string& key, bool& outside);
    // A folder of the marked file system whose id is `fsid` (8 bytes), open for the caller's
    // one call; none when no folder of it can be reached (the file system is then
    // forgotten: a later walk that meets it marks it again).
    UniqueFd openFileSystem(const std::string& fsid);
    // Has the kernel drop the events of an open folder outside the tree and of its files.
    void ignore(int dirFd);
    // Removes every ignore mark, and forgets which folders lie outside.
    void forgetIgnored();
    // Empties the cache of folder paths.
    void forgetPaths();
    // The path of an open folder, "" when it has none; also past PATH_MAX. "" with `outside`
    // set when a folder above it is known to lie outside the tree.
    std::string pathOfFolder(int fd, bool& outside) const;
    // Adds what one event on `dir` (and entry `name` in it) means to `out`; folders that
    // appeared go to `fresh` to be walked.
    void classify(const std::string& dir, const std::string& name, std::uint64_t mask, Changes& out,
                  std::vector<WalkStart>& fresh) const;
    bool inside(const std::string& path) const;
    bool coversRoot(const std::string& path) const;
    // A resolved path (symbolic links resolved) as a path through the root as it was given.
    std::string local(const std::string& resolved) const;

    UniqueFd fd_;
    std::string root_;
    std::string base_;  // root_ without a trailing "/"
    std::string real_;  // base_ with its symbolic links resolved
    const std::atomic<bool>& stopping_;
    MountPolicy mounts_;

    mutable std::mutex lock_;
    std::set<dev_t> marked_;
    std::set<dev_t> refused_;
    // A marked file system: the path of a folder on it (as the walk or the mount table named
    // it), and its device.
    struct FileSystem {
        std::string folder;
        dev_t device = 0;
    };
    std::map<std::string, FileSystem> fileSystems_;  // by file system id bytes
    std::set<std::string> unwatched_;                // paths of folders on refused file systems
    bool rootUnwatched_ = false;

    std::unordered_map<std::string, std::string> paths_;  // handle key → folder path
    std::size_t pathBytes_ = 0;                           // of the keys and paths in paths_
    // Handle keys of folders found outside the tree (and not above the root). Unlike their
    // paths, this stays true when folders move, except into the tree: a folder deep below one
    // is then found outside at its nearest known ancestor, not by a walk up to the top.
    std::unordered_set<std::string> outsideKeys_;
    bool ignoring_ = true;  // ignore marks can be placed (cleared when the kernel refuses one)
    bool ignored_ = false;  // some are in place
    std::atomic<std::uint64_t> outside_{0};
};

}  // namespace tamrel
