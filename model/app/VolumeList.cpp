#include "model/app/VolumeList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "core/scan/MountPolicy.h"
#include "platform/PathText.h"

namespace tamrel {

namespace {

std::string readText(const std::string& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// udev escapes label bytes as "\xHH".
std::string unescapeHex(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned v = 0;
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' &&
            std::from_chars(s.data() + i + 2, s.data() + i + 4, v, 16).ptr == s.data() + i + 4) {
            out += static_cast<char>(v);
            i += 3;
            continue;
        }
        out += s[i];
    }
    return out;
}

// The block device behind a mount: its own numbers, or for file systems with an anonymous
// device (btrfs) those of the source device node.
dev_t blockDevice(const MountInfo& m) {
    if (major(m.device) != 0) return m.device;
    struct stat st {};
    if (m.source.starts_with("/dev/") && ::stat(m.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode))
        return st.st_rdev;
    return m.device;
}

std::map<dev_t, std::string> labels() {
    std::map<dev_t, std::string> out;
    const std::string folder = "/dev/disk/by-label";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return out;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::stat((folder + "/" + name).c_str(), &st) == 0 && S_ISBLK(st.st_mode))
            out.emplace(st.st_rdev, unescapeHex(name));
    }
    ::closedir(dir);
    return out;
}

bool internal(dev_t device) {
    if (major(device) == 0) return false;
    const std::string link =
        "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char real[4096];
    if (!::realpath(link.c_str(), real)) return false;
    const std::string path = real;
    if (path.find("/usb") != std::string::npos) return false;
    // A partition has no "removable" of its own; its disk, the parent folder, has.
    for (const std::string& file : {path + "/removable", path + "/../removable"}) {
        const std::string text = readText(file);
        if (!text.empty()) return text[0] == '0';
    }
    return true;
}

}  // namespace

const MountInfo* mountOf(std::string_view path, const std::vector<MountInfo>& mounts) {
    // The table lists mounts in the order they were made, and a mount covers whatever lay at
    // or below its point before it: of the mounts that hold the path, the last one shows.
    const MountInfo* on = nullptr;
    for (const MountInfo& m : mounts) {
        if (isAtOrBelow(path, m.point)) on = &m;
    }
    return on;
}

bool mountGone(std::string_view path, const std::vector<MountInfo>& before,
               const std::vector<MountInfo>& after) {
    const MountInfo* was = mountOf(path, before);
    if (!was) return false;
    const MountInfo* now = mountOf(path, after);
    return !now || now->point != was->point || now->device != was->device || now->type != was->type;
}

std::vector<Volume> volumesOf(std::string_view mountinfo) {
    std::vector<Volume> out;
    std::set<dev_t> seen;
    std::optional<std::map<dev_t, std::string>> names;
    for (const MountInfo& m : MountPolicy::parseMounts(mountinfo)) {
        if (!MountPolicy::isLocalDisk(m.type)) continue;
        // A mount point that is gone or is no folder (a file bound over another, as containers
        // do with /etc/hosts) is no volume, and must not take its device's place below.
        struct stat point {};
        if (::stat(m.point.c_str(), &point) != 0 || !S_ISDIR(point.st_mode)) continue;
        struct statvfs vfs {};
        if (::statvfs(m.point.c_str(), &vfs) != 0) continue;
        // Once per device: bind mounts and the subvolumes of one btrfs disk share it.
        const dev_t block = blockDevice(m);
        if (!seen.insert(block).second) continue;
        const std::uint64_t frsize = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
        const std::uint64_t reserved = vfs.f_bfree > vfs.f_bavail ? vfs.f_bfree - vfs.f_bavail : 0;
        const std::uint64_t total =
            vfs.f_blocks > reserved ? (vfs.f_blocks - reserved) * frsize : 0;
        if (total == 0) continue;
        if (!names) names = labels();
        Volume v;
        v.url = m.point;
        if (const auto label = names->find(block); label != names->end()) {
            v.name = QString::fromStdString(label->second);
        } else {
            v.name = m.point == "/" ? QStringLiteral("Computer")
                                    : QString::fromStdString(lastComponent(m.point));
        }
        v.total = total;
        v.free = static_cast<std::uint64_t>(vfs.f_bavail) * frsize;
        v.isInternal = internal(block);
        out.push_back(std::move(v));
    }
    return out;
}

std::vector<Volume> mountedVolumes() {
    return volumesOf(readText("/proc/self/mountinfo"));
}

bool canReadEverything() {
    std::istringstream status(readText("/proc/self/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with("CapEff:")) continue;
        std::uint64_t caps = 0;
        const std::string hex = line.substr(line.find_first_not_of(" \t", 7));
        std::from_chars(hex.data(), hex.data() + hex.size(), caps, 16);
        constexpr int capDacReadSearch = 2;
        return (caps >> capDacReadSearch) & 1u;
    }
    return false;
}

}  // namespace tamrel
