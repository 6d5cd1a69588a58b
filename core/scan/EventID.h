#pragma once

#include <cstdint>

namespace tamrel {

// The file-system event id of this moment: nanoseconds of CLOCK_REALTIME, comparable with file
// ctimes. 0 means "no event id".
std::uint64_t currentEventID();

// File times come from a coarse clock: a change made just after an event id may carry a time up
// to this much before it (nanoseconds; kept wide).
inline constexpr std::uint64_t fileTimeMargin = 2'000'000'000;

}  // namespace tamrel
