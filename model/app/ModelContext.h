#pragma once

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

#include "core/base/RuleSet.h"
#include "core/index/DiskIndex.h"
#include "model/app/AppModelOptions.h"
#include "model/app/Property.h"
#include "model/app/PropertyTypes.h"

namespace tamrel {

class Clock;
class Desktop;
class Platform;
class TrashCan;

// The services the model's controllers share: the announcer whose batches every write belongs
// to, the desktop, the options and what they name (clock, platform, trash can), and the model's
// thread pool. It holds no controller and no model state: each controller is given the others
// it uses in its own constructor. Made first by the model, with references to what it owns.
//
// Threading: main thread only, except runInBackground(), onMainThread(), ownIndex(), `closing`,
// and the options, clock, platform and trash can (which workers use as the model's own
// threads do).
class ModelContext {
public:
    ModelContext(Announcer& announcer, Desktop& desktop, const AppModelOptions& options,
                 Clock& clock, Platform& platform, QThreadPool& pool)
        : announcer(announcer),
          desktop(desktop),
          options(options),
          clock(clock),
          platform(platform),
          pool_(pool) {}
    ModelContext(const ModelContext&) = delete;
    ModelContext& operator=(const ModelContext&) = delete;

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

    // Runs `work` on the model's thread pool. Exceptions of `work` are the caller's to catch.
    void runInBackground(std::function<void()> work);
    // Queues `call` to run on the main thread (from any thread); dropped once the context is
    // gone.
    void onMainThread(std::function<void()> call);
    // Shares `index` as a generation of the model. Whoever lets go of it last, a generation let
    // go of on the main thread is destroyed on a worker: unmapping the region of 3 million
    // entries takes about 15 ms, which the main thread must not spend between two frames.
    static IndexRef ownIndex(std::unique_ptr<DiskIndex> index);

    // Every move to the Trash the model makes (Options::trashCan, else the system's).
    TrashCan& trashCan() const;
    // The rules and texts the model and the screens run with: the space rules of its rule
    // profile, the file kinds of the breakdown and the search, and every text on screen that
    // differs between the designed set and Linux. Always RuleSet::linuxDesktop.
    static RuleSet ruleSet() { return RuleSet::linuxDesktop; }

private:
    // What the queued calls run in: made and destroyed with the context, on the main thread.
    // Each call is an event of its own, so that the hand-over of what it captured can be told
    // to ThreadSanitizer (see core/base/HandOff.h) on both sides of Qt's queue.
    class MainThreadCalls final : public QObject {
    public:
        bool event(QEvent* event) override;
    };

    QThreadPool& pool_;
    MainThreadCalls calls_;
};

}  // namespace tamrel
