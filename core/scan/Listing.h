#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "core/scan/SlabPool.h"

namespace tamrel {

// One directory entry as listed. 24 bytes; no per-entry allocation beyond its name bytes, which
// live in the listing's `names`.
struct RawEnt {
    std::uint32_t nameOff;  // offset of the name in the listing's names
    std::uint16_t nameLen;
    std::uint8_t kind;    // kind byte: Kind in the low bits plus Flag bits
    std::uint64_t size;   // allocated bytes
    std::uint32_t mtime;  // seconds since 1970, clamped
    std::uint32_t child;  // listing id of this folder's own entries, NONE when there is none
};
static_assert(sizeof(RawEnt) == 24);

// One folder's entries in the order the kernel returned them. A scan's listings live in its
// threads' slab pools; listings made elsewhere use the heap.
struct Listing {
    std::uint32_t id = 0;  // listing id; the scan root's is 0
    bool denied = false;   // opening the folder failed
    std::vector<std::uint8_t, SlabAllocator<std::uint8_t>> names;
    std::vector<RawEnt, SlabAllocator<RawEnt>> ents;

    // Frees the entries and names (a listing written into an index is no longer needed).
    void release() {
        decltype(names)().swap(names);
        decltype(ents)().swap(ents);
    }

    std::string_view name(const RawEnt& e) const {
        return {reinterpret_cast<const char*>(names.data()) + e.nameOff, e.nameLen};
    }
};

// The listings of one scan, found by listing id. A later listing with an id already seen
// replaces the earlier one.
class Crawl {
public:
    Crawl() = default;
    explicit Crawl(std::vector<Listing> listings);

    // The listing with this id, or null.
    const Listing* find(std::uint32_t id) const;
    Listing* find(std::uint32_t id);

    std::vector<Listing> listings;
    std::uint64_t entries = 0;    // sum of the entry counts
    std::uint64_t nameBytes = 0;  // sum of the name byte counts

private:
    // Drops the counts of the listing at `earlier` (unless NONE) and returns `later`.
    std::uint32_t replace(std::uint32_t earlier, std::uint32_t later);

    // Dense: position by id (first unused). Sparse: (id, position) sorted by id.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> byID_;
    bool dense_ = false;
};

}  // namespace tamrel
