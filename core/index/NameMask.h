#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tamrel {

// Character-class mask of a name: one bit per letter (case folded), one each for digits, ".",
// "-" or "_", space, bytes 0x80-0xFF and anything else. A query word's mask must be a subset of
// a name's mask for the name to contain the word, so most names are rejected by one AND.
namespace NameMask {

constexpr std::uint32_t digit = 1u << 26;
constexpr std::uint32_t dot = 1u << 27;
constexpr std::uint32_t dash = 1u << 28;
constexpr std::uint32_t space = 1u << 29;
constexpr std::uint32_t high = 1u << 30;
constexpr std::uint32_t otherByte = 1u << 31;

constexpr std::uint32_t bitOf(unsigned char c) {
    if (c >= 'a' && c <= 'z') return 1u << (c - 'a');
    if (c >= 'A' && c <= 'Z') return 1u << (c - 'A');
    if (c >= '0' && c <= '9') return digit;
    if (c == '.') return dot;
    if (c == '-' || c == '_') return dash;
    if (c == ' ') return space;
    if (c >= 0x80) return high;
    return otherByte;
}

inline constexpr std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = bitOf(static_cast<unsigned char>(c));
    return t;
}();

constexpr std::uint32_t of(std::string_view bytes) {
    std::uint32_t m = 0;
    for (char c : bytes)
        m |= table[static_cast<unsigned char>(c)];
    return m;
}

}  // namespace NameMask
}  // namespace tamrel
