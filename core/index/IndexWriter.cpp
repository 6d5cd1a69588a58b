#include "core/index/IndexWriter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>

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
    : NodeArrays(region.data(), layout), layout_(layout), region_(std::move(region)) {
    nameOff_[0] = 0;
}

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

constexpr std::uint64_t nodesPerChunk = 32768;
constexpr std::size_t listingsPerScanChunk = 4096;

// A folder entry whose own listing is in the crawl: its position in its listing, and the
// position of that listing in crawl.listings.
struct Link {
    std::uint32_t entry;
    std::uint32_t to;
};

// What laying out a crawl needs of it, in compact arrays by position in crawl.listings: the walk
// reads these instead of listings scattered over the scan's memory.
struct CrawlShape {
    explicit CrawlShape(const Crawl& crawl);

    // The links of the listing at position p, in entry order.
    const Link* linksBegin(std::size_t p) const {
        return chunks[p / listingsPerScanChunk].data() + linkAt[p];
    }
    const Link* linksEnd(std::size_t p) const { return linksBegin(p) + linkCount[p]; }

    // A listing's own block: its entries and the name bytes they take.
    struct Own {
        std::uint32_t entries;
        std::uint32_t nameBytes;
    };
    // The listing holding the folder entry that links to a listing, and that entry.
    struct From {
        std::uint32_t parent;
        std::uint32_t entry;
    };

    std::vector<std::uint32_t> ids;
    std::vector<Own> own;
    std::vector<std::uint8_t> denied;
    std::vector<std::uint32_t> linkAt;  // p's first link in its scan chunk's links
    std::vector<std::uint32_t> linkCount;
    std::vector<std::vector<Link>> chunks;  // the links of each run of listingsPerScanChunk
    // The only link to each listing when `ordered` (NONE for a listing nothing links to); after
    // placementOrder() the link each placed listing is written at.
    std::vector<From> from;
    std::uint32_t maxID = 0;
    // Every link goes to a listing of a higher id and no listing is linked twice, as in every
    // scan (a folder's subfolders get their ids while it is listed, in entry order). Then id
    // order is an order in which each listing comes after the one linking to it.
    bool ordered = true;
};

CrawlShape::CrawlShape(const Crawl& crawl) {
    const std::size_t count = crawl.listings.size();
    ids.resize(count);
    own.resize(count);
    denied.resize(count);
    linkAt.resize(count);
    linkCount.resize(count);
    from.assign(count, From{NONE, NONE});
    chunks.resize((count + listingsPerScanChunk - 1) / listingsPerScanChunk);
    std::atomic<bool> disordered{false};
    std::atomic<bool> namesOutside{false};
    std::atomic<std::uint32_t> highest{0};
    // Reading every entry on one thread was most of the layout's time, so the listings are read
    // in parallel, once each.
    ComputePool::shared().run(chunks.size(), [&](std::size_t c) {
        std::vector<Link>& links = chunks[c];
        const std::size_t end = std::min(count, (c + 1) * listingsPerScanChunk);
        std::uint32_t most = 0;
        bool bad = false;
        bool outside = false;
        for (std::size_t p = c * listingsPerScanChunk; p < end; ++p) {
            const Listing& l = crawl.listings[p];
            ids[p] = l.id;
            most = std::max(most, l.id);
            denied[p] = l.denied;
            linkAt[p] = static_cast<std::uint32_t>(links.size());
            std::uint32_t lastID = l.id;
            std::uint64_t bytes = 0;
            for (std::size_t k = 0; k < l.ents.size(); ++k) {
                const RawEnt& e = l.ents[k];
                bytes += e.nameLen;
                outside |= std::uint64_t{e.nameOff} + e.nameLen > l.names.size();
                if ((e.kind & Flag::kindMask) != 1 || e.child == NONE) continue;
                const Listing* child = crawl.find(e.child);
                if (!child) continue;
                const auto to = static_cast<std::uint32_t>(child - crawl.listings.data());
                links.push_back(Link{static_cast<std::uint32_t>(k), to});
                bad |= e.child <= lastID;
                lastID = e.child;
                std::uint32_t none = NONE;
                if (std::atomic_ref<std::uint32_t>(from[to].parent)
                        .compare_exchange_strong(none, static_cast<std::uint32_t>(p),
                                                 std::memory_order_relaxed)) {
                    from[to].entry = static_cast<std::uint32_t>(k);
                } else {
                    bad = true;
                }
            }
            linkCount[p] = static_cast<std::uint32_t>(links.size()) - linkAt[p];
            // What the block takes in the index; a listing's names may hold unused bytes.
            own[p] = Own{static_cast<std::uint32_t>(l.ents.size()),
                         static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, NONE))};
        }
        if (bad) disordered.store(true, std::memory_order_relaxed);
        if (outside) namesOutside.store(true, std::memory_order_relaxed);
        std::uint32_t seen = highest.load(std::memory_order_relaxed);
        while (most > seen &&
               !highest.compare_exchange_weak(seen, most, std::memory_order_relaxed)) {
        }
    });
    // Thrown here, on the calling thread: the pool's chunks must not throw.
    if (namesOutside.load()) overflow("listing entry name out of range");
    ordered = !disordered.load();
    maxID = highest.load();
}

// The listings reachable from `top`, each after the one linking to it, with `shape.from` naming
// the link each is placed by. Uses id order when the crawl is ordered and
// its ids are dense, else a pre-order walk that places a listing linked twice at its first link.
std::vector<std::uint32_t> placementOrder(const Crawl& crawl, CrawlShape& shape,
                                          std::uint32_t top) {
    std::vector<std::uint32_t> order;
    const std::size_t count = crawl.listings.size();
    if (shape.ordered && shape.maxID < 4 * std::uint64_t{count} + 1024) {
        std::vector<std::uint32_t> byID(std::size_t{shape.maxID} + 1, NONE);
        for (std::uint32_t p = 0; p < count; ++p) {
            // Of two listings with one id, the crawl keeps one; the other is never linked to.
            if (crawl.find(shape.ids[p]) == &crawl.listings[p]) byID[shape.ids[p]] = p;
        }
        std::vector<std::uint8_t> placed(count, 0);
        placed[top] = 1;
        order.push_back(top);
        shape.from[top] = CrawlShape::From{NONE, NONE};
        for (std::size_t id = std::size_t{shape.ids[top]} + 1; id < byID.size(); ++id) {
            const std::uint32_t p = byID[id];
            if (p == NONE || shape.from[p].parent == NONE || !placed[shape.from[p].parent])
                continue;
            placed[p] = 1;
            order.push_back(p);
        }
        return order;
    }
    std::fill(shape.from.begin(), shape.from.end(), CrawlShape::From{NONE, NONE});
    std::vector<std::uint8_t> seen(count, 0);
    std::vector<std::pair<std::uint32_t, CrawlShape::From>> stack{{top, {NONE, NONE}}};
    while (!stack.empty()) {
        const auto [p, link] = stack.back();
        stack.pop_back();
        if (seen[p]) continue;  // a listing is written at its first reference only
        seen[p] = 1;
        shape.from[p] = link;
        order.push_back(p);
        for (const Link* l = shape.linksEnd(p); l-- != shape.linksBegin(p);)
            stack.push_back({l->to, {p, l->entry}});
    }
    return order;
}

}  // namespace

void IndexWriter::emitFresh(Crawl& crawl, std::uint32_t listing, NodeId into) {
    // Lay out the pre-order walk first: a folder's block, then the whole subtree of its first
    // subfolder, then the next. Once every block's place is known the blocks are independent and
    // are written in parallel: a million nodes take about 35 ms instead of 60.
    const Listing* topListing = listing == NONE ? nullptr : crawl.find(listing);
    if (!topListing) return;
    const auto top = static_cast<std::uint32_t>(topListing - crawl.listings.data());
    CrawlShape shape(crawl);
    const std::vector<std::uint32_t> order = placementOrder(crawl, shape, top);

    // Every listing comes after the one holding its folder entry: sizes of whole subtrees
    // backwards, then places forwards, each listing placing its subfolders in entry order. What
    // one step reads of a listing lies together: the walks are random access.
    struct Extent {
        std::uint64_t nodes;
        std::uint64_t nameBytes;
    };
    const std::size_t count = crawl.listings.size();
    std::vector<Extent> extent(count, Extent{0, 0});
    for (std::size_t i = order.size(); i-- > 0;) {
        const std::uint32_t p = order[i];
        Extent& e = extent[p];
        e.nodes += shape.own[p].entries;
        e.nameBytes += shape.own[p].nameBytes;
        if (i > 0) {
            Extent& up = extent[shape.from[p].parent];
            up.nodes += e.nodes;
            up.nameBytes += e.nameBytes;
        }
    }
    const Extent total = extent[top];
    reserve(total.nodes, total.nameBytes);
    // Once the whole subtree is known to fit, places are within 32 bits.
    struct Place {
        std::uint32_t first;  // id of the block's first node
        std::uint32_t nameStart;
    };
    std::vector<Place> place(count, Place{0, 0});
    place[top] = Place{next_, static_cast<std::uint32_t>(nb_)};
    auto placedBy = [&](std::uint32_t p, const Link& l) {
        const CrawlShape::From& f = shape.from[l.to];
        return f.parent == p && f.entry == l.entry;
    };
    for (const std::uint32_t p : order) {
        std::uint32_t cursor = place[p].first + shape.own[p].entries;
        std::uint32_t nameCursor = place[p].nameStart + shape.own[p].nameBytes;
        for (const Link* l = shape.linksBegin(p); l != shape.linksEnd(p); ++l) {
            if (!placedBy(p, *l)) continue;
            place[l->to] = Place{cursor, nameCursor};
            cursor += static_cast<std::uint32_t>(extent[l->to].nodes);
            nameCursor += static_cast<std::uint32_t>(extent[l->to].nameBytes);
        }
    }
    // Not needed while the blocks are written, when the scan's memory peaks.
    std::vector<Extent>().swap(extent);
    std::vector<std::uint32_t>().swap(shape.ids);

    firstChild_[into] = place[top].first;
    childCount_[into] = shape.own[top].entries;
    kind_[into] = withDenied(kind_[into], shape.denied[top] != 0);

    std::vector<std::size_t> chunkStart{0};
    std::uint64_t inChunk = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        inChunk += shape.own[order[i]].entries;
        if (inChunk >= nodesPerChunk && i + 1 < order.size()) {
            chunkStart.push_back(i + 1);
            inChunk = 0;
        }
    }
    chunkStart.push_back(order.size());

    auto writeChunk = [&](std::size_t c) {
        for (std::size_t i = chunkStart[c]; i < chunkStart[c + 1]; ++i) {
            const std::uint32_t p = order[i];
            Listing& l = crawl.listings[p];
            const std::uint32_t owner =
                p == top ? into : place[shape.from[p].parent].first + shape.from[p].entry;
            const std::uint32_t first = place[p].first;
            std::uint64_t nb = place[p].nameStart;
            const Link* link = shape.linksBegin(p);
            const Link* linksEnd = shape.linksEnd(p);
            for (std::size_t k = 0; k < l.ents.size(); ++k) {
                const RawEnt& e = l.ents[k];
                const auto id = static_cast<NodeId>(first + k);
                std::uint8_t kind = e.kind;
                const std::uint32_t to =
                    link != linksEnd && link->entry == k && placedBy(p, *link) ? link->to : NONE;
                if (link != linksEnd && link->entry == k) ++link;
                if (to != NONE) kind = withDenied(kind, shape.denied[to] != 0);
                // Every name was checked against its listing's names while the shape was read.
                put(id, nb, l.names.data() + e.nameOff, e.nameLen, kind, e.size, e.mtime, owner);
                if (to != NONE) {
                    firstChild_[id] = place[to].first;
                    childCount_[id] = shape.own[to].entries;
                }
                nb += e.nameLen;
            }
            // The crawl goes as the region fills, so a scan never holds both whole: a million
            // entries peak at about 90 bytes each instead of 112.
            l.release();
        }
    };
    ComputePool::shared().run(chunkStart.size() - 1, writeChunk);
    next_ += static_cast<NodeId>(total.nodes);
    nb_ += total.nameBytes;
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

    // The arrays that do not name other nodes move as they are; the rest are rebased. Block
    // copies and one tight pass: an element-wise copy of 3 million nodes took 25 ms.
    const NodeArrays<const std::byte> from = old.arrays();
    const NodeId to = next_;
    auto move = [&](auto* dst, const auto* src) {
        std::memcpy(dst + to, src + f, std::size_t{k} * sizeof(*src));
    };
    std::memcpy(names_ + nb_, from.names_ + nameStart, nameBytes);
    move(childCount_, from.childCount_);
    move(size_, from.size_);
    move(items_, from.items_);
    move(kind_, from.kind_);
    move(mtime_, from.mtime_);
    move(mask_, from.mask_);
    const std::uint32_t delta = to - f;  // 32-bit wrapping on purpose
    const std::uint32_t nameDelta = static_cast<std::uint32_t>(nb_) - nameStart;
    for (std::uint32_t j = 0; j < k; ++j) {
        const NodeId at = to + j;
        const bool folder = from.childCount_[f + j] > 0;
        nameOff_[at + 1] = from.nameOff_[f + j + 1] + nameDelta;
        const std::uint32_t p = from.parent_[f + j];
        parent_[at] = p == o ? n : p + delta;
        firstChild_[at] = folder ? from.firstChild_[f + j] + delta : 0;
        subtreeEnd_[at] = folder ? from.subtreeEnd_[f + j] + delta : at + 1;
    }
    // The copied sums stand; finish() folds only what was written otherwise.
    size_[n] = old.size(o);
    items_[n] = old.items(o);
    subtreeEnd_[n] = to + k;
    copied_.push_back({to, to + k});
    copyRoots_.push_back(n);
    copiedNodes_ += k;
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

void IndexWriter::foldAroundCopies() {
    // The nodes outside the copied ranges, last first: children come after their parents, so
    // each is folded into its parent after everything below it. A copied subtree's root holds
    // its sums already, and nothing inside the range is visited.
    std::sort(copyRoots_.begin(), copyRoots_.end());
    const auto isCopyRoot = [&](NodeId i) {
        return std::binary_search(copyRoots_.begin(), copyRoots_.end(), i);
    };
    const auto eachWritten = [&](auto&& visit) {
        NodeId hi = next_;
        for (auto r = copied_.rbegin(); r != copied_.rend(); ++r) {
            for (NodeId i = hi; i-- > r->second;)
                visit(i);
            hi = r->first;
        }
        for (NodeId i = hi; i-- > 0;)
            visit(i);
    };
    eachWritten([&](NodeId i) {
        if (!isCopyRoot(i)) clearFolder(i);
    });
    eachWritten([&](NodeId i) {
        if (i == 0) {
            subtreeEnd_[0] = std::max(subtreeEnd_[0], NodeId{1});
        } else {
            foldInto(i, parent_[i]);
        }
    });
}

void IndexWriter::clearSpare() {
    // What a reused region held past the nodes written, in the spare capacity and the gaps that
    // align the arrays, would otherwise go into saved files.
    const std::uint64_t n = next_;
    const std::array<std::uint64_t, Layout::arrayCount> used = {
        nb_, 4 * (n + 1), 4 * n, 4 * n, 4 * n, 4 * n, 8 * n, 4 * n, n, 4 * n, 4 * n,
    };
    std::byte* const region = region_.data();
    for (int k = 0; k < Layout::arrayCount; ++k) {
        const std::uint64_t from = layout_.offsets[k] + used[k];
        const std::uint64_t to =
            k + 1 < Layout::arrayCount ? layout_.offsets[k + 1] : layout_.total;
        std::memset(region + from, 0, to - from);
    }
}

std::unique_ptr<DiskIndex> IndexWriter::finish(std::string rootPath) {
    clearSpare();
    // Mostly copied from an older generation (a refresh of a few folders): only the rest is
    // folded, a few thousand nodes instead of millions.
    if (copiedNodes_ > std::uint64_t{next_} / 2) {
        foldAroundCopies();
        return std::unique_ptr<DiskIndex>(
            new DiskIndex(std::move(region_), layout_, next_, std::move(rootPath)));
    }
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
    return std::unique_ptr<DiskIndex>(
        new DiskIndex(std::move(region_), layout_, next_, std::move(rootPath)));
}

std::unique_ptr<DiskIndex> IndexWriter::adopt(MappedRegion region, const Layout& layout,
                                              NodeId count, std::string rootPath,
                                              UniqueFd savedFile) {
    std::unique_ptr<DiskIndex> index(
        new DiskIndex(std::move(region), layout, count, std::move(rootPath)));
    index->savedFile_ = std::move(savedFile);
    return index;
}

void IndexWriter::setEventID(DiskIndex& index, std::uint64_t id) {
    index.eventID_.store(id, std::memory_order_relaxed);
}

void IndexWriter::setScanTime(DiskIndex& index, double seconds) {
    index.scanTime_ = seconds;
}

void IndexWriter::setScannedAt(DiskIndex& index, DiskIndex::Clock::time_point t) {
    index.scannedAt_ = t;
}

void IndexWriter::markRemoved(DiskIndex& index, NodeId i) {
    std::unique_lock guard(index.lock_);
    const std::uint8_t k = index.kind(i);
    if (k & Flag::removed) return;
    const std::uint64_t s = index.size(i);
    const std::uint32_t n = index.items(i);
    DiskIndex::relaxedStore(index.kind_[i], static_cast<std::uint8_t>(k | Flag::removed));
    for (NodeId p = index.parent_[i]; p != NONE; p = index.parent_[p]) {
        DiskIndex::relaxedStore(index.size_[p], index.size(p) - s);
        DiskIndex::relaxedStore(index.items_[p], index.items(p) - n);
    }
    DiskIndex::relaxedStore(index.size_[i], std::uint64_t{0});
    DiskIndex::relaxedStore(index.items_[i], std::uint32_t{0});
    for (NodeId d : index.subtree(i)) {
        DiskIndex::relaxedStore(index.size_[d], std::uint64_t{0});
        DiskIndex::relaxedStore(index.items_[d], std::uint32_t{0});
    }
}

void IndexWriter::setNode(DiskIndex& index, NodeId i, std::uint8_t kind, std::uint64_t size,
                          std::uint32_t mtime) {
    const std::uint64_t before = index.size(i);
    DiskIndex::relaxedStore(index.kind_[i], kind);
    DiskIndex::relaxedStore(index.size_[i], size);
    DiskIndex::relaxedStore(index.mtime_[i], mtime);
    if (size == before) return;
    for (NodeId at = index.parent_[i]; at != NONE; at = index.parent_[at])
        DiskIndex::relaxedStore(index.size_[at], index.size(at) - before + size);
}

}  // namespace tamrel
