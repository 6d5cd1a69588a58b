#include "ui/theme/SegmentMeter.h"

#include <QHBoxLayout>

#include <gtest/gtest.h>

#include "ui/theme/Colors.h"

namespace tamrel {
namespace {

TEST(SegmentMeter, LitSegmentsAreThoseAnyPartOfWhichIsReached) {
    EXPECT_EQ(litSegments(0, 36), 0);
    EXPECT_EQ(litSegments(1, 36), 36);
    EXPECT_EQ(litSegments(0.5, 36), 18);
    EXPECT_EQ(litSegments(0.0001, 36), 1);
    EXPECT_EQ(litSegments(0.5 + 1e-9, 36), 19);
}

TEST(SegmentMeter, FillsOnAppearAndFollowsLaterChanges) {
    SegmentMeter meter(0.5, 36, Color::screenGlow, Qt::black, 14);
    EXPECT_EQ(meter.shown(), 0);
    meter.resize(300, meter.height());
    meter.show();
    EXPECT_EQ(meter.shown(), 0.5);
    meter.setFraction(0.75);
    EXPECT_EQ(meter.shown(), 0.75);
}

TEST(SegmentMeter, IsItsOwnHeightInALayoutWithTheGlowAroundIt) {
    QWidget box;
    auto* row = new QHBoxLayout(&box);
    row->setContentsMargins(10, 10, 10, 10);
    auto* meter = new SegmentMeter(1, 10, Color::screenGlow, Qt::black, 14, &box);
    row->addWidget(meter);
    box.resize(200, 34);
    box.show();
    EXPECT_EQ(meter->height(), 14);
    EXPECT_EQ(meter->halo()->geometry(), meter->geometry().adjusted(-3, -3, 3, 3));
    EXPECT_EQ(meter->shown(), 1);
}

}  // namespace
}  // namespace tamrel
