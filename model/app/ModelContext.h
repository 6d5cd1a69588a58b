#pragma once

#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "core/index/DiskIndex.h"
#include "model/app/Property.h"
#include "model/app/PropertyTypes.h"

namespace tamrel {

class AppModel;
struct AppModelOptions;
class Clock;
class Desktop;
class Platform;
class TrashCan;

class VolumesAndPlaces;
class Navigator;
class DerivedData;
class SearchController;
class LiveSync;
class BasketAndTrash;
class CleanUp;
class AppInventory;
class Uninstaller;

// What the model's controllers share: the model itself (its properties and operations), the
// announcer whose batches every write belongs to, the services and options the model was made
// with, its thread pool, and each other. Made first by the model, with references to what it
// owns; the controllers it lists are set right after they are made.
//
// Threading: main thread only, except runInBackground(), onMainThread(), ownIndex(), `closing`,
// and the options, clock, platform and trash can (which workers use as the model's own
// threads do).
class ModelContext {
public:
    ModelContext(AppModel& model, Announcer& announcer, Desktop& desktop,
                 const AppModelOptions& options, Clock& clock, Platform& platform,
                 QThreadPool& pool)
        : model(model),
          announcer(announcer),
          desktop(desktop),
          options(options),
          clock(clock),
          platform(platform),
          pool_(pool) {}
    ModelContext(const ModelContext&) = delete;
    ModelContext& operator=(const ModelContext&) = delete;

    AppModel& model;
    Announcer& announcer;
    Desktop& desktop;
    const AppModelOptions& options;
    Clock& clock;
    Platform& platform;

    // Set by the model's destructor, read by workers: moves not yet begun are left undone, the
    // wait for an application to quit ends, and an administrator prompt still asking is
    // withdrawn (a privileged move already under way finishes by itself), so quitting never
    // waits on them.
    std::atomic<bool> closing{false};
    // Held by a worker from the check that a node is not gone until it is marked removed, so
    // two moves never take the same node (or what has taken its place on disk since).
    std::mutex moveLock;

    VolumesAndPlaces* volumes = nullptr;
    Navigator* navigator = nullptr;
    DerivedData* derived = nullptr;
    SearchController* search = nullptr;
    LiveSync* live = nullptr;
    BasketAndTrash* basket = nullptr;
    CleanUp* clean = nullptr;
    AppInventory* inventory = nullptr;
    Uninstaller* uninstaller = nullptr;

    // Runs `work` on the model's thread pool. Exceptions of `work` are the caller's to catch.
    void runInBackground(std::function<void()> work);
    // Queues `call` to run on the main thread (from any thread); dropped once the model is gone.
    void onMainThread(std::function<void()> call);
    // Shares `index` as a generation of the model. Whoever lets go of it last, a generation let
    // go of on the main thread is destroyed on a worker: unmapping the region of 3 million
    // entries takes about 15 ms, which the main thread must not spend between two frames.
    static IndexRef ownIndex(std::unique_ptr<DiskIndex> index);
    // The bytes of `nodes` of `index` added up (0 without an index); ids beyond it count nothing.
    template <typename Nodes>
    static std::uint64_t bytesOf(const IndexRef& index, const Nodes& nodes) {
        std::uint64_t sum = 0;
        if (!index) return sum;
        for (NodeId node : nodes) {
            if (node < index->count()) sum += index->size(node);
        }
        return sum;
    }

    // Every move to the Trash the model makes (Options::trashCan, else the system's).
    TrashCan& trashCan() const;

    // A removal runs: a clean-up being prepared, a move to the Trash or an uninstall. Removals
    // never overlap: this is the one rule the basket, the clean-up and the uninstall ask.
    bool removalBusy() const;
    // Sets a toast ("Another removal is under way") and gives true when a removal runs.
    bool refusedWhileBusy();

private:
    QThreadPool& pool_;
};

}  // namespace tamrel
