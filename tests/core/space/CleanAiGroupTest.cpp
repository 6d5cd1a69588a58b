#include <gtest/gtest.h>

#include "core/space/CleanPlan.h"
#include "tests/core/space/CleanTestHelpers.h"
#include "tests/support/IndexBuilder.h"

namespace tamrel {
namespace {

using test::H;
using test::kDay;
using test::kMiB;
using test::kMinSize;
using test::kNow;

TEST(CleanAiGroup, ModelsAndOldSessions) {
    test::IndexBuilder b;
    b.file(H("/.cache/huggingface/hub/x"), 3 * kMiB);
    b.file(H("/.cache/uv/x"), kMiB);
    b.file(H("/.ollama/models/x"), 2 * kMiB);
    b.file(H("/.cache/lm-studio/x"), kMiB);
    b.file(H("/.lmstudio/models/x"), kMiB);
    const std::string codex = H("/.codex/sessions");
    b.file(codex + "/old/x", kMiB).dir(codex + "/old", kNow - 31 * kDay);
    b.file(codex + "/young/x", kMiB).dir(codex + "/young", kNow - 31 * kDay + 1);
    b.file(codex + "/zero/x", kMiB).dir(codex + "/zero", 0);
    b.file(H("/.claude/projects/p/x"), kMiB).dir(H("/.claude/projects/p"), kNow - 400 * kDay);
    auto index = b.build();
    const auto plan = cleanPlan(*index, test::fixedContext(), kMinSize);

    EXPECT_EQ(test::pathsOf(plan, *index, "ai"),
              (std::vector<std::string>{H("/.cache/huggingface"), H("/.ollama/models"),
                                        H("/.cache/lm-studio"), H("/.lmstudio/models"),
                                        codex + "/old", H("/.claude/projects/p")}));
    const CleanGroup* ai = test::groupOf(plan, "ai");
    ASSERT_TRUE(ai);
    EXPECT_EQ(ai->risk, CleanGroup::Risk::review);
    for (const CleanItem& it : ai->items)
        EXPECT_FALSE(it.on);
    EXPECT_EQ(ai->items[0].note, "Downloaded models; they download again when used");
    EXPECT_EQ(ai->items[1].note, "Ollama models; pull them again to use them");
    EXPECT_FALSE(ai->items[2].note);
    EXPECT_EQ(ai->items[4].note, "Last changed 31 days ago");
    EXPECT_EQ(ai->items[5].note, "Last changed 400 days ago");
    EXPECT_EQ(test::findItem(plan, *index, H("/.cache/uv"))->group, "dev");
}

}  // namespace
}  // namespace tamrel
