#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/scan/MountPolicy.h"
#include "core/live/WatchBackend.h"
#include "platform/UniqueFd.h"

namespace tamrel {

// Watches a tree with inotify, one watch per folder, and turns events into changed folders.
// One inotify instance holds every watch, so that events arrive in the order the watch tree needs
// (InotifyBackend.cpp).
//
// The watches form a tree of (parent watch, name) so that paths follow folders renamed inside
// the tree. A folder created or moved in is walked at once (watched, and reported with every
// folder below it, so a folder that replaced one of the same name is listed again), and so is a
// folder whose attributes change (its permissions decide what can be opened below it); two
// folders exchanged in one call each keep their watches; a folder moved out loses its watches.
// A full event queue, or the root deleted or moved, reports the root in `deep`.
//
// When no further watch can be placed (the kernel's per-user limit, or `maxWatches`), a watch
// is taken back from a small folder with no folder below it (the fewest entries first, up to
// smallLeafFiles), which is remembered as unwatched instead; with none left, the new folder is.
// A walk of unwatched folders then reads a few entries of each small folder rather than whole
// subtrees, and passes over the empty ones by their times alone (see WalkStart::emptySince): on
// 3 million entries, 255,000 folders and a limit of 192,530 watches, the 62,700 folders left out
// are all small, and a walk of them costs 0.26 CPU-s instead of 1.75 (taking the watches back
// adds about 2.5 CPU-s to the first walk's 8).
//
// Thread safety: as WatchBackend; the watch tree is guarded by one lock.
class InotifyBackend final : public WatchBackend {
public:
    // `root` as the index names it. With no inotify instance to be had, nothing is watched and
    // every walk start is remembered as unwatched. Walks of new folders end early once
    // `stopping` is set; it must outlive the backend.
    InotifyBackend(std::string root, std::size_t maxWatches, const std::atomic<bool>& stopping);

    Watcher::Status::Mode mode() const override {
        return fd_ ? Watcher::Status::Mode::inotify : Watcher::Status::Mode::none;
    }
    int fd() const override { return fd_.get(); }
    WatchToken addFolder(WatchToken parent, std::string_view name, const std::string& path,
                         int dirFd, dev_t device) override;
    void unopened(WatchToken parent, std::string_view name, const std::string& path) override;
    void unreachable(const WalkStart& start) override;
    void listed(WatchToken token, std::size_t files, std::size_t folders,
                std::uint64_t at) override;
    void listedUnwatched(WatchToken parent, std::string_view name, std::size_t files,
                         std::size_t folders, std::uint64_t at) override;
    void readEvents(Changes& out) override;
    void settle(Changes& out) override;
    std::vector<WalkStart> unwatchedFolders() const override;
    std::size_t unwatchedCount() const override;

private:
    struct Node {
        WatchToken parent;
        std::string name;
        std::unordered_map<std::string, WatchToken> children;
        // Folders below it without a watch, by name: since when one is known to be empty (see
        // WalkStart::emptySince), or 0.
        std::map<std::string, std::uint64_t, std::less<>> unwatchedChildren;
    };
    // A folder moved away from (parent, name); `child` is its watch then, or `unwatched`.
    struct Moved {
        WatchToken parent;
        std::string name;
        WatchToken child;
        // Moved from a place another move had just filled: an exchange, or a move of the same
        // folder again, which the events alone do not tell apart. Both ends are walked again.
        bool recheck = false;
    };
    struct Event {
        WatchToken token;
        std::uint32_t mask;
        std::uint32_t cookie;
        std::string name;
        int age;  // batch ends waited for the watch's record
    };

    void handle(const Event& e, Changes& out, std::vector<WalkStart>& fresh);
    void walkNew(std::vector<WalkStart>& fresh, Changes& out);
    std::string pathOf(WatchToken token) const;
    void subtreePaths(WatchToken token, Changes& out) const;
    // Takes the folder out of its recorded parent's children, unless another watch holds its
    // name there by now.
    void detach(WatchToken token);
    void forget(WatchToken token, bool removeWatches);
    void remember(WatchToken parent, std::string_view name);
    void forgetUnwatched(WatchToken parent, const std::string& name);
    // The moved folder's watch is still recorded where it was moved from.
    bool stillAt(const Moved& m) const;
    // Whether placing a watch on (parent, name) may take one back from a small folder: not for
    // a folder a walk of unwatched folders starts at, which stays as it is until watches free.
    bool mayTakeBack(WatchToken parent, std::string_view name) const;
    // Takes back the watch of the smallest folder listed with no folder below it; false when
    // there is none. Its record stays (as `released_`) until the kernel confirms the end of the
    // watch, so that its events read meanwhile still name it.
    bool takeBackSmallLeaf();
    std::size_t watchCount() const { return nodes_.size() - released_.size(); }

    UniqueFd fd_;  // the inotify instance; a token is its watch descriptor
    std::string root_;
    std::size_t maxWatches_;
    const std::atomic<bool>& stopping_;
    MountPolicy mounts_;

    mutable std::mutex lock_;
    std::unordered_map<WatchToken, Node> nodes_;
    WatchToken rootToken_ = noParent;
    bool rootUnwatched_ = false;
    std::size_t unwatchedTotal_ = 0;
    // Watched folders listed with no folder below them, with when they were listed, by how
    // many files they held (up to smallLeafFiles): those whose watch may be taken back. A token
    // may be stale (checked when taken).
    struct Listed {
        WatchToken token;
        std::uint64_t at;
    };
    static constexpr std::size_t smallLeafFiles = 8;
    std::array<std::vector<Listed>, smallLeafFiles + 1> smallLeaves_;
    std::unordered_set<WatchToken> released_;  // watches taken back, not yet ended by the kernel
    // The kernel refused a watch for want of room since the last walk of unwatched folders began.
    mutable std::atomic<bool> kernelFull_{false};
    std::vector<Event> early_;  // events whose watch was not recorded yet when they were read
    // New folders a walk could not open, by parent and name: how often it tried.
    std::map<std::pair<WatchToken, std::string>, int> retry_;
    std::unordered_map<std::uint32_t, Moved> movedFrom_;
    // The place the last event's move filled, with the watch that held it before (or
    // `unwatched`): in an exchange (renameat2 RENAME_EXCHANGE) the next event but the moved
    // folder's own move takes that one out. Kept for that one event.
    std::optional<Moved> displaced_;
};

}  // namespace tamrel
