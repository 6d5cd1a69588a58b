#pragma once

#include <set>
#include <string>

namespace tamrel {

// What changed below a watched root, as absolute paths without a trailing "/". A path may be in
// both sets; repeated paths collapse.
struct Changes {
    std::set<std::string> dirs;  // folders whose own entries changed: list again, one level
    std::set<std::string> deep;  // paths whose whole subtree must be scanned again

    bool isEmpty() const { return dirs.empty() && deep.empty(); }
    friend bool operator==(const Changes&, const Changes&) = default;
};

}  // namespace tamrel
