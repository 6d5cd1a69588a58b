#include "core/scan/EventID.h"

#include <time.h>

namespace tamrel {

std::uint64_t currentEventID() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    if (ts.tv_sec < 0) return 1;
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000u +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

}  // namespace tamrel
