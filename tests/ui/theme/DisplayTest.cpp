#include "ui/theme/Display.h"

#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QPointer>

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"

#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"

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
    EXPECT_EQ(QColor(image.pixel(3, 3)).rgb(), Color::led.rgb());
}

// A white box holding an LED between two labels' worth of space, laid out as a screen would.
struct LedBox {
    QWidget box;
    LED* led;
    LedBox() {
        QPalette white = box.palette();
        white.setColor(QPalette::Window, Qt::white);
        box.setPalette(white);
        box.setAutoFillBackground(true);
        auto* row = new QHBoxLayout(&box);
        row->setContentsMargins(20, 20, 20, 20);
        row->setSpacing(7);
        led = new LED(Color::danger, false, &box);
        row->addWidget(led);
        row->addStretch(1);
        box.resize(100, 47);
        box.show();
    }
};

TEST(LED, TakesItsSevenPointsInALayoutWhileItsGlowSpillsAround) {
    LedBox b;
    EXPECT_EQ(b.led->size(), QSize(7, 7));
    EXPECT_EQ(b.led->geometry().topLeft(), QPoint(20, 20));
    Halo* halo = b.led->halo();
    ASSERT_NE(halo, nullptr);
    EXPECT_EQ(halo->parentWidget(), &b.box);
    EXPECT_EQ(halo->geometry(), QRect(16, 16, 15, 15));
    EXPECT_TRUE(halo->isVisible());
    // Under the disc, so the disc stays whole on top of its glow.
    const QObjectList& children = b.box.children();
    EXPECT_LT(children.indexOf(halo), children.indexOf(b.led));
    // The glow (1.5 points for a steady light) tints the white box just beside the disc,
    // outside the LED's own rectangle.
    const QImage image = b.box.grab().toImage();
    const QColor beside(image.pixel(19, 23));
    EXPECT_LT(beside.green(), 250);
    EXPECT_EQ(QColor(image.pixel(23, 23)).rgb(), Color::danger.rgb());
    EXPECT_EQ(QColor(image.pixel(40, 23)).rgb(), QColor(Qt::white).rgb());
}

TEST(LED, TheGlowFollowsTheLightAndGoesWithIt) {
    LedBox b;
    QPointer<Halo> halo = b.led->halo();
    b.led->move(40, 10);
    EXPECT_EQ(halo->geometry(), QRect(36, 6, 15, 15));
    b.led->hide();
    EXPECT_FALSE(halo->isVisible());
    b.led->show();
    EXPECT_TRUE(halo->isVisible());
    delete b.led;
    EXPECT_TRUE(halo.isNull());
}

TEST(LED, ALightThatIsAWindowOfItsOwnHasNoGlowWindow) {
    LED led(Color::led, true);
    led.show();
    ASSERT_NE(led.halo(), nullptr);
    EXPECT_EQ(led.halo()->parentWidget(), nullptr);
    EXPECT_FALSE(led.halo()->isVisible());
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

TEST(NumberRoll, ChangedCharactersRiseOutAndInWhileTheSameOnesStayStill) {
    const QFont f = Fonts::system(20, Fonts::Weight::bold);
    const double rise = 10;
    // Start: the old "5" in place and fully there, the new "6" one rise below, unseen.
    std::vector<RollPiece> start = numberRoll(f, QStringLiteral("1.5"), QStringLiteral("1.6"), 0,
                                              rise);
    ASSERT_EQ(start.size(), 4u);
    EXPECT_EQ(start[0].ch, QChar('1'));
    EXPECT_EQ(start[0].dy, 0);
    EXPECT_EQ(start[0].opacity, 1);
    EXPECT_EQ(start[1].ch, QChar('.'));
    EXPECT_EQ(start[1].dy, 0);
    EXPECT_EQ(start[2].ch, QChar('6'));
    EXPECT_TRUE(start[2].incoming);
    EXPECT_EQ(start[2].dy, rise);
    EXPECT_EQ(start[2].opacity, 0);
    EXPECT_EQ(start[3].ch, QChar('5'));
    EXPECT_FALSE(start[3].incoming);
    EXPECT_EQ(start[3].dy, 0);
    EXPECT_EQ(start[3].opacity, 1);
    // The old and the new digit share one place: digits keep one width.
    EXPECT_DOUBLE_EQ(start[2].x, start[3].x);

    // Half way: both half seen, the old half a rise up, the new half a rise below.
    std::vector<RollPiece> half = numberRoll(f, QStringLiteral("1.5"), QStringLiteral("1.6"),
                                             0.5, rise);
    EXPECT_DOUBLE_EQ(half[2].dy, 5);
    EXPECT_DOUBLE_EQ(half[2].opacity, 0.5);
    EXPECT_DOUBLE_EQ(half[3].dy, -5);
    EXPECT_DOUBLE_EQ(half[3].opacity, 0.5);

    // Done: only the new text, in place.
    std::vector<RollPiece> done = numberRoll(f, QStringLiteral("1.5"), QStringLiteral("1.6"), 1,
                                             rise);
    ASSERT_EQ(done.size(), 3u);
    for (const RollPiece& piece : done) {
        EXPECT_TRUE(piece.incoming);
        EXPECT_EQ(piece.dy, 0);
        EXPECT_EQ(piece.opacity, 1);
    }
}

TEST(NumberRoll, ALongerNumberRollsInItsNewCharactersAndOnlyThose) {
    const QFont f = Fonts::system(20, Fonts::Weight::bold);
    std::vector<RollPiece> p = numberRoll(f, QStringLiteral("12"), QStringLiteral("123"), 0.25, 8);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].dy, 0);
    EXPECT_EQ(p[1].dy, 0);
    EXPECT_EQ(p[2].ch, QChar('3'));
    EXPECT_DOUBLE_EQ(p[2].dy, 6);
    // A shorter one lets its last character go.
    std::vector<RollPiece> q = numberRoll(f, QStringLiteral("123"), QStringLiteral("12"), 0.25, 8);
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(q[2].ch, QChar('3'));
    EXPECT_FALSE(q[2].incoming);
    EXPECT_DOUBLE_EQ(q[2].dy, -2);
    EXPECT_DOUBLE_EQ(q[2].opacity, 0.75);
}

TEST(SizeTextMotion, AnAnimatedChangeRollsWithTheSpringAndAPlainOneJumps) {
    SpringAnimator::setInstant(false);
    SizeTextMotion motion(1'500'000);
    EXPECT_EQ(motion.number(), "1.5");
    EXPECT_EQ(motion.progress(), 1);
    motion.setBytes(1'600'000, true);
    EXPECT_EQ(motion.number(), "1.6");
    EXPECT_EQ(motion.from(), "1.5");
    EXPECT_EQ(motion.progress(), 0);
    motion.spring().advance(0.1);
    EXPECT_GT(motion.progress(), 0);
    EXPECT_LT(motion.progress(), 1);
    // Cut short: the next roll starts from the number the last one was rolling to.
    motion.setBytes(2'000'000, true);
    EXPECT_EQ(motion.from(), "1.6");
    EXPECT_EQ(motion.number(), "2");
    for (int i = 0; i < 100 && motion.rolling(); ++i)
        motion.spring().advance(0.05);
    EXPECT_FALSE(motion.rolling());
    EXPECT_EQ(motion.progress(), 1);
    motion.setBytes(3'000'000, false);
    EXPECT_EQ(motion.number(), "3");
    EXPECT_EQ(motion.progress(), 1);
    EXPECT_FALSE(motion.rolling());
    SpringAnimator::setInstant(true);
}

TEST(SizeText, RollsOnlyWhileShown) {
    SpringAnimator::setInstant(false);
    SizeText hidden(1'000, 20, Color::ink2);
    hidden.setBytes(2'000);
    EXPECT_FALSE(hidden.motion().rolling());
    SizeText shown(1'000, 20, Color::ink2);
    shown.show();
    shown.setBytes(2'000);
    EXPECT_TRUE(shown.motion().rolling());
    EXPECT_EQ(shown.number(), "2");
    // Drawn mid-roll without trouble.
    shown.motion().spring().advance(0.05);
    EXPECT_FALSE(shown.grab().isNull());
    SpringAnimator::setInstant(true);
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
