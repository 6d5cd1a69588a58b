#include "ui/theme/ScreenClock.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "tests/support/TestClock.h"
#include "tests/ui/Headless.h"
#include "ui/theme/Colors.h"
#include "ui/theme/EasedValue.h"
#include "ui/theme/LED.h"
#include "ui/theme/SegmentMeter.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {
namespace {

using namespace std::chrono_literals;

// Every timed motion of the theme goes by the screens' clock: nothing moves while it stands,
// however long the event loop runs, and advancing it brings each motion where its time says.
TEST(ScreenClock, TimedMotionsGoByTheScreensClock) {
    test::TestClock clock;
    const test::ScopedScreenClock screenClock(clock);
    SpringAnimator::setInstant(false);
    SpringAnimator spring(0);
    EasedValue fade(0);
    MeterMotion meter(0.8);  // fills after 0.15 s, over 0.9 s
    LED led(Color::led, true);
    led.show();  // breathes from here: on at 0.7 s, off again at 1.4 s
    spring.animateTo(1, Spring{0.3, 0.8});
    fade.animateTo(1, kFadeMs);
    meter.appear();
    const double off = ledLook(true, 0).opacity;
    const double on = ledLook(true, 1).opacity;
    QCoreApplication::processEvents();
    EXPECT_EQ(spring.value(), 0);
    EXPECT_EQ(fade.value(), 0);
    EXPECT_EQ(led.look().opacity, off);

    clock.advance(100ms);
    EXPECT_GT(spring.value(), 0);
    EXPECT_GT(fade.value(), 0);
    EXPECT_LT(fade.value(), 1);
    EXPECT_EQ(meter.shown(), 0);  // still waiting
    EXPECT_GT(led.look().opacity, off);
    EXPECT_LT(led.look().opacity, on);

    clock.advance(600ms);
    EXPECT_EQ(fade.value(), 1);
    EXPECT_FALSE(fade.moving());
    EXPECT_GT(meter.shown(), 0);
    EXPECT_LT(meter.shown(), 0.8);
    EXPECT_EQ(led.look().opacity, on);

    clock.advance(700ms);
    EXPECT_EQ(spring.value(), 1);
    EXPECT_FALSE(spring.moving());
    EXPECT_EQ(meter.shown(), 0.8);
    EXPECT_EQ(led.look().opacity, off);
    SpringAnimator::setInstant(true);
}

}  // namespace
}  // namespace tamrel
