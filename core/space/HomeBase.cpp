#include "core/space/HomeBase.h"

namespace tamrel {

std::optional<std::string> homeBase(std::string_view home) {
    if (home.empty() || home.front() != '/') return std::nullopt;
    while (!home.empty() && home.back() == '/')
        home.remove_suffix(1);
    if (home.empty()) return std::nullopt;
    return std::string(home);
}

}  // namespace tamrel
