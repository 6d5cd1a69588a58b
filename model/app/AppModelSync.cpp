#include "model/app/AppModel.h"

namespace tamrel {

void AppModel::watch(const IndexRef&) {}
void AppModel::stopWatching() { watcher_.reset(); }
void AppModel::scheduleLive() {}
void AppModel::apply(Changes) {}
void AppModel::adopt(IndexRef) {}

}  // namespace tamrel
