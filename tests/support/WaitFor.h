#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <chrono>
#include <functional>

namespace tamrel::test {

// Serves the event loop of the calling thread until `done` holds; whether it held before
// `limit` passed. For work that takes real time elsewhere: a worker's result, the kernel's
// events for a watcher, a window system's answer. A wait for a timer of the model or the screens
// advances their TestClock instead.
//
// The loop sleeps until an event comes (a worker's result comes as one) and looks at `done`
// after each, and at least every 5 ms for what no event announces.
inline bool waitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    if (done()) return true;
    const QDeadlineTimer deadline(limit);
    QTimer wake;
    wake.start(5);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

}  // namespace tamrel::test
