#include "model/app/AppModel.h"

namespace tamrel {

bool InstalledCache::installed(std::string_view) { return true; }
CleanContext AppModel::cleanContext() { return CleanContext(); }
std::set<std::string> AppModel::runningNames() { return {}; }
void AppModel::applyCleanPlan(CleanGroups) {}
void AppModel::setClean(const NodeIds&, bool) {}
std::uint64_t AppModel::cleanSize() const { return 0; }

}  // namespace tamrel
