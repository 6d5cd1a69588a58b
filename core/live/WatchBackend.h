#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/live/Changes.h"
#include "core/live/Watcher.h"

namespace tamrel {

// Identifies a watched folder to the backend that watches it (an inotify instance and watch
// descriptor); never negative for a watched folder.
using WatchToken = std::int64_t;
inline constexpr WatchToken noParent = -1;   // the parent "token" of a walk's first folder
inline constexpr WatchToken unwatched = -2;  // a folder no watch covers

// Where a walk starts: a folder path, and how the backend knows it (its parent's token and its
// name there; the root's parent is noParent and its name is the root path).
struct WalkStart {
    std::string path;
    WatchToken parent = noParent;
    std::string name;
    // When an earlier walk found this unwatched folder empty (an event id), or 0: while its
    // entries changed last well before then (its mtime 2 s older, for coarse file times) and its
    // ctime is older than the walk's stamp, it is still empty and unchanged, and is not opened.
    std::uint64_t emptySince = 0;
};

// The kernel interface a Watcher reads events from: fanotify or inotify.
//
// Thread safety: addFolder() and unreachable() may be called from several walking threads at
// once and while the watcher thread reads events; everything else runs on the watcher thread,
// except unwatchedCount(), which any thread may call.
class WatchBackend {
public:
    virtual ~WatchBackend() = default;

    // The watcher's Status::mode: none when nothing can be watched at all.
    virtual Watcher::Status::Mode mode() const = 0;
    // Readable when events wait; -1 when there is nothing to read.
    virtual int fd() const = 0;

    // Watches a folder that a walk has just opened (`dirFd`, on `device`), before the walk reads
    // its entries. Returns its token, or `unwatched` when no watch could be placed (a limit
    // reached), in which case the folder is remembered for the next walk of unwatched folders; a
    // folder below an unwatched parent is neither watched nor remembered.
    virtual WatchToken addFolder(WatchToken parent, std::string_view name, const std::string& path,
                                 int dirFd, dev_t device) = 0;
    // A walk has read the entries of the folder it watched as `token`, starting at event id
    // `at`: `files` that are not folders and `folders` that are. A backend short of watches may
    // later take back the watch of a small folder with none below it, for a folder that may
    // hold more.
    virtual void listed(WatchToken token, std::size_t files, std::size_t folders,
                        std::uint64_t at) {
        (void)token, (void)files, (void)folders, (void)at;
    }
    // As listed(), for a walk's start that has no watch (parent and name as in its WalkStart).
    virtual void listedUnwatched(WatchToken parent, std::string_view name, std::size_t files,
                                 std::size_t folders, std::uint64_t at) {
        (void)parent, (void)name, (void)files, (void)folders, (void)at;
    }
    // A walk could not open a folder below its start for want of descriptors: it is
    // remembered as unwatched, so that a later walk of unwatched folders looks at it.
    virtual void unopened(WatchToken parent, std::string_view name, const std::string& path) = 0;
    // A walk could not open the folder it starts at. The root stays remembered as unwatched;
    // a folder below it is forgotten (its parent's events report its end), or first tried
    // again at a path that a move may have changed since.
    virtual void unreachable(const WalkStart& start) = 0;

    // Reads the events waiting, without blocking, into `out`; a backend may leave some for the
    // next call (its fd() stays readable then).
    virtual void readEvents(Changes& out) = 0;
    // At the end of a batch: handles events that came before their watch was recorded, and
    // drops the watches of folders that were moved out of the tree.
    virtual void settle(Changes& out) = 0;

    // The folders that no watch covers, as walk starts; and how many there are.
    virtual std::vector<WalkStart> unwatchedFolders() const = 0;
    virtual std::size_t unwatchedCount() const = 0;
    // Events read so far that lay outside the tree (any thread).
    virtual std::uint64_t outsideEvents() const { return 0; }
};

}  // namespace tamrel
