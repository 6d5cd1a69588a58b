#include "core/space/CleanPlan.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/index/IndexWriter.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "core/space/CleanPlanner.h"
#include "tests/core/space/CleanTestHelpers.h"
#include "tests/support/IndexBuilder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeChecker.h"

namespace tamrel {
namespace {

using test::H;
using test::kDay;
using test::kMiB;
using test::kMinSize;
using test::kNow;

TEST(CleanPlan, ItemTestRefusesSmallGoneTakenAndNestedNodes) {
    test::IndexBuilder b;
    b.file(H("/a/exact"), kMinSize);
    b.file(H("/a/short"), kMinSize - 1);
    b.file(H("/b/inner/f"), kMiB);
    b.file(H("/b/sibling/f"), kMiB);
    b.file(H("/c/gone/f"), kMiB);
    b.file(H("/d/leaf"), kMiB);
    b.removed(H("/c/gone"));
    auto index = b.build();
    const CleanContext context = test::fixedContext();
    CleanPlanner plan(*index, context, kMinSize);
    auto id = [&](std::string_view suffix) { return test::idOf(*index, H(suffix)); };

    EXPECT_TRUE(plan.item(id("/a/exact"), true));
    EXPECT_FALSE(plan.item(id("/a/short"), true));
    EXPECT_FALSE(plan.item(id("/c/gone"), true));
    EXPECT_FALSE(plan.item(id("/c/gone/f"), true));

    // A leaf has no descendants, whatever its firstChild field holds: taking it must not block
    // nodes with smaller ids.
    EXPECT_TRUE(plan.item(id("/d/leaf"), true));
    const auto inner = plan.item(id("/b/inner"), false, "why");
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->node, id("/b/inner"));
    EXPECT_FALSE(inner->on);
    EXPECT_EQ(inner->note, "why");
    EXPECT_FALSE(plan.item(id("/b/inner"), true));    // taken
    EXPECT_FALSE(plan.item(id("/b/inner/f"), true));  // inside a taken node
    EXPECT_FALSE(plan.item(id("/b"), true));          // around a taken node
    EXPECT_FALSE(plan.item(0, true));
    EXPECT_TRUE(plan.item(id("/b/sibling"), true));

    CleanPlanner zero(*index, context, 0);
    EXPECT_TRUE(zero.item(id("/c"), true)) << "minSize 0 admits a folder of 0 bytes";
}

TEST(CleanPlan, TimeTestsAndDayPhrases) {
    test::IndexBuilder b;
    auto index = b.build();
    CleanContext context = test::fixedContext();
    CleanPlanner plan(*index, context, 0);
    EXPECT_EQ(plan.now32, kNow);
    EXPECT_FALSE(plan.validTime(0));
    EXPECT_FALSE(plan.validTime(kNow + 1));
    EXPECT_TRUE(plan.validTime(kNow));
    EXPECT_TRUE(plan.validTime(1));
    EXPECT_EQ(plan.age(0), 0u);
    EXPECT_EQ(plan.age(kNow + 100), 0u);
    EXPECT_EQ(plan.dayPhrase(0), "0 days ago");
    EXPECT_EQ(plan.dayPhrase(kNow + 100), "0 days ago");
    EXPECT_EQ(plan.dayPhrase(kNow - kDay), "1 day ago");
    EXPECT_EQ(plan.dayPhrase(kNow - 2 * kDay + 1), "1 day ago");
    EXPECT_EQ(plan.dayPhrase(kNow - 2 * kDay), "2 days ago");

    context.now = std::chrono::system_clock::time_point(std::chrono::seconds(-5));
    EXPECT_EQ(CleanPlanner(*index, context, 0).now32, 0u);
    context.now = std::chrono::system_clock::time_point(std::chrono::seconds(5'000'000'000));
    EXPECT_EQ(CleanPlanner(*index, context, 0).now32, 0xFFFFFFFFu);
}

TEST(CleanPlan, OpenApplicationTest) {
    test::IndexBuilder b;
    auto index = b.build();
    CleanContext context = test::fixedContext();
    context.running = {"google chrome", "com.example.editor", "xcode", "abc", "éditeur"};
    CleanPlanner plan(*index, context, 0);
    EXPECT_TRUE(plan.running("Xcode"));
    EXPECT_TRUE(plan.running("Google"));  // "google chrome" begins with "google "
    EXPECT_FALSE(plan.running("Goog"));
    EXPECT_TRUE(plan.running("com.example.editor.cache"));
    EXPECT_FALSE(plan.running("com.example"));
    EXPECT_FALSE(plan.running("abcdef")) << "entries under 4 characters never match as prefixes";
    EXPECT_TRUE(plan.running("ÉDITEUR"));
    EXPECT_FALSE(plan.running("Slack"));
}

TEST(CleanPlan, OpenApplicationPrefixesCountCharactersAsAUserSeesThem) {
    test::IndexBuilder b;
    auto index = b.build();
    CleanContext context = test::fixedContext();
    // "añu" written decomposed: four code points, three characters on screen.
    const std::string anu = "an\xCC\x83u";
    // "café" written decomposed: five code points, four characters.
    const std::string cafe = "cafe\xCC\x81";
    context.running = {anu, cafe};
    CleanPlanner plan(*index, context, 0);
    EXPECT_TRUE(plan.running(anu)) << "an exact entry matches whatever its length";
    EXPECT_FALSE(plan.running(anu + ".cache")) << "three characters never match as a prefix";
    EXPECT_TRUE(plan.running(cafe + ".cache"));
}

TEST(CleanPlan, DeletedApplicationTestAsksPrefixesLongestFirst) {
    test::IndexBuilder b;
    auto index = b.build();
    CleanContext context = test::fixedContext();
    std::vector<std::string> asked;
    context.isInstalled = [&](std::string_view id) {
        asked.emplace_back(id);
        return id == "com.Maker.Suite";
    };
    CleanPlanner plan(*index, context, 0);

    EXPECT_TRUE(plan.orphan("org.gone..App.helper"));
    EXPECT_EQ(asked, (std::vector<std::string>{"org.gone.App.helper", "org.gone.App", "org.gone"}));
    asked.clear();
    EXPECT_FALSE(plan.orphan("com.Maker.Suite.Helper"));
    EXPECT_EQ(asked, (std::vector<std::string>{"com.Maker.Suite.Helper", "com.Maker.Suite"}));
    asked.clear();
    EXPECT_TRUE(plan.orphan("com.maker.suite.helper")) << "prefixes keep the name's letter case";
    asked.clear();
    EXPECT_FALSE(plan.orphan("two.parts"));
    EXPECT_FALSE(plan.orphan("com.apple.Safari"));
    EXPECT_FALSE(plan.orphan("group.com.apple.notes"));
    EXPECT_TRUE(asked.empty());
}

TEST(CleanPlan, GroupsAndItemsKeepBuildOrderOnEqualSizes) {
    const std::string derived = H("/Library/Developer/Xcode/DerivedData");
    test::IndexBuilder b;
    b.file(derived + "/B-1/x", kMiB);
    b.file(derived + "/A-2/x", kMiB);
    b.file(derived + "/Big/x", 3 * kMiB);
    b.file(H("/Library/Logs/app/x"), kMiB);
    b.file(H("/Library/Caches/com.x/x"), kMiB);
    b.file(H("/Library/Caches/empty"), 0);
    auto index = b.build();
    const auto plan = cleanPlan(*index, test::fixedContext(), kMinSize);
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(plan[0].id, "dev");
    EXPECT_EQ(plan[1].id, "caches") << "equal totals keep the build order";
    EXPECT_EQ(plan[2].id, "logs");
    EXPECT_EQ(test::pathsOf(plan, *index, "dev"),
              (std::vector<std::string>{derived + "/Big", derived + "/B-1", derived + "/A-2"}));
    EXPECT_EQ(plan[1].items.size(), 1u) << "a 0-byte cache is refused and groups hold no gaps";
}

TEST(CleanPlan, EmptyWithoutUsableHomeOrApplications) {
    test::IndexBuilder b;
    b.file("/Library/Caches/com.x/x", kMiB);
    b.file("/Library/Logs/x/y", kMiB);
    b.file("/src/app/package.json", 10);
    b.file("/src/app/node_modules/x", kMiB);
    b.dir("/src/app", 1);
    b.file("/Downloads/a.dmg", kMiB);
    auto index = b.build();
    for (const char* home : {"", "/", "//", "relative/home", "Users/t"}) {
        CleanContext context = test::fixedContext();
        context.home = home;
        EXPECT_TRUE(cleanPlan(*index, context, 0).empty()) << "home \"" << home << "\"";
    }
    CleanContext context = test::fixedContext();
    context.home = "/";
    EXPECT_TRUE(cleanPlan(*index, context, 0).empty());

    test::IndexBuilder other("/Volumes/Disk");
    other.file("/Volumes/Disk/Users/t/Library/Caches/com.x/x", kMiB);
    auto elsewhere = other.build();
    EXPECT_TRUE(cleanPlan(*elsewhere, test::fixedContext(), 0).empty());

    CleanContext trailing = test::fixedContext();
    trailing.home = "/src/";
    const auto plan = cleanPlan(*index, trailing, 0);
    EXPECT_EQ(test::pathsOf(plan, *index, "projects"),
              std::vector<std::string>{"/src/app/node_modules"});
}

TEST(CleanPlan, ReadsWholeRemovalsWhileAnotherThreadRemoves) {
    test::IndexBuilder b;
    for (int k = 0; k < 200; ++k) {
        b.file(H("/Library/Caches/app" + std::to_string(k) + "/data"), kMiB + k);
    }
    auto index = b.build();
    const CleanContext context = test::fixedContext();
    std::atomic<bool> done{false};
    std::jthread remover([&] {
        for (int k = 0; k < 200; k += 2) {
            IndexWriter::markRemoved(
                *index, test::idOf(*index, H("/Library/Caches/app" + std::to_string(k))));
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        done = true;
    });
    // app<k> holds kMiB + k bytes, so a plan read whole lists its items by falling k; an item
    // whose removal landed half-way through the plan would be sorted as 0 bytes, out of order.
    auto numberOf = [&](const CleanItem& it) { return std::stoi(index->name(it.node).substr(3)); };
    while (!done) {
        const auto plan = cleanPlan(*index, context, kMinSize);
        ASSERT_EQ(plan.size(), 1u);
        const auto& items = plan[0].items;
        ASSERT_GE(items.size(), 100u);
        for (std::size_t k = 1; k < items.size(); ++k)
            ASSERT_GT(numberOf(items[k - 1]), numberOf(items[k]));
    }
    remover.join();
    const auto plan = cleanPlan(*index, context, kMinSize);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].items.size(), 100u);
    for (std::size_t k = 1; k < plan[0].items.size(); ++k) {
        EXPECT_GT(index->size(plan[0].items[k - 1].node), index->size(plan[0].items[k].node));
    }
    test::expectValidTree(*index);
}

// Sets a path's modification time, leaving its access time alone.
void setMtime(const std::string& path, std::int64_t seconds) {
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST(CleanPlan, PlansAScannedHome) {
    test::TempDir home;
    for (const char* d : {"web/node_modules/lib/node_modules/dep", "rust/target/debug", "Downloads",
                          ".npm/_cacache/node_modules/x"}) {
        home.mkdirs(d);
    }
    home.write("web/package.json", 100);
    home.write("web/node_modules/lib/index.js", 300'000);
    home.write("web/node_modules/lib/node_modules/dep/a.js", 300'000);
    home.write("rust/Cargo.toml", 100);
    home.write("rust/target/debug/app", 400'000);
    home.write("Downloads/Setup.dmg", 500'000);
    home.write("Downloads/notes.txt", 500'000);
    home.write(".npm/_cacache/node_modules/x/y.js", 300'000);
    const auto now = std::chrono::system_clock::now();
    const std::int64_t now64 =
        std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    setMtime(home / "web", now64 - 30 * kDay);
    setMtime(home / "rust", now64 - 13 * kDay - 600);
    setMtime(home / "Downloads/Setup.dmg", now64 - 10 * kDay);

    ScanProgress progress;
    auto index = Scanner::scan(home.path(), progress, 4);
    test::expectValidTree(*index);
    CleanContext context;
    context.home = home.path();
    context.now = now;
    const auto plan = cleanPlan(*index, context, kMinSize);

    const auto modules = test::findItem(plan, *index, home / "web/node_modules");
    ASSERT_TRUE(modules);
    EXPECT_EQ(modules->group, "projects");
    EXPECT_TRUE(modules->item.on);
    EXPECT_FALSE(modules->item.note);
    const auto target = test::findItem(plan, *index, home / "rust/target");
    ASSERT_TRUE(target);
    EXPECT_FALSE(target->item.on);
    EXPECT_EQ(target->item.note, "Project changed 13 days ago");
    const auto dmg = test::findItem(plan, *index, home / "Downloads/Setup.dmg");
    ASSERT_TRUE(dmg);
    EXPECT_EQ(dmg->group, "installers");
    EXPECT_TRUE(dmg->item.on);
    EXPECT_FALSE(dmg->item.note);
    EXPECT_EQ(test::pathsOf(plan, *index, "projects").size(), 2u)
        << "neither the nested node_modules nor the one inside .npm is a project folder";
    EXPECT_TRUE(test::findItem(plan, *index, home / ".npm/_cacache"));
    EXPECT_FALSE(test::findItem(plan, *index, home / "Downloads/notes.txt"));
}

}  // namespace
}  // namespace tamrel
