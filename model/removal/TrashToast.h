#pragma once

#include <QString>

#include <cstdint>

#include "core/base/RuleSet.h"

namespace tamrel {

// The title of the toast after items moved to the Trash, for `bytes` of them. The designed
// rules say "Freed <bytes>"; on Linux the space comes back only when the Trash is emptied, so
// the Linux set says what happened: "Moved <bytes> to the Trash".
QString trashToastTitle(std::uint64_t bytes, RuleSet rules);

}  // namespace tamrel
