#include "core/scan/MountPolicy.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>

#include "platform/UniqueFd.h"

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000
#endif

namespace tamrel {

namespace {

// mountinfo writes a space, tab, newline and backslash in a path as three octal digits.
std::string unescapeOctal(std::string_view s) {
    const auto oct = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && oct(s[i + 1]) && oct(s[i + 2]) && oct(s[i + 3])) {
            out +=
                static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += s[i];
    }
    return out;
}

}  // namespace

MountPolicy::MountPolicy(dev_t rootDevice)
    : MountPolicy(rootDevice, parseMountInfo(readMountTable())) {}

MountPolicy::MountPolicy(dev_t rootDevice, std::unordered_map<dev_t, std::string> types)
    : types_(std::move(types)) {
    entered_.insert(rootDevice);
}

bool MountPolicy::isLocalDisk(std::string_view type) {
    static constexpr std::array<std::string_view, 13> local = {
        "ext2",  "ext3", "ext4",  "xfs", "btrfs", "f2fs",   "vfat",
        "exfat", "ntfs", "ntfs3", "zfs", "jfs",   "hfsplus"};
    for (std::string_view t : local) {
        if (t == type) return true;
    }
    return false;
}

std::string MountPolicy::readMountTable() {
    // Unreadable (no descriptor left, no /proc) gives an empty table: mounts are then not
    // entered.
    UniqueFd fd(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    std::string text;
    if (fd) {
        char buf[16384];
        ssize_t n;
        while ((n = ::read(fd.get(), buf, sizeof buf)) > 0)
            text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

std::vector<MountInfo> MountPolicy::parseMounts(std::string_view text) {
    // "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw"
    std::vector<MountInfo> mounts;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);

        std::size_t field = 0, at = 0;
        std::string_view devField, pointField;
        while (at < line.size() && field < 5) {
            const std::size_t sp = line.find(' ', at);
            const std::string_view f = line.substr(at, sp - at);
            if (field == 2) devField = f;
            if (field == 4) pointField = f;
            ++field;
            at = sp == std::string_view::npos ? line.size() : sp + 1;
        }
        const std::size_t sep = line.find(" - ");
        const std::size_t colon = devField.find(':');
        if (sep == std::string_view::npos || colon == std::string_view::npos) continue;
        unsigned major = 0, minor = 0;
        const char* d = devField.data();
        if (std::from_chars(d, d + colon, major).ec != std::errc{}) continue;
        if (std::from_chars(d + colon + 1, d + devField.size(), minor).ec != std::errc{}) continue;
        const std::string_view rest = line.substr(sep + 3);
        const std::size_t typeEnd = std::min(rest.find(' '), rest.size());
        const std::string_view source = rest.substr(std::min(typeEnd + 1, rest.size()));
        mounts.push_back(MountInfo{makedev(major, minor), unescapeOctal(pointField),
                                   std::string(rest.substr(0, typeEnd)),
                                   unescapeOctal(source.substr(0, source.find(' ')))});
    }
    return mounts;
}

std::unordered_map<dev_t, std::string> MountPolicy::parseMountInfo(std::string_view text) {
    std::unordered_map<dev_t, std::string> types;
    for (MountInfo& m : parseMounts(text))
        types.emplace(m.device, std::move(m.type));
    return types;
}

bool MountPolicy::enterFolder(const struct statx& folder, dev_t parentDevice) {
    const dev_t device = makedev(folder.stx_dev_major, folder.stx_dev_minor);
    const bool mountRoot = isMountRoot(folder);
    return (device == parentDevice && !mountRoot) || enter(device, mountRoot);
}

bool MountPolicy::isMountRoot(const struct statx& entry) {
    return (entry.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
           (entry.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

bool MountPolicy::enter(dev_t device, bool mountRoot) {
    auto it = types_.find(device);
    if (it == types_.end()) {
        // A device no mount names is a btrfs subvolume met inside its parent volume, and part
        // of that volume. An unknown mount root is left alone.
        return !mountRoot;
    }
    if (!isLocalDisk(it->second)) return false;
    std::lock_guard guard(lock_);
    return entered_.insert(device).second;
}

}  // namespace tamrel
