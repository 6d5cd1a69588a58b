#include "tests/support/TreeChecker.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/index/NameMask.h"

namespace tamrel::test {

void expectValidTree(const DiskIndex& index) {
    const NodeId n = index.count();
    ASSERT_GE(n, 1u) << "an index has at least its root";
    EXPECT_EQ(index.parent(0), NONE);
    EXPECT_EQ(index.nameBytes(0), index.rootPath());
    EXPECT_TRUE(index.isDir(0));
    EXPECT_EQ(index.nameOff(0), 0u);
    ASSERT_LE(index.nameOff(n), index.layout().nameCap);
    ASSERT_LE(n, index.layout().cap);

    std::vector<std::uint64_t> sizes(n, 0);
    std::vector<std::uint64_t> items(n, 0);
    std::vector<NodeId> descendants(n, 0);
    std::vector<bool> gone(n, false);  // removed, or below a removed node
    int reported = 0;
    auto fail = [&](NodeId i, const char* what) {
        if (++reported <= 20)
            ADD_FAILURE() << "node " << i << " (" << index.path(i) << "): " << what;
    };

    for (NodeId i = 0; i < n; ++i) {
        if (index.nameOff(i + 1) < index.nameOff(i)) fail(i, "name offsets decrease");
        if (index.mask(i) != NameMask::of(index.nameBytes(i))) fail(i, "name mask wrong");
        if ((index.kind(i) & Flag::executable) && !index.isFile(i))
            fail(i, "a non-file is executable");
        if ((index.kind(i) & Flag::linked) && !index.isFile(i)) fail(i, "a non-file is linked");
        if (index.subtreeEnd(i) < i + 1 || index.subtreeEnd(i) > n)
            fail(i, "subtree end out of range");
        if (i > 0 && index.parent(i) >= i) fail(i, "parent not before child");
        const NodeId c = index.childCount(i);
        if (c > 0) {
            if (!index.isDir(i)) fail(i, "a non-folder has children");
            if (index.firstChild(i) <= i || index.firstChild(i) + c > n)
                fail(i, "children out of range");
            for (NodeId k : index.children(i)) {
                if (k < n && index.parent(k) != i)
                    fail(k, "child's parent is not its block's owner");
            }
        }
        if (index.isDenied(i) && (c != 0 || index.size(i) != 0)) fail(i, "denied folder not empty");
        gone[i] = index.isRemoved(i) || (i > 0 && index.parent(i) < i && gone[index.parent(i)]);
    }
    for (NodeId i = n; i-- > 1;) {
        const NodeId p = index.parent(i);
        sizes[p] += index.size(i);
        items[p] += index.items(i);
        descendants[p] += 1 + descendants[i];
        // A node's subtree lies inside its parent's.
        const IdRange parentRange = index.subtree(p);
        if (!parentRange.contains(i)) fail(i, "node outside its parent's subtree range");
        const IdRange own = index.subtree(i);
        if (!own.empty() && (own.lo < parentRange.lo || own.hi > parentRange.hi)) {
            fail(i, "subtree range leaks out of its parent's");
        }
    }
    for (NodeId i = 0; i < n; ++i) {
        if (index.subtree(i).size() != descendants[i])
            fail(i, "subtree range is not exactly the descendants");
        if (index.isRemoved(i)) {
            if (index.size(i) != 0 || index.items(i) != 0) fail(i, "removed node keeps bytes");
        } else if (index.isDir(i)) {
            if (index.size(i) != sizes[i]) fail(i, "folder size is not the sum of its children");
            if (index.items(i) != items[i]) fail(i, "folder items are not the sum of its children");
        } else if (!gone[i] && index.items(i) != 1) {
            fail(i, "a non-folder counts other than one item");
        }
    }
}

}  // namespace tamrel::test
