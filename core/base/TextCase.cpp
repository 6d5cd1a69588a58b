#include "core/base/TextCase.h"

#include <unicode/ustring.h>

#include <algorithm>
#include <vector>

#include "core/base/Utf8.h"

namespace tamrel {

bool isAscii(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

std::size_t characterCount(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::vector<std::string_view> splitNonEmpty(std::string_view text, char separator) {
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(separator), text.size());
        if (end > 0) out.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return out;
}

std::string lowercase(std::string_view utf8) {
    if (isAscii(utf8)) {
        std::string out(utf8);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
        }
        return out;
    }
    const std::string valid = repairUtf8(utf8);
    UErrorCode err = U_ZERO_ERROR;
    int32_t length = 0;
    std::vector<UChar> wide(valid.size() + 1);
    u_strFromUTF8(wide.data(), static_cast<int32_t>(wide.size()), &length, valid.data(),
                  static_cast<int32_t>(valid.size()), &err);
    if (U_FAILURE(err)) return valid;
    // Lowercasing can lengthen a string (İ becomes two code units); retry with the size ICU asks.
    std::vector<UChar> lower(static_cast<std::size_t>(length) + 8);
    err = U_ZERO_ERROR;
    int32_t lowerLength = u_strToLower(lower.data(), static_cast<int32_t>(lower.size()),
                                       wide.data(), length, "", &err);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
        lower.resize(static_cast<std::size_t>(lowerLength));
        err = U_ZERO_ERROR;
        lowerLength = u_strToLower(lower.data(), static_cast<int32_t>(lower.size()), wide.data(),
                                   length, "", &err);
    }
    if (U_FAILURE(err)) return valid;
    std::string out(static_cast<std::size_t>(lowerLength) * 3, '\0');
    int32_t outLength = 0;
    err = U_ZERO_ERROR;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &outLength, lower.data(), lowerLength,
                &err);
    if (U_FAILURE(err)) return valid;
    out.resize(static_cast<std::size_t>(outLength));
    return out;
}

}  // namespace tamrel
