#pragma once

#include "model/app/ModelContext.h"

namespace tamrel {

// The toast at the foot of the results screen (`toast`): every controller that tells the user
// of an outcome calls show(); the screens dismiss it with show(nothing).
//
// Threading: main thread only.
class Toasts {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    explicit Toasts(ModelContext& context) : context_(context) {}
    Toasts(const Toasts&) = delete;
    Toasts& operator=(const Toasts&) = delete;

    Property<OptionalToast> toast{context_.announcer};

    // Shows `toast` in place of the one shown, or none (within the caller's batch, if any).
    void show(OptionalToast toast);
};

}  // namespace tamrel
