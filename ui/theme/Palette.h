#pragma once

#include <QColor>
#include <QString>
#include <array>
#include <cstdint>

namespace tamrel::Palette {

// The eight folder colours, 0xRRGGBB, index 0 to 7.
inline constexpr std::array<std::uint32_t, 8> candy = {0xFF7A59, 0xFFC53D, 0x9BD35A, 0x4CC9A6,
                                                       0x4FA8F7, 0x8E7CF8, 0xF27FB2, 0xD39A6A};

// The folder colour of a name: candy[FNV-1a-32 of its UTF-8 bytes & 7]; candy[5] for "".
// The hash has no per-process seed, so a name keeps its colour across launches.
std::uint32_t folderHex(const QString& name);
std::uint32_t folderHexOfBytes(const char* bytes, std::size_t size);

// The opaque colour of 0xRRGGBB (the top byte is ignored).
QColor color(std::uint32_t hex);
// Mixed towards white by `t` (0: the colour, 1: white) / towards black; opaque; t not clamped.
QColor tint(std::uint32_t hex, double t);
QColor shade(std::uint32_t hex, double t);

}  // namespace tamrel::Palette
