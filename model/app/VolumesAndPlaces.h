#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "model/app/ModelContext.h"
#include "model/app/VolumeList.h"
#include "model/system/MountTable.h"

class QSocketNotifier;

namespace tamrel {

// The sidebar's disks and places: `volumes`, `places`, the saved-index dates that serve them
// (`indexed`) and `hasFullDiskAccess`; and the mount table, followed from the model's
// construction: at every change the free space of the volumes is read again, the whole list
// (with places, saved dates and access) when a disk came or went, and a shown index whose disk
// is gone (unmounted, or covered by another mount) is left for the Welcome screen with a toast
// that says so.
//
// Threading: main thread only; the mount table's changes come as events of the main loop.
class VolumesAndPlaces {
public:
    // Starts following the mount table.
    explicit VolumesAndPlaces(ModelContext& context);
    ~VolumesAndPlaces();
    VolumesAndPlaces(const VolumesAndPlaces&) = delete;
    VolumesAndPlaces& operator=(const VolumesAndPlaces&) = delete;

    // Lists the mounted local disk volumes and the places that exist, the saved-index date that
    // serves each of their paths, and probes Full Disk Access; synchronous.
    void refreshVolumes();
    // The used bytes of the volume whose mount point is the scan target, or nothing.
    std::optional<std::uint64_t> expectedScanBytes() const;
    // Follows the mount table from now on (once, from the model's constructor).
    void followMountTable();

private:
    void mountsChanged();
    void leaveGoneDisk();

    ModelContext& context_;
    AppModel& model_;
    // The mount table, as last read.
    std::unique_ptr<MountTable> mountTable_;
    std::vector<MountEntry> mounts_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tamrel
