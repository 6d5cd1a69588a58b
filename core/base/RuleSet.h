#pragma once

#include <cstdint>

namespace tamrel {

// Which rules and words the system runs with. `designed`: the space rules, file kinds and texts
// as they were first written, for another platform; tests of those rules read them. The
// `linuxDesktop` set adds beside them what a Linux desktop has (its folders, package and
// program files) and swaps every text that would name a service Linux lacks. The window runs
// with `linuxDesktop` (RuleProfile::linuxDesktop gives it).
enum class RuleSet : std::uint8_t { designed, linuxDesktop };

}  // namespace tamrel
