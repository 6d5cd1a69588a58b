#pragma once

#include <gtest/gtest.h>

#include "core/index/DiskIndex.h"

namespace tamrel::test {

// Expects two indexes to hold the same tree node for node: count, and for every id the name
// bytes, kind byte, size, item count, parent and child block; modification times too when
// `mtimes` is set. With `linkFlags` clear the linked flag is left out of the kind bytes: a user
// who cannot search the folder of a file's other link cannot know from that link that the file
// has one, and a refresh leaves the file's flag as it was. Stops after a few differences.
inline void expectSameTree(const DiskIndex& a, const DiskIndex& b, bool mtimes = true,
                           bool linkFlags = true) {
    const std::uint8_t kindBits = linkFlags ? 0xFF : static_cast<std::uint8_t>(~Flag::linked);
    ASSERT_EQ(a.count(), b.count());
    int reported = 0;
    for (NodeId i = 0; i < a.count() && reported < 10; ++i) {
        const bool same = a.nameBytes(i) == b.nameBytes(i) &&
                          (a.kind(i) & kindBits) == (b.kind(i) & kindBits) &&
                          a.size(i) == b.size(i) && a.items(i) == b.items(i) &&
                          a.parent(i) == b.parent(i) && a.childCount(i) == b.childCount(i) &&
                          (a.childCount(i) == 0 || a.firstChild(i) == b.firstChild(i)) &&
                          (!mtimes || a.mtime(i) == b.mtime(i));
        if (!same) {
            ++reported;
            ADD_FAILURE() << "node " << i << " differs: " << a.path(i) << " (kind "
                          << int(a.kind(i)) << ", size " << a.size(i) << ", items " << a.items(i)
                          << ", mtime " << a.mtime(i) << ") vs " << b.path(i) << " (kind "
                          << int(b.kind(i)) << ", size " << b.size(i) << ", items " << b.items(i)
                          << ", mtime " << b.mtime(i) << ")";
        }
    }
}

}  // namespace tamrel::test
