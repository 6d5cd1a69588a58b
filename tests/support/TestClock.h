#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <tuple>
#include <vector>

#include "model/system/Clock.h"

namespace tamrel::test {

// A clock that stands still until the test advances it. advance() fires, on the calling
// thread, every timer that falls due on the way, in the order of their due times (timers due
// at the same moment in the order they were started), with now() at each one's due time; a
// timer a callback starts fires as well when it falls due within the advance. So a test runs a
// wait, a toast's life or a spring's motion to its end at once: `clock.advance(3200ms)`.
//
// A repeating timer of less than a millisecond repeats every millisecond. A timer may outlive
// the test clock it was made on (an object whose deletion was still pending when the test
// ended): it never fires then.
//
// Thread-safety: now() on any thread; timers and advance() on the thread that made the timers.
class TestClock : public Clock {
public:
    TestClock() = default;
    ~TestClock() override {
        for (TestSchedule* s : schedules_) {
            s->clock = nullptr;
            s->running = false;
        }
    }
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;

    TimePoint now() const override { return TimePoint(Duration(now_.load())); }

    std::unique_ptr<Schedule> schedule(std::function<void()> fire) override {
        return std::make_unique<TestSchedule>(*this, std::move(fire));
    }

    // Moves the clock on by `by`, firing what falls due; advance() fires what is due now.
    void advance(Duration by = {}) {
        const TimePoint end = now() + by;
        for (;;) {
            TestSchedule* next = nullptr;
            for (TestSchedule* s : schedules_) {
                if (!s->running || s->due > end) continue;
                if (!next || std::tie(s->due, s->order) < std::tie(next->due, next->order))
                    next = s;
            }
            if (!next) break;
            now_ = next->due.time_since_epoch().count();
            if (next->repeat) {
                next->due += next->interval;
            } else {
                next->running = false;
            }
            next->fire();  // may destroy `next`
        }
        now_ = end.time_since_epoch().count();
    }

    // How many timers are running.
    int pending() const {
        return static_cast<int>(std::count_if(schedules_.begin(), schedules_.end(),
                                              [](const TestSchedule* s) { return s->running; }));
    }
    // How many starts of timers there have been: a test sees a wait begin (a batch of changes
    // arrive, say) when this rises.
    std::uint64_t starts() const { return starts_; }

private:
    struct TestSchedule : Schedule {
        TestSchedule(TestClock& c, std::function<void()> f) : clock(&c), fire(std::move(f)) {
            clock->schedules_.push_back(this);
        }
        ~TestSchedule() override {
            if (clock) std::erase(clock->schedules_, this);
        }

        void start(Duration wait, bool repeating, bool) override {
            if (!clock) return;
            running = true;
            repeat = repeating;
            interval = repeating ? std::max<Duration>(wait, std::chrono::milliseconds(1)) : wait;
            due = clock->now() + std::max<Duration>(wait, Duration::zero());
            order = ++clock->starts_;
        }
        void stop() override { running = false; }
        bool active() const override { return running; }

        TestClock* clock;  // null once the clock is gone
        std::function<void()> fire;
        bool running = false;
        bool repeat = false;
        Duration interval{};
        TimePoint due{};
        std::uint64_t order = 0;
    };

    // An arbitrary start far from zero, as a steady clock's is.
    std::atomic<Duration::rep> now_{
        std::chrono::duration_cast<Duration>(std::chrono::hours(1000)).count()};
    std::vector<TestSchedule*> schedules_;
    std::uint64_t starts_ = 0;
};

}  // namespace tamrel::test
