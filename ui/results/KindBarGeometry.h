#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "core/query/FileKind.h"

namespace tamrel {

// The fixed colour (0xRRGGBB) of each file kind, shared by the kind bar and the file tiles of the
// treemap.
std::uint32_t kindHex(FileKind kind);

// The kind bar of a breakdown, laid out for a bar `width` points wide.
//
// Kinds holding 0.6 % of the bytes or less are left out of the bar and the legend, but their bytes
// still count in the total, so the shown segments leave their share of the bar empty. Segments
// sit 1.5 pt apart and are never narrower than 3 pt.
struct KindSegment {
    FileKind kind = FileKind::other;
    std::uint64_t bytes = 0;
    double x = 0;
    double width = 0;
};
struct KindBarLayout {
    std::vector<KindSegment> segments;  // the shown kinds, in the breakdown's order
    double rowWidth = 0;                // from the first segment's left to the last one's right
    int legendCount = 0;                // legend entries: the first min(shown, 6)
};
KindBarLayout kindBarLayout(std::span<const std::pair<FileKind, std::uint64_t>> parts,
                            double width);

}  // namespace tamrel
