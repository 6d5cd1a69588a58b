#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/MountPolicy.h"
#include "core/WatchBackend.h"
#include "platform/UniqueFd.h"

namespace tamrel {

// Watches a tree with inotify, one watch per folder, and turns events into changed folders.
//
// The watches form a tree of (parent watch, name) so that paths follow folders renamed inside
// the tree. A folder created or moved in is walked at once (watched, and reported with every
// folder below it, so a folder that replaced one of the same name is listed again); a folder
// moved out loses its watches. A full event queue, or the root deleted or moved, reports the
// root in `deep`. When no further watch can be placed (the kernel's per-user limit, or
// `maxWatches`), the folder is remembered as unwatched.
//
// Thread safety: as WatchBackend; the watch tree is guarded by one lock.
class InotifyBackend final : public WatchBackend {
public:
    // `root` as the index names it. With no inotify instance to be had, nothing is watched and
    // every walk start is remembered as unwatched.
    InotifyBackend(std::string root, std::size_t maxWatches);

    Kind kind() const override { return fd_ ? Kind::inotify : Kind::none; }
    int fd() const override { return fd_.get(); }
    WatchToken addFolder(WatchToken parent, std::string_view name, const std::string& path,
                         int dirFd, dev_t device) override;
    void unreachable(const WalkStart& start) override;
    void readEvents(Changes& out) override;
    void settle(Changes& out) override;
    std::vector<WalkStart> unwatchedFolders() const override;
    std::size_t unwatchedCount() const override;

private:
    struct Node {
        WatchToken parent;
        std::string name;
        std::unordered_map<std::string, int> children;
        std::set<std::string> unwatchedChildren;
    };
    struct Event {
        int wd;
        std::uint32_t mask;
        std::uint32_t cookie;
        std::string name;
        int age;  // batch ends waited for the watch's record
    };

    void handle(const Event& e, Changes& out, std::vector<WalkStart>& fresh);
    void walkNew(const std::vector<WalkStart>& fresh, Changes& out);
    std::string pathOf(int wd) const;
    void subtreePaths(int wd, Changes& out) const;
    void forget(int wd, bool removeWatches);
    void remember(WatchToken parent, std::string_view name);
    void forgetUnwatched(int parent, const std::string& name);

    UniqueFd fd_;
    std::string root_;
    std::size_t maxWatches_;
    MountPolicy mounts_;

    mutable std::mutex lock_;
    std::unordered_map<int, Node> nodes_;
    int rootWd_ = -1;
    bool rootUnwatched_ = false;
    std::size_t unwatchedTotal_ = 0;
    std::vector<Event> early_;  // events whose watch was not recorded yet when they were read
    std::unordered_map<std::uint32_t, std::pair<int, std::string>> movedFrom_;
};

}  // namespace tamrel
