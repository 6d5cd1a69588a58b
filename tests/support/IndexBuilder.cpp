#include "tests/support/IndexBuilder.h"

#include <gtest/gtest.h>

#include "core/index/IndexWriter.h"
#include "core/scan/CrawlLayout.h"
#include "tests/support/TreeChecker.h"

namespace tamrel::test {

IndexBuilder::IndexBuilder(std::string rootPath) : rootPath_(std::move(rootPath)) {
    nodes_.push_back(Node{rootPath_, 1, 0, 0, {}});
}

std::size_t IndexBuilder::at(std::string_view path) {
    std::string prefix = rootPath_;
    if (prefix.back() != '/') prefix += '/';
    if (!path.starts_with(prefix)) {
        ADD_FAILURE() << path << " is not below the root " << rootPath_;
        return 0;
    }
    std::string_view rest = path.substr(prefix.size());
    std::size_t node = 0;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (part.empty()) continue;
        std::size_t found = 0;
        for (std::size_t c : nodes_[node].children) {
            if (nodes_[c].name == part) found = c;
        }
        if (found == 0) {
            found = nodes_.size();
            nodes_.push_back(Node{std::string(part), 1, 0, 0, {}});
            nodes_[node].children.push_back(found);
        }
        node = found;
    }
    return node;
}

IndexBuilder& IndexBuilder::dir(std::string_view path, std::uint32_t mtime, std::uint8_t flags) {
    Node& n = nodes_[at(path)];
    n.kind = static_cast<std::uint8_t>(1 | flags);
    n.mtime = mtime;
    return *this;
}

IndexBuilder& IndexBuilder::file(std::string_view path, std::uint64_t size, std::uint32_t mtime,
                                 std::uint8_t flags) {
    return entry(path, Kind::file, size, mtime, flags);
}

IndexBuilder& IndexBuilder::entry(std::string_view path, Kind kind, std::uint64_t size,
                                  std::uint32_t mtime, std::uint8_t flags) {
    Node& n = nodes_[at(path)];
    EXPECT_TRUE(n.children.empty()) << path << " already holds entries";
    n.kind = static_cast<std::uint8_t>(static_cast<std::uint8_t>(kind) | flags);
    n.size = size;
    n.mtime = mtime;
    return *this;
}

IndexBuilder& IndexBuilder::removed(std::string_view path) {
    at(path);
    removed_.emplace_back(path);
    return *this;
}

std::unique_ptr<DiskIndex> IndexBuilder::build() const {
    std::uint64_t nameBytes = 0;
    for (const Node& n : nodes_)
        nameBytes += n.name.size();
    IndexWriter writer(nodes_.size(), nameBytes);
    writer.add(rootPath_, nodes_[0].kind, 0, nodes_[0].mtime, NONE);
    // Pre-order, one child block per folder, as the scanner writes them.
    std::vector<std::pair<std::size_t, NodeId>> stack{{0, 0}};
    while (!stack.empty()) {
        const auto [node, id] = stack.back();
        stack.pop_back();
        const Node& n = nodes_[node];
        if (n.children.empty()) continue;
        Listing listing;
        listing.denied = n.kind & Flag::denied;
        for (std::size_t c : n.children) {
            const Node& child = nodes_[c];
            RawEnt e{};
            e.nameOff = static_cast<std::uint32_t>(listing.names.size());
            e.nameLen = static_cast<std::uint16_t>(child.name.size());
            e.kind = child.kind;
            e.size = child.size;
            e.mtime = child.mtime;
            e.child = NONE;
            listing.names.insert(listing.names.end(), child.name.begin(), child.name.end());
            listing.ents.push_back(e);
        }
        const auto folders = writeListing(writer, listing, id);
        // writeListing lists folder entries in block order; map them back to their nodes.
        std::vector<std::pair<std::size_t, NodeId>> next;
        std::size_t k = 0;
        for (std::size_t c : n.children) {
            if ((nodes_[c].kind & Flag::kindMask) == 1) next.emplace_back(c, folders[k++].first);
        }
        stack.insert(stack.end(), next.rbegin(), next.rend());
    }
    auto index = writer.finish(rootPath_);
    expectValidTree(*index);
    for (const std::string& p : removed_) {
        const NodeId id = idOf(*index, p);
        if (id != NONE) IndexWriter::markRemoved(*index, id);
    }
    if (!removed_.empty()) expectValidTree(*index);
    return index;
}

NodeId idOf(const DiskIndex& index, std::string_view path) {
    const std::optional<NodeId> id = index.lookup(path);
    if (!id) {
        ADD_FAILURE() << "no node at " << path;
        return NONE;
    }
    return *id;
}

}  // namespace tamrel::test
