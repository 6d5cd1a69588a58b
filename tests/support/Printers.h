#pragma once

#include <ostream>

#include "core/query/FileKind.h"

namespace tamrel {

// Test failures show kinds by name.
inline void PrintTo(FileKind kind, std::ostream* out) {
    *out << kind.rawValue();
}

}  // namespace tamrel
