#pragma once

#include "core/index/DiskIndex.h"

namespace tamrel::test {

// Checks every tree invariant of an index and adds a test failure for each one broken: parents
// before children, children blocks and subtree ranges contiguous and exact, folder sizes and item
// counts equal to the sums of their children, name offsets and masks consistent, denied and
// removed nodes empty. Linear in the node count.
void expectValidTree(const DiskIndex& index);

}  // namespace tamrel::test
