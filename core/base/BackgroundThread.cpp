#include "core/base/BackgroundThread.h"

#include <sched.h>

namespace tamrel {

void becomeBackgroundThread() {
    const sched_param none{};
    ::sched_setscheduler(0, SCHED_BATCH, &none);
}

}  // namespace tamrel
