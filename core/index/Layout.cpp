#include "core/index/Layout.h"

namespace tamrel {

namespace {

std::uint64_t roundUp16(std::uint64_t n) {
    return (n + 15) & ~std::uint64_t{15};
}

}  // namespace

Layout::Layout(std::uint64_t cap, std::uint64_t nameCap) : cap(cap), nameCap(nameCap) {
    const std::array<std::uint64_t, arrayCount> bytes = {
        nameCap, 4 * cap + 4, 4 * cap, 4 * cap, 4 * cap, 4 * cap,
        8 * cap, 4 * cap,     cap,     4 * cap, 4 * cap,
    };
    std::uint64_t at = headerBytes;
    for (int k = 0; k < arrayCount; ++k) {
        offsets[k] = at;
        at += roundUp16(bytes[k]);
    }
    total = at;
}

}  // namespace tamrel
