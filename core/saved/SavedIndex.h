#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/index/DiskIndex.h"

namespace tamrel {

// Saved index files: one file per root path, in appDataDirectory(): a 4096-byte header page
// (SavedIndexHeader) and then the index's region as it lies in memory. The writer reads an index
// under its lock; the reader builds one through IndexWriter.
class SavedIndex {
public:
    // The saved file of `root`: appDataDirectory() + "/" + the first 8 bytes of the SHA-256 of
    // the root path's bytes in lowercase hexadecimal + ".idx". The path is hashed exactly as
    // given ("/a" and "/a/" are two files). Creates the folder (mode 0700, with its missing
    // parents) when it is missing, ignoring failures. "" when there is no home folder.
    static std::string cacheURL(const std::string& root);

    // Writes `index` to its saved file, with the checksum of its whole content in the header
    // (SavedIndexHeader), replacing the old file with rename() so that readers see the old file
    // or the new one whole. The new file is written without a name where the file system allows
    // it (O_TMPFILE), and named only to be renamed into place, so a save killed mid-way leaves
    // nothing behind; elsewhere it is a temporary file with a unique name in the same folder.
    // Either way it is flocked while written, and temporary files of earlier saves of the same
    // root that no save holds (the process was killed mid-way) are removed first. Anything at
    // the saved file's path that is not a regular file (a folder, a FIFO, a link) is moved aside
    // to that path + ".not-an-index" (or ".not-an-index.1", ...), never removed. Holds
    // index.lock() shared while writing, so the file never holds half of a removal; saves of one
    // root in this process run one at a time. Throws std::system_error in the generic category
    // with the errno of the failing call (ENAMETOOLONG for a root path over 3968 bytes, ENOENT
    // without a home folder); the old saved file is left as it was then. Nothing is flushed to
    // disk explicitly. Files are 0600.
    //
    // `Write::direct` writes around the page cache (O_DIRECT, where the file system takes it),
    // for a save that nothing reads back soon, as the periodic saves of a followed index: for
    // 3 million entries (168 MB) 0.01 s of CPU instead of 0.05 to 0.5 s of copying into the
    // cache (and reclaiming it), and the cache is left to other programs. `Write::cached` is
    // for a file the next open will read (after a fresh scan, at quit).
    enum class Write { cached, direct };
    static void save(const DiskIndex& index, Write how = Write::cached);

    // The saved index of `root` mapped copy-on-write (a removal made in memory never reaches
    // the file), or null when there is none or it does not pass the checks: a regular file (a
    // FIFO or anything else is not opened for reading, so nothing waits on it) of this format,
    // the capacities and the file size they imply, the stored root path byte for byte, and the
    // tree itself (checkSavedTree). A damaged file is never read out of bounds. Maps and checks
    // the structure; it does not parse or copy, nor read the whole file: savedFileIntact() does
    // that, afterwards. `damaged`, when given, is set to whether a file of this format for this
    // root was there and refused. Removes stale temporary files of saves of `root` first.
    static std::unique_ptr<DiskIndex> load(const std::string& root, bool* damaged = nullptr);

    // Whether the saved file `index` was loaded from holds, byte for byte, what was written to
    // it: the checksum in its header over its whole content, read from the file again (not from
    // the index's memory, which removals change). True for an index that was not loaded. Reads
    // the whole file (about 6 ms for a million entries from the page cache): call it off the
    // main thread. Thread-safe.
    static bool savedFileIntact(const DiskIndex& index);

    // The scan date of the saved index of `root`, read from the first 64 bytes of its file;
    // nothing when there is no regular file there, it is shorter or its magic differs.
    static std::optional<DiskIndex::Clock::time_point> cachedDate(const std::string& root);
};

}  // namespace tamrel
