#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tamrel {

// The home folder text that home-based rule paths are built on (base + "/Library/Caches"):
// `home` without trailing "/", or nothing when it is empty, relative or only "/". A rule
// without a base contributes nothing: "" + "/" would name the whole disk.
std::optional<std::string> homeBase(std::string_view home);

}  // namespace tamrel
