#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/index/DiskIndex.h"
#include "model/app/ModelContext.h"

namespace tamrel {

// What the screens show of the shown index and current folder beside the folder itself:
// `breakdown`, `biggest`, `tips`, `trashSize`, `systemReport` and the clean-up plan, computed
// on the model's pool from the index and folder shown when the operation that asked for them
// has made its writes; the latest run asked for wins.
//
// Threading: main thread; a run holds its index by shared ownership and gives up at its next
// step once a newer one is asked for. Its result is stored only for the index and folder still
// shown.
class DerivedData {
public:
    explicit DerivedData(ModelContext& context) : context_(context), model_(context.model) {}
    DerivedData(const DerivedData&) = delete;
    DerivedData& operator=(const DerivedData&) = delete;

    // Asks for a run of the shown index and current folder (nothing without an index). It
    // starts when the outermost batch closes (startRun()); a run still computing gives up at its
    // next step and the newest one follows it.
    void refreshDerived();
    // Starts the run asked for, unless one computes already. Called as the outermost batch
    // closes, still inside it.
    void startRun();
    // Every run computing gives up at its next step (the model is going).
    void stop() { latest_->fetch_add(1); }

    // The lists of node ids of the old generation carried over to `next` by path (what is not
    // found is dropped); the same batch that installs `next`.
    void carryListsOver(const DiskIndex& old, const DiskIndex& next);
    // The same lists emptied (search results, biggest, tips, the report, the plan and its ticks).
    void clearLists();

    // The most runs of all models of this process that were computing at the same moment.
    static int peakRuns();

private:
    ModelContext& context_;
    AppModel& model_;
    // The latest run asked for; a running run gives up at its next step when it is not.
    std::shared_ptr<std::atomic<std::uint64_t>> latest_ =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    bool running_ = false;  // one run computes at a time
    bool wanted_ = false;   // a newer run waits for the running one
};

}  // namespace tamrel
