#include "core/live/DiskNodes.h"

#include <fcntl.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/LongPath.h"
#include "platform/UniqueFd.h"

namespace tamrel {

void statNodes(const DiskIndex& index, std::vector<NodeId> ids, unsigned mask,
               const std::function<void(NodeId, const struct statx&)>& found) {
    std::sort(ids.begin(), ids.end(), [&](NodeId a, NodeId b) {
        return std::pair(index.parent(a), a) < std::pair(index.parent(b), b);
    });
    NodeId openParent = NONE;
    UniqueFd dir;
    for (NodeId id : ids) {
        const NodeId p = index.parent(id);
        if (p != openParent) {
            openParent = p;
            dir.reset(openLongPath(index.path(p), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        }
        if (!dir) continue;
        const std::string name(index.nameBytes(id));
        struct statx sx;
        if (::statx(dir.get(), name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &sx) ==
            0) {
            found(id, sx);
        }
    }
}

}  // namespace tamrel
