#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/query/FileKind.h"

namespace tamrel {

// The bytes of the plain files below `under` (its descendants) summed by the kind of their
// extension (FileKind::ofNode() with `rules`), largest first; kinds without bytes are absent, and
// equal totals keep the order of FileKind::allCases(). Folders, links, other nodes and files of
// size 0 add nothing (so neither does anything removed). Runs in parallel chunks on the shared
// compute pool, holding index.lock() shared throughout. Thread-safe like biggestFiles().
std::vector<std::pair<FileKind, std::uint64_t>> breakdown(const DiskIndex& index, NodeId under,
                                                          RuleSet rules = RuleSet::designed);

}  // namespace tamrel
