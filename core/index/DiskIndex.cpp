#include "core/index/DiskIndex.h"

#include <algorithm>

#include "core/base/LargestFirst.h"
#include "core/base/Utf8.h"
#include "platform/PathText.h"

namespace tamrel {

DiskIndex::DiskIndex(MappedRegion region, const Layout& layout, NodeId count, std::string rootPath)
    : NodeArrays(region.data(), layout),
      rootPath_(std::move(rootPath)),
      count_(count),
      scannedAt_(Clock::now()),
      region_(std::move(region)),
      layout_(layout) {}

std::optional<NodeId> DiskIndex::lookup(std::string_view path) const {
    std::string prefix = rootPath_;
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    if (path == rootPath_) return 0;
    if (path.size() + 1 == prefix.size() && prefix.starts_with(path)) return 0;
    if (!path.starts_with(prefix)) return std::nullopt;
    std::string_view rest = path.substr(prefix.size());
    NodeId at = 0;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view component = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (component.empty()) continue;
        const std::optional<NodeId> found = childNamed(at, component);
        if (!found) return std::nullopt;
        at = *found;
    }
    return at;
}

std::optional<NodeId> DiskIndex::childNamed(NodeId i, std::string_view name, NodeId place) const {
    if (place < childCount_[i] && nameBytes(firstChild_[i] + place) == name) {
        return firstChild_[i] + place;
    }
    for (NodeId c : children(i)) {
        if (nameBytes(c) == name) return c;
    }
    return std::nullopt;
}

std::optional<NodeId> DiskIndex::counterpart(const DiskIndex& other, NodeId id) const {
    if (other.rootPath_ != rootPath_) return lookup(other.path(id));
    const std::vector<NodeId> chain = other.ancestry(id);
    NodeId at = 0;
    for (std::size_t k = 1; k < chain.size(); ++k) {
        const NodeId o = chain[k];
        const std::string_view name = other.nameBytes(o);
        const std::optional<NodeId> found =
            childNamed(at, name, o - other.firstChild(other.parent(o)));
        if (!found) return std::nullopt;
        at = *found;
    }
    return at;
}

std::vector<NodeId> DiskIndex::ancestry(NodeId i) const {
    std::vector<NodeId> chain;
    for (NodeId at = i; at != NONE; at = parent_[at])
        chain.push_back(at);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

std::vector<NodeId> DiskIndex::sortedChildren(NodeId i, std::size_t head) const {
    std::vector<std::pair<std::uint64_t, NodeId>> keyed;
    keyed.reserve(childCount_[i]);
    for (NodeId c : children(i)) {
        if (!(kind(c) & Flag::removed)) keyed.emplace_back(size(c), c);
    }
    return largestFirstHead(std::move(keyed), head);
}

bool DiskIndex::isGone(NodeId i) const {
    for (NodeId at = i; at != NONE; at = parent_[at]) {
        if (kind(at) & Flag::removed) return true;
    }
    return false;
}

bool DiskIndex::isHidden(NodeId i) const {
    if (kind(i) & Flag::hidden) return true;
    const std::string_view n = nameBytes(i);
    return !n.empty() && n.front() == '.';
}

std::string DiskIndex::name(NodeId i) const {
    return repairUtf8(nameBytes(i));
}

std::string DiskIndex::path(NodeId i) const {
    if (i == 0) return rootPath_;
    std::vector<NodeId> chain;
    std::size_t length = rootPath_.size();
    for (NodeId at = i; at != 0 && at != NONE; at = parent_[at]) {
        chain.push_back(at);
        length += nameBytes(at).size() + 1;
    }
    std::string out;
    out.reserve(length);
    out = rootPath_;
    if (!out.empty() && out.back() == '/') out.pop_back();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        out += '/';
        out += nameBytes(*it);
    }
    return out;
}

std::string DiskIndex::url(NodeId i) const {
    return "file://" + percentEncoded(path(i));
}

}  // namespace tamrel
