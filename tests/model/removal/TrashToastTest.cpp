#include "model/removal/TrashToast.h"

#include <gtest/gtest.h>

namespace tamrel {
namespace {

// A move to the Trash frees nothing until the Trash is emptied: the Linux title says where the
// bytes went; the designed one keeps its word.
TEST(TrashToast, TitleSaysWhatHappened) {
    const struct {
        std::uint64_t bytes;
        RuleSet rules;
        const char* title;
    } cases[] = {
        {380'000'000, RuleSet::linuxDesktop, "Moved 380 MB to the Trash"},
        {1, RuleSet::linuxDesktop, "Moved 1 byte to the Trash"},
        {380'000'000, RuleSet::designed, "Freed 380 MB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(trashToastTitle(c.bytes, c.rules), QString::fromUtf8(c.title)) << c.title;
}

}  // namespace
}  // namespace tamrel
