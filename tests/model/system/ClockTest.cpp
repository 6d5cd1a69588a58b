#include "model/system/Clock.h"

#include <QCoreApplication>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/TestClock.h"

namespace tamrel {
namespace {

using namespace std::chrono_literals;

TEST(TestClock, FiresDueTimersInTimeOrderAtTheirDueTimes) {
    test::TestClock clock;
    const Clock::TimePoint start = clock.now();
    std::string fired;
    const auto at = [&] { return std::to_string((clock.now() - start) / 1ms); };
    Timer slow(clock, [&] { fired += "slow@" + at() + " "; });
    Timer fast(clock, [&] { fired += "fast@" + at() + " "; });
    Timer tie(clock, [&] { fired += "tie@" + at() + " "; });
    Timer frame(clock);
    frame.onTimeout([&] {
        fired += "frame@" + at() + " ";
        if (clock.now() - start >= 30ms) frame.stop();
    });
    // A single-shot timer is over when its callback runs; a repeating one is not.
    bool slowActiveInside = true;
    slow.onTimeout([&] {
        slowActiveInside = slow.isActive();
        fired += "slow@" + at() + " ";
    });
    for (Timer* t : {&slow, &fast, &tie})
        t->setSingleShot(true);
    slow.start(50ms);
    fast.start(20ms);
    tie.start(20ms);  // started after `fast`, due with it: fires after it
    frame.start(10ms);
    EXPECT_EQ(clock.pending(), 4);
    EXPECT_EQ(clock.starts(), 4u);

    clock.advance(19ms);
    EXPECT_EQ(fired, "frame@10 ");
    clock.advance(41ms);
    EXPECT_EQ(fired, "frame@10 fast@20 tie@20 frame@20 frame@30 slow@50 ");
    EXPECT_FALSE(slowActiveInside);
    EXPECT_EQ(clock.now() - start, 60ms);
    EXPECT_EQ(clock.pending(), 0);
}

TEST(TestClock, CallbacksMayRestartStopOrDestroyTheirTimers) {
    test::TestClock clock;
    // A restart from the callback (a quiet wait that each batch lengthens) fires within the
    // same advance when it falls due there.
    int restarts = 0;
    Timer again(clock);
    again.setSingleShot(true);
    again.onTimeout([&] {
        if (++restarts < 3) again.start(10ms);
    });
    again.start(10ms);
    // A timer destroyed by its own callback, and another destroyed by an earlier one before it
    // fell due, never fire again.
    auto gone = std::make_unique<Timer>(clock);
    int goneFired = 0;
    gone->onTimeout([&] {
        ++goneFired;
        gone.reset();
    });
    gone->start(5ms);
    auto dropped = std::make_unique<Timer>(clock, [] { FAIL() << "a destroyed timer fired"; });
    Timer dropper(clock, [&] { dropped.reset(); });
    dropper.setSingleShot(true);
    dropper.start(1ms);
    dropped->start(2ms);
    // A stopped timer does not fire; advance() alone fires what is due now.
    Timer stopped(clock, [] { FAIL() << "a stopped timer fired"; });
    stopped.start(1ms);
    stopped.stop();
    Timer now(clock);
    int nowFired = 0;
    now.setSingleShot(true);
    now.onTimeout([&] { ++nowFired; });
    now.start(0ms);
    clock.advance();
    EXPECT_EQ(nowFired, 1);

    clock.advance(100ms);
    EXPECT_EQ(restarts, 3);
    EXPECT_EQ(goneFired, 1);
    EXPECT_FALSE(gone);
    EXPECT_FALSE(dropped);
    EXPECT_EQ(clock.pending(), 0);

    // A timer that outlives its test clock (a deletion still pending at a test's end) is inert.
    auto brief = std::make_unique<test::TestClock>();
    Timer outliving(*brief, [] { FAIL() << "a timer of a gone clock fired"; });
    outliving.start(1ms);
    brief.reset();
    outliving.start(1ms);
    EXPECT_FALSE(outliving.isActive());
}

TEST(Clock, TheSteadyClockFiresOnTheEventLoop) {
    Clock& clock = Clock::steady();
    const Clock::TimePoint before = clock.now();
    int fired = 0;
    auto timer = std::make_unique<Timer>(clock);
    timer->setSingleShot(true);
    timer->setPrecise(true);
    timer->onTimeout([&] {
        ++fired;
        EXPECT_FALSE(timer->isActive());
        timer.reset();  // destroyed in its own callback
    });
    timer->start(0ms);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(fired, 0);  // not before the event loop runs
    for (int i = 0; i < 100 && fired == 0; ++i)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(fired, 1);
    EXPECT_GE(clock.now(), before);
}

}  // namespace
}  // namespace tamrel
