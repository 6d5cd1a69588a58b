#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tamrel {

// Full Unicode lowercasing in the root locale (so "İ" becomes "i̇" and the Kelvin sign "k").
// Invalid UTF-8 is repaired with U+FFFD first. ASCII text takes a fast path without ICU.
// Thread-safe.
std::string lowercase(std::string_view utf8);

// True when every byte is below 0x80.
bool isAscii(std::string_view bytes);

// The number of characters (Unicode scalar values) of UTF-8 text: the bytes that do not
// continue a sequence.
std::size_t characterCount(std::string_view utf8);

// The non-empty pieces of `text` between separators: "a..b." split at "." gives "a" and "b".
// The pieces view `text`.
std::vector<std::string_view> splitNonEmpty(std::string_view text, char separator);

}  // namespace tamrel
