#include "ui/theme/Screen.h"

#include <gtest/gtest.h>

namespace tamrel {
namespace {

TEST(Screen, ScanLinesEveryThreePoints) {
    EXPECT_EQ(scanLineCount(100), 34);
    EXPECT_EQ(scanLineCount(99), 33);
    EXPECT_EQ(scanLineCount(1), 1);
    EXPECT_EQ(scanLineCount(0), 0);
    EXPECT_EQ(scanLineCount(-5), 0);
}

}  // namespace
}  // namespace tamrel
