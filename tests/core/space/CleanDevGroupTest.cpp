#include <gtest/gtest.h>

#include "core/space/CleanPlan.h"
#include "tests/core/space/CleanTestHelpers.h"
#include "tests/support/IndexBuilder.h"

namespace tamrel {
namespace {

using test::H;
using test::kMiB;
using test::kMinSize;

const std::string D = H("/Library/Developer");

std::unique_ptr<DiskIndex> developerTree() {
    test::IndexBuilder b;
    b.file(D + "/Xcode/DerivedData/App-a/Build/x", 2 * kMiB);
    b.file(D + "/Xcode/DerivedData/Tool-b/x", kMiB);
    // Child order differs from age order.
    b.file(D + "/Xcode/iOS DeviceSupport/16.0/x", kMiB)
        .dir(D + "/Xcode/iOS DeviceSupport/16.0", 100);
    b.file(D + "/Xcode/iOS DeviceSupport/17.2/x", kMiB)
        .dir(D + "/Xcode/iOS DeviceSupport/17.2", 300);
    b.file(D + "/Xcode/iOS DeviceSupport/17.0/x", kMiB)
        .dir(D + "/Xcode/iOS DeviceSupport/17.0", 200);
    b.file(D + "/Xcode/watchOS DeviceSupport/9/x", kMiB)
        .dir(D + "/Xcode/watchOS DeviceSupport/9", 1);
    b.file(D + "/Xcode/watchOS DeviceSupport/10/x", kMiB)
        .dir(D + "/Xcode/watchOS DeviceSupport/10", 2);
    // The newest is too small to be an item; it still counts as one of the two newest.
    b.file(D + "/Xcode/tvOS DeviceSupport/a/x", kMiB).dir(D + "/Xcode/tvOS DeviceSupport/a", 10);
    b.file(D + "/Xcode/tvOS DeviceSupport/b/x", kMiB).dir(D + "/Xcode/tvOS DeviceSupport/b", 20);
    b.file(D + "/Xcode/tvOS DeviceSupport/c/x", 10).dir(D + "/Xcode/tvOS DeviceSupport/c", 30);
    b.file(D + "/CoreSimulator/Caches/x", kMiB);
    b.file(D + "/CoreSimulator/Devices/x", kMiB);
    b.file(D + "/Xcode/Archives/2024-01-01/x", kMiB);
    b.file(D + "/Xcode/Products/x", kMiB);
    b.file(H("/Library/Caches/Yarn/x"), kMiB);
    b.file(H("/Library/Caches/com.other/x"), kMiB);
    b.file(H("/.npm/_npx/x"), kMiB);
    b.file(H("/.gradle/caches/x"), kMiB);
    b.file(H("/go/pkg/mod/x"), kMiB);
    return b.build();
}

TEST(CleanDevGroup, TicksAndNotes) {
    auto index = developerTree();
    const auto plan = cleanPlan(*index, test::fixedContext(), kMinSize);
    auto item = [&](const std::string& path) {
        const auto f = test::findItem(plan, *index, path);
        EXPECT_TRUE(f) << path;
        if (f) {
            EXPECT_EQ(f->group, "dev") << path;
        }
        return f ? f->item : CleanItem{};
    };
    EXPECT_TRUE(item(D + "/Xcode/DerivedData/App-a").on);
    EXPECT_FALSE(item(D + "/Xcode/DerivedData/App-a").note);

    const std::string kept = "One of the two newest, kept";
    EXPECT_TRUE(item(D + "/Xcode/iOS DeviceSupport/16.0").on);
    EXPECT_FALSE(item(D + "/Xcode/iOS DeviceSupport/16.0").note);
    EXPECT_FALSE(item(D + "/Xcode/iOS DeviceSupport/17.2").on);
    EXPECT_EQ(item(D + "/Xcode/iOS DeviceSupport/17.2").note, kept);
    EXPECT_EQ(item(D + "/Xcode/iOS DeviceSupport/17.0").note, kept);
    EXPECT_EQ(item(D + "/Xcode/watchOS DeviceSupport/9").note, kept);
    EXPECT_EQ(item(D + "/Xcode/watchOS DeviceSupport/10").note, kept);
    EXPECT_FALSE(test::findItem(plan, *index, D + "/Xcode/tvOS DeviceSupport/c"));
    EXPECT_EQ(item(D + "/Xcode/tvOS DeviceSupport/b").note, kept);
    EXPECT_TRUE(item(D + "/Xcode/tvOS DeviceSupport/a").on);

    EXPECT_TRUE(item(D + "/CoreSimulator/Caches").on);
    EXPECT_TRUE(item(D + "/Xcode/Products").on);
    EXPECT_EQ(item(D + "/Xcode/Archives/2024-01-01").note,
              "Archived app builds; keep any you may need to resubmit");
    EXPECT_EQ(item(H("/.gradle/caches")).note,
              "Gradle rebuilds this, but the next build will be slow");
    EXPECT_EQ(item(H("/go/pkg/mod")).note, "Go downloads modules again on the next build");
    EXPECT_EQ(item(D + "/CoreSimulator/Devices").note, "Simulators and the app data inside them");
    EXPECT_FALSE(item(D + "/CoreSimulator/Devices").on);
    EXPECT_TRUE(item(H("/.npm/_npx")).on);
    // The package cache under the caches folder belongs to dev; its siblings stay in caches.
    EXPECT_TRUE(item(H("/Library/Caches/Yarn")).on);
    const auto other = test::findItem(plan, *index, H("/Library/Caches/com.other"));
    ASSERT_TRUE(other);
    EXPECT_EQ(other->group, "caches");
}

TEST(CleanDevGroup, XcodeRunningHoldsDerivedDataBack) {
    auto index = developerTree();
    for (const char* running : {"com.apple.dt.xcode", "xcode"}) {
        CleanContext context = test::fixedContext();
        context.running = {running};
        const auto plan = cleanPlan(*index, context, kMinSize);
        for (const char* product : {"/Xcode/DerivedData/App-a", "/Xcode/DerivedData/Tool-b"}) {
            const auto f = test::findItem(plan, *index, D + product);
            ASSERT_TRUE(f) << running;
            EXPECT_FALSE(f->item.on);
            EXPECT_EQ(f->item.note, "Xcode is open");
        }
        EXPECT_TRUE(test::findItem(plan, *index, D + "/Xcode/Products")->item.on);
    }
}

}  // namespace
}  // namespace tamrel
