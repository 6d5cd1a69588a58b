#pragma once

#include <array>
#include <cstdint>

namespace tamrel {

// Where the eleven node arrays lie in an index region. The same layout is used in memory and in
// a saved file: bytes 0-4095 are the header page, each array starts on a 16-byte boundary.
struct Layout {
    // Array numbers, in region order.
    enum Array : int {
        names = 0,
        nameOff,
        parent,
        firstChild,
        childCount,
        subtreeEnd,
        size,
        items,
        kind,
        mtime,
        mask,
        arrayCount
    };
    static constexpr std::uint64_t headerBytes = 4096;

    // Computed in 64 bits: cap and nameCap below 2^32 cannot overflow. Capacities read from an
    // untrusted file are bounded before they get here.
    Layout(std::uint64_t cap, std::uint64_t nameCap);
    Layout() : Layout(0, 0) {}

    std::uint64_t cap;
    std::uint64_t nameCap;
    std::array<std::uint64_t, arrayCount> offsets;
    std::uint64_t total;

    friend bool operator==(const Layout&, const Layout&) = default;
};

}  // namespace tamrel
