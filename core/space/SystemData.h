#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/space/RuleProfile.h"
#include "core/space/VolumeFacts.h"

namespace tamrel {

// One rule's share of the space the system shows as System Data.
struct SpaceBucket {
    enum class Advice : std::uint8_t { safe, review, system };

    std::string id;
    std::string title;
    std::string blurb;
    std::string symbol;
    Advice advice = Advice::safe;
    // Over the rule's folders, each folder's size less the outermost other rule folders inside it.
    std::uint64_t bytes = 0;
    // The rule's folders found in the index, in the rule's path order.
    std::vector<NodeId> roots;
    // At most six direct children of those folders (not themselves rule folders), largest
    // first by their bytes in topBytes.
    std::vector<NodeId> top;
    // The bytes of each of `top` that this bucket counts: its size less the rule folders inside
    // it (counted in their own buckets), so no item is larger than the bucket.
    std::vector<std::uint64_t> topBytes;

    friend bool operator==(const SpaceBucket&, const SpaceBucket&) = default;
};

// "safe", "review", "system".
std::string_view rawValue(SpaceBucket::Advice advice);
// The case whose raw value is `raw`, or nothing.
std::optional<SpaceBucket::Advice> adviceFromRaw(std::string_view raw);

// What the System Data bar holds: the buckets of the twelve rules plus what no folder explains.
struct SystemDataReport {
    std::vector<SpaceBucket> buckets;  // every bucket with bytes > 0, largest first
    std::uint64_t used = 0;            // of the volume
    std::uint64_t purgeable = 0;       // of the volume
    std::uint64_t unseen = 0;          // used bytes an index of "/" does not hold
    std::int64_t snapshots = 0;        // local snapshots of the volume
    std::int64_t unreadable = 0;       // nodes whose folder could not be opened

    // The sum of the buckets' bytes.
    std::uint64_t explained() const;

    friend bool operator==(const SystemDataReport&, const SystemDataReport&) = default;
};

// The System Data report of `index` for the user whose home folder is `home` (home-based rule
// paths contribute nothing when home is empty, relative or "/"), with the volume's `facts`.
// Folders are found by lookup, so only those inside the index's root count. With a Linux
// `profile`, each rule also looks in the Linux folders that hold its kind of data (the XDG
// homes, /var/log, /var/cache, Flatpak and Snap homes, the swap file...), a few of them named
// with a "*" level ("~/.var/app/*/cache") and the swap ones as plain files, leaves out the
// device backups (no Linux folder holds them), and the buckets carry the Linux titles and
// blurbs where the designed ones name what Linux lacks. Reads the index only and never fails.
//
// Thread safety: holds index.lock() shared for the whole pass, so a removal on another thread
// is seen whole or not at all. Must not be called while the caller holds that lock.
SystemDataReport systemData(const DiskIndex& index, std::string_view home, const VolumeFacts& facts,
                            const RuleProfile& profile = {});

}  // namespace tamrel
