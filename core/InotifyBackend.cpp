#include "core/InotifyBackend.h"

#include <sys/inotify.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/FolderWalk.h"

namespace tamrel {

namespace {

constexpr std::uint32_t watchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                    IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF |
                                    IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
// An event read before its watch was recorded waits this many batch ends for the record.
constexpr int earlyPatience = 2;

dev_t deviceOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_dev : 0;
}

}  // namespace

InotifyBackend::InotifyBackend(std::string root, std::size_t maxWatches)
    : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      root_(std::move(root)),
      maxWatches_(maxWatches),
      mounts_(deviceOf(root_)) {}

WatchToken InotifyBackend::addFolder(WatchToken parent, std::string_view name,
                                     const std::string& path, int dirFd, dev_t) {
    if (parent == unwatched) return unwatched;
    bool full;
    {
        std::lock_guard guard(lock_);
        full = nodes_.size() >= maxWatches_;
    }
    int wd = -1;
    if (fd_ && !full) {
        // The descriptor names exactly the folder opened, even if its path has changed since.
        char self[40];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", dirFd);
        wd = ::inotify_add_watch(fd_.get(), self, watchMask);
        if (wd < 0 && errno == ENOENT) {
            wd = ::inotify_add_watch(fd_.get(), path.c_str(), watchMask | IN_DONT_FOLLOW);
        }
    }
    if (wd < 0) {
        remember(parent, name);
        return unwatched;
    }

    std::lock_guard guard(lock_);
    Node* p = nullptr;
    if (parent != noParent) {
        auto it = nodes_.find(parent);
        if (it == nodes_.end()) {
            // The parent went away while this folder was being walked.
            if (!nodes_.contains(wd)) ::inotify_rm_watch(fd_.get(), wd);
            return unwatched;
        }
        p = &it->second;
    }
    auto [it, inserted] = nodes_.try_emplace(wd, Node{parent, std::string(name), {}, {}});
    if (!inserted && (it->second.parent != parent || it->second.name != name)) {
        // Watched before under another place: the walk that just opened it knows where it is.
        if (auto old = nodes_.find(it->second.parent); old != nodes_.end()) {
            auto c = old->second.children.find(it->second.name);
            if (c != old->second.children.end() && c->second == wd) old->second.children.erase(c);
        }
        it->second.parent = parent;
        it->second.name = std::string(name);
    }
    if (p) {
        p->children[std::string(name)] = wd;
        if (p->unwatchedChildren.erase(std::string(name))) --unwatchedTotal_;
    } else {
        rootWd_ = wd;
        if (rootUnwatched_) {
            rootUnwatched_ = false;
            --unwatchedTotal_;
        }
    }
    return wd;
}

void InotifyBackend::remember(WatchToken parent, std::string_view name) {
    std::lock_guard guard(lock_);
    if (parent == noParent) {
        if (!rootUnwatched_) ++unwatchedTotal_;
        rootUnwatched_ = true;
        return;
    }
    auto p = nodes_.find(parent);
    if (p != nodes_.end() && p->second.unwatchedChildren.emplace(name).second) ++unwatchedTotal_;
}

void InotifyBackend::forgetUnwatched(int parent, const std::string& name) {
    auto p = nodes_.find(parent);
    if (p != nodes_.end() && p->second.unwatchedChildren.erase(name)) --unwatchedTotal_;
}

void InotifyBackend::unreachable(const WalkStart& start) {
    if (start.parent == noParent) {
        remember(noParent, start.name);
        return;
    }
    std::lock_guard guard(lock_);
    forgetUnwatched(start.parent, start.name);
}

std::string InotifyBackend::pathOf(int wd) const {
    std::vector<const std::string*> names;
    for (int at = wd; at >= 0 && names.size() <= nodes_.size();) {
        auto it = nodes_.find(at);
        if (it == nodes_.end()) break;
        names.push_back(&it->second.name);
        at = it->second.parent;
    }
    if (names.empty()) return root_;
    std::string out = *names.back();
    for (auto n = names.rbegin() + 1; n != names.rend(); ++n) out = joinPath(out, **n);
    return out;
}

void InotifyBackend::subtreePaths(int wd, Changes& out) const {
    std::vector<std::pair<int, std::string>> stack{{wd, pathOf(wd)}};
    while (!stack.empty()) {
        auto [at, path] = std::move(stack.back());
        stack.pop_back();
        auto it = nodes_.find(at);
        if (it == nodes_.end()) continue;
        for (const auto& [name, child] : it->second.children) stack.emplace_back(child, joinPath(path, name));
        out.dirs.insert(std::move(path));
    }
}

void InotifyBackend::forget(int wd, bool removeWatches) {
    auto top = nodes_.find(wd);
    if (top == nodes_.end()) return;
    if (auto p = nodes_.find(top->second.parent); p != nodes_.end()) {
        auto c = p->second.children.find(top->second.name);
        if (c != p->second.children.end() && c->second == wd) p->second.children.erase(c);
    }
    std::vector<int> stack{wd};
    while (!stack.empty()) {
        const int at = stack.back();
        stack.pop_back();
        auto it = nodes_.find(at);
        if (it == nodes_.end()) continue;
        for (const auto& [name, child] : it->second.children) stack.push_back(child);
        unwatchedTotal_ -= it->second.unwatchedChildren.size();
        if (removeWatches) ::inotify_rm_watch(fd_.get(), at);
        if (at == rootWd_) rootWd_ = -1;
        nodes_.erase(it);
    }
}

void InotifyBackend::handle(const Event& e, Changes& out, std::vector<WalkStart>& fresh) {
    if (e.mask & IN_Q_OVERFLOW) {
        out.deep.insert(root_);
        return;
    }
    auto it = nodes_.find(e.wd);
    if (it == nodes_.end()) {
        if (!(e.mask & IN_IGNORED)) early_.push_back(e);
        return;
    }
    const bool isRoot = e.wd == rootWd_;
    if (e.mask & (IN_IGNORED | IN_MOVE_SELF)) {
        if (!isRoot) {
            if (e.mask & IN_IGNORED) forget(e.wd, false);
            return;
        }
        // The root itself went away or elsewhere: rescan it, and watch it again by walking.
        out.deep.insert(root_);
        forget(e.wd, true);
        if (!rootUnwatched_) ++unwatchedTotal_;
        rootUnwatched_ = true;
        return;
    }
    if (e.mask & IN_DELETE_SELF) {
        if (isRoot) out.deep.insert(root_);
        return;
    }
    const std::string path = pathOf(e.wd);
    if (e.mask & IN_UNMOUNT) {
        out.deep.insert(path);
        return;
    }
    out.dirs.insert(path);
    if (e.name.empty() || !(e.mask & IN_ISDIR)) return;

    if (e.mask & IN_MOVED_FROM) {
        movedFrom_[e.cookie] = {e.wd, e.name};
        return;
    }
    if (e.mask & IN_DELETE) {
        forgetUnwatched(e.wd, e.name);
        return;
    }
    if (e.mask & IN_MOVED_TO) {
        if (auto from = movedFrom_.find(e.cookie); from != movedFrom_.end()) {
            const auto [fromWd, fromName] = from->second;
            movedFrom_.erase(from);
            if (auto fp = nodes_.find(fromWd); fp != nodes_.end()) {
                if (auto c = fp->second.children.find(fromName); c != fp->second.children.end()) {
                    const int child = c->second;
                    fp->second.children.erase(c);
                    Node& moved = nodes_.at(child);
                    moved.parent = e.wd;
                    moved.name = e.name;
                    nodes_.at(e.wd).children[e.name] = child;
                    // Listed again one by one: a folder it replaced may have had the same names.
                    subtreePaths(child, out);
                    return;
                }
                forgetUnwatched(fromWd, fromName);
            }
        }
    } else if (!(e.mask & IN_CREATE)) {
        return;
    }
    fresh.push_back(WalkStart{joinPath(path, e.name), e.wd, e.name});
}

void InotifyBackend::walkNew(const std::vector<WalkStart>& fresh, Changes& out) {
    if (fresh.empty()) return;
    const std::atomic<bool> never{false};
    WalkResult found = walkFolders(*this, fresh, 0, 1, mounts_, never);
    for (std::string& p : found.changed) out.dirs.insert(std::move(p));
}

void InotifyBackend::readEvents(Changes& out) {
    if (!fd_) return;
    alignas(inotify_event) char buffer[64 * 1024];
    std::vector<WalkStart> fresh;
    for (;;) {
        const ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        std::lock_guard guard(lock_);
        for (ssize_t at = 0; at < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            Event e{ev->wd, ev->mask, ev->cookie, std::string(ev->name, ::strnlen(ev->name, ev->len)), 0};
            handle(e, out, fresh);
        }
    }
    walkNew(fresh, out);
}

void InotifyBackend::settle(Changes& out) {
    std::vector<WalkStart> fresh;
    {
        std::lock_guard guard(lock_);
        std::vector<Event> early;
        early.swap(early_);
        for (Event& e : early) {
            if (nodes_.contains(e.wd)) {
                handle(e, out, fresh);
            } else if (++e.age < earlyPatience) {
                early_.push_back(std::move(e));
            }
        }
        for (const auto& [cookie, from] : movedFrom_) {
            auto p = nodes_.find(from.first);
            if (p == nodes_.end()) continue;
            if (auto c = p->second.children.find(from.second); c != p->second.children.end()) {
                forget(c->second, true);
            } else {
                forgetUnwatched(from.first, from.second);
            }
        }
        movedFrom_.clear();
    }
    walkNew(fresh, out);
}

std::vector<WalkStart> InotifyBackend::unwatchedFolders() const {
    std::lock_guard guard(lock_);
    std::vector<WalkStart> out;
    if (rootUnwatched_) out.push_back(WalkStart{root_, noParent, root_});
    for (const auto& [wd, node] : nodes_) {
        if (node.unwatchedChildren.empty()) continue;
        const std::string path = pathOf(wd);
        for (const std::string& name : node.unwatchedChildren) {
            out.push_back(WalkStart{joinPath(path, name), wd, name});
        }
    }
    return out;
}

std::size_t InotifyBackend::unwatchedCount() const {
    std::lock_guard guard(lock_);
    return unwatchedTotal_;
}

}  // namespace tamrel
