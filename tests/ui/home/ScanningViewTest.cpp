#include "ui/home/ScanningView.h"

#include <QTest>

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"

#include "tests/ui/UiFixture.h"
#include "ui/theme/Keys.h"

namespace tamrel {
namespace {

const QString kDot = QStringLiteral("  ·  ");

TEST(StatsLine, RatePieceOnlyAboveZeroAndNeverRoundedUp) {
    EXPECT_EQ(statsLine(1, 0, 0, std::nullopt, 0.3), "1 folders" + kDot + "0 bytes");
    EXPECT_EQ(statsLine(12'345, 1'500'000, 999, std::nullopt, 1),
              "12,345 folders" + kDot + "1.5 MB" + kDot + "0k files/s");
    EXPECT_EQ(statsLine(2, 0, 48'999.9, std::nullopt, 1),
              "2 folders" + kDot + "0 bytes" + kDot + "48k files/s");
    EXPECT_EQ(statsLine(2, 0, 1'234'000, std::nullopt, 1),
              "2 folders" + kDot + "0 bytes" + kDot + "1,234k files/s");
}

TEST(StatsLine, TimeLeftAfterTwoSecondsAndAboveFivePercent) {
    const QString head = "3 folders" + kDot + "0 bytes";
    EXPECT_EQ(statsLine(3, 0, 0, 0.5, 2.0), head);                            // not after 2 s yet
    EXPECT_EQ(statsLine(3, 0, 0, 0.05, 10.0), head);                          // not above 0.05
    EXPECT_EQ(statsLine(3, 0, 0, 0.75, 6.0), head + kDot + "about 2s left");  // exactly 2 s left
    EXPECT_EQ(statsLine(3, 0, 0, 0.6, 2.5), head + kDot + "almost done");     // 1.67 s left
    EXPECT_EQ(statsLine(3, 0, 0, 0.25, 10.0), head + kDot + "about 30s left");
    // Half a second rounds away from zero: 2.5 s left gives 3.
    EXPECT_EQ(statsLine(3, 0, 0, 0.8, 10.0), head + kDot + "about 3s left");
    EXPECT_EQ(statsLine(3, 0, 0, 0.01, 100'000.0), head);
    EXPECT_EQ(statsLine(3, 0, 0, 0.06, 4000.0), head + kDot + "about 62667s left");  // no grouping
}

TEST(Eased, FirstStepOnlyRecordsTheTimeThenClosesTheGap) {
    Eased e;
    EXPECT_EQ(e.step(0.8, 10.0), 0);
    const double after = e.step(0.8, 10.016);
    EXPECT_NEAR(after, 0.8 * (1 - std::exp(-5 * 0.016)), 1e-12);
    // A long pause counts as 0.1 s.
    Eased f;
    f.step(1, 0);
    EXPECT_NEAR(f.step(1, 5), 1 - std::exp(-0.5), 1e-12);
}

TEST(DialWedge, MeasuredFromTwelveSpinnerTurns) {
    const Wedge zero = dialWedge(0.0, 0);
    EXPECT_DOUBLE_EQ(zero.start, -90);
    EXPECT_NEAR(zero.end - zero.start, 3.6, 1e-9);  // never vanishes
    EXPECT_DOUBLE_EQ(dialWedge(0.5, 0).end, 90);
    const Wedge spin = dialWedge(std::nullopt, 1.0);
    EXPECT_DOUBLE_EQ(spin.start, 70);
    EXPECT_NEAR(spin.end - spin.start, 100 + 30 * std::sin(2.0), 1e-12);
    EXPECT_EQ(dialPercent(0.999), "99%");
    EXPECT_EQ(dialPercent(0.0), "0%");
}

TEST(PlaceName, RootHomeAndLastComponent) {
    Volumes volumes{{"/mnt/usb", "USB", 10, 5, false}, {"/", "Main", 10, 5, true}};
    EXPECT_EQ(placeName("/", volumes, "/home/ann"), "Main");
    EXPECT_EQ(placeName("/", {}, "/home/ann"), "Computer");
    EXPECT_EQ(placeName("/home/ann", volumes, "/home/ann"), "Home");
    EXPECT_EQ(placeName("/home/ann/Projects/", volumes, "/home/ann"), "Projects");
    EXPECT_EQ(placeName("/srv/a\nb", volumes, "/home/ann"), "a\\u{000A}b");
}

class ScanningViewTest : public test::UiTest {};

TEST_F(ScanningViewTest, WithoutProgressCountsAreZeroAndStopDoesNothing) {
    ScanningView view(model());
    const ScanningView::Frame f = view.frame(5);
    EXPECT_EQ(f.files, 0);
    EXPECT_EQ(f.rate, 0);
    EXPECT_FALSE(f.fraction);  // no target: the spinner
    EXPECT_EQ(view.captionText(), "files read in your disk");
    QTest::mouseClick(view.stopKey(), Qt::LeftButton);  // no progress object: nothing happens
}

TEST_F(ScanningViewTest, PollsOnlyWhileVisibleAndStopOrEscapeCancelsTheScan) {
    AppModel& m = model();
    // A tree large enough that the scan is still running when Stop is pressed is not needed:
    // the flag is what Stop sets, whatever the scan then does with it.
    for (const bool escape : {false, true}) {
        m.scan(tree.path() + "/data", true);
        ASSERT_TRUE(m.progress());
        const ProgressRef progress = m.progress();
        ScanningView view(m);
        EXPECT_FALSE(view.ticking());
        view.show();
        view.activateWindow();
        ASSERT_TRUE(test::exposed(view, true));
        EXPECT_TRUE(view.ticking());
        EXPECT_EQ(view.captionText(), "files read in data");
        if (escape) {
            QTest::keyClick(&view, Qt::Key_Escape);
        } else {
            QTest::mouseClick(view.stopKey(), Qt::LeftButton);
        }
        EXPECT_TRUE(progress->isCancelled()) << escape;
        view.hide();
        EXPECT_FALSE(view.ticking());
        waitFor([&] { return m.phase() != Phase::scanning; });
    }
}

}  // namespace
}  // namespace tamrel
