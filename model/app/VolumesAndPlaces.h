#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/app/LiveSync.h"
#include "model/app/ModelContext.h"
#include "model/app/SearchController.h"
#include "model/app/ShownIndex.h"
#include "model/app/Toasts.h"
#include "model/app/VolumeList.h"
#include "model/system/MountTable.h"

class QSocketNotifier;

namespace tamrel {

// The sidebar's disks and places: `volumes`, `places`, the saved-index dates that serve them
// (`indexed`) and `hasFullDiskAccess`; and the mount table, followed from the model's
// construction: at every change the free space of the volumes is read again, the whole list
// (with places, saved dates and access) when a disk came or went, a shown index whose disk is
// gone (unmounted, or covered by another mount) is left for the Welcome screen with a toast
// that says so, and a disk that came or went inside the followed tree is taken into its index
// (LiveSync::followMounts()).
//
// Threading: main thread only; the mount table's changes come as events of the main loop.
class VolumesAndPlaces {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    VolumesAndPlaces(ModelContext& context, ShownIndex& shown, LiveSync& live,
                     SearchController& search, Toasts& toasts);
    ~VolumesAndPlaces();
    VolumesAndPlaces(const VolumesAndPlaces&) = delete;
    VolumesAndPlaces& operator=(const VolumesAndPlaces&) = delete;

    Property<Volumes> volumes{context_.announcer};
    Property<Places> places{context_.announcer};
    // Path of a volume or place -> scan date of the saved index that serves it.
    Property<SavedDates> indexed{context_.announcer};
    Property<bool> hasFullDiskAccess{context_.announcer, false};

    // A saved index as loaded: the index, or null (also when loading fails in any way), and
    // whether a file of the current format for that root was there and refused as damaged.
    struct Saved {
        IndexRef index;
        bool damaged = false;
    };
    static Saved loadSaved(const std::string& root);
    // A folder that was entered (not a mount point, not denied, not gone) at `path` in `index`.
    static std::optional<NodeId> enteredFolder(const DiskIndex& index, const std::string& path);

    // Lists the mounted local disk volumes and the places that exist, the saved-index date that
    // serves each of their paths, and probes Full Disk Access; synchronous. When it loaded the
    // saved index of "/" to date the folders it serves and `loadedRoot` is given, that index is
    // handed over in it (null inside when the load failed), so that opening "/" next maps and
    // checks the file once.
    void refreshVolumes(std::optional<Saved>* loadedRoot = nullptr);
    // Records `at` as the scan date of the saved index of `path` (refreshVolumes() when it is
    // "/").
    void recordSaved(const std::string& path, std::chrono::system_clock::time_point at);
    // The used bytes of the volume whose mount point is the scan target, or nothing.
    std::optional<std::uint64_t> expectedScanBytes() const;
    // Follows the mount table from now on (once, from the model's constructor).
    void followMountTable();

private:
    void mountsChanged();
    void leaveGoneDisk();

    ShownIndex& shown_;
    LiveSync& live_;
    SearchController& search_;
    Toasts& toasts_;
    // The mount table, as last read.
    std::unique_ptr<MountTable> mountTable_;
    std::vector<MountInfo> mounts_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tamrel
