#include "core/scan/CrawlLayout.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <system_error>

#include "core/base/ComputePool.h"
#include "core/index/IndexWriter.h"

namespace tamrel {

namespace {

[[noreturn]] void overflow(const char* what) {
    throw std::system_error(EOVERFLOW, std::generic_category(), what);
}

// A folder's kind byte with the denied flag set as its listing says.
std::uint8_t withDenied(std::uint8_t kind, bool denied) {
    return static_cast<std::uint8_t>((kind & ~Flag::denied) | (denied ? Flag::denied : 0));
}


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

std::vector<std::pair<NodeId, std::uint32_t>> writeListing(IndexWriter& writer,
                                                           const Listing& listing, NodeId p) {
    std::uint64_t nameBytes = 0;
    for (const RawEnt& e : listing.ents) {
        if (std::uint64_t{e.nameOff} + e.nameLen > listing.names.size())
            overflow("listing entry name out of range");
        nameBytes += e.nameLen;
    }
    const IndexWriter::Run run = writer.take(listing.ents.size(), nameBytes);
    writer.setChildren(p, run.first, static_cast<std::uint32_t>(listing.ents.size()),
                       listing.denied);
    std::vector<std::pair<NodeId, std::uint32_t>> folders;
    std::uint64_t nb = run.nameStart;
    NodeId id = run.first;
    for (const RawEnt& e : listing.ents) {
        writer.put(id, nb, listing.names.data() + e.nameOff, e.nameLen, e.kind, e.size, e.mtime,
                   p);
        if ((e.kind & Flag::kindMask) == 1) folders.emplace_back(id, e.child);
        nb += e.nameLen;
        ++id;
    }
    return folders;
}

void writeCrawl(IndexWriter& writer, Crawl& crawl, std::uint32_t listing, NodeId into) {
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
    const IndexWriter::Run run = writer.take(total.nodes, total.nameBytes);
    // Once the whole subtree is known to fit, places are within 32 bits.
    struct Place {
        std::uint32_t first;  // id of the block's first node
        std::uint32_t nameStart;
    };
    std::vector<Place> place(count, Place{0, 0});
    place[top] = Place{run.first, static_cast<std::uint32_t>(run.nameStart)};
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

    writer.setChildren(into, place[top].first, shape.own[top].entries, shape.denied[top] != 0);

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
                writer.put(id, nb, l.names.data() + e.nameOff, e.nameLen, kind, e.size, e.mtime,
                           owner);
                if (to != NONE) {
                    writer.setChildren(id, place[to].first, shape.own[to].entries,
                                       shape.denied[to] != 0);
                }
                nb += e.nameLen;
            }
            // The crawl goes as the region fills, so a scan never holds both whole: a million
            // entries peak at about 90 bytes each instead of 112.
            l.release();
        }
    };
    ComputePool::shared().run(chunkStart.size() - 1, writeChunk);
}

}  // namespace tamrel
