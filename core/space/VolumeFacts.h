#pragma once

#include <sys/statvfs.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tamrel {

// Used and purgeable bytes and the local snapshot count of the volume that holds a path.
struct VolumeFacts {
    std::uint64_t used = 0;
    std::uint64_t purgeable = 0;
    std::int64_t snapshots = 0;

    // The facts of the volume holding `path`. `used` is usedBytes(volumeCapacity()) of its
    // statvfs; Linux has no purgeable figure, so purgeable is 0. Snapshots are counted by running "/usr/bin/tmutil listlocalsnapshots
    // PATH" where that program exists (0 where it does not). Blocks until the tool has exited;
    // never fails: what cannot be read is 0. Thread-safe.
    static VolumeFacts read(const std::string& path);

    friend bool operator==(const VolumeFacts&, const VolumeFacts&) = default;
};

// Total and available bytes of a volume, as the user sees them.
struct VolumeCapacity {
    std::uint64_t total = 0;
    std::uint64_t available = 0;
};

// The capacity that statvfs reports: total = (f_blocks - (f_bfree - f_bavail)) * f_frsize, the
// blocks reserved for root being neither used nor available to the user; available =
// f_bavail * f_frsize. A reserve that would be negative counts as none.
VolumeCapacity volumeCapacity(const struct statvfs& st);

// total - available, or 0 when more is available than the total.
std::uint64_t usedBytes(VolumeCapacity capacity);

// Runs `tool` with the arguments "listlocalsnapshots" and `path` (standard error discarded,
// exit status ignored) and counts the lines of its output that contain "com.apple". 0 when the
// tool cannot be started. Reads the whole output before waiting, so no output size can stall
// the tool or the caller.
std::int64_t countLocalSnapshots(const std::string& tool, const std::string& path);

// The number of non-empty "\n"-separated lines of `output` that contain "com.apple".
std::int64_t snapshotLines(std::string_view output);

}  // namespace tamrel
