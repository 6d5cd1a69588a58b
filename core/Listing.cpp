#include "core/Listing.h"

#include <algorithm>

namespace tamrel {

Crawl::Crawl(std::vector<Listing> all) : listings(std::move(all)) {
    byID_.reserve(listings.size());
    for (std::uint32_t i = 0; i < listings.size(); ++i) {
        byID_.emplace_back(listings[i].id, i);
        entries += listings[i].ents.size();
        nameBytes += listings[i].names.size();
    }
    // Stable, so among equal ids the last listed stays last; keep that one.
    std::stable_sort(byID_.begin(), byID_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<std::uint32_t, std::uint32_t>> unique;
    unique.reserve(byID_.size());
    for (const auto& p : byID_) {
        if (!unique.empty() && unique.back().first == p.first) {
            const Listing& dropped = listings[unique.back().second];
            entries -= dropped.ents.size();
            nameBytes -= dropped.names.size();
            unique.back() = p;
        } else {
            unique.push_back(p);
        }
    }
    byID_ = std::move(unique);
}

const Listing* Crawl::find(std::uint32_t id) const {
    auto it = std::lower_bound(byID_.begin(), byID_.end(), id,
                               [](const auto& p, std::uint32_t v) { return p.first < v; });
    if (it == byID_.end() || it->first != id) return nullptr;
    return &listings[it->second];
}

Listing* Crawl::find(std::uint32_t id) {
    return const_cast<Listing*>(static_cast<const Crawl*>(this)->find(id));
}

}  // namespace tamrel
