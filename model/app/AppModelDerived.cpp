#include "model/app/AppModel.h"

namespace tamrel {

void AppModel::refreshDerived() {}
void AppModel::startDerivedRun() {}
void AppModel::carryListsOver(const DiskIndex&, const DiskIndex&) {}

}  // namespace tamrel
