#include "model/app/AppModel.h"

namespace tamrel {

void AppModel::loadApps(bool) {}
InstalledApps AppModel::sortedApps() const { return {}; }
void AppModel::selectApp(NodeId) {}

}  // namespace tamrel
