#include "core/index/IndexWriter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>

#include "core/base/ComputePool.h"

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

}  // namespace

IndexWriter::IndexWriter(std::uint64_t cap, std::uint64_t nameCap, MappedRegion::Paging paging)
    : IndexWriter(checkedLayout(cap, nameCap), paging) {}

IndexWriter::IndexWriter(const Layout& layout, MappedRegion::Paging paging)
    : IndexWriter(layout, MappedRegion::anonymous(layout.total, paging)) {
    spareIsZero_ = paging != MappedRegion::Paging::reused;
}

IndexWriter::IndexWriter(const Layout& layout, MappedRegion region)
    : NodeArrays(region.data(), layout), layout_(layout), region_(std::move(region)) {
    nameOff_[0] = 0;
}

void IndexWriter::reserve(std::uint64_t nodes, std::uint64_t nameBytes) const {
    if (nodes > layout_.cap - next_) overflow("index writer capacity exceeded");
    if (nameBytes > layout_.nameCap - nb_) overflow("index writer name capacity exceeded");
}

IndexWriter::Run IndexWriter::take(std::uint64_t nodes, std::uint64_t nameBytes) {
    reserve(nodes, nameBytes);
    const Run run{next_, nb_};
    next_ += static_cast<NodeId>(nodes);
    nb_ += nameBytes;
    return run;
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
    if (!spareIsZero_) clearSpare();
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

void IndexWriter::setMounts(DiskIndex& index, HeldMounts mounts) {
    index.mounts_ = std::move(mounts);
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
