#include "tests/support/Reference.h"

#include <algorithm>
#include <string>
#include <utility>

#include "core/index/NameMask.h"

namespace tamrel::test {

bool goneByWalk(const DiskIndex& index, NodeId i) {
    for (NodeId at = i; at != NONE; at = index.parent(at)) {
        if (index.kind(at) & Flag::removed) return true;
    }
    return false;
}

std::vector<NodeId> referenceTopK(const DiskIndex& index, std::size_t k, IdRange range,
                                  std::uint64_t chunk, std::uint64_t maxChunks,
                                  const std::function<bool(NodeId)>& accept) {
    struct Collector {
        std::vector<std::pair<NodeId, std::uint64_t>> kept;
        std::size_t low = 0;  // first slot of the smallest size, once full
    };
    auto lowest = [](const Collector& c) {
        std::size_t low = 0;
        for (std::size_t j = 0; j < c.kept.size(); ++j) {
            if (c.kept[j].second < c.kept[low].second) low = j;
        }
        return low;
    };
    auto offer = [&](Collector& c, NodeId id, std::uint64_t size) {
        if (c.kept.size() < k) {
            c.kept.emplace_back(id, size);
            if (c.kept.size() == k) c.low = lowest(c);
            return;
        }
        if (c.kept[c.low].second >= size) return;
        c.kept[c.low] = {id, size};
        c.low = lowest(c);
    };
    const std::uint64_t n = range.hi - range.lo;
    const std::uint64_t chunks = n < chunk ? 1 : std::min(n / chunk, maxChunks);
    const std::uint64_t length = (n + chunks - 1) / chunks;
    std::vector<Collector> per(chunks);
    for (std::uint64_t c = 0; c < chunks; ++c) {
        const std::uint64_t hi = std::min<std::uint64_t>(range.lo + (c + 1) * length, range.hi);
        for (std::uint64_t i = range.lo + c * length; i < hi; ++i) {
            const NodeId id = static_cast<NodeId>(i);
            if (accept(id)) offer(per[c], id, index.size(id));
        }
    }
    Collector merged;
    for (const Collector& c : per) {
        for (const auto& entry : c.kept)
            offer(merged, entry.first, index.size(entry.first));
    }
    std::vector<NodeId> out;
    for (const auto& entry : merged.kept) {
        if (!goneByWalk(index, entry.first)) out.push_back(entry.first);
    }
    std::stable_sort(out.begin(), out.end(),
                     [&](NodeId a, NodeId b) { return index.size(a) > index.size(b); });
    return out;
}

std::vector<std::uint64_t> largestSizes(const DiskIndex& index, IdRange range, std::size_t limit,
                                        const std::function<bool(NodeId)>& accept) {
    std::vector<std::uint64_t> all;
    for (NodeId i : range) {
        if (accept(i) && !goneByWalk(index, i)) all.push_back(index.size(i));
    }
    std::sort(all.begin(), all.end(), std::greater<>());
    all.resize(std::min(all.size(), limit));
    return all;
}

std::map<FileKind, std::uint64_t> plainBreakdown(const DiskIndex& index, IdRange range) {
    std::map<FileKind, std::uint64_t> sums;
    for (NodeId i : range) {
        if (index.isFile(i) && index.size(i) > 0) {
            sums[FileKind::fromExt(ext(index, i))] += index.size(i);
        }
    }
    return sums;
}

bool plainMatch(const DiskIndex& index, const Query& q, NodeId i) {
    const std::string_view name = index.nameBytes(i);
    if ((NameMask::of(name) & q.need) != q.need) return false;
    if (index.kind(i) & Flag::removed) return false;
    if (index.size(i) < q.minSize || index.size(i) > q.maxSize) return false;
    // The time test applies only when asked for: mtime 4294967295 passes the default.
    if ((q.before != 0xFFFFFFFFu || q.after != 0) &&
        (index.mtime(i) < q.after || index.mtime(i) >= q.before)) {
        return false;
    }
    if (q.onlyDirs && index.isDir(i) != *q.onlyDirs) return false;
    if (!q.exts.empty() || !q.kinds.empty()) {
        const std::size_t dot = name.rfind('.');
        if (dot == std::string_view::npos || dot == 0) return false;
        const std::string e(name.substr(dot + 1));
        std::string folded = e;
        for (char& ch : folded) {
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
        }
        if (!q.exts.empty() && std::find(q.exts.begin(), q.exts.end(), folded) == q.exts.end()) {
            return false;
        }
        if (!q.kinds.empty() && !q.kinds.contains(FileKind::fromExt(extOfName("x." + e)))) {
            return false;
        }
    }
    thread_local std::string folded;  // reused: millions of calls should not each allocate
    folded.assign(name);
    for (char& ch : folded) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    }
    for (const Query::Word& w : q.words) {
        bool hit = false;
        switch (w.mode) {
            case Query::Word::Mode::contains:
                hit = folded.find(w.bytes) != std::string::npos;
                break;
            case Query::Word::Mode::prefix:
                hit = folded.starts_with(w.bytes);
                break;
            case Query::Word::Mode::suffix:
                hit = folded.ends_with(w.bytes);
                break;
            case Query::Word::Mode::exact:
                hit = folded == w.bytes;
                break;
        }
        if (hit == w.negate) return false;
    }
    return true;
}

}  // namespace tamrel::test
