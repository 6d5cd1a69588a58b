#include "ui/tools/ToolsBusy.h"

namespace tamrel {

bool ToolsBusy::startClean(AppModel& model) {
    if (model.removalBusy() || !model.index() || model.cleanPicked().empty()) return false;
    model.runClean();
    return true;
}

bool ToolsBusy::startUninstall(AppModel& model, const InstalledApp& app) {
    if (model.removalBusy() || !model.index()) return false;
    model.uninstall(app);
    return true;
}

}  // namespace tamrel
