#include "tests/gallery/Settle.h"

#include <QCoreApplication>

#include "tests/model/app/ActionsProbe.h"
#include "tests/support/WaitFor.h"

namespace tamrel {

test::TestClock& galleryClock() {
    static test::TestClock clock;
    return clock;
}

void settle(AppModel& model) {
    ActionsProbe::finishWork(model);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void searched(AppModel& model) {
    galleryClock().advance(AppModelOptions().searchDelay);
    test::waitFor([&] { return !model.searching(); });
    settle(model);
}

}  // namespace tamrel
