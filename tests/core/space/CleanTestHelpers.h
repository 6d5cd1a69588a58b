#pragma once

#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "core/space/CleanPlan.h"
#include "core/index/DiskIndex.h"

namespace tamrel::test {

inline constexpr std::uint32_t kNow = 1'700'000'000;
inline constexpr std::uint32_t kDay = 86'400;
inline constexpr std::uint64_t kMiB = 1 << 20;
inline constexpr std::uint64_t kMinSize = 262'144;
inline constexpr std::string_view kHome = "/Users/t";

// True when a text shown to the user names the other desktop platform, its file manager or its
// computers; such words are reworded for Linux ("the system", "the file manager", "this
// computer").
inline bool namesOtherPlatform(const std::string& text) {
    static const std::regex words("macOS|Finder|Macintosh|\\bMac\\b");
    return std::regex_search(text, words);
}

// home + suffix.
inline std::string H(std::string_view suffix) {
    return std::string(kHome) + std::string(suffix);
}

// A context with home kHome, the fixed time kNow, nothing running and everything installed.
inline CleanContext fixedContext() {
    CleanContext c;
    c.home = std::string(kHome);
    c.now = std::chrono::system_clock::time_point(std::chrono::seconds(kNow));
    return c;
}

inline const CleanGroup* groupOf(const std::vector<CleanGroup>& plan, std::string_view id) {
    for (const CleanGroup& g : plan) {
        if (g.id == id) return &g;
    }
    return nullptr;
}

// The item of the node at `path`, with the id of its group, or nothing.
struct Found {
    std::string group;
    CleanItem item;
};
inline std::optional<Found> findItem(const std::vector<CleanGroup>& plan, const DiskIndex& index,
                                     std::string_view path) {
    const std::optional<NodeId> id = index.lookup(path);
    if (!id) return std::nullopt;
    for (const CleanGroup& g : plan) {
        for (const CleanItem& it : g.items) {
            if (it.node == *id) return Found{g.id, it};
        }
    }
    return std::nullopt;
}

// The paths of a group's items in their order.
inline std::vector<std::string> pathsOf(const std::vector<CleanGroup>& plan, const DiskIndex& index,
                                        std::string_view id) {
    std::vector<std::string> out;
    if (const CleanGroup* g = groupOf(plan, id)) {
        for (const CleanItem& it : g->items)
            out.push_back(index.path(it.node));
    }
    return out;
}

}  // namespace tamrel::test
