#pragma once

#include <QPixmap>
#include <QWidget>

#include "model/app/AppModel.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {

class Sidebar;

// How a screen looks as it comes on (shown 1) or goes (shown 0): the Welcome screen fades, the
// Scanning screen also grows from 0.97 about its centre, the results screen also rises 12
// points. Opacity is clamped to 0…1; scale and offset follow the spring's overshoot.
struct ScreenLook {
    double opacity;
    double scale;
    double dy;
};
ScreenLook screenLook(Phase phase, double shown);

// The screen of the results phase. The results screens provide it; until they do, a plain
// placeholder stands in.
QWidget* createResultsScreen(AppModel& model, QWidget* parent);

// The window's content: the sidebar beside the one screen of the model's phase, on the putty
// ground. Each phase gets a freshly created screen; the change plays under the spring the model
// announces it with (none: the screens swap at once). While the spring moves, an overlay draws
// the outgoing screen from its last snapshot and the incoming one from a fresh snapshot of the
// live screen on every frame, each with its look. The incoming screen is shown (under the
// overlay) from the start of the change, so its own entrance plays along with it; it takes
// input at once. When the spring settles the overlay goes and the live screen is seen. When the
// keyboard focus was on the screen that goes, the new screen's first control takes it (its
// first list, see focusEntry); elsewhere (on the sidebar, on no control) it stays.
class RootView : public QWidget {
    Q_OBJECT
public:
    explicit RootView(AppModel& model, QWidget* parent = nullptr);

    Phase shownPhase() const { return shown_; }
    QWidget* screen() const { return screen_; }
    Sidebar* sidebar() const { return sidebar_; }
    bool transitioning() const { return progress_.moving(); }

protected:
    void resizeEvent(QResizeEvent*) override;
    void paintEvent(QPaintEvent*) override;

private:
    class Overlay;

    void showPhase(Phase phase);
    QWidget* makeScreen(Phase phase);
    QRect screenRect() const;
    void finishTransition();

    AppModel& model_;
    Sidebar* sidebar_;
    QWidget* screen_ = nullptr;
    Phase shown_;
    Overlay* overlay_;
    QPixmap outgoing_;
    QPixmap incoming_;
    Phase outgoingPhase_ = Phase::home;
    SpringAnimator progress_;
};

}  // namespace tamrel
