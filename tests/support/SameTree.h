#pragma once

#include <gtest/gtest.h>

#include "core/index/DiskIndex.h"

namespace tamrel::test {

// Expects two indexes to hold the same tree node for node: count, and for every id the name
// bytes, kind byte, size, item count, parent and child block; modification times too when
// `mtimes` is set. Stops after a few differences.
inline void expectSameTree(const DiskIndex& a, const DiskIndex& b, bool mtimes = true) {
    ASSERT_EQ(a.count(), b.count());
    int reported = 0;
    for (NodeId i = 0; i < a.count() && reported < 10; ++i) {
        const bool same = a.nameBytes(i) == b.nameBytes(i) && a.kind(i) == b.kind(i) &&
                          a.size(i) == b.size(i) && a.items(i) == b.items(i) &&
                          a.parent(i) == b.parent(i) && a.childCount(i) == b.childCount(i) &&
                          (a.childCount(i) == 0 || a.firstChild(i) == b.firstChild(i)) &&
                          (!mtimes || a.mtime(i) == b.mtime(i));
        if (!same) {
            ++reported;
            ADD_FAILURE() << "node " << i << " differs: " << a.path(i) << " (kind "
                          << int(a.kind(i)) << ", size " << a.size(i) << ", items " << a.items(i)
                          << ") vs " << b.path(i) << " (kind " << int(b.kind(i)) << ", size "
                          << b.size(i) << ", items " << b.items(i) << ")";
        }
    }
}

}  // namespace tamrel::test
