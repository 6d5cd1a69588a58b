#include "model/app/Toasts.h"

#include <utility>

namespace tamrel {

Toasts::Toasts(ModelContext& context)
    : context_(context), held_(context.clock, [this] {
          if (!waiting_) return;  // the held toast stays until the screen dismisses it
          OptionalToast next = std::move(*waiting_);
          waiting_.reset();
          put(std::move(next), waitingStay_);
      }) {
    held_.setSingleShot(true);
    held_.setPrecise(true);
}

void Toasts::show(OptionalToast shown, Stay stay) {
    if (!held_.isActive()) {
        put(std::move(shown), stay);
        return;
    }
    // A dismissal is of the held toast: it never drops a toast that waits after it.
    if (!shown && waiting_ && *waiting_) return;
    waiting_ = std::move(shown);
    waitingStay_ = stay;
}

void Toasts::put(OptionalToast shown, Stay stay) {
    Batch batch(context_.announcer);
    if (shown && stay == Stay::wholeLifetime) {
        held_.start(lifetime);
    } else {
        held_.stop();
    }
    toast.set(batch, std::move(shown));
}

}  // namespace tamrel
