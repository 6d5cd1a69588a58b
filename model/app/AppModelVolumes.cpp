#include "model/app/AppModel.h"

namespace tamrel {

void AppModel::refreshVolumes() {}

std::optional<std::uint64_t> AppModel::expectedScanBytes() const { return std::nullopt; }

}  // namespace tamrel
