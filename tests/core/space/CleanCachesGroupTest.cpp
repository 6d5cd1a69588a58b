#include <gtest/gtest.h>

#include "core/space/CleanPlan.h"
#include "tests/core/space/CleanTestHelpers.h"
#include "tests/support/IndexBuilder.h"

namespace tamrel {
namespace {

using test::H;
using test::kMiB;
using test::kMinSize;

TEST(CleanCachesGroup, CachesAndLogs) {
    const std::string C = H("/Library/Caches");
    test::IndexBuilder b;
    b.file(C + "/com.apple.finder/x", 9 * kMiB);
    b.file(C + "/org.tamrel.Tamrel/x", 9 * kMiB);
    b.file(C + "/com.example.editor.cache/x", 2 * kMiB);
    b.file(C + "/com.idle.tool/x", 3 * kMiB);
    b.file(C + "/pip/x", 4 * kMiB);
    b.file(C + "/loose.db", kMiB);
    b.file(H("/Library/Logs/DiagnosticReports/x"), kMiB);
    b.file(H("/Library/Logs/old.log"), 2 * kMiB);
    auto index = b.build();
    CleanContext context = test::fixedContext();
    context.running = {"com.example.editor"};
    const auto plan = cleanPlan(*index, context, kMinSize);

    EXPECT_EQ(test::pathsOf(plan, *index, "caches"),
              (std::vector<std::string>{C + "/com.idle.tool", C + "/com.example.editor.cache",
                                        C + "/loose.db"}));
    const auto editor = test::findItem(plan, *index, C + "/com.example.editor.cache");
    EXPECT_FALSE(editor->item.on);
    EXPECT_EQ(editor->item.note, "Belongs to an app that's open");
    EXPECT_TRUE(test::findItem(plan, *index, C + "/com.idle.tool")->item.on);
    EXPECT_EQ(test::findItem(plan, *index, C + "/pip")->group, "dev");

    EXPECT_EQ(test::pathsOf(plan, *index, "logs"),
              (std::vector<std::string>{H("/Library/Logs/old.log"),
                                        H("/Library/Logs/DiagnosticReports")}));
    for (const CleanItem& it : test::groupOf(plan, "logs")->items) {
        EXPECT_TRUE(it.on);
        EXPECT_FALSE(it.note);
    }
}

}  // namespace
}  // namespace tamrel
