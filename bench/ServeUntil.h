#pragma once

#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace tamrel::bench {

// Serves the event loop of the calling (main) thread until `done` holds or `seconds` pass;
// false on the timeout.
inline bool serveUntil(const std::function<bool()>& done, double seconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > seconds * 1000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!done()) ::usleep(200);
    }
    return true;
}

}  // namespace tamrel::bench
