#include "core/base/Utf8.h"

#include <cstddef>

namespace tamrel {

namespace {

// Length of the well-formed sequence at s[i], or 0 with `subpart` set to the length of the
// maximal invalid subpart (at least 1). Follows the byte ranges of the Unicode standard's table
// of well-formed UTF-8 byte sequences.
std::size_t sequenceAt(std::string_view s, std::size_t i, std::size_t& subpart) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    subpart = 1;
    if (c < 0x80) return 1;
    std::size_t need;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    std::size_t k = 1;
    for (; k <= need; ++k) {
        if (i + k >= s.size()) break;
        const unsigned char t = b(i + k);
        const unsigned char l = k == 1 ? lo : 0x80;
        const unsigned char h = k == 1 ? hi : 0xBF;
        if (t < l || t > h) break;
    }
    if (k == need + 1) return need + 1;
    subpart = k;
    return 0;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    std::size_t i = 0, subpart;
    while (i < bytes.size()) {
        const std::size_t n = sequenceAt(bytes, i, subpart);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string repairUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    std::size_t i = 0, subpart;
    while (i < bytes.size()) {
        const std::size_t n = sequenceAt(bytes, i, subpart);
        if (n) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            out.append("\xEF\xBF\xBD");
            i += subpart;
        }
    }
    return out;
}

}  // namespace tamrel
