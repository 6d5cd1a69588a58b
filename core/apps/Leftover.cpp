#include "core/apps/Leftover.h"

namespace tamrel {

std::string_view Leftover::rawValue(Kind kind) {
    switch (kind) {
        case Kind::support:
            return "App data";
        case Kind::cache:
            return "Caches";
        case Kind::prefs:
            return "Preferences";
        case Kind::container:
            return "Containers";
        case Kind::group:
            return "Shared group data";
        case Kind::logs:
            return "Logs";
        case Kind::state:
            return "Saved state";
        case Kind::web:
            return "Web data";
        case Kind::agent:
            return "Launch agents";
        case Kind::daemon:
            return "Background services";
        case Kind::helper:
            return "Privileged helpers";
        case Kind::tool:
            return "Tool data";
        case Kind::other:
            return "Other";
    }
    return "Other";
}

std::string_view Leftover::linuxLabel(Kind kind) {
    switch (kind) {
        case Kind::container:
            return "Flatpak & Snap data";
        case Kind::agent:
            return "Autostart entries";
        default:
            return rawValue(kind);
    }
}

std::optional<Leftover::Kind> Leftover::fromRawValue(std::string_view label) {
    for (Kind k : allCases) {
        if (rawValue(k) == label) return k;
    }
    return std::nullopt;
}

}  // namespace tamrel
