#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tamrel {

// Used and purgeable bytes and the local snapshot count of the volume that holds a path.
struct VolumeFacts {
    std::uint64_t used = 0;
    std::uint64_t purgeable = 0;
    std::int64_t snapshots = 0;

    // The facts of the volume holding `path`. Capacities come from statvfs (total less the
    // blocks reserved for root, less the available blocks); Linux has no purgeable figure, so
    // purgeable is 0. Snapshots are counted by running "/usr/bin/tmutil listlocalsnapshots
    // PATH" where that program exists (0 where it does not). Blocks until the tool has exited;
    // never fails: what cannot be read is 0. Thread-safe.
    static VolumeFacts read(const std::string& path);

    friend bool operator==(const VolumeFacts&, const VolumeFacts&) = default;
};

// Runs `tool` with the arguments "listlocalsnapshots" and `path` (standard error discarded,
// exit status ignored) and counts the lines of its output that contain "com.apple". 0 when the
// tool cannot be started. Reads the whole output before waiting, so no output size can stall
// the tool or the caller.
std::int64_t countLocalSnapshots(const std::string& tool, const std::string& path);

// The number of non-empty "\n"-separated lines of `output` that contain "com.apple".
std::int64_t snapshotLines(std::string_view output);

}  // namespace tamrel
