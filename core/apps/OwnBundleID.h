#pragma once

#include <string_view>

namespace tamrel {

// This application's own reverse-DNS identifier, as its desktop entry and caches name it. The
// clean-up plan never offers a caches folder of that name, and the application inventory never
// lists this application.
inline constexpr std::string_view ownBundleID = "org.tamrel.Tamrel";

}  // namespace tamrel
