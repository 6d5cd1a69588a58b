#include "platform/PathText.h"

#include <gtest/gtest.h>

namespace tamrel {
namespace {

TEST(PathText, AtOrBelowComparesWholeComponents) {
    EXPECT_TRUE(isAtOrBelow("/a", "/a"));
    EXPECT_TRUE(isAtOrBelow("/a/b", "/a"));
    EXPECT_TRUE(isAtOrBelow("/a/b/c", "/a/b"));
    EXPECT_FALSE(isAtOrBelow("/ab", "/a"));
    EXPECT_FALSE(isAtOrBelow("/a", "/a/b"));
    EXPECT_FALSE(isAtOrBelow("/b", "/a"));
    EXPECT_TRUE(isAtOrBelow("/a", "/")) << "everything absolute is below the root";
    EXPECT_TRUE(isAtOrBelow("/", "/"));
    EXPECT_TRUE(isAtOrBelow("/x", "")) << "everything is below the empty folder";
    EXPECT_TRUE(isAtOrBelow("/a/b", "/a/")) << "a folder given with its slash";
    EXPECT_FALSE(isAtOrBelow("/a", "/a/"));
}

// Every caller takes a path apart with these two; trailing "/"s and the root must not make a
// name empty or a parent longer than the path.
TEST(PathText, LastComponentAndParentAgreeOnEveryShapeOfPath) {
    struct Case {
        const char* path;
        const char* last;
        const char* parent;
    };
    for (const Case& c : {Case{"/a/b", "b", "/a"}, Case{"/a/b/", "b", "/a"},
                          Case{"/a//b//", "b", "/a/"}, Case{"/a", "a", "/"}, Case{"/", "/", "/"},
                          Case{"//", "/", "/"}, Case{"name", "name", "/"},
                          Case{"/a/b c/.x", ".x", "/a/b c"}}) {
        EXPECT_EQ(lastComponent(c.path), c.last) << c.path;
        EXPECT_EQ(parentPath(c.path), c.parent) << c.path;
    }
}

}  // namespace
}  // namespace tamrel
