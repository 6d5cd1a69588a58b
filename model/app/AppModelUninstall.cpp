#include "model/app/AppModel.h"

namespace tamrel {

void AppModel::uninstall(const InstalledApp&) {}

}  // namespace tamrel
