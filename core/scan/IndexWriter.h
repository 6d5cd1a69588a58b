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

namespace tamrel {

// The only builder of node arrays. Lays out the arrays in one region of fixed capacity, appends
// nodes one folder block at a time in depth-first order (from listings, or copied from an older
// index), and finish() folds sizes, item counts and subtree ends upward and hands the region to
// a new DiskIndex.
//
// Calling order: add() the root (id 0, parent NONE), then blocks, each written before any block
// below it, then finish() once. Not thread-safe; one writer per build.
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
