#include <gtest/gtest.h>

#include <set>

#include "core/space/CleanPlan.h"
#include "tests/core/space/CleanTestHelpers.h"
#include "tests/support/IndexBuilder.h"

namespace tamrel {
namespace {

using test::H;
using test::kDay;
using test::kMiB;
using test::kNow;

TEST(CleanLeftoversGroup, FoldersOfApplicationsNoLongerInstalled) {
    const std::uint32_t old = kNow - 31 * kDay;
    test::IndexBuilder b;
    auto folder = [&](const std::string& path, std::uint32_t mtime) {
        b.file(path + "/x", kMiB).dir(path, mtime);
    };
    folder(H("/Library/Containers/com.gone.editor"), old);
    folder(H("/Library/Containers/com.kept.editor.helper"), old);
    folder(H("/Library/Containers/com.apple.Notes"), old);
    folder(H("/Library/Containers/gone.app"), old);
    folder(H("/Library/Containers/com.gone.young"), old + 1);
    folder(H("/Library/Saved Application State/org.gone.Opener.savedState"), old);
    folder(H("/Library/Saved Application State/org.gone.Plain"), old);
    folder(H("/Library/HTTPStorages/io.gone.web"), old);
    folder(H("/Library/WebKit/io.gone.kit"), old);
    folder(H("/Library/Application Scripts/group.com.apple.x"), old);
    folder(H("/Library/Application Scripts/dev.gone.scripts"), old);
    auto index = b.build();

    EXPECT_FALSE(test::groupOf(cleanPlan(*index, test::fixedContext(), 0), "leftovers"))
        << "with every application counted as installed there are no leftovers";

    CleanContext context = test::fixedContext();
    const std::set<std::string> installed = {"com.kept.editor"};
    context.isInstalled = [installed](std::string_view id) {
        return installed.contains(std::string(id));
    };
    const auto plan = cleanPlan(*index, context, 0);
    EXPECT_EQ(test::pathsOf(plan, *index, "leftovers"),
              (std::vector<std::string>{
                  H("/Library/Containers/com.gone.editor"),
                  H("/Library/Saved Application State/org.gone.Opener.savedState"),
                  H("/Library/HTTPStorages/io.gone.web"), H("/Library/WebKit/io.gone.kit"),
                  H("/Library/Application Scripts/dev.gone.scripts")}));
    const CleanGroup* g = test::groupOf(plan, "leftovers");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->blurb,
              "Data, caches and saved state from apps that are no longer on this computer.");
    EXPECT_FALSE(g->items[0].on);
    EXPECT_EQ(g->items[0].note, "com.gone.editor isn't installed");
    EXPECT_EQ(g->items[1].note, "org.gone.Opener isn't installed");
}

}  // namespace
}  // namespace tamrel
