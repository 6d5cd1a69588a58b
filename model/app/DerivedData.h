#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/index/DiskIndex.h"
#include "model/app/CleanUp.h"
#include "model/app/ModelContext.h"
#include "model/app/ShownIndex.h"

namespace tamrel {

// What the screens show of the shown index and current folder beside the folder itself:
// `breakdown`, `biggest`, `tips`, `trashSize`, `systemReport` and the clean-up plan (handed to
// CleanUp), computed on the model's pool from the index and folder shown when the operation
// that asked for them has made its writes; the latest run asked for wins. Follows the shown
// index: every change of it asks for a run, and carries the lists' ids over or drops them.
//
// Threading: main thread; a run holds its index by shared ownership and gives up at its next
// step once a newer one is asked for. Its result is stored only for the index and folder still
// shown.
class DerivedData {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    DerivedData(ModelContext& context, ShownIndex& shown, CleanUp& cleanUp);
    DerivedData(const DerivedData&) = delete;
    DerivedData& operator=(const DerivedData&) = delete;

    Property<KindBytes, Announce::everyWrite> breakdown{context_.announcer};
    // A result landing: these five and the clean-up plan.
    static constexpr Spring landedSpring{0.5, 0.85};
    Property<NodeIds> biggest{context_.announcer};
    Property<Suggestions, Announce::everyWrite> tips{context_.announcer};
    Property<OptionalReport, Announce::everyWrite> systemReport{context_.announcer};
    Property<quint64> trashSize{context_.announcer, 0};

    // Asks for a run of the shown index and current folder (nothing without an index). It
    // starts when the outermost batch closes (startRun()); a run still computing gives up at its
    // next step and the newest one follows it.
    void refreshDerived();
    // Every run computing gives up at its next step (the model is going).
    void stop() { latest_->fetch_add(1); }

    // The most runs of all models of this process that were computing at the same moment.
    static int peakRuns();

private:
    // Starts the run asked for, unless one computes already. Called as the outermost batch
    // closes, still inside it.
    void startRun();
    // The lists of node ids carried over to the shown generation, or dropped.
    void follow(ShownChange& change);

    ShownIndex& shown_;
    CleanUp& cleanUp_;
    // The latest run asked for; a running run gives up at its next step when it is not.
    std::shared_ptr<std::atomic<std::uint64_t>> latest_ =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    bool running_ = false;  // one run computes at a time
    bool wanted_ = false;   // a newer run waits for the running one
};

}  // namespace tamrel
