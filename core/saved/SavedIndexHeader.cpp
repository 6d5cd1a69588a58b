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

void put16(std::byte* at, std::uint16_t v) {
    at[0] = static_cast<std::byte>(v);
    at[1] = static_cast<std::byte>(v >> 8);
}

std::uint16_t get16(const std::byte* at) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(at[0]) |
                                      std::to_integer<unsigned>(at[1]) << 8);
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
    put64(&page[72], mountBytes);
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
    const bool withMounts = std::memcmp(page.data(), magic.data(), 8) == 0;
    h.mountBytes = withMounts ? get64(&page[72]) : 0;
    const std::uint64_t rootLength = get64(&page[56]);
    if (rootLength > maxRootBytes || rootLength > page.size() - rootAt) return std::nullopt;
    if (!dateInRange(h.scannedAt)) return std::nullopt;
    if (!std::isfinite(h.scanTime) || h.scanTime < 0) return std::nullopt;
    h.rootPath.assign(reinterpret_cast<const char*>(&page[rootAt]), rootLength);
    return h;
}

bool SavedIndexHeader::hasMagic(std::span<const std::byte> first) {
    return first.size() >= 8 && (std::memcmp(first.data(), magic.data(), 8) == 0 ||
                                 std::memcmp(first.data(), magicWithoutMounts.data(), 8) == 0);
}

std::vector<std::byte> SavedIndexHeader::encodeMounts(const std::vector<HeldMount>& mounts) {
    std::vector<std::byte> out(4);
    std::uint32_t count = 0;
    for (const HeldMount& m : mounts) {
        if (m.path.size() > 0xFFFF || m.type.size() > 0xFF) continue;
        const std::size_t at = out.size();
        out.resize(at + 12 + m.path.size() + m.type.size());
        put64(&out[at], m.device);
        put16(&out[at + 8], static_cast<std::uint16_t>(m.path.size()));
        put16(&out[at + 10], static_cast<std::uint16_t>(m.type.size()));
        std::memcpy(&out[at + 12], m.path.data(), m.path.size());
        std::memcpy(&out[at + 12 + m.path.size()], m.type.data(), m.type.size());
        ++count;
    }
    for (int k = 0; k < 4; ++k)
        out[k] = static_cast<std::byte>(count >> (8 * k));
    return out;
}

std::optional<std::vector<HeldMount>> SavedIndexHeader::decodeMounts(
    std::span<const std::byte> bytes) {
    if (bytes.size() < 4) return std::nullopt;
    std::uint32_t count = 0;
    for (int k = 0; k < 4; ++k)
        count |= std::to_integer<std::uint32_t>(bytes[k]) << (8 * k);
    std::vector<HeldMount> mounts;
    std::size_t at = 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - at < 12) return std::nullopt;
        HeldMount m;
        m.device = get64(&bytes[at]);
        const std::size_t pathBytes = get16(&bytes[at + 8]);
        const std::size_t typeBytes = get16(&bytes[at + 10]);
        at += 12;
        if (typeBytes > 0xFF || bytes.size() - at < pathBytes + typeBytes) return std::nullopt;
        m.path.assign(reinterpret_cast<const char*>(&bytes[at]), pathBytes);
        m.type.assign(reinterpret_cast<const char*>(&bytes[at + pathBytes]), typeBytes);
        at += pathBytes + typeBytes;
        if (m.path.empty() || m.path.front() != '/') return std::nullopt;
        if (!mounts.empty() && !(mounts.back().path < m.path)) return std::nullopt;
        mounts.push_back(std::move(m));
    }
    if (at != bytes.size()) return std::nullopt;
    return mounts;
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
