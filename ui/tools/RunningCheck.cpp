#include "ui/tools/RunningCheck.h"

namespace tamrel {

RunningCheck::RunningCheck(AppModel& model, QObject* parent) : QObject(parent), model_(model) {
    pool_.setMaxThreadCount(1);
}

RunningCheck::~RunningCheck() {
    // The worker posts its answer to this object: it must be done before the object goes.
    pool_.waitForDone();
}

void RunningCheck::check(const InstalledApp& app) {
    if (running_) {
        queued_ = app;
        return;
    }
    start(app);
}

std::optional<bool> RunningCheck::running(const InstalledApp& app) const {
    const auto it = answers_.find(keyOf(app));
    if (it == answers_.end()) return std::nullopt;
    return it->second;
}

void RunningCheck::start(const InstalledApp& app) {
    running_ = true;
    // The worker gets its own copy: the inventory may be replaced while it lists.
    pool_.start([this, app] {
        const bool running = model_.appRunning(app);
        QMetaObject::invokeMethod(
            this, [this, key = keyOf(app), running] { answered(key, running); },
            Qt::QueuedConnection);
    });
}

void RunningCheck::answered(const Key& key, bool running) {
    running_ = false;
    const auto [it, fresh] = answers_.try_emplace(key, running);
    const bool differs = fresh || it->second != running;
    it->second = running;
    if (queued_) {
        const InstalledApp next = std::move(*queued_);
        queued_.reset();
        start(next);
    }
    if (differs) emit changed();
}

}  // namespace tamrel
