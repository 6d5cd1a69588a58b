#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/index/DiskIndex.h"

namespace tamrel {

// The 4096-byte page in front of a saved index region. All integers little-endian, reals IEEE-754
// binary64 little-endian:
//    0  magic "TMRLIDX5"                 40  scanTime (seconds)
//    8  count                            48  scannedAt (seconds since 1970)
//   16  cap                              56  root path length (at most 3968)
//   24  nameCap                          64  checksum (SavedChecksum)
//   32  eventID                          72  bytes of the mounts after the region
//                                        80  reserved, zero (48 bytes)
//  128  the root path, UTF-8, no terminator; zero to the page end
// The last character of the magic is the format version: a file of another version (the "3" of
// files without a checksum) is not read, but for "4", the same without the mounts (its bytes
// 72-79 are zero), which loads as an index whose mounts are not known. After the region come the
// mounts the index holds (encodeMounts()). The checksum covers the whole file, this page
// included (its own 8 bytes read as zeros). Loading does not check it, as that reads every byte:
// SavedIndex::savedFileIntact() does, which the application runs in the background right after
// a load.
struct SavedIndexHeader {
    static constexpr std::size_t pageBytes = 4096;
    static constexpr std::size_t fixedBytes = 64;  // what the scan date needs, magic included
    static constexpr std::size_t checksumAt = 64;
    static constexpr std::size_t maxRootBytes = 3968;
    static constexpr std::string_view magic = "TMRLIDX5";
    static constexpr std::string_view magicWithoutMounts = "TMRLIDX4";
    // Mounts of a file at most: far more than any mount table holds.
    static constexpr std::uint64_t maxMountBytes = 16 << 20;

    std::uint64_t count = 0;
    std::uint64_t cap = 0;
    std::uint64_t nameCap = 0;
    std::uint64_t eventID = 0;
    double scanTime = 0;
    double scannedAt = 0;
    std::uint64_t checksum = 0;
    // The mounts' bytes after the region (encodeMounts()); none when the index does not say
    // which it holds (always so in a file of version "4").
    std::uint64_t mountBytes = 0;
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

    // The stored checksum from the first 72 bytes or more, or nothing when the magic differs.
    static std::optional<std::uint64_t> decodeChecksum(std::span<const std::byte> first);

    // True when the first 8 bytes are the magic of this format or of the one without mounts.
    static bool hasMagic(std::span<const std::byte> first);

    // The mounts as they follow the region: a 32-bit count, then for each its device (64 bits),
    // path length and type length (16 bits each), path and type. Paths at most 65535 bytes,
    // types at most 255: a mount past them is left out.
    static std::vector<std::byte> encodeMounts(const std::vector<HeldMount>& mounts);
    // Reads them back; nothing unless `bytes` holds exactly that, with paths absolute, sorted
    // and each once.
    static std::optional<std::vector<HeldMount>> decodeMounts(std::span<const std::byte> bytes);
};

}  // namespace tamrel
