#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/query/FileKind.h"
#include "core/query/Query.h"

namespace tamrel::test {

// Plain, sequential readings of the parallel passes, written for clarity rather than speed,
// to compare the real ones with.

// Whether i or an ancestor carries the removed flag, by walking parents.
bool goneByWalk(const DiskIndex& index, NodeId i);

// A chunked top-k pass: the range split into n / chunk chunks (one below `chunk`, at most
// `maxChunks`) of equal rounded-up length; per chunk a bounded collector fed in id order with
// the ids `accept` takes (an entry equal to the smallest kept is rejected; a larger one replaces
// the first slot holding the smallest); the collectors fed in chunk order into one; gone ids
// dropped; a stable sort by size descending.
std::vector<NodeId> referenceTopK(const DiskIndex& index, std::size_t k, IdRange range,
                                  std::uint64_t chunk, std::uint64_t maxChunks,
                                  const std::function<bool(NodeId)>& accept);

// The `limit` largest sizes of the ids of the range that `accept` takes and that are not gone,
// largest first: what a top-k pass must list, whatever its chunking.
std::vector<std::uint64_t> largestSizes(const DiskIndex& index, IdRange range, std::size_t limit,
                                        const std::function<bool(NodeId)>& accept);

// Bytes of the plain files of the range with a size above 0, by the kind of ext().
std::map<FileKind, std::uint64_t> plainBreakdown(const DiskIndex& index, IdRange range);

// Whether node i matches the query, each test read straight from its description.
bool plainMatch(const DiskIndex& index, const Query& q, NodeId i);

}  // namespace tamrel::test
