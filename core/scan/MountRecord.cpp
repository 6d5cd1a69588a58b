#include "core/scan/MountRecord.h"

#include <stdlib.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include "platform/PathText.h"

namespace tamrel {

namespace {

// The root with its symbolic links resolved, as the mount table names folders.
std::string resolved(const std::string& root) {
    const std::unique_ptr<char, decltype(&::free)> real(::realpath(root.c_str(), nullptr), ::free);
    return real ? std::string(real.get()) : root;
}

}  // namespace

std::vector<HeldMount> mountsAt(const std::string& root, const std::vector<MountInfo>& table) {
    const std::string real = resolved(root);
    std::map<std::string, HeldMount> byPath;  // the last mount at each point
    for (const MountInfo& m : table) {
        if (!isAtOrBelow(m.point, real)) continue;
        std::string_view rest = std::string_view(m.point).substr(real.size());
        while (!rest.empty() && rest.front() == '/')
            rest.remove_prefix(1);
        std::string path = rest.empty() ? root : joinPath(root, rest);
        byPath[path] = HeldMount{path, static_cast<std::uint64_t>(m.device), m.type};
    }
    std::vector<HeldMount> out;
    for (auto& [path, mount] : byPath)
        out.push_back(std::move(mount));
    return out;
}

HeldMounts heldMounts(const DiskIndex& index, const std::vector<MountInfo>& table) {
    HeldMounts held{true, mountsAt(index.rootPath(), table)};
    std::erase_if(held.mounts, [&](const HeldMount& m) {
        const std::optional<NodeId> id = index.lookup(m.path);
        return !id || !index.isDir(*id);
    });
    return held;
}

std::vector<std::string> changedMounts(const DiskIndex& index,
                                       const std::vector<MountInfo>& table) {
    if (!index.mounts().known) return {};
    const std::vector<HeldMount>& was = index.mounts().mounts;
    const std::vector<HeldMount> now = heldMounts(index, table).mounts;
    std::vector<std::string> changed;
    // Both sorted by path: one pass over the two.
    auto a = was.begin(), b = now.begin();
    while (a != was.end() || b != now.end()) {
        if (b == now.end() || (a != was.end() && a->path < b->path)) {
            changed.push_back((a++)->path);
        } else if (a == was.end() || b->path < a->path) {
            changed.push_back((b++)->path);
        } else {
            if (!(*a == *b)) changed.push_back(a->path);
            ++a, ++b;
        }
    }
    // In path order a folder comes before what lies below it (a few mounts: a plain search).
    std::vector<std::string> outermost;
    for (std::string& path : changed) {
        if (std::none_of(outermost.begin(), outermost.end(),
                         [&](const std::string& above) { return isAtOrBelow(path, above); }))
            outermost.push_back(std::move(path));
    }
    return outermost;
}

}  // namespace tamrel
