#include "core/saved/SavedIndexHeader.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace tamrel {

namespace {

constexpr std::size_t rootAt = 128;
// Clock ticks are signed 64-bit nanoseconds: about ±292 years around 1970.
constexpr double maxDateSeconds = 280.0 * 365.25 * 86400.0;

void put64(std::byte* at, std::uint64_t v) {
    for (int k = 0; k < 8; ++k)
        at[k] = static_cast<std::byte>(v >> (8 * k));
}

std::uint64_t get64(const std::byte* at) {
    std::uint64_t v = 0;
    for (int k = 0; k < 8; ++k)
        v |= std::uint64_t(std::to_integer<unsigned>(at[k])) << (8 * k);
    return v;
}

bool dateInRange(double seconds) {
    return std::isfinite(seconds) && std::fabs(seconds) <= maxDateSeconds;
}

}  // namespace

std::array<std::byte, SavedIndexHeader::pageBytes> SavedIndexHeader::encode() const {
    std::array<std::byte, pageBytes> page{};
    std::memcpy(page.data(), magic.data(), 8);
    put64(&page[8], count);
    put64(&page[16], cap);
    put64(&page[24], nameCap);
    put64(&page[32], eventID);
    put64(&page[40], std::bit_cast<std::uint64_t>(scanTime));
    put64(&page[48], std::bit_cast<std::uint64_t>(scannedAt));
    put64(&page[56], rootPath.size());
    put64(&page[checksumAt], checksum);
    std::memcpy(&page[rootAt], rootPath.data(), std::min(rootPath.size(), maxRootBytes));
    return page;
}

std::optional<SavedIndexHeader> SavedIndexHeader::decode(std::span<const std::byte> page) {
    if (page.size() < rootAt || !hasMagic(page)) return std::nullopt;
    SavedIndexHeader h;
    h.count = get64(&page[8]);
    h.cap = get64(&page[16]);
    h.nameCap = get64(&page[24]);
    h.eventID = get64(&page[32]);
    h.scanTime = std::bit_cast<double>(get64(&page[40]));
    h.scannedAt = std::bit_cast<double>(get64(&page[48]));
    h.checksum = get64(&page[checksumAt]);
    const std::uint64_t rootLength = get64(&page[56]);
    if (rootLength > maxRootBytes || rootLength > page.size() - rootAt) return std::nullopt;
    if (!dateInRange(h.scannedAt)) return std::nullopt;
    if (!std::isfinite(h.scanTime) || h.scanTime < 0) return std::nullopt;
    h.rootPath.assign(reinterpret_cast<const char*>(&page[rootAt]), rootLength);
    return h;
}

bool SavedIndexHeader::hasMagic(std::span<const std::byte> first) {
    return first.size() >= 8 && std::memcmp(first.data(), magic.data(), 8) == 0;
}

std::optional<std::uint64_t> SavedIndexHeader::decodeChecksum(std::span<const std::byte> first) {
    if (first.size() < checksumAt + 8 || !hasMagic(first)) return std::nullopt;
    return get64(&first[checksumAt]);
}

std::optional<double> SavedIndexHeader::decodeDate(std::span<const std::byte> first) {
    if (first.size() < fixedBytes || !hasMagic(first)) return std::nullopt;
    const double seconds = std::bit_cast<double>(get64(&first[48]));
    if (!dateInRange(seconds)) return std::nullopt;
    return seconds;
}

}  // namespace tamrel
