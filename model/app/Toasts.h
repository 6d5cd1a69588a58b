#pragma once

#include <chrono>
#include <optional>

#include "model/app/ModelContext.h"
#include "model/system/Clock.h"

namespace tamrel {

// The toast at the foot of the results screen (`toast`): every controller that tells the user
// of an outcome calls show(); the screens dismiss it with show(nothing) once its lifetime is up.
//
// A toast shown with Stay::wholeLifetime (the saved index was found damaged) is one the user
// must get to read: for its lifetime on the model's clock it is never replaced. What is asked
// meanwhile waits: the latest toast asked for comes as soon as that time is up, with a whole
// lifetime of its own (a later one replaces an earlier one that waits, as toasts replace each
// other on screen anyway), and a dismissal asked alone clears it then. So an outcome that comes
// right after the damaged-index toast (a refusal, a move's result) is still told, after it.
//
// Threading: main thread only.
class Toasts {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    // How long a toast stays on screen, on the model's clock.
    static constexpr std::chrono::milliseconds lifetime{3200};

    enum class Stay {
        replaceable,    // a later toast takes its place at once
        wholeLifetime,  // it stays its lifetime; what comes meanwhile waits (see above)
    };

    explicit Toasts(ModelContext& context);
    Toasts(const Toasts&) = delete;
    Toasts& operator=(const Toasts&) = delete;

    Property<OptionalToast> toast{context_.announcer};

    // Shows `toast` in place of the one shown, or none (within the caller's batch, if any);
    // while a toast shown for its whole lifetime has time left, it waits instead.
    void show(OptionalToast toast, Stay stay = Stay::replaceable);

private:
    void put(OptionalToast shown, Stay stay);

    Timer held_;  // runs while a toast shown for its whole lifetime has time left
    // What was asked while held_ ran (a toast, or a dismissal alone), and how it stays.
    std::optional<OptionalToast> waiting_;
    Stay waitingStay_ = Stay::replaceable;
};

}  // namespace tamrel
