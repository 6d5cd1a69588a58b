#include <gtest/gtest.h>

#include "core/space/CleanPlan.h"
#include "tests/core/space/CleanTestHelpers.h"
#include "tests/support/IndexBuilder.h"

namespace tamrel {
namespace {

using test::H;
using test::kDay;
using test::kMiB;
using test::kNow;

TEST(CleanProjectsGroup, BuildFoldersByMarkerPlaceAndAge) {
    const std::uint32_t old = kNow - 14 * kDay;
    test::IndexBuilder b;
    auto project = [&](const std::string& dir, std::uint32_t mtime, const char* marker,
                       const char* folder) {
        if (marker) b.file(dir + "/" + marker, 10);
        b.file(dir + "/" + folder + "/x", kMiB);
        b.dir(dir, mtime);
    };
    project(H("/src/web"), old, "package.json", "node_modules");
    b.file(H("/src/web/node_modules/a/node_modules/b/x"), kMiB);
    project(H("/src/swift"), kNow - 13 * kDay, "Package.swift", ".build");
    project(H("/src/swift-bare"), old, nullptr, ".build");
    project(H("/src/rust"), kNow - kDay - 5, "Cargo.toml", "target");
    project(H("/src/rust-bare"), old, "Cargo.lock", "target");
    project(H("/src/kt"), old, "build.gradle.kts", ".gradle");
    project(H("/src/svelte"), 0, "package.json", ".svelte-kit");
    project(H("/src/py"), old, "setup.py", "pkg/__pycache__");
    b.file(H("/src/py/venv/pyvenv.cfg"), 10);
    b.file(H("/src/py/venv/lib/x"), kMiB);
    b.file(H("/src/py/env2/venv/lib/x"), kMiB);  // no pyvenv.cfg inside
    b.file(H("/src/py/Target/x"), kMiB);
    b.file(H("/src/py/Cargo.toml"), 10);
    project(H("/Library/proj"), old, "package.json", "node_modules");
    project(H("/.npm/_npx/abc"), old, "package.json", "node_modules");
    project(H("/Apps/Tool.app/Contents"), old, "package.json", "node_modules");
    project("/opt/proj", old, "package.json", "node_modules");
    project("/Users/tom/proj", old, "package.json", "node_modules");
    project(H("/src/gone"), old, "package.json", "node_modules");
    b.removed(H("/src/gone/node_modules"));
    auto index = b.build();
    const auto plan = cleanPlan(*index, test::fixedContext(), 0);

    std::vector<std::string> found = test::pathsOf(plan, *index, "projects");
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{H("/src/kt/.gradle"), H("/src/py/pkg/__pycache__"),
                                               H("/src/py/venv"), H("/src/rust/target"),
                                               H("/src/svelte/.svelte-kit"), H("/src/swift/.build"),
                                               H("/src/web/node_modules")}));
    auto item = [&](const std::string& path) { return test::findItem(plan, *index, path)->item; };
    EXPECT_TRUE(item(H("/src/web/node_modules")).on);
    EXPECT_FALSE(item(H("/src/web/node_modules")).note);
    EXPECT_FALSE(item(H("/src/swift/.build")).on);
    EXPECT_EQ(item(H("/src/swift/.build")).note, "Project changed 13 days ago");
    EXPECT_EQ(item(H("/src/rust/target")).note, "Project changed 1 day ago");
    EXPECT_EQ(item(H("/src/svelte/.svelte-kit")).note, "Project changed 0 days ago");
    EXPECT_TRUE(item(H("/src/kt/.gradle")).on);
}

}  // namespace
}  // namespace tamrel
