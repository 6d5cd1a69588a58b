#include <gtest/gtest.h>

#include "core/space/CleanPlan.h"
#include "tests/core/space/CleanTestHelpers.h"
#include "tests/support/IndexBuilder.h"

namespace tamrel {
namespace {

using test::H;
using test::kMiB;
using test::kMinSize;

const std::string A = H("/Library/Application Support");

TEST(CleanWebGroup, CacheFoldersByNameDepthAndOwner) {
    test::IndexBuilder b;
    b.file(A + "/Google/Chrome/Default/Cache/data", 4 * kMiB);
    b.file(A + "/Google/Chrome/Default/Cache/Cache/data", kMiB);  // inside a taken one
    b.file(A + "/Google/Chrome/Default/Service Worker/CacheStorage/x", kMiB);
    b.file(A + "/Google/Chrome/OptGuideOnDeviceModel/m", 3 * kMiB);
    b.file(A + "/Code/Profile/CacheStorage/x", kMiB);  // not below "Service Worker"
    b.file(A + "/Slack/GPUCache/x", kMiB);
    b.file(A + "/Deep/2/3/4/Code Cache/x", kMiB);      // 5 steps below A
    b.file(A + "/Deeper/2/3/4/5/Code Cache/x", kMiB);  // 6 steps
    b.file(A + "/Small/ShaderCache/x", kMinSize - 1);
    b.file(A + "/Files/Cache", kMiB);   // a file, not a folder
    b.file(A + "/Case/cache/x", kMiB);  // names compare with case
    b.file(A + "/Gone/DawnCache/x", kMiB);
    b.removed(A + "/Gone/DawnCache");
    auto index = b.build();

    CleanContext context = test::fixedContext();
    context.running = {"slack"};
    const auto plan = cleanPlan(*index, context, kMinSize);
    EXPECT_EQ(test::pathsOf(plan, *index, "web"),
              (std::vector<std::string>{A + "/Google/Chrome/Default/Cache",
                                        A + "/Google/Chrome/OptGuideOnDeviceModel",
                                        A + "/Google/Chrome/Default/Service Worker/CacheStorage",
                                        A + "/Slack/GPUCache", A + "/Deep/2/3/4/Code Cache"}));
    const CleanGroup* web = test::groupOf(plan, "web");
    ASSERT_TRUE(web);
    EXPECT_EQ(web->title, "Browser & app caches");
    EXPECT_TRUE(web->items[0].on);
    EXPECT_FALSE(web->items[0].note);
    EXPECT_TRUE(web->items[1].on);
    EXPECT_EQ(web->items[1].note, "Chrome's on-device AI model; Chrome may download it again");
    EXPECT_FALSE(web->items[3].on);
    EXPECT_EQ(web->items[3].note, "Slack is open");

    context.running = {"google chrome"};
    const auto chromeOpen = cleanPlan(*index, context, kMinSize);
    const auto model =
        test::findItem(chromeOpen, *index, A + "/Google/Chrome/OptGuideOnDeviceModel");
    ASSERT_TRUE(model);
    EXPECT_FALSE(model->item.on);
    EXPECT_EQ(model->item.note, "Google is open");
}

}  // namespace
}  // namespace tamrel
