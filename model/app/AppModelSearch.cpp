#include "model/app/AppModel.h"

namespace tamrel {

void AppModel::scheduleSearch() {}
void AppModel::startSearch() {}

}  // namespace tamrel
