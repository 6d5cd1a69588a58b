#include "core/live/PathSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace tamrel {
namespace {

std::vector<std::string> listed(const PathSet& set) {
    return {set.begin(), set.end()};
}

// Every text comes back exactly as it went in, once, a path before those below it; the set
// behaves as a set of texts would.
TEST(PathSet, HoldsEveryTextExactly) {
    const std::vector<std::string> texts = {"/a/b", "/a",     "/a-x", "/",  "",
                                            "/a//b/", "a/b", "a", "/a/b", "/a/b/c",
                                            "//",   "/\xff\xfe/x"};
    PathSet set;
    std::set<std::string> plain;
    for (const std::string& t : texts) {
        set.insert(t);
        plain.insert(t);
    }
    EXPECT_EQ(set.size(), plain.size());
    std::vector<std::string> got = listed(set);
    EXPECT_LT(std::find(got.begin(), got.end(), "/a") - got.begin(),
              std::find(got.begin(), got.end(), "/a/b/c") - got.begin());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, std::vector<std::string>(plain.begin(), plain.end()));
    for (const std::string& t : texts)
        EXPECT_TRUE(set.contains(t)) << t;
    for (const char* absent : {"/a/b/c/d", "/a/", "/b", "a/b/"})
        EXPECT_FALSE(set.contains(absent)) << absent;

    // Merging leaves the other set empty and the union here; copies and moves are values.
    PathSet other{"/a", "/z/y", "/a/q"};
    PathSet copy = set;
    copy.merge(other);
    EXPECT_TRUE(other.empty());
    EXPECT_EQ(copy.size(), set.size() + 2);
    EXPECT_TRUE(copy.contains("/z/y"));
    EXPECT_FALSE(set.contains("/z/y"));
    EXPECT_FALSE(copy == set);
    PathSet moved = std::move(copy);
    EXPECT_TRUE(copy.empty());
    EXPECT_TRUE(listed(copy).empty());
    PathSet both = set;
    both.insert("/z/y");
    both.insert("/a/q");
    EXPECT_EQ(moved, both);
    EXPECT_TRUE(PathSet().empty());
    EXPECT_EQ(PathSet{}, PathSet());
}

}  // namespace
}  // namespace tamrel
