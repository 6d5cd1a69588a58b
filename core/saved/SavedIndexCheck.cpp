#include "core/saved/SavedIndexCheck.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "core/base/Chunks.h"
#include "core/base/ComputePool.h"
#include "core/index/DiskIndex.h"

namespace tamrel {

namespace {

// Below this many nodes one chunk is quicker than handing out more.
constexpr std::uint32_t nodesPerChunk = 1u << 17;
constexpr std::size_t maxChunks = 8;

using Arrays = NodeArrays<const std::byte>;

// Names longer than this cannot come from a listing (RawEnt::nameLen is 16 bits).
constexpr std::uint32_t maxNameBytes = 65535;

bool goodComponent(const std::uint8_t* name, std::uint32_t length) {
    if (length == 0 || length > maxNameBytes) return false;
    if (name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.'))) return false;
    return true;
}

// Checks nodes lo .. hi and adds their child counts to `children`.
bool checkRange(const Arrays& a, std::uint64_t count, std::uint64_t lo, std::uint64_t hi,
                std::uint64_t& children) {
    std::uint64_t sum = 0;
    for (std::uint64_t i = lo; i < hi; ++i) {
        const std::uint32_t from = a.nameOff_[i], to = a.nameOff_[i + 1];
        if (to < from) return false;
        if (i > 0 && !goodComponent(a.names_ + from, to - from)) return false;

        const std::uint64_t end = a.subtreeEnd_[i];
        if (end < i + 1 || end > count) return false;

        if (i == 0) {
            if (a.parent_[0] != NONE) return false;
        } else {
            const std::uint64_t p = a.parent_[i];
            if (p >= i) return false;
            const std::uint64_t first = a.firstChild_[p];
            if (i < first || i >= first + a.childCount_[p]) return false;
        }

        const std::uint64_t n = a.childCount_[i];
        if (n == 0) continue;
        sum += n;
        if ((a.kind_[i] & Flag::kindMask) != 1) return false;
        const std::uint64_t first = a.firstChild_[i];
        if (first <= i || first + n > end) return false;
        // Each child adds itself and its own range; with every range nested in its parent's,
        // equal widths mean the range holds the descendants and nothing else.
        std::uint64_t width = 0;
        for (std::uint64_t c = first; c < first + n; ++c) {
            width += 1;
            if (a.childCount_[c] == 0) continue;
            const std::uint64_t cEnd = a.subtreeEnd_[c], cFirst = a.firstChild_[c];
            if (cEnd > end || cFirst >= cEnd) return false;
            width += cEnd - cFirst;
        }
        if (width != end - first) return false;
    }
    children += sum;
    return true;
}

}  // namespace

bool checkSavedTree(const std::byte* region, const Layout& layout, std::uint64_t count,
                    std::string_view rootPath) {
    if (count < 1 || count > layout.cap || layout.cap >= NONE) return false;
    const Arrays a(region, layout);
    if (a.nameOff_[0] != 0 || a.nameOff_[count] > layout.nameCap) return false;
    const std::uint32_t rootEnd = a.nameOff_[1];
    // Offsets that never decrease keep every name inside rootEnd .. nameOff[count], so one pass
    // over those bytes rules out separators and NULs in every name but the root's.
    const std::uint32_t namesEnd = a.nameOff_[count];
    if (namesEnd < rootEnd) return false;
    if (rootEnd != rootPath.size() || std::memcmp(a.names_, rootPath.data(), rootEnd) != 0) {
        return false;
    }
    const std::uint8_t* rest = a.names_ + rootEnd;
    const std::size_t restBytes = namesEnd - rootEnd;
    if (std::memchr(rest, '/', restBytes) || std::memchr(rest, 0, restBytes)) return false;

    const Chunks chunks = Chunks::split({0, static_cast<NodeId>(count)}, nodesPerChunk, maxChunks);
    std::vector<std::uint64_t> children(chunks.count, 0);
    std::atomic<bool> good{true};
    ComputePool::shared().run(chunks.count, [&](std::size_t c) {
        const IdRange r = chunks[c];
        if (!checkRange(a, count, r.lo, r.hi, children[c])) good.store(false);
    });
    if (!good.load()) return false;

    std::uint64_t total = 0;
    for (std::uint64_t c : children)
        total += c;
    return total == count - 1;
}

}  // namespace tamrel
