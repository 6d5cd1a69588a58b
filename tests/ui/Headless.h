#pragma once

#include <QApplication>
#include <QLocale>
#include <memory>

#include "ui/shell/TamrelApp.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel::test {

// The application for drawing the screens without a display: the offscreen platform (unless
// another is chosen), US English, the light appearance, and springs that jump to their targets.
inline std::unique_ptr<QApplication> headlessApp(int& argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto app = std::make_unique<QApplication>(argc, argv);
    applyLightAppearance(*app);
    SpringAnimator::setInstant(true);
    return app;
}

}  // namespace tamrel::test
