#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSize>
#include <QTemporaryFile>
#include <QWidget>
#include <QWindow>
#include <memory>

#include "ui/shell/TamrelApp.h"
#include "ui/theme/ScreenClock.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel::test {

// The size of the screen the screens are drawn on headless: TAMREL_TEST_SCREEN ("1366x768"),
// else 1920 × 1200, on which the window has its full default size.
inline QSize testScreenSize() {
    const QByteArray asked = qgetenv("TAMREL_TEST_SCREEN");
    const QList<QByteArray> sides = asked.split('x');
    if (sides.size() == 2 && sides[0].toInt() > 0 && sides[1].toInt() > 0)
        return {sides[0].toInt(), sides[1].toInt()};
    return {1920, 1200};
}

// The application for drawing the screens without a display: the offscreen platform (unless
// another is chosen) with one screen of testScreenSize(), US English, the light appearance, and
// springs and fades that jump to their targets (a test that runs one turns that off and
// advances the screens' clock, see ScopedScreenClock).
inline std::unique_ptr<QApplication> headlessApp(int& argc, char** argv) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    QString config;
    if (platform.isEmpty() || platform == "offscreen") {
        // The offscreen platform reads its screens from a file named in its options.
        const QSize screen = testScreenSize();
        // A name of its own: test processes in process namespaces of their own share pids.
        QTemporaryFile file(QDir::temp().filePath(QStringLiteral("tamrel-screen-XXXXXX.json")));
        file.setAutoRemove(false);
        if (file.open()) {
            config = file.fileName();
            file.write(QStringLiteral("{\"screens\": [{\"name\": \"test\", \"x\": 0, \"y\": 0, "
                                      "\"width\": %1, \"height\": %2, \"logicalDpi\": 96}]}")
                           .arg(screen.width())
                           .arg(screen.height())
                           .toUtf8());
            file.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
        } else {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto app = std::make_unique<QApplication>(argc, argv);
    if (!config.isEmpty()) {
        QFile::remove(config);
        // Programs the tests start get the plain platform, not the removed file.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    applyLightAppearance(*app);
    SpringAnimator::setInstant(true);
    return app;
}

// Whether the shown `window` is exposed, and with `active` also the active window (after
// activateWindow()), once the window system's pending answers are in: the offscreen platform
// gives them at once, as events.
inline bool exposed(QWidget& window, bool active = false) {
    QCoreApplication::processEvents();
    const QWindow* handle = window.windowHandle();
    return handle && handle->isExposed() && (!active || window.isActiveWindow());
}

// Puts `clock` (a test clock, usually the model's) in place of the screens' clock while it
// lives; set before the pieces that use it are made. Objects whose deletion is pending when it
// goes are deleted then, with their timers on the clock.
class ScopedScreenClock {
public:
    explicit ScopedScreenClock(Clock& clock) { setScreenClock(clock); }
    ~ScopedScreenClock() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        setScreenClock(Clock::steady());
    }
    ScopedScreenClock(const ScopedScreenClock&) = delete;
    ScopedScreenClock& operator=(const ScopedScreenClock&) = delete;
};

}  // namespace tamrel::test
