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

// A file system mounted at a folder an index holds (its root, or a folder below it), as it was
// when the index's entries there were listed: the folder's path as the index names it, the
// mounted device and its file system type.
struct HeldMount {
    std::string path;
    std::uint64_t device = 0;
    std::string type;
    friend bool operator==(const HeldMount&, const HeldMount&) = default;
};

// The mounts an index holds, sorted by path; `known` is false for an index that does not say
// (one saved before they were recorded).
struct HeldMounts {
    bool known = false;
    std::vector<HeldMount> mounts;
    friend bool operator==(const HeldMounts&, const HeldMounts&) = default;
};

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
// Plain data and the queries over it: the producers (Scanner::scan, SavedIndex::load,
// Refresher) build and change an index only through IndexWriter.
//
// Tree invariants (made by IndexWriter, relied on everywhere):
//  1. A node's children are the ids firstChild .. firstChild + childCount, in listing order.
//  2. parent(i) < i for every node but the root (id 0, parent NONE).
//  3. The descendants of a node with children are exactly subtree(i) = firstChild .. subtreeEnd.
//  4. A folder's size and items are the sums over its children (its own blocks are not counted).
//  5. The root's name is the root path; every other name is one path component.
//
// An index never gains nodes after it is built; the changes in place are
// IndexWriter::markRemoved() and a Refresher::refresh() that keeps the tree's shape.
//
// Thread safety: accessors take no lock. size(), items(), kind() and mtime() are relaxed atomic
// element reads, so the main thread may read them while a removal or an in-place refresh changes
// them on another thread. Those two take lock() exclusively; passes that read many sizes hold it
// shared for their whole pass, so they never see half of a change. Names, ids and the shape of
// the tree are immutable once built.
class DiskIndex : private NodeArrays<std::byte> {
public:
    using Clock = std::chrono::system_clock;

    DiskIndex(const DiskIndex&) = delete;
    DiskIndex& operator=(const DiskIndex&) = delete;

    const std::string& rootPath() const { return rootPath_; }
    NodeId count() const { return count_; }
    double scanTime() const { return scanTime_; }
    std::uint64_t eventID() const { return eventID_.load(std::memory_order_relaxed); }
    Clock::time_point scannedAt() const { return scannedAt_; }
    // The mounts the index's content was listed with (a mount point entered or not), so that a
    // change of the mount table can be told from them.
    const HeldMounts& mounts() const { return mounts_; }
    const Layout& layout() const { return layout_; }
    const MappedRegion& region() const { return region_; }
    // The saved file this index was mapped from, open for reading, or -1 for an index that was
    // not loaded. Owned by the index.
    int savedFile() const { return savedFile_.get(); }

    // Held exclusively by a removal and an in-place refresh, shared by passes over many sizes
    // and by a save.
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

private:
    friend class IndexWriter;

    // Takes ownership of `region`, laid out by `layout`, holding `count` nodes.
    DiskIndex(MappedRegion region, const Layout& layout, NodeId count, std::string rootPath);

    // The first child of i named `name`; the child at `place` in its block is tried first.
    std::optional<NodeId> childNamed(NodeId i, std::string_view name, NodeId place = NONE) const;
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
    HeldMounts mounts_;
    MappedRegion region_;
    Layout layout_;
    mutable std::shared_mutex lock_;
    UniqueFd savedFile_;  // see savedFile()
};

}  // namespace tamrel
