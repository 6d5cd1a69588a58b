#include "platform/SafePath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <deque>

#include "platform/PathText.h"

namespace tamrel {

namespace {

// A link that nobody but root and `uid` could have put where it is: it belongs to one of them,
// in a folder that belongs to one of them and that nobody else may write to, or that has the
// sticky bit (where only the link's owner may replace it).
bool trustedLink(const TreeEntry& folder, const TreeEntry& link, uid_t uid) {
    const auto ours = [uid](uid_t owner) { return owner == 0 || owner == uid; };
    const bool closed = (folder.mode & (S_IWGRP | S_IWOTH)) == 0 || (folder.mode & S_ISVTX);
    return ours(link.uid) && ours(folder.uid) && closed;
}

}  // namespace

std::optional<std::vector<std::string>> itemComponents(const std::string& path, std::string& why) {
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

UniqueFd openFolder(const std::vector<std::string>& parts, std::size_t count, std::string& why,
                    std::vector<TreeEntry>* passed) {
    UniqueFd at(::open("/", pathFlags));
    TreeEntry e;
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
    TreeEntry here;
    if (!at || !entryAt(at.get(), "", here)) return fail(refusalOf(errno), errorText(errno));
    int links = 0;
    // From the folder the followable components lead to on, each folder's mount, and the
    // disks met.
    std::vector<dev_t> disks;
    const auto passed = [&] {
        if (mayLink != 0 || !out.mounts.empty()) return;
        out.mounts.push_back(here.mount);
        disks.push_back(here.dev);
    };
    while (!todo.empty()) {
        passed();
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
        TreeEntry e;
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
        TreeEntry opened;
        if (!next || !entryAt(next.get(), "", opened) || !opened.same(e)) {
            return fail(next ? TrashRefusal::changed : refusalOf(errno),
                        next ? "its folders changed while they were opened" : errorText(errno));
        }
        if (!out.mounts.empty()) {
            // A scan enters each disk once: a second mount of a disk met on the way down (a bind
            // mount) holds nothing it listed.
            if (opened.mount != here.mount &&
                std::find(disks.begin(), disks.end(), opened.dev) != disks.end()) {
                return fail(TrashRefusal::changed, "a disk mounted a second time stands in its path");
            }
            out.mounts.push_back(opened.mount);
            disks.push_back(opened.dev);
        }
        at = std::move(next);
        here = opened;
        out.path.push_back(part);
    }
    passed();
    out.parent = std::move(at);
    return out;
}

}  // namespace tamrel
