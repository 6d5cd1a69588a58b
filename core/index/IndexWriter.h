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
#include "core/scan/Listing.h"
#include "platform/UniqueFd.h"

namespace tamrel {

// The one write path into a DiskIndex. A writer builds node arrays: it lays out the arrays in one
// region of fixed capacity, appends nodes one folder block at a time in depth-first order (from
// listings, or copied from an older index), and finish() folds sizes, item counts and subtree
// ends upward and hands the region to a new DiskIndex. The static members are the few changes a
// built index takes in place, and the adoption of a region mapped from a saved file.
//
// Calling order: add() the root (id 0, parent NONE), then blocks, each written before any block
// below it, then finish() once. Not thread-safe; one writer per build. The static changes may run
// while others read the index, each under the lock its comment names.
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

    // Appends a listing's entries as the child block of p and returns (node id, child listing id)
    // of every folder entry, in block order. p's denied flag follows listing.denied.
    std::vector<std::pair<NodeId, std::uint32_t>> writeBlock(const Listing& listing, NodeId p);

    // Appends the whole crawled subtree of listing `listing` below `into` in pre-order (each
    // folder's block, then the subtree of its first subfolder, then the next), without recursion
    // and with the blocks written in parallel on the compute pool. A folder whose listing is
    // missing gets no children; a listing referenced twice is written at its first reference.
    // Each listing's memory is released once written, so the crawl and the region are not both
    // whole at once. Throws std::system_error(EOVERFLOW), having written nothing, when the
    // subtree does not fit or an entry's name lies outside its listing's names.
    void emitFresh(Crawl& crawl, std::uint32_t listing, NodeId into);

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
    // index; the scan time and date only while the caller holds the only reference to it.
    static void setEventID(DiskIndex& index, std::uint64_t id);
    static void setScanTime(DiskIndex& index, double seconds);
    static void setScannedAt(DiskIndex& index, DiskIndex::Clock::time_point t);

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
    // Writes node `id` with its name at byte `nameAt`; append() does so at the next free places.
    void put(NodeId id, std::uint64_t nameAt, const std::uint8_t* name, std::size_t length,
             std::uint8_t kind, std::uint64_t size, std::uint32_t mtime, std::uint32_t parent);
    NodeId append(const std::uint8_t* name, std::size_t length, std::uint8_t kind,
                  std::uint64_t size, std::uint32_t mtime, std::uint32_t parent);
    // finish(): a folder's own blocks are not counted; i's sums go into its parent p; every node
    // of [lo, hi) is folded, each into its parent (inside the range, or the folder owning it).
    void clearFolder(NodeId i);
    void foldInto(NodeId i, NodeId p);
    void foldRange(NodeId lo, NodeId hi);
    // finish() when most nodes were copied: folds only the nodes outside copied_.
    void foldAroundCopies();
    // Zeroes every array past the nodes written (the spare capacity).
    void clearSpare();

    Layout layout_;
    MappedRegion region_;
    NodeId next_ = 0;
    std::uint64_t nb_ = 0;
    // What copySubtree() wrote: the ranges of new ids (in id order) with their sums and subtree
    // ends as they will stay, and the nodes they were copied below.
    std::vector<std::pair<NodeId, NodeId>> copied_;
    std::vector<NodeId> copyRoots_;
    std::uint64_t copiedNodes_ = 0;
};

}  // namespace tamrel
