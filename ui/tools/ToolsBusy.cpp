#include "ui/tools/ToolsBusy.h"

namespace tamrel {

ToolsBusy& ToolsBusy::of(AppModel& model) {
    if (auto* found = model.findChild<ToolsBusy*>(QString(), Qt::FindDirectChildrenOnly))
        return *found;
    return *new ToolsBusy(model);
}

ToolsBusy::ToolsBusy(AppModel& model) : QObject(&model), model_(model) {
    for (const PropertyNotifier* property : Notifiers{&model_.preparingClean, &model_.trashing,
                        &model_.uninstalling}) {
        connect(property, &PropertyNotifier::changed, this, &ToolsBusy::changed);
    }
}

bool ToolsBusy::busy() const {
    return model_.removalBusy();
}

bool ToolsBusy::startClean() {
    if (busy() || !model_.index() || model_.cleanPicked().empty()) return false;
    model_.runClean();
    return true;
}

bool ToolsBusy::startUninstall(const InstalledApp& app) {
    if (busy() || !model_.index()) return false;
    model_.uninstall(app);
    return true;
}

}  // namespace tamrel
