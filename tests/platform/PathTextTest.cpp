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

}  // namespace
}  // namespace tamrel
