#include "ui/theme/Palette.h"

#include <QByteArray>

namespace tamrel::Palette {

std::uint32_t folderHexOfBytes(const char* bytes, std::size_t size) {
    if (size == 0) return candy[5];
    std::uint32_t hash = 0x811C9DC5u;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(bytes[i]);
        hash *= 0x01000193u;
    }
    return candy[hash & 7];
}

std::uint32_t folderHex(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    return folderHexOfBytes(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

QColor color(std::uint32_t hex) {
    return QColor((hex >> 16) & 0xFF, (hex >> 8) & 0xFF, hex & 0xFF);
}

namespace {

QColor mix(std::uint32_t hex, double t, bool towardsWhite) {
    double c[3] = {((hex >> 16) & 0xFF) / 255.0, ((hex >> 8) & 0xFF) / 255.0, (hex & 0xFF) / 255.0};
    for (double& ch : c)
        ch = towardsWhite ? ch + t * (1.0 - ch) : (1.0 - t) * ch;
    return QColor::fromRgbF(static_cast<float>(c[0]), static_cast<float>(c[1]),
                            static_cast<float>(c[2]), 1.0f);
}

}  // namespace

QColor tint(std::uint32_t hex, double t) {
    return mix(hex, t, true);
}
QColor shade(std::uint32_t hex, double t) {
    return mix(hex, t, false);
}

}  // namespace tamrel::Palette
