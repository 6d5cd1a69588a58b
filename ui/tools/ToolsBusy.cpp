#include "ui/tools/ToolsBusy.h"

namespace tamrel {

ToolsBusy& ToolsBusy::of(AppModel& model) {
    if (auto* found = model.findChild<ToolsBusy*>(QString(), Qt::FindDirectChildrenOnly))
        return *found;
    return *new ToolsBusy(model);
}

ToolsBusy::ToolsBusy(AppModel& model) : QObject(&model), model_(model) {
    connect(&model_, &AppModel::trashingChanged, this, [this] {
        // The prepared move has begun: trashing covers it from here.
        if (model_.trashing()) preparing_ = false;
        emit changed();
    });
    connect(&model_, &AppModel::uninstallingChanged, this, &ToolsBusy::changed);
    // A preparation whose generation is replaced is dropped by the model.
    connect(&model_, &AppModel::indexChanged, this, [this] { setPreparing(false); });
}

bool ToolsBusy::busy() const {
    return preparing_ || model_.trashing() || model_.uninstalling();
}

void ToolsBusy::setPreparing(bool on) {
    if (preparing_ == on) return;
    preparing_ = on;
    emit changed();
}

bool ToolsBusy::startClean() {
    if (busy() || !model_.index() || model_.cleanPicked().empty()) return false;
    // When every ticked item of the plan belongs to an open program, the run moves nothing and
    // no move starts that would end the preparation: then it is not marked.
    bool movesSomething = false;
    for (const CleanGroup& group : model_.cleanPlan()) {
        for (const CleanItem& item : group.items) {
            if (model_.cleanPicked().contains(item.node) &&
                (!item.note || item.note->find("open") == std::string::npos)) {
                movesSomething = true;
            }
        }
    }
    model_.runClean();
    if (movesSomething) setPreparing(true);
    return true;
}

bool ToolsBusy::startUninstall(const InstalledApp& app) {
    if (busy() || !model_.index()) return false;
    model_.uninstall(app);
    return true;
}

}  // namespace tamrel
