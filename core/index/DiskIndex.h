#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/index/Layout.h"
#include "core/base/MappedRegion.h"
#include "platform/UniqueFd.h"

namespace tamrel {

class ScanProgress;
struct Changes;

// A node id: an index into the node arrays, valid within one index generation only. Across
// generations a node is identified by its path.
using NodeId = std::uint32_t;

// The no-node id: the root's parent, an entry without a listing.
inline constexpr std::uint32_t NONE = 0xFFFFFFFFu;

// The low two bits of a kind byte.
enum class Kind : std::uint8_t { file = 0, dir = 1, link = 2, other = 3 };

// The bits of a kind byte.
namespace Flag {
inline constexpr std::uint8_t kindMask = 3;
inline constexpr std::uint8_t hidden = 4;    // the file system's hidden flag
inline constexpr std::uint8_t mount = 8;     // a mount point that was not entered
inline constexpr std::uint8_t denied = 16;   // opening the folder failed
inline constexpr std::uint8_t removed = 32;  // moved to the Trash by this application
// A file with two or more hard links when it was listed: one of them carries its bytes, the
// others have size 0. Lets a refresh find the other links of a file it lists again.
inline constexpr std::uint8_t linked = 64;
// A plain file with an execute permission bit when it was listed (the file kinds of a Linux
// desktop count such a file without an extension as a program). Indexes saved before the bit
// was kept have it clear until their folders are listed again.
inline constexpr std::uint8_t executable = 128;
}  // namespace Flag

// Seconds since 1970 as modification times are stored: clamped into 0 .. 2^32 - 1.
inline std::uint32_t storedSeconds(std::int64_t seconds) {
    if (seconds < 0) return 0;
    if (seconds > 0xFFFFFFFFll) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(seconds);
}
inline std::uint32_t storedSeconds(std::chrono::system_clock::time_point t) {
    return storedSeconds(
        std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count());
}

// A half-open range of node ids, iterable.
struct IdRange {
    NodeId lo = 0;
    NodeId hi = 0;

    struct iterator {
        NodeId v;
        NodeId operator*() const { return v; }
        iterator& operator++() {
            ++v;
            return *this;
        }
        bool operator==(const iterator&) const = default;
    };
    iterator begin() const { return {lo}; }
    iterator end() const { return {hi}; }
    NodeId size() const { return hi - lo; }
    bool empty() const { return lo == hi; }
    bool contains(NodeId id) const { return id >= lo && id < hi; }
    friend bool operator==(const IdRange&, const IdRange&) = default;
};

// One scanned tree as parallel arrays by node id, all in one memory region that the index owns.
//
// Tree invariants (made by IndexWriter, relied on everywhere):
//  1. A node's children are the ids firstChild .. firstChild + childCount, in listing order.
//  2. parent(i) < i for every node but the root (id 0, parent NONE).
//  3. The descendants of a node with children are exactly subtree(i) = firstChild .. subtreeEnd.
//  4. A folder's size and items are the sums over its children (its own blocks are not counted).
//  5. The root's name is the root path; every other name is one path component.
//
// An index never gains nodes after it is built; the changes in place are markRemoved() and a
// refresh() that keeps the tree's shape.
//
// Thread safety: accessors take no lock. size(), items(), kind() and mtime() are relaxed atomic
// element reads, so the main thread may read them while markRemoved() or refresh() changes them
// on another thread. Those two take lock() exclusively; passes that read many sizes hold it
// shared for their whole pass, so they never see half of a change. Names, ids and the shape of
// the tree are immutable once built.
class DiskIndex : private NodeArrays<std::byte> {
public:
    using Clock = std::chrono::system_clock;

    // Takes ownership of `region`, laid out by `layout`, holding `count` nodes.
    DiskIndex(MappedRegion region, const Layout& layout, NodeId count, std::string rootPath);
    DiskIndex(const DiskIndex&) = delete;
    DiskIndex& operator=(const DiskIndex&) = delete;

    // Scans `root` with `threads` (at least 1) scanning threads into a new index. Blocks until
    // done; a cancelled scan still returns the partial index (the caller checks progress).
    // eventID is taken before the first folder is read. A root that cannot be opened gives a
    // single denied root node. Throws std::system_error when the index cannot be built (memory
    // refused, or more nodes or name bytes than 32-bit ids and offsets can hold).
    static std::unique_ptr<DiskIndex> scan(const std::string& root, ScanProgress& progress,
                                           int threads);

    const std::string& rootPath() const { return rootPath_; }
    NodeId count() const { return count_; }
    double scanTime() const { return scanTime_; }
    void setScanTime(double seconds) { scanTime_ = seconds; }
    std::uint64_t eventID() const { return eventID_.load(std::memory_order_relaxed); }
    void setEventID(std::uint64_t id) { eventID_.store(id, std::memory_order_relaxed); }
    Clock::time_point scannedAt() const { return scannedAt_; }
    void setScannedAt(Clock::time_point t) { scannedAt_ = t; }
    const Layout& layout() const { return layout_; }
    const MappedRegion& region() const { return region_; }

    // Held exclusively by markRemoved(), shared by passes over many sizes and by a save.
    std::shared_mutex& lock() const { return lock_; }

    // Element access. Ids must be below count(); nothing is checked.
    std::uint64_t size(NodeId i) const { return relaxedLoad(size_[i]); }
    std::uint32_t items(NodeId i) const { return relaxedLoad(items_[i]); }
    std::uint8_t kind(NodeId i) const { return relaxedLoad(kind_[i]); }
    Kind kindOf(NodeId i) const { return static_cast<Kind>(kind(i) & Flag::kindMask); }
    std::uint32_t mtime(NodeId i) const { return relaxedLoad(mtime_[i]); }
    std::uint32_t parent(NodeId i) const { return parent_[i]; }
    std::uint32_t firstChild(NodeId i) const { return firstChild_[i]; }
    std::uint32_t childCount(NodeId i) const { return childCount_[i]; }
    std::uint32_t subtreeEnd(NodeId i) const { return subtreeEnd_[i]; }
    std::uint32_t mask(NodeId i) const { return mask_[i]; }
    std::uint32_t nameOff(NodeId i) const { return nameOff_[i]; }

    // The immutable arrays over 0 .. count() (nameOffsets over count() + 1), for hot loops.
    std::span<const std::uint8_t> nameData() const { return {names_, nameOff_[count_]}; }
    std::span<const std::uint32_t> nameOffsets() const { return {nameOff_, count_ + 1u}; }
    std::span<const std::uint32_t> parents() const { return {parent_, count_}; }
    std::span<const std::uint32_t> masks() const { return {mask_, count_}; }
    std::span<const std::uint32_t> mtimes() const { return {mtime_, count_}; }
    // Every array as laid out in the region, for block copies into a new generation. Sizes,
    // item counts, kinds and dates read through them need lock() held.
    NodeArrays<const std::byte> arrays() const { return {region_.data(), layout_}; }

    // Id of the node at an absolute path, or nothing. Components are compared byte for byte;
    // empty components are skipped. Removed nodes are found like any other.
    std::optional<NodeId> lookup(std::string_view path) const;
    // The node of this index at the path that node `id` of `other` has (as lookup(other.path(id))
    // finds it), or nothing: names are matched level by level, trying first the same place in
    // each folder's entries, where a refresh keeps the entries of a folder that did not change.
    // Linear in the depth when the places hold; `other` may be another generation of this root.
    std::optional<NodeId> counterpart(const DiskIndex& other, NodeId id) const;
    IdRange children(NodeId i) const { return {firstChild_[i], firstChild_[i] + childCount_[i]}; }
    // The descendants of i; empty (i+1 .. i+1) when i has no children.
    IdRange subtree(NodeId i) const {
        if (childCount_[i] == 0) return {i + 1, i + 1};
        return {firstChild_[i], subtreeEnd_[i]};
    }
    std::optional<NodeId> parentOf(NodeId i) const {
        if (parent_[i] == NONE) return std::nullopt;
        return parent_[i];
    }
    // b lies strictly below a.
    bool isAncestor(NodeId a, NodeId b) const { return subtree(a).contains(b); }
    // Ids from the root down to i, both included.
    std::vector<NodeId> ancestry(NodeId i) const;
    // Children not removed, largest first; equal sizes keep id order. With `head`, only the
    // first `head` are in that order and the rest follow in no particular order.
    std::vector<NodeId> sortedChildren(NodeId i, std::size_t head = SIZE_MAX) const;

    bool isDir(NodeId i) const { return (kind(i) & Flag::kindMask) == 1; }
    bool isFile(NodeId i) const { return (kind(i) & Flag::kindMask) == 0; }
    bool isDenied(NodeId i) const { return kind(i) & Flag::denied; }
    bool isRemoved(NodeId i) const { return kind(i) & Flag::removed; }
    // The node or any ancestor is removed.
    bool isGone(NodeId i) const;
    // The hidden flag is set or the name starts with ".".
    bool isHidden(NodeId i) const;

    // The name for display: invalid UTF-8 repaired with U+FFFD.
    std::string name(NodeId i) const;
    // The name bytes in place, exactly as the file system gave them.
    std::string_view nameBytes(NodeId i) const {
        return {reinterpret_cast<const char*>(names_) + nameOff_[i], nameOff_[i + 1] - nameOff_[i]};
    }
    // Absolute path, byte-exact (usable for file operations). The root gives rootPath()
    // unchanged; below a root "/" paths read "/a/b".
    std::string path(NodeId i) const;
    // A "file://" URL of path(i), percent-encoded.
    std::string url(NodeId i) const;
    std::uint64_t totalSize() const { return size(0); }

    // Flags i as removed and takes its bytes and items out of every ancestor; the sizes and
    // items of its descendants become 0. A node already removed is left alone. In memory only.
    void markRemoved(NodeId i);

    // Saved index files (Persist.cpp). One file per root path, in appDataDirectory(): a
    // 4096-byte header page (SavedIndexHeader) and then the region as it lies in memory.

    // The saved file of `root`: appDataDirectory() + "/" + the first 8 bytes of the SHA-256 of
    // the root path's bytes in lowercase hexadecimal + ".idx". The path is hashed exactly as
    // given ("/a" and "/a/" are two files). Creates the folder (mode 0700, with its missing
    // parents) when it is missing, ignoring failures. "" when there is no home folder.
    static std::string cacheURL(const std::string& root);

    // Writes the index to its saved file, with the checksum of its whole content in the header
    // (SavedIndexHeader), replacing the old file with rename() so that readers see the old file
    // or the new one whole. The new file is written without a name where the file system allows
    // it (O_TMPFILE), and named only to be renamed into place, so a save killed mid-way leaves
    // nothing behind; elsewhere it is a temporary file with a unique name in the same folder.
    // Either way it is flocked while written, and temporary files of earlier saves of the same
    // root that no save holds (the process was killed mid-way) are removed first. Anything at
    // the saved file's path that is not a regular file (a folder, a FIFO, a link) is moved aside
    // to that path + ".not-an-index" (or ".not-an-index.1", ...), never removed. Holds lock()
    // shared while writing, so the file never holds half of a removal; saves of one root in
    // this process run one at a time. Throws std::system_error in the generic category with
    // the errno of the failing call (ENAMETOOLONG for a root path over 3968 bytes, ENOENT
    // without a home folder); the old saved file is left as it was then. Nothing is flushed to
    // disk explicitly. Files are 0600.
    //
    // `Write::direct` writes around the page cache (O_DIRECT, where the file system takes it),
    // for a save that nothing reads back soon, as the periodic saves of a followed index: for
    // 3 million entries (168 MB) 0.01 s of CPU instead of 0.05 to 0.5 s of copying into the
    // cache (and reclaiming it), and the cache is left to other programs. `Write::cached` is
    // for a file the next open will read (after a fresh scan, at quit).
    enum class Write { cached, direct };
    void save(Write how = Write::cached) const;

    // The saved index of `root` mapped copy-on-write (a removal made in memory never reaches
    // the file), or null when there is none or it does not pass the checks: a regular file (a
    // FIFO or anything else is not opened for reading, so nothing waits on it) of this format,
    // the capacities and the file size they imply, the stored root path byte for byte, and the
    // tree itself (checkSavedTree). A damaged file is never read out of bounds. Maps and checks
    // the structure; it does not parse or copy, nor read the whole file: savedFileIntact() does
    // that, afterwards. `damaged`, when given, is set to whether a file of this format for this
    // root was there and refused. Removes stale temporary files of saves of `root` first.
    static std::unique_ptr<DiskIndex> load(const std::string& root, bool* damaged = nullptr);

    // Whether the saved file this index was loaded from holds, byte for byte, what was written
    // to it: the checksum in its header over its whole content, read from the file again (not
    // from this index's memory, which removals change). True for an index that was not loaded.
    // Reads the whole file (about 6 ms for a million entries from the page cache): call it off
    // the main thread. Thread-safe.
    bool savedFileIntact() const;

    // The scan date of the saved index of `root`, read from the first 64 bytes of its file;
    // nothing when there is no regular file there, it is shorter or its magic differs.
    static std::optional<Clock::time_point> cachedDate(const std::string& root);

    // The next generation of this index (Refresh.cpp): folders in changes.dirs are listed again
    // one level deep, subtrees in changes.deep are scanned again (the root in deep means a fresh
    // scan), folders new to the index are scanned whole, everything else is copied. A changed
    // path leads to its nearest folder in this index; one outside the root is ignored. Each
    // folder listed or scanned again, and each of their ancestors, gets the modification time
    // the disk has now, as a fresh scan would give it. When a file with several links is
    // listed, or was in a folder listed again, every linked file of the result is read from the
    // disk again so that each file counts once, at its first link in id order, and every link
    // shows the file's date (linkPatches()). This index is not changed; lock() is held shared
    // while it is read.
    //
    // The result's eventID is the event id taken before anything is listed, or `oldestPending`
    // when that is earlier and not 0: the owner passes the watcher's oldestPending() taken after
    // it took `changes`, so a saved index never claims changes it has not applied. scanTime and
    // scannedAt are carried over (a fresh scan sets its own). `progress` counts the scans.
    // Blocks until done. Throws std::system_error when the new index cannot be built (memory
    // refused, more nodes than 32-bit ids hold).
    std::unique_ptr<DiskIndex> refreshed(const Changes& changes, ScanProgress& progress,
                                         std::uint64_t oldestPending = 0) const;

    // The changes applied the cheaper way. When they keep the tree's shape (nothing is scanned
    // again, every folder listed again is readable and holds the same entries in the same order,
    // folders still folders and files still files, none of them removed, and no file with
    // several links is among them), this index takes them itself: new kinds, sizes and dates
    // of the entries listed again and of the folders above them, and the new eventID, all
    // written under lock() held exclusively. Ids and paths stay valid; the result is null.
    // Otherwise the result is the next generation, as refreshed() builds it, and this index is
    // not changed. Arguments, event id and exceptions as refreshed().
    std::unique_ptr<DiskIndex> refresh(const Changes& changes, ScanProgress& progress,
                                       std::uint64_t oldestPending = 0);

private:
    // The first child of i named `name`; the child at `place` in its block is tried first.
    std::optional<NodeId> childNamed(NodeId i, std::string_view name, NodeId place = NONE) const;
    // Gives node i a new kind, size and date, and moves the sizes of its ancestors with it. The
    // caller holds lock() exclusively, or holds a generation no one else has.
    void setNode(NodeId i, std::uint8_t kind, std::uint64_t size, std::uint32_t mtime);
    // What refreshed() and refresh() share: `patch` is this index when it may take the changes
    // itself, else null.
    std::unique_ptr<DiskIndex> refreshInto(const Changes& changes, ScanProgress& progress,
                                           std::uint64_t oldestPending, DiskIndex* patch) const;

    template <typename T>
    static T relaxedLoad(T& v) {
        return std::atomic_ref<T>(v).load(std::memory_order_relaxed);
    }
    template <typename T>
    static void relaxedStore(T& v, T x) {
        std::atomic_ref<T>(v).store(x, std::memory_order_relaxed);
    }

    std::string rootPath_;
    NodeId count_;
    double scanTime_ = 0;
    std::atomic<std::uint64_t> eventID_{0};
    Clock::time_point scannedAt_;
    MappedRegion region_;
    Layout layout_;
    mutable std::shared_mutex lock_;
    UniqueFd savedFile_;  // the saved file a loaded index was mapped from; closed otherwise
};

}  // namespace tamrel
