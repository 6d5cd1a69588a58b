#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tamrel {

// The entry names of `folder` ("." and ".." left out), sorted bytewise; nothing when it cannot be
// opened. Blocking; thread-safe.
std::optional<std::vector<std::string>> folderNames(const std::string& folder);

}  // namespace tamrel
