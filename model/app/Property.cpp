#include "model/app/Property.h"

namespace tamrel {

void Announcer::animated(Spring spring, const std::function<void()>& writes) {
    Batch batch(*this);
    const std::optional<Spring> outer = stepSpring_;
    stepSpring_ = spring;
    writes();
    stepSpring_ = outer;
}

std::size_t Announcer::enroll(PropertyNotifier& property) {
    properties_.push_back(&property);
    pending_.push_back(false);
    pendingSpring_.emplace_back();
    return properties_.size() - 1;
}

void Announcer::announce(std::size_t position) {
    pending_[position] = true;
    pendingSpring_[position] = stepSpring_;
    anyPending_ = true;
}

void Announcer::close() {
    if (depth_ > 1) {
        --depth_;
        return;
    }
    // Still inside the batch: what runs here may write nothing, but keeps the order "writes,
    // then work, then announcements".
    if (closing_) closing_();
    --depth_;
    flush();
}

void Announcer::flush() {
    // A slot may write again; its writes make a batch of their own, sent from inside the slot.
    while (anyPending_) {
        const std::vector<bool> sending = pending_;
        const std::vector<std::optional<Spring>> springs = pendingSpring_;
        pending_.assign(pending_.size(), false);
        anyPending_ = false;
        for (std::size_t i = 0; i < sending.size(); ++i) {
            if (!sending[i]) continue;
            const std::optional<Spring> outer = animation_;
            animation_ = springs[i];
            emit properties_[i]->changed();
            animation_ = outer;
        }
    }
}

}  // namespace tamrel
