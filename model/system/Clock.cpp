#include "model/system/Clock.h"

#include <QTimer>

namespace tamrel {

namespace {

// A QTimer of the calling thread.
class QtSchedule : public Clock::Schedule {
public:
    explicit QtSchedule(std::function<void()> fire) {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(fire));
    }

    void start(Clock::Duration interval, bool repeat, bool precise) override {
        timer_.setSingleShot(!repeat);
        timer_.setTimerType(precise ? Qt::PreciseTimer : Qt::CoarseTimer);
        timer_.start(std::chrono::ceil<std::chrono::milliseconds>(interval));
    }
    void stop() override { timer_.stop(); }
    bool active() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

class SteadyClock : public Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
    std::unique_ptr<Schedule> schedule(std::function<void()> fire) override {
        return std::make_unique<QtSchedule>(std::move(fire));
    }
};

}  // namespace

Clock& Clock::steady() {
    static SteadyClock clock;
    return clock;
}

Timer::Timer(Clock& clock, std::function<void()> timeout)
    : clock_(clock), timeout_(std::move(timeout)) {
    schedule_ = clock_.schedule([this] {
        // A copy: the callback may destroy this timer, and with it timeout_.
        const std::function<void()> timeout = timeout_;
        if (timeout) timeout();
    });
}

Timer::~Timer() = default;

void Timer::start() {
    schedule_->start(interval_, !singleShot_, precise_);
}

void Timer::start(std::chrono::milliseconds interval) {
    interval_ = interval;
    start();
}

void Timer::stop() {
    schedule_->stop();
}

bool Timer::isActive() const {
    return schedule_->active();
}

}  // namespace tamrel
