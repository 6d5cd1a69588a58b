#pragma once

#include "model/app/AppModel.h"
#include "tests/support/TestClock.h"

namespace tamrel {

// The gallery's clock: its model's and its screens'. It stands still unless a step advances it,
// so a toast stays until the gallery clears it and every picture is taken at the same moment.
test::TestClock& galleryClock();

// Lets what a step started land before its picture is taken: the model's work on its workers
// and what that hands back, then the screens' queued events and deferred deletions. Springs
// jump (headless): nothing waits on time.
void settle(AppModel& model);

// Lets the model's search delay pass on the gallery's clock and waits for the search's results.
void searched(AppModel& model);

}  // namespace tamrel
