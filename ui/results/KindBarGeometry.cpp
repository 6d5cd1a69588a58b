#include "ui/results/KindBarGeometry.h"

#include <algorithm>

namespace tamrel {

std::uint32_t kindHex(FileKind kind) {
    switch (kind) {
        case FileKind::video:
            return 0xFF7A59;
        case FileKind::image:
            return 0x8E7CF8;
        case FileKind::audio:
            return 0xF27FB2;
        case FileKind::archive:
            return 0xD39A6A;
        case FileKind::diskImage:
            return 0x4FA8F7;
        case FileKind::app:
            return 0x4CC9A6;
        case FileKind::code:
            return 0x9BD35A;
        case FileKind::document:
            return 0xFFC53D;
        case FileKind::data:
            return 0xA7A196;
        case FileKind::other:
            return 0xBDB8AE;
    }
    return 0xBDB8AE;
}

KindBarLayout kindBarLayout(std::span<const std::pair<FileKind, std::uint64_t>> parts,
                            double width) {
    constexpr double spacing = 1.5;
    double total = 0;
    for (const auto& [kind, bytes] : parts)
        total += double(bytes);
    if (!(total > 0)) total = 1;

    KindBarLayout out;
    for (const auto& [kind, bytes] : parts) {
        if (double(bytes) / total > 0.006) out.segments.push_back({kind, bytes, 0, 0});
    }
    const double n = double(out.segments.size());
    double x = 0;
    for (KindSegment& s : out.segments) {
        s.x = x;
        s.width = std::max(3.0, (width - spacing * n) * double(s.bytes) / total);
        x += s.width + spacing;
    }
    out.rowWidth = out.segments.empty() ? 0 : x - spacing;
    out.legendCount = std::min<int>(int(out.segments.size()), 6);
    return out;
}

}  // namespace tamrel
