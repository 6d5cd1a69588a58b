#include "model/app/ShownIndex.h"

#include <algorithm>

#include "platform/PathText.h"

namespace tamrel {

std::optional<NodeId> IdCarrier::operator()(NodeId id) {
    if (id >= from_.count()) return std::nullopt;
    auto [it, fresh] = memo_.try_emplace(id);
    if (fresh) it->second = to_.counterpart(from_, id);
    return it->second;
}

NodeIds IdCarrier::all(const NodeIds& ids) {
    NodeIds out;
    out.reserve(ids.size());
    for (NodeId id : ids) {
        if (const auto n = (*this)(id)) out.push_back(*n);
    }
    return out;
}

void ShownIndex::install(IndexRef next, Keep keep) {
    Batch batch(context_.announcer);
    const IndexRef old = index();
    std::optional<IdCarrier> carry;
    if (old && next && old != next) carry.emplace(*old, *next);
    NodeId folder = 0;
    NodeIds picked;
    OptionalNode pointed;
    if (keep == Keep::byPath && carry) {
        if (const auto n = (*carry)(current()); n && next->isDir(*n)) folder = *n;
        for (NodeId id : basket()) {
            if (const auto n = (*carry)(id); n && *n != 0) picked.push_back(*n);
        }
        if (hovered()) pointed = (*carry)(*hovered());
    } else if (keep == Keep::byPath && old == next) {
        folder = current();
        picked = basket();
        pointed = hovered();
    }
    index.set(batch, std::move(next));
    current.set(batch, folder);
    setBasket(std::move(picked));
    hovered.set(batch, pointed);
    if (keep == Keep::byPath) revision.set(batch, revision() + 1);
    ShownChange change;
    change.carry = carry ? &*carry : nullptr;
    change.dropped = !old || !index();
    tell(change);
}

void ShownIndex::contentChanged() {
    Batch batch(context_.announcer);
    revision.set(batch, revision() + 1);
    ShownChange change;
    tell(change);
}

void ShownIndex::itemsMoved(const IndexRef& from, const NodeIds& moved,
                            const std::vector<std::string>& movedPaths) {
    Batch batch(context_.announcer);
    revision.set(batch, revision() + 1);
    std::unordered_set<NodeId> gone;
    if (index() == from) {
        gone.insert(moved.begin(), moved.end());
    } else if (index()) {
        // Another generation is shown: its ids name other nodes. What moved is found by path;
        // its own refresh will take the paths out of it.
        for (const std::string& path : movedPaths) {
            if (const auto node = index()->lookup(path)) gone.insert(*node);
        }
    }
    if (!gone.empty()) {
        NodeIds kept = basket();
        std::erase_if(kept, [&](NodeId node) { return gone.contains(node); });
        setBasket(std::move(kept));
    }
    const NodeId here = current();
    if (index() && here != 0 && here < index()->count()) {
        if (index() == from) {
            if (index()->isGone(here)) current.set(batch, 0);
        } else {
            const std::string path = index()->path(here);
            if (std::any_of(movedPaths.begin(), movedPaths.end(),
                            [&](const std::string& p) { return isAtOrBelow(path, p); }))
                current.set(batch, 0);
        }
    }
    const ShownChange::Moved what{from, moved, movedPaths, gone};
    ShownChange change;
    change.moved = &what;
    tell(change);
}

void ShownIndex::tell(ShownChange& change) {
    for (const auto& follower : followers_)
        follower(change);
}

void ShownIndex::setPhase(Phase next, Spring spring) {
    Batch batch(context_.announcer);
    context_.announcer.animated(spring, [&] { phase.set(batch, next); });
}

void ShownIndex::setScanTarget(OptionalPath path) {
    Batch batch(context_.announcer);
    scanTarget.set(batch, std::move(path));
}

void ShownIndex::setCurrent(NodeId folder) {
    Batch batch(context_.announcer);
    current.set(batch, folder);
}

void ShownIndex::setHovered(OptionalNode node) {
    Batch batch(context_.announcer);
    hovered.set(batch, node);
}

void ShownIndex::setBasket(NodeIds entries) {
    if (!index()) entries.clear();
    const NodeId count = index() ? index()->count() : 0;
    std::erase_if(entries, [&](NodeId node) { return node == 0 || node >= count; });
    // Quadratic in the entries, each test a range check: a basket of 2,000 takes milliseconds.
    NodeIds kept;
    kept.reserve(entries.size());
    for (NodeId node : entries) {
        const bool covered = std::any_of(entries.begin(), entries.end(), [&](NodeId other) {
            return other != node && index()->isAncestor(other, node);
        });
        if (!covered && std::find(kept.begin(), kept.end(), node) == kept.end())
            kept.push_back(node);
    }
    Batch batch(context_.announcer);
    basket.set(batch, std::move(kept));
}

}  // namespace tamrel
