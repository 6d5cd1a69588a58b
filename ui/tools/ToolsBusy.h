#pragma once

#include "model/app/AppModel.h"

namespace tamrel {

// The screens' starts of the removals the model runs one at a time (AppModel::removalBusy,
// which the model enforces: set while a clean-up is being prepared, while items move to the
// Trash and while an application is uninstalled). While it is set, "Clean", "Move to Trash" and
// "Uninstall" are off. Main thread only.
struct ToolsBusy {
    // Starts the clean-up of the ticked items (AppModel::runClean) unless busy or nothing is
    // ticked; the busy state holds until the move has started and ended, or the model has found
    // that nothing can move. False when it did not start.
    static bool startClean(AppModel& model);
    // Uninstalls `app` unless busy. False when it did not start.
    static bool startUninstall(AppModel& model, const InstalledApp& app);
};

}  // namespace tamrel
