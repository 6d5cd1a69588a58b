#include "model/app/Removals.h"

#include <utility>

namespace tamrel {

void Removals::set(Kind kind, bool running) {
    Batch batch(context_.announcer);
    switch (kind) {
        case Kind::clean:
            preparingClean.set(batch, running);
            break;
        case Kind::trash:
            trashing.set(batch, running);
            break;
        case Kind::uninstall:
            uninstalling.set(batch, running);
            break;
    }
    removalBusy.set(batch, preparingClean() || trashing() || uninstalling());
}

bool Removals::refused() {
    if (!removalBusy()) return false;
    toasts_.show(Toast::make(QStringLiteral("Another removal is under way"),
                             QStringLiteral("Try again once it has finished"), false));
    return true;
}

void Removals::setCheck(std::optional<std::uint64_t> check) {
    check_ = check;
}

bool Removals::checkEnded(std::uint64_t check, bool intact) {
    if (check_ == check) check_.reset();
    if (!waiting_ || waiting_->check != check) return false;
    Batch batch(context_.announcer);
    Waiting waited = std::move(*waiting_);
    waiting_.reset();
    // Ended first: the removal sets its own running state as it starts.
    set(waited.kind, false);
    if (!intact) return true;
    waited.start();
    return false;
}

void Removals::begin(Kind kind, std::function<void()> start) {
    if (!check_) {
        start();
        return;
    }
    Batch batch(context_.announcer);
    waiting_ = Waiting{kind, *check_, std::move(start)};
    set(kind, true);
}

}  // namespace tamrel
