#pragma once

#include <cstdint>
#include <memory>

#include "core/index/DiskIndex.h"

namespace tamrel {

class ScanProgress;
struct Changes;

// Applies the changes the watcher took to an index: the next generation built beside the old
// one, or, when the tree keeps its shape, the old one patched in place. Either way it writes
// only through IndexWriter.
class Refresher {
public:
    // The next generation of `old`: folders in changes.dirs are listed again one level deep,
    // subtrees in changes.deep are scanned again (the root in deep means a fresh scan), folders
    // new to the index are scanned whole, everything else is copied. A changed path leads to its
    // nearest folder in `old`; one outside the root is ignored, and one that leads to a mount
    // point that was not entered leads to that mount point as changes.mounts does. A folder in
    // changes.mounts is listed again in its parent and entered afresh as a scan would enter it
    // (its old entries dropped), or kept empty as a mount point not to enter; a folder listed
    // again does so by itself for each subfolder whose mount is not the one `old` holds (the
    // mount table, read before anything is listed, has another there, or the subfolder's mount
    // flag changed). The result holds the mounts of that table where folders were listed, and
    // those of `old` elsewhere (DiskIndex::mounts()). Each folder listed or scanned again, and
    // each of their ancestors, gets the modification time the disk has now, as a fresh scan
    // would give it. When a file with several links is listed, or was in a folder listed again,
    // every linked file of the result is read from the disk again so that each file counts
    // once, at its first link in id order, and every link shows the file's date and mode
    // (linkPatches()). `old` is not changed; old.lock() is held shared while it is read.
    //
    // The result's eventID is the event id taken before anything is listed, or `oldestPending`
    // when that is earlier and not 0: the owner passes the watcher's oldestPending() taken after
    // it took `changes`, so a saved index never claims changes it has not applied. scanTime and
    // scannedAt are carried over (a fresh scan sets its own). `progress` counts the scans.
    // Blocks until done. Throws std::system_error when the new index cannot be built (memory
    // refused, more nodes than 32-bit ids hold).
    static std::unique_ptr<DiskIndex> refreshed(const DiskIndex& old, const Changes& changes,
                                                ScanProgress& progress,
                                                std::uint64_t oldestPending = 0);

    // The changes applied the cheaper way. When they keep the tree's shape (nothing is scanned
    // again, no mount changed, every folder listed again is readable and holds the same entries
    // in the same order, folders still folders and files still files, none of them removed, and
    // no file with several links is among them), `index` takes them itself: new kinds, sizes
    // and dates of the entries listed again and of the folders above them, and the new eventID,
    // all written under index.lock() held exclusively. Ids and paths stay valid; the result is null.
    // Otherwise the result is the next generation, as refreshed() builds it, and `index` is not
    // changed; except that a generation holding the very nodes `index` holds (names, kinds,
    // sizes, dates, in the same order) is not handed out: `index` takes its event id, and the
    // result is null. `changed`, when given, is set to whether the content (anything but the
    // event id) differs from what `index` held: false when the disk was found as the index had
    // it, so its saved file needs no new save. Arguments, event id and exceptions as
    // refreshed().
    static std::unique_ptr<DiskIndex> refresh(DiskIndex& index, const Changes& changes,
                                              ScanProgress& progress,
                                              std::uint64_t oldestPending = 0,
                                              bool* changed = nullptr);

private:
    // What refreshed() and refresh() share: `patch` is `old` when it may take the changes
    // itself, else null; `changed` is given with `patch`.
    static std::unique_ptr<DiskIndex> refreshInto(const DiskIndex& old, const Changes& changes,
                                                  ScanProgress& progress,
                                                  std::uint64_t oldestPending, DiskIndex* patch,
                                                  bool* changed);
};

}  // namespace tamrel
