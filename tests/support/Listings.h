#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/index/IndexWriter.h"
#include "core/scan/CrawlLayout.h"
#include "core/scan/Listing.h"

namespace tamrel::test {

// A listing `id` of entries (name, kind), files of 10 bytes, no entry linked to a listing yet.
inline Listing folderListing(std::uint32_t id, std::vector<std::pair<std::string, int>> ents,
                             bool denied = false) {
    Listing l;
    l.id = id;
    l.denied = denied;
    for (const auto& [name, kind] : ents) {
        l.ents.push_back(RawEnt{static_cast<std::uint32_t>(l.names.size()),
                                static_cast<std::uint16_t>(name.size()),
                                static_cast<std::uint8_t>(kind), kind == 1 ? 0u : 10u, 0, NONE});
        l.names.insert(l.names.end(), name.begin(), name.end());
    }
    return l;
}

// Links entry k of `from` to listing `to`.
inline void link(Listing& from, std::size_t k, std::uint32_t to) {
    from.ents[k].child = to;
}

// The index of root "/r" that the crawl of these listings gives, from listing 0.
inline std::unique_ptr<DiskIndex> build(std::vector<Listing> listings) {
    Crawl crawl(std::move(listings));
    IndexWriter w(crawl.entries + 1, 2 + crawl.nameBytes);
    w.add("/r", 1, 0, 0, NONE);
    writeCrawl(w, crawl, 0, 0);
    return w.finish("/r");
}

// The error code f throws as std::system_error, or 0.
inline int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::system_error& e) {
        return e.code().value();
    }
    return 0;
}

}  // namespace tamrel::test
