#include "model/app/AppModel.h"

namespace tamrel {

void AppModel::runClean() {}

}  // namespace tamrel
