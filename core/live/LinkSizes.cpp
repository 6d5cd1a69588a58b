#include "core/live/LinkSizes.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

#include "core/live/DiskNodes.h"

namespace tamrel {

namespace {

// One file node as the disk has it now.
struct OnDisk {
    NodeId id;
    dev_t device;
    ino_t inode;
    std::uint32_t links;
    std::uint64_t bytes;  // allocated
    std::uint32_t mtime;
    bool executable;  // an execute permission bit is set
};

using FileKey = std::pair<dev_t, ino_t>;

// Reads the file nodes `ids` from the disk, opening each parent folder once.
std::vector<OnDisk> readFiles(const DiskIndex& index, std::vector<NodeId> ids) {
    std::vector<OnDisk> out;
    statNodes(index, std::move(ids),
              STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_BLOCKS | STATX_MTIME,
              [&](NodeId id, const struct statx& sx) {
                  if (!S_ISREG(sx.stx_mode)) return;
                  out.push_back(OnDisk{id, makedev(sx.stx_dev_major, sx.stx_dev_minor), sx.stx_ino,
                                       sx.stx_nlink, sx.stx_blocks * 512,
                                       storedSeconds(sx.stx_mtime.tv_sec),
                                       (sx.stx_mask & STATX_MODE) && (sx.stx_mode & 0111)});
              });
    return out;
}

}  // namespace

std::vector<LinkPatch> linkPatches(const DiskIndex& index) {
    const NodeId count = index.count();
    std::vector<bool> gone(count, false);
    std::vector<NodeId> flagged;
    for (NodeId i = 0; i < count; ++i) {
        const std::uint8_t kind = index.kind(i);
        gone[i] = (kind & Flag::removed) || (i > 0 && gone[index.parent(i)]);
        if (!gone[i] && (kind & (Flag::kindMask | Flag::linked)) == Flag::linked) {
            flagged.push_back(i);
        }
    }
    if (flagged.empty()) return {};

    std::map<FileKey, std::vector<OnDisk>> files;
    for (const OnDisk& f : readFiles(index, std::move(flagged)))
        files[{f.device, f.inode}].push_back(f);

    // Links the index holds without the flag: a file that had one link when its folder was
    // listed, and has gained one since in a folder listed again. It counted its bytes then,
    // so it has them still, with the size and time the new link shows.
    std::map<std::pair<std::uint64_t, std::uint32_t>, const std::vector<OnDisk>*> missing;
    for (const auto& [key, links] : files) {
        if (links.front().links > links.size()) {
            missing.emplace(std::pair(links.front().bytes, links.front().mtime), &links);
        }
    }
    if (!missing.empty()) {
        std::vector<NodeId> candidates;
        for (NodeId i = 1; i < count; ++i) {
            const std::uint8_t kind = index.kind(i);
            if (gone[i] || (kind & (Flag::kindMask | Flag::linked)) != 0) continue;
            if (missing.contains({index.size(i), index.mtime(i)})) candidates.push_back(i);
        }
        for (const OnDisk& f : readFiles(index, std::move(candidates))) {
            auto it = files.find({f.device, f.inode});
            if (it != files.end()) it->second.push_back(f);
        }
    }

    std::vector<LinkPatch> out;
    for (auto& [key, links] : files) {
        std::sort(links.begin(), links.end(),
                  [](const OnDisk& a, const OnDisk& b) { return a.id < b.id; });
        for (std::size_t k = 0; k < links.size(); ++k) {
            const OnDisk& f = links[k];
            // Every bit a listing takes from the inode, as a scan would set it now: a chmod
            // through one name changes what every other name shows too.
            const std::uint8_t kind = index.kind(f.id);
            constexpr auto inodeBits = static_cast<std::uint8_t>(Flag::linked | Flag::executable);
            const std::uint8_t wantKind = static_cast<std::uint8_t>(
                (kind & ~inodeBits) | (f.links >= 2 ? Flag::linked : 0) |
                (f.executable ? Flag::executable : 0));
            const std::uint64_t wantSize = k == 0 ? f.bytes : 0;
            if (wantKind != kind || wantSize != index.size(f.id) || f.mtime != index.mtime(f.id)) {
                out.push_back(LinkPatch{f.id, wantKind, wantSize, f.mtime});
            }
        }
    }
    return out;
}

}  // namespace tamrel
