#pragma once

#include "model/system/Clock.h"

namespace tamrel {

// The clock every timed motion on screen goes by: springs, fades, a toast's life, spinners and
// the scanning dial. It is the model's clock (AppModel::clock()): the program's entry sets it
// when it makes the model, and tests that advance their model's clock set that one, so a test
// advances the clock and the motion is at its end. Clock::steady() until set.
//
// Pieces take the clock when they are made: set it before making any, and keep it alive while
// they live. Main thread only.
Clock& screenClock();
void setScreenClock(Clock& clock);

}  // namespace tamrel
