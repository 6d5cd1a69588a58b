#pragma once

#include <span>
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

// True when `path` is `folder` or lies below it, compared by whole components: "/a/b" is below
// "/a" and "/", "/ab" is not below "/a". Every path is below "". Neither text is normalised.
inline bool isAtOrBelow(std::string_view path, std::string_view folder) {
    if (!path.starts_with(folder)) return false;
    return path.size() == folder.size() || folder.empty() || folder.back() == '/' ||
           path[folder.size()] == '/';
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

// The last component of a path; "/" for a path without one ("/" stays "/").
inline std::string lastComponent(std::string_view path) {
    const auto parts = pathComponents(path);
    return parts.empty() ? std::string("/") : parts.back();
}

// The folder that holds `path`, trailing "/"s left out: "/a/b/" gives "/a", "/a" gives "/", and
// "/" itself and a path without a "/" give "/".
inline std::string parentPath(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

// "/" followed by `parts` joined with "/"; "/" for none. Gives back the absolute path that
// pathComponents() took apart, without its empty components.
inline std::string absolutePath(std::span<const std::string> parts) {
    std::string out;
    for (const std::string& part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

// `path` with every byte but letters, digits and "-_.~/" written as "%XX" (upper-case hex), as
// URLs and .trashinfo files carry paths.
inline std::string percentEncoded(std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// A "." or ".." among `parts`.
inline bool hasDotComponent(std::span<const std::string> parts) {
    for (const std::string& part : parts) {
        if (part == "." || part == "..") return true;
    }
    return false;
}

}  // namespace tamrel
