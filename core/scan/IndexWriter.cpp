#include "core/scan/IndexWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <tuple>

#include "core/base/ComputePool.h"
#include "core/index/NameMask.h"

namespace tamrel {

namespace {

[[noreturn]] void overflow(const char* what) {
    throw std::system_error(EOVERFLOW, std::generic_category(), what);
}

Layout checkedLayout(std::uint64_t cap, std::uint64_t nameCap) {
    cap = std::max<std::uint64_t>(cap, 1);
    nameCap = std::max<std::uint64_t>(nameCap, 1);
    if (cap >= NONE) overflow("too many entries for one index");
    if (nameCap > 0xFFFFFFFFu) overflow("names too long for one index");
    return Layout(cap, nameCap);
}

// An entry's name bytes in its listing, checked against the listing's names.
const std::uint8_t* nameOf(const Listing& listing, const RawEnt& e) {
    if (std::uint64_t{e.nameOff} + e.nameLen > listing.names.size()) {
        overflow("listing entry name out of range");
    }
    return listing.names.data() + e.nameOff;
}

// A folder's kind byte with the denied flag set as its listing says.
std::uint8_t withDenied(std::uint8_t kind, bool denied) {
    return static_cast<std::uint8_t>((kind & ~Flag::denied) | (denied ? Flag::denied : 0));
}

}  // namespace

IndexWriter::IndexWriter(std::uint64_t cap, std::uint64_t nameCap, MappedRegion::Paging paging)
    : IndexWriter(checkedLayout(cap, nameCap), paging) {}

IndexWriter::IndexWriter(const Layout& layout, MappedRegion::Paging paging)
    : IndexWriter(layout, MappedRegion::anonymous(layout.total, paging)) {}

IndexWriter::IndexWriter(const Layout& layout, MappedRegion region)
    : NodeArrays(region.data(), layout), layout_(layout), region_(std::move(region)) {}

void IndexWriter::reserve(std::uint64_t nodes, std::uint64_t nameBytes) const {
    if (nodes > layout_.cap - next_) overflow("index writer capacity exceeded");
    if (nameBytes > layout_.nameCap - nb_) overflow("index writer name capacity exceeded");
}

void IndexWriter::put(NodeId id, std::uint64_t nameAt, const std::uint8_t* name, std::size_t length,
                      std::uint8_t kind, std::uint64_t size, std::uint32_t mtime,
                      std::uint32_t parent) {
    std::uint8_t* out = names_ + nameAt;
    std::uint32_t m = 0;
    for (std::size_t k = 0; k < length; ++k) {
        out[k] = name[k];
        m |= NameMask::table[name[k]];
    }
    nameOff_[id + 1] = static_cast<std::uint32_t>(nameAt + length);
    parent_[id] = parent;
    kind_[id] = kind;
    size_[id] = size;
    mtime_[id] = mtime;
    mask_[id] = m;
    items_[id] = (kind & Flag::kindMask) == 1 ? 0 : 1;
}

NodeId IndexWriter::append(const std::uint8_t* name, std::size_t length, std::uint8_t kind,
                           std::uint64_t size, std::uint32_t mtime, std::uint32_t parent) {
    const NodeId id = next_++;
    put(id, nb_, name, length, kind, size, mtime, parent);
    nb_ += length;
    return id;
}

NodeId IndexWriter::add(std::string_view name, std::uint8_t kind, std::uint64_t size,
                        std::uint32_t mtime, std::uint32_t parent) {
    reserve(1, name.size());
    return append(reinterpret_cast<const std::uint8_t*>(name.data()), name.size(), kind, size,
                  mtime, parent);
}

std::vector<std::pair<NodeId, std::uint32_t>> IndexWriter::writeBlock(const Listing& listing,
                                                                      NodeId p) {
    reserve(listing.ents.size(), listing.names.size());
    firstChild_[p] = next_;
    childCount_[p] = static_cast<std::uint32_t>(listing.ents.size());
    kind_[p] = withDenied(kind_[p], listing.denied);
    std::vector<std::pair<NodeId, std::uint32_t>> folders;
    for (const RawEnt& e : listing.ents) {
        const NodeId id = append(nameOf(listing, e), e.nameLen, e.kind, e.size, e.mtime, p);
        if ((e.kind & Flag::kindMask) == 1) folders.emplace_back(id, e.child);
    }
    return folders;
}

namespace {

// One listing placed in the pre-order layout of emitFresh.
struct Placed {
    Listing* listing;
    std::uint32_t parent;  // index of the placed listing holding the folder entry, NONE for the top
    std::uint32_t entry;   // that entry's position in the parent's listing
    std::uint32_t entries;  // kept apart: the listing's memory goes as soon as it is written
    std::uint32_t ownNameBytes;
    bool denied;
    std::uint64_t nodes;  // nodes of the whole subtree: this block and every block below
    std::uint64_t nameBytes;
    // Set once the whole subtree is known to fit, so within 32 bits:
    std::uint32_t first;  // id of the block's first node
    std::uint32_t nameStart;
    std::uint32_t cursor;  // where the next child's subtree goes (ids, then name bytes)
    std::uint32_t nameCursor;
};

constexpr std::uint64_t nodesPerChunk = 32768;
constexpr std::size_t listingsPerScanChunk = 4096;

}  // namespace

void IndexWriter::emitFresh(Crawl& crawl, std::uint32_t listing, NodeId into) {
    // Lay out the pre-order walk first: a folder's block, then the whole subtree of its first
    // subfolder, then the next. Once every block's place is known the blocks are independent and
    // are written in parallel: a million nodes take about 35 ms instead of 60.
    //
    // Each listing's folder entries that have listings of their own, found in parallel: reading
    // every entry on one thread was most of the layout's time.
    const std::size_t count = crawl.listings.size();
    std::vector<std::uint32_t> linkCount(count + 1, 0);
    std::vector<std::uint32_t> linkEntry;
    std::vector<std::uint32_t> linkTo;
    // The walk below reads each listing's counts from here, not from listings scattered in memory.
    std::vector<std::uint32_t> entryCount(count);
    std::vector<std::uint32_t> nameCount(count);
    std::vector<std::uint8_t> denied(count);
    const std::size_t scanChunks = (count + listingsPerScanChunk - 1) / listingsPerScanChunk;
    auto findLinks = [&](std::size_t c, bool fill) {
        const std::size_t end = std::min(count, (c + 1) * listingsPerScanChunk);
        for (std::size_t p = c * listingsPerScanChunk; p < end; ++p) {
            const Listing& l = crawl.listings[p];
            std::uint32_t at = fill ? linkCount[p] : 0;
            for (std::size_t k = 0; k < l.ents.size(); ++k) {
                const RawEnt& e = l.ents[k];
                if ((e.kind & Flag::kindMask) != 1 || e.child == NONE) continue;
                const Listing* child = crawl.find(e.child);
                if (!child) continue;
                if (fill) {
                    linkEntry[at] = static_cast<std::uint32_t>(k);
                    linkTo[at] = static_cast<std::uint32_t>(child - crawl.listings.data());
                }
                ++at;
            }
            if (!fill) {
                linkCount[p + 1] = at;
                entryCount[p] = static_cast<std::uint32_t>(l.ents.size());
                nameCount[p] = static_cast<std::uint32_t>(l.names.size());
                denied[p] = l.denied;
            }
        }
    };
    ComputePool::shared().run(scanChunks, [&](std::size_t c) { findLinks(c, false); });
    for (std::size_t p = 0; p < count; ++p)
        linkCount[p + 1] += linkCount[p];
    linkEntry.resize(linkCount[count]);
    linkTo.resize(linkCount[count]);
    ComputePool::shared().run(scanChunks, [&](std::size_t c) { findLinks(c, true); });

    std::vector<Placed> order;
    order.reserve(count);
    std::vector<bool> seen(count, false);
    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> stack;
    if (listing != NONE) {
        if (const Listing* top = crawl.find(listing)) {
            stack.emplace_back(static_cast<std::uint32_t>(top - crawl.listings.data()), NONE, 0);
        }
    }
    while (!stack.empty()) {
        const auto [position, parent, entry] = stack.back();
        stack.pop_back();
        if (seen[position]) continue;  // a listing is written at its first reference only
        seen[position] = true;
        const auto index = static_cast<std::uint32_t>(order.size());
        order.push_back(Placed{&crawl.listings[position], parent, entry, entryCount[position],
                               nameCount[position], denied[position] != 0, entryCount[position],
                               nameCount[position], 0, 0, 0, 0});
        for (std::uint32_t at = linkCount[position + 1]; at-- > linkCount[position];) {
            stack.emplace_back(linkTo[at], index, linkEntry[at]);
        }
    }
    if (order.empty()) return;
    for (std::size_t i = order.size(); i-- > 1;) {
        Placed& p = order[order[i].parent];
        p.nodes += order[i].nodes;
        p.nameBytes += order[i].nameBytes;
    }
    reserve(order[0].nodes, order[0].nameBytes);
    for (std::size_t i = 0; i < order.size(); ++i) {
        Placed& it = order[i];
        if (i == 0) {
            it.first = next_;
            it.nameStart = static_cast<std::uint32_t>(nb_);
        } else {
            Placed& p = order[it.parent];
            it.first = p.cursor;
            it.nameStart = p.nameCursor;
            p.cursor += static_cast<std::uint32_t>(it.nodes);
            p.nameCursor += static_cast<std::uint32_t>(it.nameBytes);
        }
        it.cursor = it.first + it.entries;
        it.nameCursor = it.nameStart + it.ownNameBytes;
    }

    // The children of each placed listing, in entry order (counting sort by parent).
    std::vector<std::uint32_t> linkStart(order.size() + 1, 0);
    for (std::size_t i = 1; i < order.size(); ++i)
        ++linkStart[order[i].parent + 1];
    for (std::size_t i = 0; i < order.size(); ++i)
        linkStart[i + 1] += linkStart[i];
    std::vector<std::uint32_t> links(order.size() > 0 ? order.size() - 1 : 0);
    {
        std::vector<std::uint32_t> fill(linkStart.begin(), linkStart.end() - 1);
        for (std::size_t i = 1; i < order.size(); ++i) {
            links[fill[order[i].parent]++] = static_cast<std::uint32_t>(i);
        }
    }

    const Listing& top = *order[0].listing;
    firstChild_[into] = static_cast<std::uint32_t>(order[0].first);
    childCount_[into] = static_cast<std::uint32_t>(top.ents.size());
    kind_[into] = withDenied(kind_[into], top.denied);

    std::vector<std::size_t> chunkStart{0};
    std::uint64_t inChunk = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        inChunk += order[i].listing->ents.size();
        if (inChunk >= nodesPerChunk && i + 1 < order.size()) {
            chunkStart.push_back(i + 1);
            inChunk = 0;
        }
    }
    chunkStart.push_back(order.size());

    auto writeChunk = [&](std::size_t c) {
        for (std::size_t i = chunkStart[c]; i < chunkStart[c + 1]; ++i) {
            const Placed& it = order[i];
            Listing& l = *it.listing;
            const auto owner =
                static_cast<std::uint32_t>(i == 0 ? into : order[it.parent].first + it.entry);
            std::uint64_t nb = it.nameStart;
            std::uint32_t next = linkStart[i];
            for (std::size_t k = 0; k < l.ents.size(); ++k) {
                const RawEnt& e = l.ents[k];
                const auto id = static_cast<NodeId>(it.first + k);
                std::uint8_t kind = e.kind;
                if (next < linkStart[i + 1] && order[links[next]].entry == k) {
                    const Placed& child = order[links[next++]];
                    firstChild_[id] = child.first;
                    childCount_[id] = child.entries;
                    kind = withDenied(kind, child.denied);
                }
                put(id, nb, nameOf(l, e), e.nameLen, kind, e.size, e.mtime, owner);
                nb += e.nameLen;
            }
            // The crawl goes as the region fills, so a scan never holds both whole: a million
            // entries peak at about 90 bytes each instead of 112.
            l.release();
        }
    };
    ComputePool::shared().run(chunkStart.size() - 1, writeChunk);
    next_ += static_cast<NodeId>(order[0].nodes);
    nb_ += order[0].nameBytes;
}

void IndexWriter::copySubtree(const DiskIndex& old, NodeId o, NodeId n) {
    firstChild_[n] = next_;
    childCount_[n] = old.childCount(o);
    if (old.childCount(o) == 0) return;
    const NodeId f = old.firstChild(o);
    const NodeId e = old.subtreeEnd(o);
    const std::uint32_t k = e - f;
    const std::uint32_t nameStart = old.nameOff(f);
    const std::uint32_t nameBytes = old.nameOff(e) - nameStart;
    reserve(k, nameBytes);

    std::memcpy(names_ + nb_, old.nameData().data() + nameStart, nameBytes);
    const std::uint32_t delta = next_ - f;  // 32-bit wrapping on purpose
    const std::uint32_t nameDelta = static_cast<std::uint32_t>(nb_) - nameStart;
    for (std::uint32_t j = 0; j < k; ++j) {
        const NodeId from = f + j;
        const NodeId to = next_ + j;
        childCount_[to] = old.childCount(from);
        size_[to] = old.size(from);
        items_[to] = old.items(from);
        kind_[to] = old.kind(from);
        mtime_[to] = old.mtime(from);
        mask_[to] = old.mask(from);
        nameOff_[to + 1] = old.nameOff(from + 1) + nameDelta;
        parent_[to] = old.parent(from) == o ? n : old.parent(from) + delta;
        firstChild_[to] = old.childCount(from) > 0 ? old.firstChild(from) + delta : 0;
    }
    next_ += k;
    nb_ += nameBytes;
}

void IndexWriter::clearFolder(NodeId i) {
    if ((kind_[i] & Flag::kindMask) == 1) {
        size_[i] = 0;
        items_[i] = 0;
    }
}

void IndexWriter::foldInto(NodeId i, NodeId p) {
    subtreeEnd_[i] = std::max(subtreeEnd_[i], i + 1);
    size_[p] += size_[i];
    items_[p] += items_[i];
    subtreeEnd_[p] = std::max(subtreeEnd_[p], subtreeEnd_[i]);
}

void IndexWriter::foldRange(NodeId lo, NodeId hi) {
    for (NodeId i = lo; i < hi; ++i)
        clearFolder(i);
    for (NodeId i = hi; i-- > lo;)
        foldInto(i, parent_[i]);
}

std::unique_ptr<DiskIndex> IndexWriter::finish(std::string rootPath) {
    // Children come after their parents, so one descending pass folds every child into its
    // parent before the parent is folded. The descendants of a folder are one id range, so
    // folders whose ranges are small enough are folded in parallel and only the folders above
    // them one by one: a million nodes take 2 ms instead of 8.
    // The subtree ends are first written here. Faulted in page by page from several threads at
    // once, the page-table lock made the parallel fold slower than a serial one (19 ms).
    MappedRegion::populate(reinterpret_cast<std::byte*>(subtreeEnd_),
                           std::size_t{next_} * sizeof(std::uint32_t));
    const NodeId most = std::max<NodeId>(next_ / 256, 32768);
    std::vector<std::pair<NodeId, NodeId>> ranges;  // descendants of a folder folded as one task
    std::vector<NodeId> upper;                      // folders whose blocks are folded one by one
    std::vector<std::pair<NodeId, NodeId>> open;    // (folder, end of its descendants)
    if (next_ > 0) open.emplace_back(0, next_);
    std::vector<NodeId> folders;
    while (!open.empty()) {
        const auto [x, end] = open.back();
        open.pop_back();
        upper.push_back(x);
        folders.clear();
        for (NodeId k = firstChild_[x]; k < firstChild_[x] + childCount_[x]; ++k) {
            if (childCount_[k] > 0) folders.push_back(k);
        }
        // Each folder's descendants run up to the next one's (in id order), the last one's to
        // the end of the block's owner.
        std::sort(folders.begin(), folders.end(),
                  [&](NodeId a, NodeId b) { return firstChild_[a] < firstChild_[b]; });
        for (std::size_t j = 0; j < folders.size(); ++j) {
            const NodeId lo = firstChild_[folders[j]];
            const NodeId hi = j + 1 < folders.size() ? firstChild_[folders[j + 1]] : end;
            if (hi - lo > most) {
                open.emplace_back(folders[j], hi);
            } else {
                ranges.emplace_back(lo, hi);
            }
        }
    }
    for (NodeId x : upper) {
        clearFolder(x);
        for (NodeId k = firstChild_[x]; k < firstChild_[x] + childCount_[x]; ++k)
            clearFolder(k);
    }
    ComputePool::shared().run(ranges.size(),
                              [&](std::size_t r) { foldRange(ranges[r].first, ranges[r].second); });
    std::sort(upper.begin(), upper.end(), std::greater<>());
    for (NodeId x : upper) {
        for (NodeId k = firstChild_[x] + childCount_[x]; k-- > firstChild_[x];)
            foldInto(k, x);
        subtreeEnd_[x] = std::max(subtreeEnd_[x], x + 1);
    }
    return std::make_unique<DiskIndex>(std::move(region_), layout_, next_, std::move(rootPath));
}

}  // namespace tamrel
