#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/UniqueFd.h"

namespace tamrel {

// What a move expects to find at a path: the item as the index generation the user picked it in
// recorded it. trashItem() moves it only while the item there still matches.
struct ExpectedItem {
    enum class Type : std::uint8_t { file, folder, link, other };
    Type type = Type::file;
    // The folder the item was found below (the scanned folder, as its index names it). Symbolic
    // links among the components of this folder were followed by the scan and are followed
    // again when trusted (see trashItem()); below it the scan followed none, and the move follows
    // none. Empty: every folder above the item counts as part of it.
    std::string root{};
    // Allocated bytes (blocks of 512) and modification time in whole seconds (clamped into
    // 0 .. 2^32 - 1), compared when set. The model never sets them for a folder: an index keeps
    // a folder's time from the listing of its parent, which lags behind changes inside it.
    std::optional<std::uint64_t> allocated{};
    std::optional<std::uint32_t> mtime{};
    // Device and inode of the item itself (a file, folder or link), compared when set: another
    // item made or renamed in under the name is not the one picked, however alike. A folder
    // that changed inside keeps its own. TrashMover::recordItem() sets them at the pick.
    std::optional<std::pair<dev_t, ino_t>> file{};
    // What tells the file that has the inode now from one that had its number before (ext4
    // gives a freed number to the next file made, at once): its birth time (seconds and
    // nanoseconds) where the file system gives one (ext2/3/4, xfs, btrfs, tmpfs, overlayfs),
    // else the inode's generation number where it can be read (generationAt(): ext4 with
    // 128-byte inodes). TrashMover::recordItem() sets one of them at the pick; each is compared
    // when set and the item found has one too. A file written to since keeps both and still
    // matches, except a file of an overlayfs's lower layer, which its first change copies up
    // into a file of another birth time: refused as changed. Where neither is given, a file made
    // anew in the same inode number with the same size and time is taken for the one picked:
    // ramfs gives neither (it gives no inode number again soon); tmpfs on older kernels, vfat,
    // exfat, ntfs3, NFS and FUSE file systems may not either (not checked).
    std::optional<std::pair<std::int64_t, std::uint32_t>> born{};
    std::optional<std::uint32_t> generation{};
    // The mount ids the walk to the item passes, compared when not empty: the folder `root`
    // names (the item's own folder when `root` is empty), each folder below it and the item,
    // in that order. A mount put over any of them since, or another disk mounted in the place
    // of the scanned one, makes the walk pass another mount, and the move is refused.
    // TrashMover::recordItem() sets them at the pick.
    std::vector<std::uint64_t> mounts{};

    friend bool operator==(const ExpectedItem&, const ExpectedItem&) = default;
};

// An ExpectedItem as one program argument
// ("type=folder,device=2049,inode=12,born=1700000000.000012345,mounts=31/31/40", fields left out
// when not set; `root` is never part of it), for the administrator step, which takes paths with
// no links in them: there `mounts` are those of the path's last components. An argument written
// before `born` and `generation` were fields reads as an item without them.
std::string expectedArgument(const ExpectedItem& expected);
// The ExpectedItem expectedArgument() wrote; nothing for any other text.
std::optional<ExpectedItem> parseExpectedArgument(std::string_view text);

// Why a move did not happen, in the terms the user is told.
enum class TrashRefusal : std::uint8_t {
    none,            // moved; for a failure: no reason known
    gone,            // nothing at the path any more
    changed,         // not what was picked: another kind, size, time or file, or swapped meanwhile
    otherUser,       // the item belongs to another user
    permission,      // the system refused the move for want of rights
    link,            // a symbolic link stands among its folders where none may be followed
    protectedPlace,  // the place the move reaches is one the Trash never takes
    noTrash,         // no Trash may take it: none on its disk, and no home Trash
    rightsRefused,   // administrator rights were needed and were not given
    failed,          // anything else; the result's `why` says what
};

// The outcome of TrashMover::trashItem().
struct TrashResult {
    std::optional<std::string> where;  // the item in the Trash (".../files/NAME") once moved
    TrashRefusal refusal = TrashRefusal::none;
    std::string why;  // what went wrong, in the system's words; empty once moved

    bool moved() const { return where.has_value(); }
};

// Moves items into a freedesktop.org Trash folder: each item goes to files/ under a name that
// nothing in the Trash has yet, with info/NAME.trashinfo saying where it came from and when
// (the path percent-encoded, so every byte of a name survives). Nothing in the Trash is ever
// overwritten and nothing is deleted outright. Folders are opened one component at a time
// without following links, so a link swapped into a path cannot redirect a move.
//
// Two ways in:
//  - trashItem(): every move under the user's own rights (the model's Trash, clean-up and
//    uninstall actions). Picks the Trash the freedesktop.org rules give the item; copies only
//    into the home Trash when the item's own disk has none for it.
//  - open() + move(): the privileged helper, running as root for the user `owner`. It renames
//    into the user's Trash, or copies when the Trash is on another file system, and gives what
//    it moved to the user. What it accepts is checked before anything moves (see move()).
//
// Paths are byte strings; one holding a NUL byte is refused everywhere.
// Not thread-safe: one mover object per thread. trashItem(), checkItem() and isProtectedPlace()
// keep no state and may be called from any thread.
class TrashMover {
public:
    // Moves the item at `path` (absolute, byte-exact) into this user's Trash under this
    // process's own rights, when it is still what `expected` (may be null: nothing to compare)
    // describes and belongs to this user.
    //
    // The item's folder is reached one component at a time from "/" without following a
    // symbolic link, except within `expected->root`, where a link is followed when nobody but
    // root and this user could have put it there (it belongs to one of them, in a folder that
    // belongs to one of them and that others may not write to, or that has the sticky bit). The
    // item itself is never followed: a link is moved as a link. The place so reached (links
    // resolved) is what isProtectedPlace() judges and what the .trashinfo records; the move is a
    // rename relative to the folder's descriptor, so nothing swapped into the path afterwards
    // redirects it, and an item swapped between the checks and the rename is put back.
    //
    // The Trash, chosen by the freedesktop.org Trash rules: the home Trash
    // (homeTrashDirectory(), made with its parents when missing) when it lies on the item's
    // mount; otherwise the Trash at the top of the item's mount, $topdir/.Trash/$uid when
    // $topdir/.Trash is a real folder (not a link) with the sticky bit and $uid in it is this
    // user's own real folder (made 0700 when missing), else $topdir/.Trash-$uid (made 0700; refused
    // when it is a link or not this user's), each checked on descriptors; its .trashinfo then
    // holds the path relative to $topdir. When neither of those can take it, the item is copied
    // into the home Trash with this user's own rights: the original stays until the whole copy
    // exists and is synced to disk, and then exactly what was copied is removed (a tree holding a
    // file of another user is not copied; when what changed meanwhile leaves every entry in its
    // place, the copy and its .trashinfo go again). No home Trash: nothing moves.
    //
    // With `expected`, the item must still be what it says, reached through the same mounts
    // (see ExpectedItem); otherwise TrashRefusal::changed.
    static TrashResult trashItem(const std::string& path, const ExpectedItem* expected);
    // trashItem(path, nullptr): the item's path, or nothing with the reason in `why`.
    static std::optional<std::string> trashItem(const std::string& path, std::string& why);

    // Whether the item at `path` is still what `expected` describes (not its owner), reached as
    // trashItem() reaches it; nothing is moved. TrashRefusal::none when it is. For the items
    // handed to the administrator step.
    static TrashResult checkItem(const std::string& path, const ExpectedItem& expected);

    // For a pick: records in `expected` what identifies the item at `path` on disk now, reached
    // as trashItem() reaches it, which must still be what `expected` says (kind, size, time):
    // its device and inode (`file`), its birth time (`born`) or else its generation number
    // (`generation`), and the mounts of the walk from `expected.root` down to it (`mounts`).
    // When it cannot be reached or does not match, `file` becomes an identity no item has
    // (`born`, `generation` and `mounts` cleared), so that every move of it is refused as
    // changed, and the result says why (TrashRefusal::gone, link, changed...). Otherwise the
    // result says whether trashItem() would take it under this user's own rights:
    // TrashRefusal::none; protectedPlace for a place isProtectedPlace() names; otherUser for
    // another user's item; failed for a mount point; permission when this user may not change
    // its folder (the administrator step may still take the last three). One walk down the
    // path, a statx and an open a folder, and where no birth time is given an open of the item:
    // cheap enough for the main thread.
    static TrashResult recordItem(const std::string& path, ExpectedItem& expected);

    // A place the Trash never takes under the user's own rights: a relative path; a protected
    // path (isProtectedPath() with the home folder as $HOME gives it and as its links resolve);
    // a system folder (isSystemFolder()) unless it lies below this user's own home folder as the
    // password database gives it (a root session's /root); the home Trash, what lies in it and
    // the folders that hold it; this application's own data folder. Without a home folder
    // everything is. Reads the password database and resolves the home folders' links.
    static bool isProtectedPlace(std::string_view path);

    // For tests that change the disk between the checks and the move: called by every move
    // (trashItem() and move()) with the item's path once its checks have passed, right before it
    // is renamed or copied. Set and cleared while no move runs; null: none.
    static void setBeforeMove(std::function<void(const std::string&)> hook);
    // The same, called once a copy into another file system is whole and synced, right before
    // what was copied is removed from its place.
    static void setAfterCopy(std::function<void(const std::string&)> hook);

    // Opens the Trash folder `trashDir` (an absolute path; links in it are resolved once), making
    // it below an existing folder of `owner` when it is missing, and its files/ and info/ folders
    // (mode 0700, given to owner/group). Nothing, with the reason in `why`, when it cannot be
    // opened or made, or when it belongs to anybody but `owner`.
    static std::optional<TrashMover> open(const std::string& trashDir, uid_t owner, gid_t group,
                                          std::string& why);

    // Moves the item at `path` into the Trash under its own name, else "name.2", "name.3", ...,
    // writing its .trashinfo first. Returns the name in files/, or nothing with the reason in
    // `why`, in which case the item is where it was and the Trash holds nothing new. Another item
    // renamed in under the name between the checks and the move is put back.
    //
    // Always refused: a relative path, a NUL byte, "." or ".." components, a link among the
    // parent folders, a mount point, the Trash or a folder holding it, and anything in the
    // Trash (its files/ and info/ folders included).
    //
    // When the mover acts for another user than the one it runs as (the helper as root), it
    // also refuses, before anything moves, an item whose tree holds a device node, a file of a
    // user other than root and `owner`, or a mount point anywhere inside (bind mounts of the
    // same disk included). When the Trash lies on another file system the item is copied
    // (folders, files, links), refusing any file with more than one link; a copy that fails
    // for any reason is taken out of the Trash again and the original stays. After the whole
    // copy exists and is synced to disk, exactly what was copied is removed from the original
    // place: entries made or changed meanwhile stay there (the call then fails, with the copy
    // kept in the Trash, unless nothing was removed: then the copy and its .trashinfo go
    // again). What was moved is given to the owner (root's entries only; files with other hard
    // links keep theirs), walking with a fixed number of descriptors however deep the tree is.
    //
    // With `expected`, the item must still be what it describes: its kind, size, time and
    // identity, and the mounts of the path's last components those of expected.mounts.
    std::optional<std::string> move(const std::string& path, std::string& why,
                                    const ExpectedItem* expected = nullptr);

    // The Trash folder, links resolved.
    const std::string& path() const { return path_; }

private:
    struct Found;

    TrashMover() = default;

    // A mover for the Trash folder `trash`, whose path is `path`, making its files/ and info/
    // folders (see open()).
    static std::optional<TrashMover> inFolder(UniqueFd trash, std::string path, uid_t owner,
                                              gid_t group, std::string& why);
    // The Trash of `uid` at the top of a mount (the folder `top`, at `topPath`).
    static std::optional<TrashMover> diskTrash(int top, const std::string& topPath, uid_t uid,
                                               gid_t gid, std::string& why);
    // Moves the checked item; its name in files/, or nothing with the reason.
    std::optional<std::string> moveFound(const Found& found, std::string& why,
                                         TrashRefusal& refusal);

    std::string path_;
    // The folder the .trashinfo paths are relative to; empty for absolute paths.
    std::string top_;
    UniqueFd files_;
    UniqueFd info_;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    // Acting for another user than this process's: the stricter checks of move() apply.
    bool elevated_ = false;
    // A move to another file system may copy (the helper, and trashItem() into the home Trash
    // when the item's own disk has no Trash for it).
    bool mayCopy_ = true;
    // (device, inode) of the Trash folder, and of every folder above it.
    std::pair<dev_t, ino_t> trash_{};
    std::vector<std::pair<dev_t, ino_t>> chain_;
};

}  // namespace tamrel
