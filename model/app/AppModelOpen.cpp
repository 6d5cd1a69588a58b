#include "model/app/AppModel.h"

namespace tamrel {

void AppModel::scan(const std::string&, bool) {}
void AppModel::chooseFolder() {}
void AppModel::rescan() {}
void AppModel::show(IndexRef) {}
void AppModel::finishScan(const std::string&, const ProgressRef&, IndexRef, const QString&) {}
void AppModel::recordSaved(const std::string&, std::chrono::system_clock::time_point) {}
std::optional<NodeId> AppModel::enteredFolder(const DiskIndex&, const std::string&) {
    return std::nullopt;
}
void AppModel::open(NodeId) {}
void AppModel::up() {}
NodeIds AppModel::children(NodeId) const { return {}; }
bool AppModel::reveal(NodeId) { return false; }
bool AppModel::openItem(NodeId) { return false; }
bool AppModel::copyPath(NodeId) { return false; }

}  // namespace tamrel
