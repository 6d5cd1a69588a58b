#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/base/MappedRegion.h"
#include "core/index/DiskIndex.h"
#include "core/index/Layout.h"
#include "core/index/NameMask.h"
#include "platform/UniqueFd.h"

namespace tamrel {

// The one write path into a DiskIndex. A writer builds node arrays: it lays out the arrays in one
// region of fixed capacity, appends nodes one folder block at a time in depth-first order (runs
// of blocks laid out by their producer, e.g. a scan's crawl, or copied from an older index), and
// finish() folds sizes, item counts and subtree ends upward and hands the region to a new
// DiskIndex. The static members are the few changes a built index takes in place, and the
// adoption of a region mapped from a saved file.
//
// Calling order: add() the root (id 0, parent NONE), then blocks, each written before any block
// below it, then finish() once. Not thread-safe, but for put() (see take()); one writer per
// build. The static changes may run while others read the index, each under the lock its
// comment names.
class IndexWriter : private NodeArrays<std::byte> {
public:
    // Maps a region for `cap` nodes and `nameCap` name bytes (each raised to at least 1), as
    // `paging` says (a reused region need not be zero: every byte the index uses is written).
    // Throws std::system_error: EOVERFLOW when cap reaches NONE or nameCap does not fit 32-bit
    // name offsets, or the mmap error when memory is refused.
    IndexWriter(std::uint64_t cap, std::uint64_t nameCap,
                MappedRegion::Paging paging = MappedRegion::Paging::small);

    // Appends one node and returns its id. Throws std::system_error(EOVERFLOW) past capacity.
    NodeId add(std::string_view name, std::uint8_t kind, std::uint64_t size, std::uint32_t mtime,
               std::uint32_t parent);

    // A run of nodes taken at once: ids first .. first + nodes - 1, their names from byte
    // nameStart on.
    struct Run {
        NodeId first;
        std::uint64_t nameStart;
    };
    // Takes the next `nodes` ids and `nameBytes` name bytes for blocks that the caller lays out
    // itself. Every node of the run must then be written with put() before finish(), each node's
    // name right after the previous id's (ids and names in the same order), and every folder
    // with children linked to its block by setChildren(). Throws std::system_error(EOVERFLOW),
    // taking nothing, when they do not fit.
    Run take(std::uint64_t nodes, std::uint64_t nameBytes);

    // Writes node `id` of a taken run, its `length` name bytes at name byte `nameAt`, with no
    // children yet. put() and setChildren() may be called from several threads at once, each
    // node by one thread, while nothing else is called; the caller orders those writes before
    // finish().
    void put(NodeId id, std::uint64_t nameAt, const std::uint8_t* name, std::size_t length,
             std::uint8_t kind, std::uint64_t size, std::uint32_t mtime, std::uint32_t parent) {
        std::uint8_t* out = names_ + nameAt;
        std::uint32_t m = 0;
        for (std::size_t k = 0; k < length; ++k) {
            out[k] = name[k];
            m |= NameMask::table[name[k]];
        }
        nameOff_[id + 1] = static_cast<std::uint32_t>(nameAt + length);
        parent_[id] = parent;
        // A reused region holds whatever it held: every field is written.
        firstChild_[id] = 0;
        childCount_[id] = 0;
        subtreeEnd_[id] = 0;
        kind_[id] = kind;
        size_[id] = size;
        mtime_[id] = mtime;
        mask_[id] = m;
        items_[id] = (kind & Flag::kindMask) == 1 ? 0 : 1;
    }

    // Makes the `count` nodes from `first` on the children of `folder`, a node written already,
    // and sets its denied flag as `denied` says (opening the folder failed).
    void setChildren(NodeId folder, NodeId first, std::uint32_t count, bool denied) {
        firstChild_[folder] = first;
        childCount_[folder] = count;
        kind_[folder] = static_cast<std::uint8_t>((kind_[folder] & ~Flag::denied) |
                                                  (denied ? Flag::denied : 0));
    }

    // Appends the unchanged subtree of node o of `old` below node n, flags included, sums and
    // subtree ends too: n takes o's size and item count. Reads `old` with block copies; the
    // caller holds old.lock() (or the only reference to it).
    void copySubtree(const DiskIndex& old, NodeId o, NodeId n);

    // Completes the arrays and hands the region to a new index of next() nodes. Call once.
    std::unique_ptr<DiskIndex> finish(std::string rootPath);

    NodeId next() const { return next_; }
    const Layout& layout() const { return layout_; }

    // An index over a region mapped from a saved file: takes ownership of `region`, laid out by
    // `layout` and holding `count` nodes (the caller has checked the tree), and of `savedFile`,
    // the file it was mapped from (DiskIndex::savedFile()).
    static std::unique_ptr<DiskIndex> adopt(MappedRegion region, const Layout& layout, NodeId count,
                                            std::string rootPath, UniqueFd savedFile);

    // The stamps of a generation. The event id is atomic and may be set while others read the
    // index; the scan time and date, and the mounts it holds, only while the caller holds the
    // only reference to it.
    static void setEventID(DiskIndex& index, std::uint64_t id);
    static void setScanTime(DiskIndex& index, double seconds);
    static void setScannedAt(DiskIndex& index, DiskIndex::Clock::time_point t);
    static void setMounts(DiskIndex& index, HeldMounts mounts);

    // Flags i as removed and takes its bytes and items out of every ancestor; the sizes and
    // items of its descendants become 0. A node already removed is left alone. In memory only.
    // Takes index.lock() exclusively.
    static void markRemoved(DiskIndex& index, NodeId i);

    // Gives node i a new kind, size and date, and moves the sizes of its ancestors with it. The
    // caller holds index.lock() exclusively, or holds a generation no one else has.
    static void setNode(DiskIndex& index, NodeId i, std::uint8_t kind, std::uint64_t size,
                        std::uint32_t mtime);

private:
    IndexWriter(const Layout& layout, MappedRegion::Paging paging);
    IndexWriter(const Layout& layout, MappedRegion region);

    void reserve(std::uint64_t nodes, std::uint64_t nameBytes) const;
    // Writes a node with put() at the next free places.
    NodeId append(const std::uint8_t* name, std::size_t length, std::uint8_t kind,
                  std::uint64_t size, std::uint32_t mtime, std::uint32_t parent);
    // finish(): a folder's own blocks are not counted; i's sums go into its parent p; every node
    // of [lo, hi) is folded, each into its parent (inside the range, or the folder owning it).
    void clearFolder(NodeId i);
    void foldInto(NodeId i, NodeId p);
    void foldRange(NodeId lo, NodeId hi);
    // finish() when most nodes were copied: folds only the nodes outside copied_.
    void foldAroundCopies();
    // Zeroes every array past the nodes written (the spare capacity, and the gaps that align the
    // arrays), which a save writes too. Only a reused region needs it: one mapped afresh reads as
    // zero wherever it was not written, and writing those zeros would make every reserved page
    // resident (a generated index of 100 million nodes took 81 bytes a node instead of 53).
    void clearSpare();

    Layout layout_;
    MappedRegion region_;
    NodeId next_ = 0;
    std::uint64_t nb_ = 0;
    bool spareIsZero_ = false;  // the region was mapped afresh (see clearSpare())
    // What copySubtree() wrote: the ranges of new ids (in id order) with their sums and subtree
    // ends as they will stay, and the nodes they were copied below.
    std::vector<std::pair<NodeId, NodeId>> copied_;
    std::vector<NodeId> copyRoots_;
    std::uint64_t copiedNodes_ = 0;
};

}  // namespace tamrel
