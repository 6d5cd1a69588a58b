#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tamrel {

// "parent/name" without doubling a "/" (a root may end with one).
inline std::string joinPath(std::string_view parent, std::string_view name) {
    std::string out(parent);
    if (out.empty() || out.back() != '/') out += '/';
    out += name;
    return out;
}

// The non-empty components of a path: "/a//b/" gives "a" and "b".
inline std::vector<std::string> pathComponents(std::string_view path) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        if (slash > start) out.emplace_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return out;
}

}  // namespace tamrel
