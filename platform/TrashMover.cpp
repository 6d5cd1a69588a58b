#include "platform/TrashMover.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <span>
#include <string_view>

#include "platform/PathText.h"
#include "platform/ProtectedPaths.h"
#include "platform/SafePath.h"
#include "platform/SafeTree.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

std::string trashInfo(const std::string& path) {
    char date[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + percentEncoded(path) + "\nDeletionDate=" + date + "\n";
}

// Gives the entry `name` of `dir`, seen as `e`, to owner/group: only root's entries and the
// owner's own (never another user's file), never a device node, and never a file with other
// hard links (the same inode may be visible elsewhere). In a folder of root's that nobody else
// may write to (`folder`), nobody can have swapped another entry in under the name since it was
// seen: it is changed by name. Anywhere else it is changed through a descriptor of the entry
// checked to be `e`, so an entry swapped in is never the one changed.
void giveEntry(int dir, const std::string& name, const TreeEntry& e, const TreeEntry* folder,
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
    TreeEntry now;
    if (!fd || !entryAt(fd.get(), "", now) || !now.same(e)) return;
    ::fchownat(fd.get(), "", owner, group, AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW);
}

// Gives the entry `name` of files/ and everything below it on the Trash's own mount to
// owner/group, deepest entries first, so that nobody else can change a folder's entries before
// its own turn comes.
void giveMoved(int files, const std::string& name, uid_t owner, gid_t group) {
    TreeEntry trash;
    if (!entryAt(files, "", trash)) return;
    walkTree(
        files, name,
        [&](int, const std::string&, const TreeEntry& e) {
            return e.sameMount(trash) && !(e.isDir() && e.mountRoot) ? Visit::enter : Visit::skip;
        },
        [&](int dir, const std::string& entry, const TreeEntry& e, const TreeEntry* folder) {
            giveEntry(dir, entry, e, folder, owner, group);
        });
}

// Why the tree at `name` in `parent` (its top seen as `top`) may not be handed to `owner` by a
// mover running with other rights: a device node, an entry of a user other than root and
// `owner`, or a mount point anywhere below the top. Nothing when it may.
std::optional<std::string> treeRefusal(int parent, const std::string& name, const TreeEntry& top,
                                       uid_t owner) {
    std::string why;
    const bool whole = walkTree(
        parent, name,
        [&](int, const std::string&, const TreeEntry& e) {
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
        [](int, const std::string&, const TreeEntry&, const TreeEntry*) {});
    if (whole) return std::nullopt;
    if (why.empty()) why = "it could not be read whole: " + errorText(errno);
    return why;
}

// `base`, shortened so that "base.N.trashinfo" fits in one file name.
std::string candidate(const std::string& base, int n) {
    const std::string suffix = n == 1 ? std::string() : "." + std::to_string(n);
    constexpr std::size_t room = NAME_MAX - sizeof(".trashinfo") + 1;
    return base.substr(0, room - suffix.size()) + suffix;
}

// Seconds as an index stores modification times.
std::uint32_t storedSeconds(std::int64_t seconds) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(seconds, 0, 0xFFFFFFFFll));
}

ExpectedItem::Type typeOf(mode_t mode) {
    if (S_ISREG(mode)) return ExpectedItem::Type::file;
    if (S_ISDIR(mode)) return ExpectedItem::Type::folder;
    if (S_ISLNK(mode)) return ExpectedItem::Type::link;
    return ExpectedItem::Type::other;
}

const char* typeName(ExpectedItem::Type type) {
    switch (type) {
        case ExpectedItem::Type::file:
            return "a file";
        case ExpectedItem::Type::folder:
            return "a folder";
        case ExpectedItem::Type::link:
            return "a symbolic link";
        case ExpectedItem::Type::other:
            break;
    }
    return "a special file";
}

std::pair<std::int64_t, std::uint32_t> birthOf(const TreeEntry& e) {
    return {e.birth.tv_sec, static_cast<std::uint32_t>(e.birth.tv_nsec)};
}

// What differs between the entry found, `name` in `parent` reached through the mounts `mounts`
// (see ExpectedItem::mounts), and the one expected; nothing when they match.
std::optional<std::string> difference(int parent, const std::string& name, const TreeEntry& e,
                                      std::span<const std::uint64_t> mounts,
                                      const ExpectedItem& expected) {
    const ExpectedItem::Type type = typeOf(e.mode);
    if (type != expected.type) {
        return std::string("it is ") + typeName(type) + " now, not " + typeName(expected.type);
    }
    // The same inode number with another birth time or generation: a file made anew in it.
    const auto madeAnew = [&] {
        if (expected.born && e.hasBirth()) return *expected.born != birthOf(e);
        if (!expected.generation) return false;
        const auto generation = generationAt(parent, name.c_str(), e);
        return generation && *generation != *expected.generation;
    };
    if ((expected.file && (expected.file->first != e.dev || expected.file->second != e.ino)) ||
        madeAnew()) {
        return std::string("another ") + (typeName(type) + 2) + " stands under its name";
    }
    if (!expected.mounts.empty() && !std::ranges::equal(expected.mounts, mounts)) {
        return "it is reached through another disk or mount than when it was picked";
    }
    if (expected.allocated && *expected.allocated != e.blocks * 512) return "its size changed";
    if (expected.mtime && *expected.mtime != storedSeconds(e.mtime.tv_sec)) {
        return "it was modified";
    }
    return std::nullopt;
}

// The item at a path, reached from "/" as TrashMover::trashItem() reaches it.
struct ReachedItem {
    Reached at;                         // its folder; at.path: the folder's components
    std::string name;                   // its name there
    std::string place;                  // its absolute path, links resolved
    TreeEntry entry;                    // valid once reached
    std::vector<std::uint64_t> mounts;  // of the walk, as ExpectedItem::mounts counts them
    TrashRefusal refusal = TrashRefusal::none;
    std::string why;
};

// Reaches the item at `given`, links followed only within expected->root (see
// TrashMover::trashItem()); a place isProtectedPlace() names is refused before it is looked at
// when `refuseProtected`; the item found must be what `expected` (when given) describes.
ReachedItem reachItem(const std::string& given, const ExpectedItem* expected,
                      bool refuseProtected) {
    ReachedItem out;
    const auto fail = [&out](TrashRefusal refusal, std::string why) {
        out.refusal = refusal;
        out.why = std::move(why);
        return std::move(out);
    };
    const auto parts = itemComponents(given, out.why);
    if (!parts) return fail(TrashRefusal::failed, out.why);
    // Links may stand only among the components of the folder the item was found below.
    std::size_t followable = parts->size() - 1;
    if (expected && !expected->root.empty()) {
        const auto root = pathComponents(expected->root);
        if (root.size() >= parts->size() || !std::equal(root.begin(), root.end(), parts->begin())) {
            return fail(TrashRefusal::failed, "it is not below the folder it was found in");
        }
        followable = root.size();
    }
    out.at = reachParent(*parts, followable, ::geteuid());
    if (!out.at.parent) return fail(out.at.refusal, out.at.why);
    out.name = parts->back();
    out.at.path.push_back(out.name);
    out.place = absolutePath(out.at.path);
    out.at.path.pop_back();
    if (refuseProtected && isProtectedPlace(out.place)) {
        return fail(TrashRefusal::protectedPlace, "\"" + out.place + "\" is never moved");
    }
    if (!entryAt(out.at.parent.get(), out.name.c_str(), out.entry)) {
        return fail(refusalOf(errno), errorText(errno));
    }
    out.mounts = out.at.mounts;
    out.mounts.push_back(out.entry.mount);
    if (expected) {
        if (auto differs =
                difference(out.at.parent.get(), out.name, out.entry, out.mounts, *expected)) {
            return fail(TrashRefusal::changed, *differs);
        }
    }
    return out;
}

// The hooks of TrashMover::setBeforeMove() and setAfterCopy().
std::function<void(const std::string&)>& beforeMove() {
    static std::function<void(const std::string&)> hook;
    return hook;
}
std::function<void(const std::string&)>& afterCopy() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

}  // namespace

// An item checked and ready to be moved.
struct TrashMover::Found {
    int parent = -1;               // the folder holding it (not owned)
    std::string name;              // its name in that folder
    TreeEntry entry;               // as it was checked
    std::vector<TreeEntry> above;  // the folders above it, its own folder included
    std::string place;             // its absolute path, as the .trashinfo records it
};

void TrashMover::setBeforeMove(std::function<void(const std::string&)> hook) {
    beforeMove() = std::move(hook);
}

void TrashMover::setAfterCopy(std::function<void(const std::string&)> hook) {
    afterCopy() = std::move(hook);
}

bool TrashMover::isProtectedPlace(std::string_view path) {
    return tamrel::isProtectedPlace(path);
}

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
    UniqueFd trash = ownFolder(parent.get(), base.c_str(), owner, group, why);
    if (!trash) return std::nullopt;
    return inFolder(std::move(trash), absolutePath(parts), owner, group, why);
}

std::optional<TrashMover> TrashMover::inFolder(UniqueFd trash, std::string path, uid_t owner,
                                               gid_t group, std::string& why) {
    TrashMover m;
    m.owner_ = owner;
    m.group_ = group;
    m.elevated_ = ::geteuid() != owner;
    std::vector<TreeEntry> chain;
    if (!climb(trash.get(), chain)) {
        why = "cannot find where the Trash lies: " + errorText(errno);
        return std::nullopt;
    }
    m.trash_ = {chain.front().dev, chain.front().ino};
    for (const TreeEntry& folder : chain)
        m.chain_.emplace_back(folder.dev, folder.ino);
    m.files_ = ownFolder(trash.get(), "files", owner, group, why);
    if (!m.files_) return std::nullopt;
    m.info_ = ownFolder(trash.get(), "info", owner, group, why);
    if (!m.info_) return std::nullopt;
    m.path_ = std::move(path);
    return m;
}

std::optional<TrashMover> TrashMover::diskTrash(int top, const std::string& topPath, uid_t uid,
                                                gid_t gid, std::string& why) {
    const std::string id = std::to_string(uid);
    // $topdir/.Trash/$uid: only in a real .Trash folder with the sticky bit, and only when the
    // user's folder in it is a real folder of theirs.
    if (UniqueFd shared = realFolder(top, ".Trash", uid, true, true)) {
        ::mkdirat(shared.get(), id.c_str(), 0700);
        if (UniqueFd mine = realFolder(shared.get(), id.c_str(), uid, false, false)) {
            if (auto m = inFolder(std::move(mine), joinPath(joinPath(topPath, ".Trash"), id), uid,
                                  gid, why)) {
                return m;
            }
        }
    }
    // Else $topdir/.Trash-$uid, made by this user or refused.
    const std::string own = ".Trash-" + id;
    ::mkdirat(top, own.c_str(), 0700);
    UniqueFd mine = realFolder(top, own.c_str(), uid, false, false);
    if (!mine) {
        why = "no Trash of this user's on its disk";
        return std::nullopt;
    }
    return inFolder(std::move(mine), joinPath(topPath, own), uid, gid, why);
}

TrashResult TrashMover::trashItem(const std::string& given, const ExpectedItem* expected) {
    TrashResult out;
    const auto fail = [&out](TrashRefusal refusal, std::string why) {
        out.refusal = refusal;
        out.why = std::move(why);
        return out;
    };
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    ReachedItem at = reachItem(given, expected, true);
    if (at.refusal != TrashRefusal::none) return fail(at.refusal, at.why);
    const TreeEntry& item = at.entry;
    if (item.uid != uid) {
        return fail(TrashRefusal::otherUser, "it belongs to user " + std::to_string(item.uid));
    }
    const int parent = at.at.parent.get();
    // A mounted file system cannot be renamed, nor does a copy of it belong in the Trash.
    if (isMountPoint(parent, item)) return fail(TrashRefusal::failed, "a mount point");
    Found found{parent, at.name, item, {}, at.place};
    if (!climb(parent, found.above)) return fail(refusalOf(errno), errorText(errno));

    const std::string homeDir = makeHomeTrash();
    if (homeDir.empty()) {
        return fail(TrashRefusal::noTrash, "no home Trash at \"" + homeTrashDirectory() + "\"");
    }
    std::string why;
    std::optional<TrashMover> home = open(homeDir, uid, gid, why);
    if (!home) return fail(TrashRefusal::noTrash, why);
    const auto takes = [&item](const TrashMover& m) {
        TreeEntry files;
        return entryAt(m.files_.get(), "", files) && files.sameMount(item);
    };
    std::optional<TrashMover> mover;
    if (takes(*home)) {
        mover = std::move(home);
        mover->mayCopy_ = false;
    } else {
        const std::vector<std::string>& folders = at.at.path;
        std::size_t up = 0;
        const UniqueFd top = mountTop(parent, up);
        if (top && up <= folders.size()) {
            const std::string topPath = absolutePath(std::span(folders).first(folders.size() - up));
            mover = diskTrash(top.get(), topPath, uid, gid, why);
            if (mover && !takes(*mover)) mover.reset();
            if (mover) {
                mover->top_ = topPath;
                mover->mayCopy_ = false;
            }
        }
        // The disk has no Trash for this user: a copy into the home Trash, with the user's own
        // rights.
        if (!mover) mover = std::move(home);
    }
    const auto moved = mover->moveFound(found, out.why, out.refusal);
    if (!moved) {
        if (out.refusal == TrashRefusal::none) out.refusal = TrashRefusal::failed;
        return out;
    }
    out.where = mover->path_ + "/files/" + *moved;
    return out;
}

std::optional<std::string> TrashMover::trashItem(const std::string& path, std::string& why) {
    TrashResult result = trashItem(path, nullptr);
    why = std::move(result.why);
    return std::move(result.where);
}

TrashResult TrashMover::checkItem(const std::string& given, const ExpectedItem& expected) {
    ReachedItem at = reachItem(given, &expected, false);
    return {std::nullopt, at.refusal, std::move(at.why)};
}

TrashResult TrashMover::recordItem(const std::string& given, ExpectedItem& expected) {
    ReachedItem at = reachItem(given, &expected, false);
    if (at.refusal != TrashRefusal::none) {
        // No item has inode 0: every move of this one is refused.
        expected.file = {0, 0};
        expected.born.reset();
        expected.generation.reset();
        expected.mounts.clear();
        return {std::nullopt, at.refusal, std::move(at.why)};
    }
    const TreeEntry& item = at.entry;
    const int parent = at.at.parent.get();
    expected.file = {item.dev, item.ino};
    expected.born.reset();
    expected.generation.reset();
    if (item.hasBirth()) {
        expected.born = birthOf(item);
    } else {
        expected.generation = generationAt(parent, at.name.c_str(), item);
    }
    expected.mounts = std::move(at.mounts);
    const auto refused = [](TrashRefusal refusal, std::string why) {
        return TrashResult{std::nullopt, refusal, std::move(why)};
    };
    if (isProtectedPlace(at.place)) {
        return refused(TrashRefusal::protectedPlace, "\"" + at.place + "\" is never moved");
    }
    if (item.uid != ::geteuid()) {
        return refused(TrashRefusal::otherUser, "it belongs to user " + std::to_string(item.uid));
    }
    if (isMountPoint(parent, item)) return refused(TrashRefusal::failed, "a mount point");
    // Renaming it, or removing it once copied, changes its folder.
    if (::faccessat(parent, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return refused(refusalOf(errno), errorText(errno));
    }
    return {};
}

std::optional<std::string> TrashMover::move(const std::string& path, std::string& why,
                                            const ExpectedItem* expected) {
    const auto found = itemComponents(path, why);
    if (!found) return std::nullopt;
    const std::vector<std::string>& parts = *found;
    Found item;
    UniqueFd parent = openFolder(parts, parts.size() - 1, why, &item.above);
    if (!parent) return std::nullopt;
    item.parent = parent.get();
    item.name = parts.back();
    item.place = absolutePath(parts);
    if (!entryAt(parent.get(), item.name.c_str(), item.entry)) {
        why = errorText(errno);
        return std::nullopt;
    }
    if (expected) {
        // No link stands in the path: its last components are the scanned folder and those
        // below it, whose mounts the pick recorded.
        std::vector<std::uint64_t> mounts;
        for (const TreeEntry& folder : item.above)
            mounts.push_back(folder.mount);
        mounts.push_back(item.entry.mount);
        const std::size_t recorded = std::min(expected->mounts.size(), mounts.size());
        if (auto differs = difference(parent.get(), item.name, item.entry,
                                      std::span(mounts).last(recorded), *expected)) {
            why = *differs;
            return std::nullopt;
        }
    }
    TrashRefusal refusal = TrashRefusal::none;
    return moveFound(item, why, refusal);
}

std::optional<std::string> TrashMover::moveFound(const Found& found, std::string& why,
                                                 TrashRefusal& refusal) {
    const int parent = found.parent;
    const std::string& base = found.name;
    const TreeEntry& item = found.entry;
    refusal = TrashRefusal::failed;
    for (const TreeEntry& folder : found.above) {
        if (folder.dev == trash_.first && folder.ino == trash_.second) {
            why = "it is in the Trash";
            refusal = TrashRefusal::protectedPlace;
            return std::nullopt;
        }
    }
    // A mounted file system cannot be renamed; copying it would empty the volume instead.
    if (isMountPoint(parent, item)) {
        why = "it is a mount point";
        return std::nullopt;
    }
    for (const auto& [dev, ino] : chain_) {
        if (dev == item.dev && ino == item.ino) {
            why = "it holds the Trash";
            refusal = TrashRefusal::protectedPlace;
            return std::nullopt;
        }
    }
    if (elevated_) {
        if (auto refused = treeRefusal(parent, base, item, owner_)) {
            why = *refused;
            return std::nullopt;
        }
    }
    std::string infoPath = found.place;
    if (!top_.empty()) {
        const std::string below = top_ == "/" ? "/" : top_ + "/";
        if (infoPath.starts_with(below)) infoPath = infoPath.substr(below.size());
    }
    const std::string info = trashInfo(infoPath);
    bool hooked = false;
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
        if (!hooked && beforeMove()) beforeMove()(found.place);
        hooked = true;
        int moved = ::renameat2(parent, base.c_str(), files_.get(), name.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL) {
            // A file system without RENAME_NOREPLACE: test, then rename.
            struct stat st {};
            if (::fstatat(files_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                errno = EEXIST;
            } else {
                moved = ::renameat(parent, base.c_str(), files_.get(), name.c_str());
            }
        }
        if (moved == 0) {
            // What arrived must be what was checked: another item renamed in under the name
            // since then goes back, and nothing moves in its place.
            TreeEntry arrived;
            if (!entryAt(files_.get(), name.c_str(), arrived) || !arrived.same(item)) {
                refusal = TrashRefusal::changed;
                why = "it changed just before the move";
                if (::renameat2(files_.get(), name.c_str(), parent, base.c_str(),
                                RENAME_NOREPLACE) == 0) {
                    dropInfo();
                } else {
                    why += "; what took its place is in the Trash";
                }
                return std::nullopt;
            }
            if (elevated_) giveMoved(files_.get(), name, owner_, group_);
            refusal = TrashRefusal::none;
            return name;
        }
        if (errno == EEXIST || errno == ENOTEMPTY) {
            dropInfo();
            continue;
        }
        if (errno != EXDEV || !mayCopy_) {
            refusal = refusalOf(errno);
            if (refusal == TrashRefusal::gone) refusal = TrashRefusal::changed;
            why = errorText(errno);
            dropInfo();
            return std::nullopt;
        }
        const CopyRules rules{item, elevated_, owner_};
        Copy copied = copyTree(parent, base.c_str(), files_.get(), name.c_str(), rules, why, true);
        if (copied == Copy::exists) {
            dropInfo();
            continue;
        }
        if (copied == Copy::done) {
            // On disk before anything of the original goes.
            UniqueFd sync(::openat(files_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!sync || ::syncfs(sync.get()) != 0) {
                why = "the copy could not be written to disk: " + errorText(errno);
                copied = Copy::failed;
            }
        }
        if (copied != Copy::done) {
            // Only what this copy made goes again: an entry of that name that was in the Trash
            // before stays.
            if (copied == Copy::failed) removeTree(files_.get(), name.c_str());
            dropInfo();
            return std::nullopt;
        }
        if (elevated_) giveMoved(files_.get(), name, owner_, group_);
        if (afterCopy()) afterCopy()(found.place);
        std::size_t removed = 0;
        if (!removeCopied(parent, base.c_str(), files_.get(), name.c_str(), removed, &item)) {
            if (removed == 0) {
                // The item is whole where it was: a copy that differs from it would only mislead.
                refusal = TrashRefusal::changed;
                why = "it changed while it was copied";
                if (removeTree(files_.get(), name.c_str())) {
                    dropInfo();
                } else {
                    why += "; part of the copy stayed in the Trash";
                }
                return std::nullopt;
            }
            why = "copied to the Trash, but what changed or appeared meanwhile stayed in place";
            return std::nullopt;
        }
        refusal = TrashRefusal::none;
        return name;
    }
    why = "no free name in the Trash";
    return std::nullopt;
}

}  // namespace tamrel
