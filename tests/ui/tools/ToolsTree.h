#pragma once

#include "tests/support/TempDir.h"

namespace tamrel::test {

// A home folder at `tree`/home whose contents make the space tools show something everywhere:
// System Data buckets (caches, logs, Trash, developer data, AI models, virtual machines, mail,
// application data), clean-up groups (developer junk, AI models, caches, logs, installers,
// leftovers of an application that is gone) and three applications in home/Applications, the
// largest ("Big") with leftovers of several kinds, one of them outside nothing but the home.
void makeToolsTree(const TempDir& tree);

}  // namespace tamrel::test
