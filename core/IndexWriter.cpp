#include "core/IndexWriter.h"

#include <malloc.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/NameMask.h"

namespace tamrel {

namespace {

constexpr std::uint64_t releaseStep = 8 << 20;

[[noreturn]] void overflow(const char* what) {
    throw std::system_error(EOVERFLOW, std::generic_category(), what);
}

Layout checkedLayout(std::uint64_t cap, std::uint64_t nameCap) {
    cap = std::max<std::uint64_t>(cap, 1);
    nameCap = std::max<std::uint64_t>(nameCap, 1);
    if (cap >= NONE) overflow("too many entries for one index");
    if (nameCap > 0xFFFFFFFFu) overflow("names too long for one index");
    return Layout(cap, nameCap);
}

template <typename T>
T* at(const MappedRegion& region, const Layout& layout, Layout::Array k) {
    return reinterpret_cast<T*>(region.data() + layout.offsets[k]);
}

}  // namespace

IndexWriter::IndexWriter(std::uint64_t cap, std::uint64_t nameCap)
    : layout_(checkedLayout(cap, nameCap)),
      region_(MappedRegion::anonymous(layout_.total)),
      names_(at<std::uint8_t>(region_, layout_, Layout::names)),
      nameOff_(at<std::uint32_t>(region_, layout_, Layout::nameOff)),
      parent_(at<std::uint32_t>(region_, layout_, Layout::parent)),
      firstChild_(at<std::uint32_t>(region_, layout_, Layout::firstChild)),
      childCount_(at<std::uint32_t>(region_, layout_, Layout::childCount)),
      subtreeEnd_(at<std::uint32_t>(region_, layout_, Layout::subtreeEnd)),
      size_(at<std::uint64_t>(region_, layout_, Layout::size)),
      items_(at<std::uint32_t>(region_, layout_, Layout::items)),
      kind_(at<std::uint8_t>(region_, layout_, Layout::kind)),
      mtime_(at<std::uint32_t>(region_, layout_, Layout::mtime)),
      mask_(at<std::uint32_t>(region_, layout_, Layout::mask)) {}

void IndexWriter::reserve(std::uint64_t nodes, std::uint64_t nameBytes) const {
    if (nodes > layout_.cap - next_) overflow("index writer capacity exceeded");
    if (nameBytes > layout_.nameCap - nb_) overflow("index writer name capacity exceeded");
}

NodeId IndexWriter::append(const std::uint8_t* name, std::size_t length, std::uint8_t kind,
                           std::uint64_t size, std::uint32_t mtime, std::uint32_t parent) {
    const NodeId id = next_++;
    std::uint8_t* out = names_ + nb_;
    std::uint32_t m = 0;
    for (std::size_t k = 0; k < length; ++k) {
        out[k] = name[k];
        m |= NameMask::table[name[k]];
    }
    nb_ += length;
    nameOff_[id + 1] = static_cast<std::uint32_t>(nb_);
    parent_[id] = parent;
    kind_[id] = kind;
    size_[id] = size;
    mtime_[id] = mtime;
    mask_[id] = m;
    items_[id] = (kind & Flag::kindMask) == 1 ? 0 : 1;
    return id;
}

NodeId IndexWriter::add(std::string_view name, std::uint8_t kind, std::uint64_t size,
                        std::uint32_t mtime, std::uint32_t parent) {
    reserve(1, name.size());
    return append(reinterpret_cast<const std::uint8_t*>(name.data()), name.size(), kind, size,
                  mtime, parent);
}

void IndexWriter::writeBlockInto(const Listing& listing, NodeId p,
                                 std::vector<std::pair<NodeId, std::uint32_t>>& folders) {
    reserve(listing.ents.size(), listing.names.size());
    firstChild_[p] = next_;
    childCount_[p] = static_cast<std::uint32_t>(listing.ents.size());
    kind_[p] =
        static_cast<std::uint8_t>((kind_[p] & ~Flag::denied) | (listing.denied ? Flag::denied : 0));
    for (const RawEnt& e : listing.ents) {
        if (std::uint64_t{e.nameOff} + e.nameLen > listing.names.size()) {
            overflow("listing entry name out of range");
        }
        const NodeId id =
            append(listing.names.data() + e.nameOff, e.nameLen, e.kind, e.size, e.mtime, p);
        if ((e.kind & Flag::kindMask) == 1) folders.emplace_back(id, e.child);
    }
}

std::vector<std::pair<NodeId, std::uint32_t>> IndexWriter::writeBlock(const Listing& listing,
                                                                      NodeId p) {
    std::vector<std::pair<NodeId, std::uint32_t>> folders;
    writeBlockInto(listing, p, folders);
    return folders;
}

void IndexWriter::emitFresh(Crawl& crawl, std::uint32_t listing, NodeId into) {
    // A pre-order walk with an explicit stack: a folder's block is written, then the whole
    // subtree of its first subfolder, then the next. Popping in that order needs each block's
    // folders pushed in reverse.
    std::vector<std::pair<NodeId, std::uint32_t>> stack{{into, listing}};
    std::uint64_t released = 0;
    while (!stack.empty()) {
        const auto [node, id] = stack.back();
        stack.pop_back();
        if (id == NONE) continue;
        Listing* l = crawl.find(id);
        if (!l) continue;
        const std::size_t mark = stack.size();
        writeBlockInto(*l, node, stack);
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(mark), stack.end());
        released += l->names.capacity() + l->ents.capacity() * sizeof(RawEnt);
        std::vector<std::uint8_t>().swap(l->names);
        std::vector<RawEnt>().swap(l->ents);
        // Hand the freed listings back to the kernel as the region fills, so a scan never holds
        // both whole: peak memory on a million entries drops from about 112 to 75 bytes each.
        if (released >= releaseStep) {
            ::malloc_trim(0);
            released = 0;
        }
    }
}

void IndexWriter::copySubtree(const DiskIndex& old, NodeId o, NodeId n) {
    firstChild_[n] = next_;
    childCount_[n] = old.childCount(o);
    if (old.childCount(o) == 0) return;
    const NodeId f = old.firstChild(o);
    const NodeId e = old.subtreeEnd(o);
    const std::uint32_t k = e - f;
    const std::uint32_t nameStart = old.nameOff(f);
    const std::uint32_t nameBytes = old.nameOff(e) - nameStart;
    reserve(k, nameBytes);

    std::memcpy(names_ + nb_, old.nameData().data() + nameStart, nameBytes);
    const std::uint32_t delta = next_ - f;  // 32-bit wrapping on purpose
    const std::uint32_t nameDelta = static_cast<std::uint32_t>(nb_) - nameStart;
    for (std::uint32_t j = 0; j < k; ++j) {
        const NodeId from = f + j;
        const NodeId to = next_ + j;
        childCount_[to] = old.childCount(from);
        size_[to] = old.size(from);
        items_[to] = old.items(from);
        kind_[to] = old.kind(from);
        mtime_[to] = old.mtime(from);
        mask_[to] = old.mask(from);
        nameOff_[to + 1] = old.nameOff(from + 1) + nameDelta;
        parent_[to] = old.parent(from) == o ? n : old.parent(from) + delta;
        firstChild_[to] = old.childCount(from) > 0 ? old.firstChild(from) + delta : 0;
    }
    next_ += k;
    nb_ += nameBytes;
}

std::unique_ptr<DiskIndex> IndexWriter::finish(std::string rootPath) {
    for (NodeId i = 0; i < next_; ++i) {
        if ((kind_[i] & Flag::kindMask) == 1) {
            size_[i] = 0;
            items_[i] = 0;
        }
    }
    for (NodeId i = next_; i-- > 0;) {
        subtreeEnd_[i] = std::max(subtreeEnd_[i], i + 1);
        if (i == 0) break;
        const NodeId p = parent_[i];
        size_[p] += size_[i];
        items_[p] += items_[i];
        subtreeEnd_[p] = std::max(subtreeEnd_[p], subtreeEnd_[i]);
    }
    return std::make_unique<DiskIndex>(std::move(region_), layout_, next_, std::move(rootPath));
}

}  // namespace tamrel
