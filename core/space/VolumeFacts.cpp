#include "core/space/VolumeFacts.h"

#include <optional>

#include "platform/Spawn.h"

namespace tamrel {

std::int64_t snapshotLines(std::string_view output) {
    std::int64_t count = 0;
    while (!output.empty()) {
        const std::size_t end = output.find('\n');
        const std::string_view line = output.substr(0, end);
        if (!line.empty() && line.find("com.apple") != std::string_view::npos) ++count;
        if (end == std::string_view::npos) break;
        output.remove_prefix(end + 1);
    }
    return count;
}

std::int64_t countLocalSnapshots(const std::string& tool, const std::string& path) {
    const std::optional<std::string> output = programOutput(tool, {"listlocalsnapshots", path});
    return output ? snapshotLines(*output) : 0;
}

VolumeCapacity volumeCapacity(const struct statvfs& st) {
    const auto frsize = static_cast<std::uint64_t>(st.f_frsize);
    const std::uint64_t reserved = st.f_bfree > st.f_bavail ? st.f_bfree - st.f_bavail : 0;
    const std::uint64_t blocks = st.f_blocks > reserved ? st.f_blocks - reserved : 0;
    return {blocks * frsize, static_cast<std::uint64_t>(st.f_bavail) * frsize};
}

std::uint64_t usedBytes(VolumeCapacity capacity) {
    return capacity.total > capacity.available ? capacity.total - capacity.available : 0;
}

VolumeFacts VolumeFacts::read(const std::string& path) {
    VolumeFacts facts;
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) == 0) facts.used = usedBytes(volumeCapacity(st));
    facts.snapshots = countLocalSnapshots("/usr/bin/tmutil", path);
    return facts;
}

}  // namespace tamrel
