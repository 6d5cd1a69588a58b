#include "core/scan/Listing.h"

#include <algorithm>

#include "core/index/DiskIndex.h"

namespace tamrel {

Crawl::Crawl(std::vector<Listing> all) : listings(std::move(all)) {
    std::uint32_t maxID = 0;
    for (const Listing& l : listings) {
        maxID = std::max(maxID, l.id);
        entries += l.ents.size();
        nameBytes += l.names.size();
    }
    // A scan hands out ids 0, 1, 2, ...: a table by id answers in one load. Sparse ids (hand-made
    // crawls) fall back to a sorted list.
    dense_ = maxID < 4 * listings.size() + 1024;
    if (dense_) byID_.assign(std::size_t{maxID} + 1, {NONE, NONE});
    for (std::uint32_t i = 0; i < listings.size(); ++i) {
        const std::uint32_t id = listings[i].id;
        if (dense_) {
            byID_[id].second = replace(byID_[id].second, i);
        } else {
            byID_.emplace_back(id, i);
        }
    }
    if (dense_) return;
    // Stable, so among equal ids the last listed stays last; keep that one.
    std::stable_sort(byID_.begin(), byID_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<std::uint32_t, std::uint32_t>> unique;
    unique.reserve(byID_.size());
    for (const auto& p : byID_) {
        if (!unique.empty() && unique.back().first == p.first) {
            unique.back().second = replace(unique.back().second, p.second);
        } else {
            unique.push_back(p);
        }
    }
    byID_ = std::move(unique);
}

std::uint32_t Crawl::replace(std::uint32_t earlier, std::uint32_t later) {
    if (earlier != NONE) {
        entries -= listings[earlier].ents.size();
        nameBytes -= listings[earlier].names.size();
    }
    return later;
}

const Listing* Crawl::find(std::uint32_t id) const {
    if (dense_) {
        if (id >= byID_.size() || byID_[id].second == NONE) return nullptr;
        return &listings[byID_[id].second];
    }
    auto it = std::lower_bound(byID_.begin(), byID_.end(), id,
                               [](const auto& p, std::uint32_t v) { return p.first < v; });
    if (it == byID_.end() || it->first != id) return nullptr;
    return &listings[it->second];
}

Listing* Crawl::find(std::uint32_t id) {
    return const_cast<Listing*>(static_cast<const Crawl*>(this)->find(id));
}

}  // namespace tamrel
