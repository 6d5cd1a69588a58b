#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tamrel {

// The 4096-byte page in front of a saved index region. All integers little-endian, reals IEEE-754
// binary64 little-endian:
//   0  magic "TMRLIDX3"          32 eventID             56 root path length (at most 3968)
//   8  count                     40 scanTime (seconds)  64 reserved, zero (64 bytes)
//  16  cap                       48 scannedAt (seconds since 1970)
//  24  nameCap                  128 the root path, UTF-8, no terminator; zero to the page end
struct SavedIndexHeader {
    static constexpr std::size_t pageBytes = 4096;
    static constexpr std::size_t fixedBytes = 64;  // what the scan date needs, magic included
    static constexpr std::size_t maxRootBytes = 3968;
    static constexpr std::string_view magic = "TMRLIDX3";

    std::uint64_t count = 0;
    std::uint64_t cap = 0;
    std::uint64_t nameCap = 0;
    std::uint64_t eventID = 0;
    double scanTime = 0;
    double scannedAt = 0;
    std::string rootPath;

    // The whole page. The root path must be at most maxRootBytes long.
    std::array<std::byte, pageBytes> encode() const;

    // Reads a page (at least 128 bytes, and the root path's bytes). Nothing when the magic
    // differs, the root length is over maxRootBytes or runs past `page`, or a real is not a
    // finite number in range (a scan date within ±280 years of 1970, a scan time not negative).
    // Capacities and count are returned as stored; the caller checks them.
    static std::optional<SavedIndexHeader> decode(std::span<const std::byte> page);

    // The scan date from the first fixedBytes bytes, or nothing when the magic differs or the
    // date is out of range.
    static std::optional<double> decodeDate(std::span<const std::byte> first);
};

}  // namespace tamrel
