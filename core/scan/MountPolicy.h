#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tamrel {

// One mount of a mount table (/proc/self/mountinfo): the mounted device, the mount point (its
// octal escapes decoded, every symbolic link resolved), the file system type and its source.
struct MountInfo {
    dev_t device = 0;
    std::string point;
    std::string type;
    std::string source = {};  // "/dev/sda2", or what the file system names
};

// Decides which mounted file systems a scan enters. Local disk file systems are entered once
// each; pseudo, memory, network, FUSE, overlay and squashfs file systems, and a second mount of a
// device already entered in this scan (a bind mount), are not.
//
// Thread safety: enter() may be called from every scanning thread.
class MountPolicy {
public:
    // Reads the file system types from /proc/self/mountinfo (once per scan). `rootDevice` is the
    // device of the scan root, entered from the start.
    explicit MountPolicy(dev_t rootDevice);
    // For tests: a table given as (device, file system type) pairs.
    MountPolicy(dev_t rootDevice, std::unordered_map<dev_t, std::string> types);

    // Whether to descend into a folder that is on another device than its parent folder or is
    // the root of a mount (`mountRoot`, the kernel's word). The first mount of a local disk
    // device is entered; the device then counts as entered for the rest of the scan.
    bool enter(dev_t device, bool mountRoot);

    // Whether to descend into a folder that statx describes, found in a folder on
    // `parentDevice`: a folder on the same device that is no mount root always; else enter().
    bool enterFolder(const struct statx& folder, dev_t parentDevice);

    // Whether statx says the entry is the root of a mount.
    static bool isMountRoot(const struct statx& entry);

    // Whether a file system type is a local disk file system that scans enter.
    static bool isLocalDisk(std::string_view type);

    // Parses mountinfo text into (device, file system type).
    static std::unordered_map<dev_t, std::string> parseMountInfo(std::string_view text);
    // The mounts of mountinfo text in the table's order (a mount covers those made before it at
    // or below its point); lines that do not parse are left out.
    static std::vector<MountInfo> parseMounts(std::string_view text);
    // This process's mount table as text; "" when it cannot be read.
    static std::string readMountTable();

private:
    std::unordered_map<dev_t, std::string> types_;
    std::mutex lock_;
    std::unordered_set<dev_t> entered_;
};

}  // namespace tamrel
