#pragma once

#include <QObject>

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "model/app/AppValues.h"

namespace tamrel {

// The change signal of one model property. Screens and tests connect to it as
//   connect(&model.phase, &PropertyNotifier::changed, ...)
// It is sent only by the Announcer the property belongs to, on the main thread.
class PropertyNotifier : public QObject {
    Q_OBJECT

public:
    PropertyNotifier() = default;

signals:
    void changed();

private:
    friend class Announcer;
    std::size_t position_ = 0;  // in the order of announcement of its Announcer
};

// Several properties at once, to connect one slot to each: for (auto* p : Notifiers{...}).
using Notifiers = std::initializer_list<const PropertyNotifier*>;

class Batch;

// Collects the announcements of the model's properties and sends them when the outermost open
// Batch closes: each changed property once, in the order the properties enrolled (their
// declaration order) or were placed (place()), so a slot never sees a new value of one property
// beside an old value of another written in the same step. A slot may write again; its writes
// make a batch of their own, sent from inside the slot.
//
// Thread-safety: main thread only, as are the properties.
class Announcer {
public:
    Announcer() = default;
    Announcer(const Announcer&) = delete;
    Announcer& operator=(const Announcer&) = delete;

    // Runs `closing` inside every outermost batch just before it closes, after its writes and
    // before the announcements: work that must start from the finished step (it may write, or
    // not). Several run in the order they were given.
    void onClosing(std::function<void()> closing) { closing_.push_back(std::move(closing)); }

    // Runs `writes` as one animated step: their announcements carry `spring`.
    void animated(Spring spring, const std::function<void()>& writes);
    // The spring of the step whose changes are being announced, or nothing outside one.
    std::optional<Spring> animation() const { return animation_; }

    // Takes `property` as the next in the order of announcement.
    void enroll(PropertyNotifier& property);
    // Moves `property` (enrolled here) to the next place of the order, after those placed
    // before it: properties made in several groups are given their order of announcement this
    // way. Only before the first write.
    void place(PropertyNotifier& property);
    // Records that `property` changed (sent when the outermost batch closes).
    void announce(const PropertyNotifier& property);

private:
    friend class Batch;
    void close();
    void flush();

    std::vector<PropertyNotifier*> properties_;
    std::vector<bool> pending_;
    std::vector<std::optional<Spring>> pendingSpring_;
    bool anyPending_ = false;
    std::size_t placed_ = 0;  // the properties placed so far lead the order
    int depth_ = 0;
    std::vector<std::function<void()>> closing_;
    std::optional<Spring> stepSpring_;  // the animated step being written
    std::optional<Spring> animation_;   // the spring of the announcement being sent
};

// One step of writes to the model's properties; every write names the open batch it belongs to.
// Only who holds the Announcer can open one, so screens change properties only through the
// model's operations. Nested batches join the outermost one.
class Batch {
public:
    explicit Batch(Announcer& announcer) : announcer_(announcer) { ++announcer_.depth_; }
    ~Batch() { announcer_.close(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    Announcer& announcer() const { return announcer_; }

private:
    Announcer& announcer_;
};

// When a write is announced: only when the value changed, or at every write (a value that
// screens take afresh at each write, or whose content may change without comparing unequal).
enum class Announce { onChange, everyWrite };

// A value the model owns and screens read with `property()`; a write within a Batch announces
// it as `when` says.
template <typename T, Announce when = Announce::onChange>
class Property : public PropertyNotifier {
public:
    explicit Property(Announcer& announcer, T initial = T())
        : announcer_(announcer), value_(std::move(initial)) {
        announcer.enroll(*this);
    }

    const T& operator()() const { return value_; }

    // Stores `value`; announced as `when` says.
    template <typename U = T>
    void set(const Batch& batch, U&& value) {
        Q_ASSERT(&batch.announcer() == &announcer_);
        (void)batch;
        if constexpr (!std::is_same_v<std::decay_t<U>, T>) {
            set(batch, T(std::forward<U>(value)));
            return;
        } else {
            if constexpr (when == Announce::onChange) {
                if (value_ == value) return;
            }
            value_ = std::forward<U>(value);
            announcer_.announce(*this);
        }
    }
    // Changes the stored value in place; announced in every case.
    template <typename Edit>
    void edit(const Batch& batch, Edit&& edit) {
        Q_ASSERT(&batch.announcer() == &announcer_);
        (void)batch;
        std::forward<Edit>(edit)(value_);
        announcer_.announce(*this);
    }

private:
    Announcer& announcer_;
    T value_;
};

}  // namespace tamrel
