#include "model/app/Property.h"

namespace tamrel {

void Announcer::animated(Spring spring, const std::function<void()>& writes) {
    Batch batch(*this);
    const std::optional<Spring> outer = stepSpring_;
    stepSpring_ = spring;
    writes();
    stepSpring_ = outer;
}

void Announcer::enroll(PropertyNotifier& property) {
    property.position_ = properties_.size();
    properties_.push_back(&property);
    pending_.push_back(false);
    pendingSpring_.emplace_back();
}

void Announcer::place(PropertyNotifier& property) {
    const std::size_t at = property.position_;
    Q_ASSERT(at < properties_.size() && properties_[at] == &property && at >= placed_);
    Q_ASSERT(!anyPending_ && depth_ == 0);
    std::swap(properties_[at], properties_[placed_]);
    properties_[at]->position_ = at;
    property.position_ = placed_++;
}

void Announcer::announce(const PropertyNotifier& property) {
    pending_[property.position_] = true;
    pendingSpring_[property.position_] = stepSpring_;
    anyPending_ = true;
}

void Announcer::close() {
    if (depth_ > 1) {
        --depth_;
        return;
    }
    // Still inside the batch: what runs here may write nothing, but keeps the order "writes,
    // then work, then announcements".
    for (const std::function<void()>& closing : closing_)
        closing();
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
