#include "model/app/Toasts.h"

namespace tamrel {

void Toasts::show(OptionalToast shown) {
    Batch batch(context_.announcer);
    toast.set(batch, std::move(shown));
}

}  // namespace tamrel
