#include "ui/theme/PieSlice.h"

#include <gtest/gtest.h>

namespace tamrel {
namespace {

TEST(PieSlice, RunsClockwiseFromTwelveOClock) {
    const QPainterPath quarter = pieSlice(QRectF(0, 0, 100, 100), -90, 0);
    // Twelve to three o'clock is the upper right quarter.
    EXPECT_TRUE(quarter.contains(QPointF(75, 25)));
    EXPECT_FALSE(quarter.contains(QPointF(25, 25)));
    EXPECT_FALSE(quarter.contains(QPointF(75, 75)));
    // The mark's wedge reaches ten degrees past three o'clock.
    const QPainterPath mark = pieSlice(QRectF(0, 0, 100, 100), -90, 10);
    EXPECT_TRUE(mark.contains(QPointF(90, 55)));
    EXPECT_FALSE(mark.contains(QPointF(80, 80)));
}

}  // namespace
}  // namespace tamrel
