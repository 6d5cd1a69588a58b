#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/index/DiskIndex.h"

namespace tamrel {

// One item an installed application keeps outside its bundle, found in an index by
// leftovers(): identified by its node.
struct Leftover {
    // What the item is. The raw value of a case is the label shown to the user; screens group
    // leftovers by kind in declaration order.
    enum class Kind : std::uint8_t {
        support,    // "App data"
        cache,      // "Caches"
        prefs,      // "Preferences"
        container,  // "Containers"
        group,      // "Shared group data"
        logs,       // "Logs"
        state,      // "Saved state"
        web,        // "Web data"
        agent,      // "Launch agents"
        daemon,     // "Background services"
        helper,     // "Privileged helpers"
        tool,       // "Tool data"
        other,      // "Other"
    };

    NodeId node = NONE;
    Kind kind = Kind::other;
    // Outside the user's home folder: removing it needs administrator rights.
    bool system = false;
    // Found by one of the application's names only, not by an identifier: on Linux such an item
    // may be a same-named tool's or hand-written settings (see leftoverTickedByDefault()).
    bool byName = false;

    // The thirteen cases in declaration order.
    static constexpr std::array<Kind, 13> allCases = {
        Kind::support, Kind::cache, Kind::prefs, Kind::container, Kind::group,
        Kind::logs,    Kind::state, Kind::web,   Kind::agent,     Kind::daemon,
        Kind::helper,  Kind::tool,  Kind::other,
    };
    // The label of a case.
    static std::string_view rawValue(Kind kind);
    // The label shown on Linux: rawValue() but for the two kinds whose Linux rows find other
    // things: container "Flatpak & Snap data" ("~/.var/app/<id>", "~/snap/<name>") and agent
    // "Autostart entries" ("~/.config/autostart/<id>.desktop").
    static std::string_view linuxLabel(Kind kind);
    // The case whose label equals `label` exactly; nothing for any other text.
    static std::optional<Kind> fromRawValue(std::string_view label);

    friend bool operator==(const Leftover&, const Leftover&) = default;
};

}  // namespace tamrel
