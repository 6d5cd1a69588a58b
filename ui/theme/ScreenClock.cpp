#include "ui/theme/ScreenClock.h"

namespace tamrel {

namespace {

Clock* gClock = nullptr;

}  // namespace

Clock& screenClock() {
    return gClock ? *gClock : Clock::steady();
}

void setScreenClock(Clock& clock) {
    gClock = &clock;
}

}  // namespace tamrel
