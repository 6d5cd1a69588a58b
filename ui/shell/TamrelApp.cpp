#include "ui/shell/TamrelApp.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

#include "model/app/AppModel.h"
#include "ui/shell/DesktopServices.h"
#include "ui/shell/MainWindow.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/ScreenClock.h"

namespace tamrel {

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

void applyLightAppearance(QApplication& app) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette pal;
    pal.setColor(QPalette::Window, Color::putty);
    pal.setColor(QPalette::WindowText, Color::ink);
    pal.setColor(QPalette::Base, Color::panel);
    pal.setColor(QPalette::AlternateBase, Color::puttyDeep);
    pal.setColor(QPalette::Text, Color::ink);
    pal.setColor(QPalette::PlaceholderText, Color::ink3);
    pal.setColor(QPalette::Button, Color::keyFace);
    pal.setColor(QPalette::ButtonText, Color::ink);
    pal.setColor(QPalette::Highlight, Color::tangerine);
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::ToolTipBase, Color::panel);
    pal.setColor(QPalette::ToolTipText, Color::ink);
    pal.setColor(QPalette::Link, Color::tangerineEdge);
    pal.setColor(QPalette::Light, Qt::white);
    pal.setColor(QPalette::Midlight, Color::puttyDeep);
    pal.setColor(QPalette::Mid, Color::keyEdge);
    pal.setColor(QPalette::Dark, Color::keyEdge.darker(130));
    pal.setColor(QPalette::Shadow, QColor(0, 0, 0, 60));
    pal.setColor(QPalette::Disabled, QPalette::WindowText, Color::ink3);
    pal.setColor(QPalette::Disabled, QPalette::Text, Color::ink3);
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, Color::ink3);
    app.setPalette(pal);
    app.setFont(Fonts::body.font());
}

void quitWhenShown(QWidget& window) {
    auto* check = new QTimer(&window);
    QObject::connect(check, &QTimer::timeout, &window, [&window, check] {
        const QWindow* handle = window.windowHandle();
        if (!window.isVisible() || !handle || !handle->isExposed()) return;
        check->stop();
        std::printf("Tamrel: the window is open (%d x %d)\n", window.width(), window.height());
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    check->start(20);
}

int runTamrel(int argc, char** argv, const BuildInfo& build) {
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "Tamrel needs a display to open its window: run it in a desktop session "
                     "(DISPLAY or WAYLAND_DISPLAY set), or choose a Qt platform with "
                     "QT_QPA_PLATFORM.\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tamrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tamrel"));
    QApplication::setDesktopFileName(QStringLiteral("tamrel"));
    QApplication::setApplicationVersion(build.version);
    applyLightAppearance(app);
    const QString fonts = Fonts::missingMessage();
    if (!fonts.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(fonts));

    DesktopServices desktop;
    AppModel model(desktop);
    setScreenClock(model.clock());  // the screens' motion goes by the model's time
    MainWindow window(model);
    window.setBuildInfo(build);
    desktop.setWindow(&window);
    window.show();
    // A window without the desktop's frame is not always raised and focused on its own.
    window.raise();
    window.activateWindow();
    if (qEnvironmentVariableIsSet("TAMREL_QUIT_WHEN_SHOWN")) quitWhenShown(window);
    return app.exec();
}

}  // namespace tamrel
