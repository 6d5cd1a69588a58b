#pragma once

#include <QObject>

#include "model/app/AppModel.h"

namespace tamrel {

// The screens' view of the one busy state of the moves to the Trash (AppModel::removalBusy(),
// which the model enforces): set while a clean-up is being prepared (the plan computed again
// before its items go), while items move to the Trash and while an application is uninstalled.
// While it is set, "Clean", "Move to Trash" and "Uninstall" are off.
//
// One per model, owned by it (a child object), made on first use. Main thread only.
class ToolsBusy : public QObject {
    Q_OBJECT
public:
    static ToolsBusy& of(AppModel& model);

    // AppModel::removalBusy().
    bool busy() const;

    // Starts the clean-up of the ticked items (AppModel::runClean) unless busy or nothing is
    // ticked; the busy state holds until the move has started and ended, or the model has found
    // that nothing can move. False when it did not start.
    bool startClean();
    // Uninstalls `app` unless busy. False when it did not start.
    bool startUninstall(const InstalledApp& app);

signals:
    void changed();

private:
    explicit ToolsBusy(AppModel& model);

    AppModel& model_;
};

}  // namespace tamrel
