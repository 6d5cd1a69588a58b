#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace tamrel {

// The time the model's waits, the durations it shows (of a scan, of a search) and the screens'
// motion go by: a steady now() and timers that call back once their time on this clock has
// passed. Clock::steady() is the real time of the process (std::chrono::steady_clock, and QTimer
// on the event loop); tests put a clock in its place that moves only when they advance it, so a
// test of a wait takes no time and cannot be late on a busy machine, and what it measures is
// the same on every run.
//
// A clock outlives every Timer made on it.
//
// Thread-safety: now() may be called on any thread. A timer belongs to the thread that made it:
// it is started, stopped and destroyed there, and its callback runs there, on that thread's
// event loop for the real clock.
class Clock {
public:
    using Duration = std::chrono::steady_clock::duration;
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;

    virtual TimePoint now() const = 0;

    // The real clock, alive for the whole process.
    static Clock& steady();

    // What runs one Timer, made by its clock.
    class Schedule {
    public:
        virtual ~Schedule() = default;
        // (Re)starts the wait: the callback runs once `interval` has passed, and then every
        // `interval` while `repeat`. `precise`: to the millisecond, where the real clock may
        // otherwise batch wake-ups by up to 5 % of the interval.
        virtual void start(Duration interval, bool repeat, bool precise) = 0;
        virtual void stop() = 0;
        virtual bool active() const = 0;
    };
    // A schedule that runs `fire` on the calling thread. `fire` may start, stop or destroy the
    // Timer it belongs to.
    virtual std::unique_ptr<Schedule> schedule(std::function<void()> fire) = 0;
};

// A single-shot or repeating timer on a clock, as QTimer is on the event loop: a new start()
// restarts it; a single-shot timer is no longer active when its callback runs. Repeating and
// coarse unless asked otherwise.
class Timer {
public:
    explicit Timer(Clock& clock, std::function<void()> timeout = {});
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // What runs at the timeout; it may start, stop or destroy this timer.
    void onTimeout(std::function<void()> timeout) { timeout_ = std::move(timeout); }

    void setSingleShot(bool on) { singleShot_ = on; }
    void setInterval(std::chrono::milliseconds interval) { interval_ = interval; }
    std::chrono::milliseconds interval() const { return interval_; }
    // To the millisecond (a display frame, a wait the user sees end).
    void setPrecise(bool on) { precise_ = on; }

    void start();
    void start(std::chrono::milliseconds interval);
    void stop();
    bool isActive() const;

    Clock& clock() const { return clock_; }

private:
    Clock& clock_;
    std::function<void()> timeout_;
    std::chrono::milliseconds interval_{0};
    bool singleShot_ = false;
    bool precise_ = false;
    std::unique_ptr<Clock::Schedule> schedule_;
};

}  // namespace tamrel
