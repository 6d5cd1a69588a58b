#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/scan/Listing.h"
#include "core/scan/ReadAhead.h"

namespace tamrel {

class DiskIndex;
class ScanProgress;

// Reads the metadata of every entry below a folder on several threads, one Listing per folder.
//
// Folders are opened relative to their parent's open descriptor (never by path), taken from one
// last-in-first-out job stack so the scan runs depth first; a folder's descriptor stays open until
// all its subfolders are opened. Symbolic links are never followed. Mount points are entered as
// MountPolicy says. When reads reach the disk, helper threads walk the tree ahead of the scanning
// threads (ReadAhead); they change how fast folders are listed, never what is listed.
class Scanner {
public:
    // Scans `root` with `threads` (at least 1) scanning threads into a new index. Blocks until
    // done; a cancelled scan still returns the partial index (the caller checks progress).
    // eventID is taken before the first folder is read, and so is the mount table whose mounts
    // the index holds (heldMounts()). A root that cannot be opened gives a
    // single denied root node. Throws std::system_error when the index cannot be built (memory
    // refused, or more nodes or name bytes than 32-bit ids and offsets can hold).
    static std::unique_ptr<DiskIndex> scan(const std::string& root, ScanProgress& progress,
                                           int threads);

    // Listings of every folder reached below `root`, the root's listing (id 0) first; entries of
    // folders that were listed carry their listing ids in `child`. A root that cannot be opened
    // gives one denied listing. `threads` must be at least 1. Blocks until done; on cancellation
    // the workers drop pending folders and return what they listed.
    // Folders are read ahead as ReadAhead::defaultMode() says.
    static std::vector<Listing> crawl(const std::string& root, int threads, ScanProgress& progress);
    // The same with folders read ahead as `readAhead` says; what is listed does not change.
    static std::vector<Listing> crawl(const std::string& root, int threads, ScanProgress& progress,
                                      ReadAhead::Mode readAhead);

    // The entries of one folder, not descending (every child NONE); nothing when the folder
    // cannot be opened.
    static std::optional<Listing> listOne(const std::string& path);
};

}  // namespace tamrel
