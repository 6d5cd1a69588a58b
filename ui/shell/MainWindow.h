#pragma once

#include <QMainWindow>
#include <QPointer>

#include "model/app/AppModel.h"

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <optional>
#include <vector>

#include "ui/shell/About.h"
#include "ui/shell/WindowFrame.h"

class QAction;
class QWindow;
class QMenu;

namespace tamrel {

class RootView;

// Which menu commands can be chosen. "Scan Folder…" and "Rescan" wait while a scan runs (a
// second scan would race the first); "Rescan" also needs a target; "Check for Updates…" has no
// updater on this system and stays disabled (and hidden on Linux).
struct MenuRules {
    bool scanFolder;
    bool rescan;
    bool checkForUpdates;
};
MenuRules menuRules(Phase phase, bool hasScanTarget);

// The window's sizes on a screen whose available area (the screen less the desktop's panels)
// is `available`: the default 1320 × 840 and the minimum 1120 × 680, each side brought down to
// what the area allows, so the whole window stays on the screen.
struct WindowSizes {
    QSize initial;
    QSize minimum;
};
WindowSizes windowSizes(QSize available);

// The window's geometry (without its frame) as it opens on a screen whose available area is
// `available`, `frame` being the margins the window manager adds around it (none for this
// window without a title bar, unless the manager draws a border): the initial size of
// windowSizes() for the area less the frame, the frame centred in the area and never above or
// left of it, so the window keys in its top-left corner are always on the screen.
QRect initialGeometry(const QRect& available, const QMargins& frame = {});

// The one window "Tamrel": 1320 × 840 by default and never smaller than 1120 × 680 where the
// screen has room for it (see windowSizes; followed when the window moves to another screen
// or the screen's area changes), the root view as its content and the menu commands (Tamrel:
// About, Check for Updates… (not on Linux), Quit; File: Scan Folder… Ctrl+O, Rescan Ctrl+R).
// Closing it quits the application.
//
// Keyboard: Tab and Shift+Tab take the focus through every control in reading order (the
// window keys, then the sidebar and the screen, see readingOrder), whatever order the controls
// were made in, round from the last to the first. The window keys take it only from the control
// next to them in that round: from no control, Tab starts at the sidebar's first row. A control
// that goes while it has the focus (hidden, turned off, deleted by a refresh) hands it to the
// control nearest to where it stood, within the innermost card around it that has one, never
// off its screen and never to a window key. Where the screen has no control left (Clean up once
// its last card went), the window holds the focus until one shows or turns on there, which then
// takes it; Tab meanwhile goes to the control nearest to the place. A screen that replaces
// another gives it to its own first control (see RootView).
//
// It has no title bar (see WindowFrame.h): the content reaches its top edge, a drag on the
// background moves it, its edges resize it and three keys in its top-left corner close,
// minimise and zoom it. The menus live in the desktop's global menu bar where it has one; the
// window shows no menu bar of its own (it would stand where the title bar was), and opens the
// same menus from a right click on its background instead. Their shortcuts work either way.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppModel& model, QWidget* parent = nullptr);
    ~MainWindow() override;

    RootView* rootView() const { return root_; }
    // What the About box says the program was built from (none until set).
    void setBuildInfo(BuildInfo build) { build_ = std::move(build); }
    QAction* scanFolderAction() const { return scanFolder_; }
    QAction* rescanAction() const { return rescan_; }
    QAction* checkForUpdatesAction() const { return checkForUpdates_; }
    WindowKeys* windowKeys() const { return keys_; }
    EdgeResizer* edgeResizer() const { return resizer_; }
    // The menus, as the global menu bar or the background's right click shows them.
    QList<QMenu*> menus() const { return {appMenu_, fileMenu_}; }
    // The controls Tab goes through, in order.
    std::vector<QWidget*> focusOrder() const;
    // Sizes itself for the screen it is on (see windowSizes): the minimum always, the size too
    // when `initial` or when the window no longer fits; when `initial` it also takes its place
    // (see initialGeometry).
    void fitScreen(bool initial);

signals:
    // A drag on the background asked the desktop to move the window.
    void backgroundDragged();

protected:
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateCommands();
    // Gives the focus to the control nearest to `place` (in this window's coordinates), looking
    // in `from` (by default the widget that stands there) and then in the parts around it, see
    // above. With `keepOnScreen`, never beyond the screen it lies on: where that has no control
    // the focus is held there (park()).
    void keepFocusNear(QRect place, QWidget* from = nullptr, bool keepOnScreen = true);
    // Holds the focus on the window for a screen that has no control at `place`, until one shows
    // or turns on there (it takes the focus), the focus moves on, or Tab (the nearest control
    // around it). A screen that goes lets it go.
    void park(QWidget* screen, QRect place);
    void unpark();
    // Where a control lies in this window.
    QRect placeOf(const QWidget* control) const;

    AppModel& model_;
    BuildInfo build_;
    RootView* root_;
    QMenu* appMenu_;
    QMenu* fileMenu_;
    QAction* scanFolder_;
    QAction* rescan_;
    QAction* checkForUpdates_;
    WindowKeys* keys_;
    EdgeResizer* resizer_;
    std::optional<QPoint> pressedAt_;     // a press on the background, not yet a drag
    QWindow* followed_ = nullptr;         // the native window whose screen is followed
    QMetaObject::Connection areaFollow_;  // to the available area of that screen
    std::optional<QRect> place_;          // where the last focused control stood
    struct Parked {
        QPointer<QWidget> screen;
        QRect place;
        bool looking = false;  // a look for a control there is queued
    };
    std::optional<Parked> parked_;  // the focus held for a screen without controls
    // To the application's focus changes: let go of first thing in the destructor, since the
    // base classes' destructors move the focus out of the window's controls after this part of
    // the window is gone.
    QMetaObject::Connection focusFollow_;
};

}  // namespace tamrel
