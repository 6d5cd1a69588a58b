#include "ui/theme/Display.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"

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

TEST(Screen, ScanLinesEveryThreePoints) {
    EXPECT_EQ(scanLineCount(100), 34);
    EXPECT_EQ(scanLineCount(99), 33);
    EXPECT_EQ(scanLineCount(1), 1);
    EXPECT_EQ(scanLineCount(0), 0);
    EXPECT_EQ(scanLineCount(-5), 0);
}

TEST(Caption, FirstCharacterUpperCasedRestUnchanged) {
    EXPECT_EQ(captionText("disks"), "Disks");
    EXPECT_EQ(captionText("Places"), "Places");
    EXPECT_EQ(captionText("eBay items"), "EBay items");
    EXPECT_EQ(captionText(""), "");
    EXPECT_EQ(captionText(QString::fromUtf8("\xC3\xA9t\xC3\xA9")),
              QString::fromUtf8("\xC3\x89t\xC3\xA9"));
}

TEST(LED, SteadyStaysOffButOpaquePulsingBreathes) {
    const LedLook steady = ledLook(false, 0);
    EXPECT_EQ(steady.opacity, 1);
    EXPECT_DOUBLE_EQ(steady.glowOpacity, 0.4);
    EXPECT_DOUBLE_EQ(steady.glowRadius, 1.5);
    EXPECT_DOUBLE_EQ(ledLook(true, 0).opacity, 0.45);
    const LedLook on = ledLook(true, 1);
    EXPECT_EQ(on.opacity, 1);
    EXPECT_DOUBLE_EQ(on.glowOpacity, 0.9);
    EXPECT_DOUBLE_EQ(on.glowRadius, 4);
}

TEST(LED, TheLitDiscHasItsColour) {
    LED led(Color::led, false);
    const QImage image = led.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(7, 7)).rgb(), Color::led.rgb());
}

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

TEST(SizeText, SplitsNumberAndUnit) {
    SizeText zero(0, 20, Color::ink2);
    EXPECT_EQ(zero.number(), "0");
    EXPECT_EQ(zero.unit(), "bytes");
    SizeText big(1'500'000, 20, Color::ink2);
    EXPECT_EQ(big.number(), "1.5");
    EXPECT_EQ(big.unit(), "MB");
}

TEST(Glyph, TileIsItsSizePlusTwoPointsOfEdge) {
    Glyph glyph(QStringLiteral("house.fill"), 0x8E7CF8, 24);
    EXPECT_EQ(glyph.sizeHint(), QSize(24, 26));
}

TEST(Panel, CardIsWhiteWithAHairlineBorder) {
    Panel panel;
    panel.resize(100, 60);
    const QImage image = panel.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(50, 30)).rgb(), Color::panel.rgb());
    // The border darkens the edge a little: ink at 0.08 over white.
    const QColor edge(image.pixel(50, 0));
    EXPECT_LT(edge.red(), 250);
    EXPECT_GT(edge.red(), 225);
}

}  // namespace
}  // namespace tamrel
