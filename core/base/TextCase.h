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

// The number of characters of UTF-8 text as a user sees them: extended grapheme clusters (ICU's
// character break iterator), so "e" followed by a combining accent, a flag or an emoji joined by
// zero-width joiners each count once, and so does "\r\n". Invalid UTF-8 is repaired with U+FFFD
// first. ASCII text takes a fast path without ICU. Thread-safe.
std::size_t graphemeCount(std::string_view utf8);

// The non-empty pieces of `text` between separators: "a..b." split at "." gives "a" and "b".
// The pieces view `text`.
std::vector<std::string_view> splitNonEmpty(std::string_view text, char separator);

}  // namespace tamrel
