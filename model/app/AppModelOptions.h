#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "core/live/Watcher.h"
#include "core/space/VolumeFacts.h"
#include "model/app/AppValues.h"

namespace tamrel {

class Clock;
class Platform;
class TrashCan;

// How long the model's waits last. Tests shorten them; the defaults are the product's.
struct AppModelOptions {
    // What the waits go by: the model's timers, an uninstall's patience, and the screens' timed
    // motion. Null: Clock::steady(). Must outlive the model.
    Clock* clock = nullptr;
    std::chrono::milliseconds searchDelay{60};  // typing settles before a search
    std::chrono::milliseconds quietTime{2000};  // no live batch for this long before a refresh
    // A disk that never falls quiet (a whole-disk index sees every program's writes) is
    // refreshed anyway once its first pending batch has waited this long.
    std::chrono::milliseconds liveMaxWait{10000};
    std::chrono::milliseconds retryDelay{1000};  // a refresh that finds another running waits
    // A followed index is saved at most this often while changes keep coming: each save writes
    // the whole index (168 MB for 3 million entries). A crash loses nothing, as the next open
    // catches up from the event id of the saved file. Also saved when it stops being followed.
    std::chrono::milliseconds saveInterval{60000};
    Watcher::Options watcher;  // the event stream of the shown root
    // Stops launch jobs and moves with administrator rights; null: Platform::system().
    Platform* platform = nullptr;
    // Every move to the Trash the model makes; null: TrashCan::system().
    TrashCan* trashCan = nullptr;
    // An uninstall checks this often whether the application has quit, and waits 30 of these
    // on the clock at most.
    std::chrono::milliseconds quitCheck{200};
    // Runs the start-up actions (volumes, places, the saved whole-disk index) in the
    // constructor. Tests that set up state first turn it off and call startUp() themselves.
    bool startUp = true;
    // Test-only, for pictures of the screens that must come out the same on every run (the
    // gallery): the disks listed, with their figures, in place of the mounted ones, and the
    // facts of the disk under a shown index (its System Data report) in place of its statvfs.
    // The mount table is still followed for disks that go. Unset in the product: the machine's
    // own, read afresh each time.
    std::optional<std::vector<Volume>> volumes;
    std::optional<VolumeFacts> volumeFacts;
};

}  // namespace tamrel
