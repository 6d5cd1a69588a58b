#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/scan/Listing.h"

namespace tamrel {

class IndexWriter;

// How listings become blocks of an index: each folder's entries one block, in the pre-order the
// index keeps (a folder's block, then the subtree of its first subfolder, then the next), written
// through IndexWriter's runs.

// Appends a listing's entries as the child block of p, a node `writer` has written, and returns
// (node id, child listing id) of every folder entry, in block order. p's denied flag follows
// listing.denied. Throws std::system_error(EOVERFLOW), having written nothing, when the block
// does not fit or an entry's name lies outside the listing's names.
std::vector<std::pair<NodeId, std::uint32_t>> writeListing(IndexWriter& writer,
                                                           const Listing& listing, NodeId p);

// Appends the whole crawled subtree of listing `listing` below `into` in pre-order, without
// recursion and with the blocks written in parallel on the compute pool. A folder whose listing
// is missing gets no children; a listing referenced twice is written at its first reference.
// Each listing's memory is released once written, so the crawl and the region are not both
// whole at once. Throws std::system_error(EOVERFLOW), having written nothing, when the subtree
// does not fit or an entry's name lies outside its listing's names.
void writeCrawl(IndexWriter& writer, Crawl& crawl, std::uint32_t listing, NodeId into);

}  // namespace tamrel
