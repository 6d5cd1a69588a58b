#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/query/Query.h"

namespace tamrel {

struct SearchResult {
    std::vector<NodeId> ids;  // matches, largest first, at most the limit; none gone
    std::size_t total = 0;    // every match the pass found, not capped by the limit
    double elapsed = 0;       // seconds from the start of the search to the result
};

// Answers `query` over the descendants of `under` (of the query's "in:" folder instead when it
// has one; nothing when that folder is not in the index). An empty query gives no ids, total 0
// and elapsed exactly 0. Matches below a removed folder may count in `total` but are never in
// `ids`. `limit` is at least 1 in every real call; 0 still counts the matches but keeps none.
//
// Tests every node in parallel chunks on the shared compute pool, holding index.lock() shared
// for the whole pass including the merge. Thread-safe: may run beside readers and beside
// IndexWriter::markRemoved() on other threads.
SearchResult search(const DiskIndex& index, const Query& query, NodeId under, std::size_t limit);

// Parses `text` with the process's home folder and the current time, then searches with the
// file kinds of `rules`.
SearchResult search(const DiskIndex& index, std::string_view text, NodeId under, std::size_t limit,
                    RuleSet rules = RuleSet::designed);

}  // namespace tamrel
