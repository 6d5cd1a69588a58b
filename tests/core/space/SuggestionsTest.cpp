#include "core/space/Suggestions.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>

#include "tests/core/space/CleanTestHelpers.h"
#include "tests/support/IndexBuilder.h"

namespace tamrel {
namespace {

using test::H;
using test::kDay;
using test::kHome;
using test::kMiB;
using test::kNow;

const auto kNowPoint = std::chrono::system_clock::time_point(std::chrono::seconds(kNow));

const Suggestion* suggestionOf(const std::vector<Suggestion>& list, std::string_view id) {
    for (const Suggestion& s : list) {
        if (s.id == id) return &s;
    }
    return nullptr;
}

// The paths (or, with `names`, the names) of one suggestion's items in their order.
std::vector<std::string> itemsOf(const std::vector<Suggestion>& list, const DiskIndex& index,
                                 std::string_view id, bool names = false) {
    std::vector<std::string> out;
    if (const Suggestion* s = suggestionOf(list, id)) {
        for (NodeId n : s->nodes)
            out.push_back(names ? index.name(n) : index.path(n));
    }
    return out;
}

TEST(Suggestions, FolderNameScanOffersFoldersByFirstByte) {
    test::IndexBuilder b;
    b.dir("/node_modules");
    b.file("/notes", 1);
    b.dir("/xnode");
    b.dir("/target/venv");
    b.dir("/Pods");
    b.dir("/pods");
    b.dir("/t\xff\xfe");
    b.dir("/.venv");
    b.dir("/_x");
    b.dir("/gone/.build");
    b.removed("/gone");
    auto index = b.build();
    std::mutex m;
    std::set<std::string> seen;
    const std::vector<NodeId> all = dirsNamed(*index, [&](std::string_view name, NodeId) {
        std::lock_guard lock(m);
        seen.emplace(name);
        return true;
    });
    EXPECT_EQ(seen, (std::set<std::string>{"node_modules", "target", "venv", "Pods",
                                           "t\xEF\xBF\xBD\xEF\xBF\xBD", ".venv", "_x", ".build"}));
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
    EXPECT_EQ(all.size(), seen.size());
    const std::vector<NodeId> none =
        dirsNamed(*test::IndexBuilder().build(), [](std::string_view, NodeId) { return true; });
    EXPECT_TRUE(none.empty()) << "the root is never offered";
}

TEST(Suggestions, ListsAndOrder) {
    test::IndexBuilder b;
    b.file("/src/a/package.json", 10);
    b.file("/src/a/node_modules/x", 3 * kMiB);
    b.file("/src/a/node_modules/y/node_modules/z", kMiB);
    b.file("/src/b/Node_modules/x", 3 * kMiB);
    b.file("/src/c/node_modules/x", 5 * kMiB);
    b.removed("/src/c");
    b.file("/src/r/Cargo.toml", 1);
    b.file("/src/r/target/x", 2 * kMiB);
    b.file("/src/s/.build/x", 2 * kMiB);  // no Package.swift
    b.file("/src/v/venv/x", 2 * kMiB);    // no pyvenv.cfg
    b.file("/src/w/.venv/pyvenv.cfg", 1);
    b.file("/src/w/.venv/lib", 2 * kMiB - 1);
    b.file(H("/Library/Developer/Xcode/DerivedData/App/x"), 4 * kMiB);
    b.file(H("/Library/Developer/Xcode/DerivedData/Small/x"), kMiB / 2);
    b.file(H("/Library/Developer/CoreSimulator/Caches/x"), kMiB);
    b.file(H("/Library/Caches/com.x/x"), 7 * kMiB);
    b.file(H("/.npm/_cacache/x"), 2 * kMiB);
    b.file(H("/Library/pnpm/store/x"), 5 * kMiB);
    b.file(H("/Downloads/App.DMG"), 2 * kMiB, kNow);
    b.file(H("/Downloads/old/movie.mkv"), 20 * kMiB, kNow - 100 * kDay);
    b.file(H("/Downloads/recent.mkv"), 20 * kMiB, kNow - 80 * kDay);
    b.file(H("/Downloads/nothing.mkv"), 20 * kMiB, 0);
    b.file(H("/Downloads/.hidden"), 20 * kMiB, 1);
    b.file(H("/Downloads/old.dmg"), 20 * kMiB, 1);
    b.file(H("/Downloads/tiny.pkg"), 1000, 1);
    auto index = b.build();
    const auto list = suggestions(*index, kHome, kMiB, kNowPoint);
    auto paths = [&](std::string_view id) { return itemsOf(list, *index, id); };
    EXPECT_EQ(paths("node"), std::vector<std::string>{"/src/a/node_modules"});
    EXPECT_EQ(paths("build"), (std::vector<std::string>{"/src/r/target", "/src/w/.venv"}));
    EXPECT_EQ(paths("xcode"),
              (std::vector<std::string>{H("/Library/Developer/Xcode/DerivedData/App"),
                                        H("/Library/Developer/CoreSimulator/Caches")}));
    EXPECT_EQ(paths("pkg"),
              (std::vector<std::string>{H("/Library/pnpm/store"), H("/.npm/_cacache")}));
    EXPECT_EQ(paths("installers"),
              (std::vector<std::string>{H("/Downloads/old.dmg"), H("/Downloads/App.DMG")}));
    // Equal sizes keep id order: a folder's block comes before the blocks inside it.
    EXPECT_EQ(paths("stale"),
              (std::vector<std::string>{H("/Downloads/nothing.mkv"), H("/Downloads/.hidden"),
                                        H("/Downloads/old/movie.mkv")}));
    std::vector<std::string> order;
    for (const Suggestion& s : list)
        order.push_back(s.id);
    // MiB: stale 60, installers 22, caches 7, pkg 7, xcode 5, node 4, build 4.
    EXPECT_EQ(order, (std::vector<std::string>{"stale", "installers", "caches", "pkg", "xcode",
                                               "node", "build"}));
    EXPECT_EQ(suggestionOf(list, "pkg")->total, 7 * kMiB);
    EXPECT_EQ(suggestionOf(list, "stale")->title, "Untouched downloads");

    const auto homeless = suggestions(*index, "", kMiB, kNowPoint);
    ASSERT_EQ(homeless.size(), 2u);
    EXPECT_EQ(homeless[0].id, "node") << "equal totals keep the table order";
    EXPECT_EQ(homeless[1].id, "build");
}

TEST(Suggestions, LimitsHoldToTheByteAndTheSecond) {
    constexpr std::uint64_t tenMiB = 10 * kMiB;
    const std::uint32_t cutoff = kNow - 90 * kDay;
    test::IndexBuilder b;
    b.file(H("/Downloads/exact"), tenMiB, cutoff - 1);
    b.file(H("/Downloads/byte-short"), tenMiB - 1, cutoff - 1);
    b.file(H("/Downloads/at-cutoff"), tenMiB, cutoff);
    b.file(H("/Downloads/big"), tenMiB + 1, cutoff - 1);
    b.file(H("/Library/Caches/at-min/x"), kMiB);
    b.file(H("/Library/Caches/below-min/x"), kMiB - 1);
    auto index = b.build();
    const auto list = suggestions(*index, kHome, kMiB, kNowPoint);
    auto names = [&](std::string_view id) { return itemsOf(list, *index, id, true); };
    // At least 10 MiB, and modified before the cutoff of 90 days (7,776,000 s) ago.
    EXPECT_EQ(names("stale"), (std::vector<std::string>{"big", "exact"}));
    // At least minSize.
    EXPECT_EQ(names("caches"), std::vector<std::string>{"at-min"});
    EXPECT_EQ(suggestionOf(list, "caches")->total, kMiB);
}

TEST(Suggestions, TrashSize) {
    test::IndexBuilder b;
    b.file("/home/t/.local/share/Trash/files/x", 4096);
    b.file("/home/t/other", 100);
    auto index = b.build();
    EXPECT_EQ(trashSize(*index, "/home/t/.local/share/Trash"), 4096u);
    EXPECT_EQ(trashSize(*index, "/home/t/.local/share/Trash/"), 4096u);
    EXPECT_EQ(trashSize(*index, "/home/u/.local/share/Trash"), 0u);
    EXPECT_EQ(trashSize(*index, ""), 0u) << "an unknown Trash is not the whole disk";
    EXPECT_EQ(trashSize(*index, "/"), 0u);
}

}  // namespace
}  // namespace tamrel
