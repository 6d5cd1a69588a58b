#pragma once

#include <cstdint>

namespace tamrel {

// The file-system event id of this moment: nanoseconds of CLOCK_REALTIME, comparable with file
// ctimes. 0 means "no event id".
std::uint64_t currentEventID();

}  // namespace tamrel
