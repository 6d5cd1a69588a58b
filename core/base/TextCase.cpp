#include "core/base/TextCase.h"

#include <unicode/ubrk.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/base/Utf8.h"

namespace tamrel {

bool isAscii(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

std::size_t graphemeCount(std::string_view utf8) {
    if (isAscii(utf8)) {
        // Among ASCII characters only "\r\n" joins into one cluster.
        std::size_t pairs = 0;
        for (std::size_t i = 1; i < utf8.size(); ++i) {
            if (utf8[i - 1] == '\r' && utf8[i] == '\n') ++pairs;
        }
        return utf8.size() - pairs;
    }
    const std::string valid = repairUtf8(utf8);
    UErrorCode err = U_ZERO_ERROR;
    const std::unique_ptr<UText, decltype(&utext_close)> text(
        utext_openUTF8(nullptr, valid.data(), static_cast<int64_t>(valid.size()), &err),
        &utext_close);
    const std::unique_ptr<UBreakIterator, decltype(&ubrk_close)> clusters(
        ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &err), &ubrk_close);
    if (U_SUCCESS(err)) ubrk_setUText(clusters.get(), text.get(), &err);
    if (U_FAILURE(err)) {
        // No break data: count scalar values, the bytes that do not continue a sequence.
        return static_cast<std::size_t>(std::count_if(valid.begin(), valid.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
    }
    std::size_t count = 0;
    ubrk_first(clusters.get());
    while (ubrk_next(clusters.get()) != UBRK_DONE) ++count;
    return count;
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
