#pragma once

class QApplication;
class QWidget;

namespace tamrel {

struct BuildInfo;

// Whether a window can open here: a display (DISPLAY or WAYLAND_DISPLAY) or a platform chosen
// through QT_QPA_PLATFORM.
bool hasDisplay();

// The application's look for every widget the theme does not draw itself: the Fusion style and
// a light palette from the theme colours, whatever the desktop's colour scheme.
void applyLightAppearance(QApplication& app);

// Once `window` is shown and exposed, prints "Tamrel: the window is open (W x H)" on the
// standard output and quits the event loop: a check that the program starts where no one can
// look at it (scripts/run.sh as a user without a display, in CI).
void quitWhenShown(QWidget& window);

// The program built from `build`: checks for a display (a clear message and exit status 1
// without one) and the fonts (a message when missing), creates the desktop services, the one
// AppModel and the window, and runs the event loop until the window closes (with
// TAMREL_QUIT_WHEN_SHOWN set in the environment: until the window is shown, see quitWhenShown).
int runTamrel(int argc, char** argv, const BuildInfo& build);

}  // namespace tamrel
