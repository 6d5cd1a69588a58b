#pragma once

#include <string>
#include <string_view>

namespace tamrel {

// Returns `bytes` as valid UTF-8: every maximal invalid subpart (the longest prefix of a
// well-formed sequence that cannot be completed, or else one byte) becomes one U+FFFD.
// Valid input comes back unchanged.
std::string repairUtf8(std::string_view bytes);

// True when `bytes` is well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

}  // namespace tamrel
