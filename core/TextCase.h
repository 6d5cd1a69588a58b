#pragma once

#include <string>
#include <string_view>

namespace tamrel {

// Full Unicode lowercasing in the root locale (so "İ" becomes "i̇" and the Kelvin sign "k").
// Invalid UTF-8 is repaired with U+FFFD first. ASCII text takes a fast path without ICU.
// Thread-safe.
std::string lowercase(std::string_view utf8);

// True when every byte is below 0x80.
bool isAscii(std::string_view bytes);

}  // namespace tamrel
