#include "core/live/Refresher.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <shared_mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/index/IndexWriter.h"
#include "core/live/Changes.h"
#include "core/live/DiskNodes.h"
#include "core/live/LinkSizes.h"
#include "core/scan/CrawlLayout.h"
#include "core/scan/EventID.h"
#include "core/scan/MountPolicy.h"
#include "core/scan/MountRecord.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/ScanThreads.h"
#include "core/scan/Scanner.h"
#include "platform/PathText.h"

namespace tamrel {

namespace {

constexpr int newFolderThreads = 4;
constexpr int rescanThreads = 8;

// Whether two generations hold the same nodes in the same order (names, parents, kinds, flags
// included, sizes and dates, the rest following from those) and the same mounts, which a save
// writes too. Block compares: 3 million nodes in a few milliseconds, and the first difference
// ends it. Both locks are held by the caller (or it holds the only reference).
bool sameNodes(const DiskIndex& a, const DiskIndex& b) {
    const NodeId n = a.count();
    if (b.count() != n || !(a.mounts() == b.mounts())) return false;
    const NodeArrays<const std::byte> x = a.arrays();
    const NodeArrays<const std::byte> y = b.arrays();
    auto same = [](const auto* p, const auto* q, std::size_t count) {
        return std::memcmp(p, q, count * sizeof *p) == 0;
    };
    return same(x.nameOff_, y.nameOff_, n + 1u) && same(x.kind_, y.kind_, n) &&
           same(x.size_, y.size_, n) && same(x.mtime_, y.mtime_, n) &&
           same(x.parent_, y.parent_, n) && same(x.names_, y.names_, x.nameOff_[n]);
}

// Folders whose removed flag is clear (denied and mount folders included).
bool isLiveDir(std::uint8_t kind) {
    return (kind & (Flag::kindMask | Flag::removed)) == 1;
}

// One node's new kind, size and date, for a refresh made in place. A folder's size is not set:
// it follows from the sizes of the files below it.
struct NodeChange {
    NodeId id;
    std::uint8_t kind;
    std::uint64_t size;  // files only
    std::uint32_t mtime;
};

// Everything one refresh lists and scans, by old folder id.
struct Gathered {
    std::unordered_map<NodeId, Listing> relisted;
    std::unordered_map<NodeId, std::unordered_map<std::string, Crawl>> newCrawls;
    std::unordered_map<NodeId, Crawl> deepCrawls;
    std::uint64_t newEntries = 0;
    std::uint64_t newNames = 0;
};

// The mounts below a root that a refresh compares: those the old generation holds and those
// of the mount table read before anything was listed, by path as the index names them.
class MountView {
public:
    MountView(const DiskIndex& old, std::vector<MountInfo> table) : table_(std::move(table)) {
        for (const HeldMount& m : old.mounts().mounts)
            was_.emplace(m.path, m);
        // Every mount of the table below the root, whether the old generation holds its folder
        // or not: a folder listed again may have one now.
        for (const HeldMount& m : mountsAt(old.rootPath(), table_))
            now_.emplace(m.path, m);
        for (const auto* side : {&was_, &now_}) {
            for (const auto& [path, mount] : *side)
                parents_.insert(parentPath(path));
        }
    }

    const std::vector<MountInfo>& table() const { return table_; }
    // Whether a folder below `parent` may be a mount point, then or now.
    bool mayHoldMounts(const std::string& parent) const { return parents_.contains(parent); }
    // Whether the mount at `path` (or its lack of one) is not the one the old generation holds.
    bool changedAt(const std::string& path) const {
        const auto a = was_.find(path), b = now_.find(path);
        if (a == was_.end() || b == now_.end()) return (a == was_.end()) != (b == now_.end());
        return !(a->second == b->second);
    }

private:
    std::vector<MountInfo> table_;
    std::map<std::string, HeldMount> was_, now_;
    std::set<std::string> parents_;
};

class Refresh {
public:
    Refresh(const DiskIndex& old, ScanProgress& progress, const MountView& mounts)
        : old_(old), progress_(progress), mounts_(mounts) {}

    // The old folder a changed path leads to: the path itself when the index holds a folder
    // there, else its nearest indexed ancestor folder; nothing outside the root.
    std::optional<NodeId> nearest(std::string path) const {
        const std::string& root = old_.rootPath();
        for (;;) {
            if (const auto id = old_.lookup(path); id && old_.isDir(*id)) return id;
            if (path == root || path.find('/') == std::string::npos || !path.starts_with(root)) {
                return std::nullopt;
            }
            path = parentPath(path);
        }
    }

    // Maps the changes to old ids; true when the root itself must be scanned again. A path
    // that leads to a mount point that was not entered leads to that mount point listed again
    // in its parent instead: listing the mount point itself would enter it.
    bool choose(const Changes& changes) {
        for (const std::string& p : changes.mounts) {
            const auto id = nearest(p);
            if (!id) continue;
            if (old_.lookup(p) == id || notEntered(*id)) {
                remountAt(*id);
            } else {
                dirs_.insert(*id);  // where a folder made since was mounted on
            }
        }
        auto into = [&](std::set<NodeId>& set, const std::string& p) {
            const auto id = nearest(p);
            if (id && notEntered(*id)) {
                remountAt(*id);
            } else if (id) {
                set.insert(*id);
            }
        };
        for (const std::string& p : changes.deep)
            into(deep_, p);
        if (deep_.contains(0)) return true;
        for (const std::string& p : changes.dirs)
            into(dirs_, p);
        std::erase_if(deep_, [&](NodeId id) { return underDeep(id); });
        std::erase_if(dirs_, [&](NodeId id) { return deep_.contains(id) || underDeep(id); });

        touched_.assign(old_.count(), false);
        auto touch = [&](NodeId id) {
            for (NodeId at = id; at != NONE && !touched_[at]; at = old_.parent(at)) {
                touched_[at] = true;
                touchedList_.push_back(at);
                if (at != 0 && !dirs_.contains(old_.parent(at))) redated_.push_back(at);
            }
        };
        for (NodeId id : dirs_)
            touch(id);
        for (NodeId id : deep_)
            touch(id);
        return false;
    }

    void gather() {
        for (NodeId id : dirs_)
            relist(id);
        for (NodeId id : deep_) {
            Crawl crawl(Scanner::crawl(old_.path(id), rescanThreads, progress_));
            count(crawl);
            got_.deepCrawls.emplace(id, std::move(crawl));
        }
        // Old links that are listed again (they may be gone, or have carried the bytes).
        for (NodeId id : dirs_) {
            for (NodeId c : old_.children(id))
                noteLinks(old_.kind(c));
        }
        for (NodeId id : deep_) {
            for (NodeId c : old_.subtree(id))
                noteLinks(old_.kind(c));
        }
        for (NodeId id : remounted_) {
            for (NodeId c : old_.subtree(id))
                noteLinks(old_.kind(c));
        }
        readDates();
    }

    // Whether the changes keep the tree's shape (see Refresher::refresh()): every block the new
    // generation would rebuild or take from a listing holds the same nodes in the same order.
    bool keepsShape() const {
        // A mount that came or went changes what the generation holds of the mount table too.
        if (!deep_.empty() || !got_.newCrawls.empty() || linksTouched_ || !remounted_.empty())
            return false;
        for (const auto& [id, listing] : got_.relisted) {
            if (listing.denied || (old_.kind(id) & Flag::denied)) return false;
            if (old_.childCount(id) != listing.ents.size()) return false;
            NodeId c = old_.firstChild(id);
            for (const RawEnt& e : listing.ents) {
                constexpr std::uint8_t shape = Flag::kindMask | Flag::mount;
                if ((old_.kind(c) & Flag::removed) || (old_.kind(c) & shape) != (e.kind & shape) ||
                    old_.nameBytes(c) != listing.name(e)) {
                    return false;
                }
                ++c;
            }
        }
        // A rebuilt block leaves out removed nodes, and the denied flag of files.
        for (NodeId o : touchedList_) {
            if (got_.relisted.contains(o)) continue;
            for (NodeId c : old_.children(o)) {
                const std::uint8_t kind = old_.kind(c);
                if ((kind & Flag::removed) ||
                    ((kind & Flag::kindMask) != 1 && (kind & Flag::denied)))
                    return false;
            }
        }
        return true;
    }

    // What a refresh that keeps the shape changes: each entry listed again takes its listed
    // kind, date and (a file's) size; each folder read again its date. Reads kinds of the old
    // index as they are now: its lock must be held exclusively from here until written.
    std::vector<NodeChange> changesInPlace() const {
        std::vector<NodeChange> out;
        for (const auto& [id, listing] : got_.relisted) {
            NodeId c = old_.firstChild(id);
            for (const RawEnt& e : listing.ents) {
                const std::uint8_t was = old_.kind(c);
                if ((was & Flag::kindMask) == 1) {
                    out.push_back(
                        {c, static_cast<std::uint8_t>(e.kind | (was & Flag::denied)), 0, e.mtime});
                } else {
                    out.push_back({c, e.kind, e.size, e.mtime});
                }
                ++c;
            }
        }
        for (const auto& [id, mtime] : dates_)
            out.push_back({id, old_.kind(id), 0, mtime});
        return out;
    }

    // Whether a file with several links was listed, or was in a folder listed again: each
    // listing counts the links it sees on its own, and a link elsewhere is not looked at, so
    // every link of the index is then counted again (linkPatches()).
    bool linksTouched() const { return linksTouched_; }

    std::unique_ptr<DiskIndex> build() {
        const NodeId n = old_.count();
        IndexWriter writer(std::uint64_t{n} + got_.newEntries,
                           std::uint64_t{old_.nameOff(n)} + got_.newNames,
                           MappedRegion::Paging::reused);
        writer.add(old_.rootPath(), static_cast<std::uint8_t>(1 | (old_.kind(0) & Flag::denied)), 0,
                   0, NONE);
        emit(writer);
        auto index = writer.finish(old_.rootPath());
        IndexWriter::setScanTime(*index, old_.scanTime());
        IndexWriter::setScannedAt(*index, old_.scannedAt());
        IndexWriter::setMounts(*index, mountsOf(*index));
        return index;
    }

private:
    // The mounts generation `next` holds: those the old one held, except where folders were
    // listed from the disk (the subfolders of a folder listed again, the whole of a subtree
    // scanned afresh), which take what the mount table read before the listing has there.
    HeldMounts mountsOf(const DiskIndex& next) const {
        HeldMounts now = heldMounts(next, mounts_.table());
        if (!old_.mounts().known) return now;
        std::vector<std::string> fresh;
        for (NodeId id : deep_)
            fresh.push_back(old_.path(id));
        for (NodeId id : remounted_)
            fresh.push_back(old_.path(id));
        for (const auto& [id, crawls] : got_.newCrawls) {
            for (const auto& [name, crawl] : crawls)
                fresh.push_back(joinPath(old_.path(id), name));
        }
        std::set<std::string> listed;
        for (const auto& [id, listing] : got_.relisted)
            listed.insert(old_.path(id));
        const auto listedNow = [&](const std::string& path) {
            return listed.contains(parentPath(path)) ||
                   std::any_of(fresh.begin(), fresh.end(),
                               [&](const std::string& f) { return isAtOrBelow(path, f); });
        };
        HeldMounts out{true, {}};
        for (const HeldMount& m : old_.mounts().mounts) {
            const auto id = next.lookup(m.path);
            if (!listedNow(m.path) && id && next.isDir(*id)) out.mounts.push_back(m);
        }
        for (HeldMount& m : now.mounts) {
            if (listedNow(m.path)) out.mounts.push_back(std::move(m));
        }
        std::sort(out.mounts.begin(), out.mounts.end(),
                  [](const HeldMount& a, const HeldMount& b) { return a.path < b.path; });
        return out;
    }

    bool notEntered(NodeId id) const { return id != 0 && (old_.kind(id) & Flag::mount); }

    // Folder `id` is listed again in its parent and, unless that listing finds a mount point
    // not to enter, scanned afresh; the root is scanned afresh.
    void remountAt(NodeId id) {
        if (id == 0) {
            deep_.insert(0);
            return;
        }
        dirs_.insert(old_.parent(id));
        remounted_.insert(id);
    }

    bool underDeep(NodeId id) const {
        for (NodeId at = old_.parent(id); at != NONE; at = old_.parent(at)) {
            if (deep_.contains(at)) return true;
        }
        return false;
    }

    // The subfolders of old folder `o` that are not removed, by name: a folder listed again
    // keeps these as they were and scans only the others.
    std::unordered_map<std::string_view, NodeId> oldSubfolders(NodeId o) const {
        std::unordered_map<std::string_view, NodeId> out;
        for (NodeId c : old_.children(o)) {
            if (isLiveDir(old_.kind(c))) out.emplace(old_.nameBytes(c), c);
        }
        return out;
    }

    void count(const Crawl& crawl) {
        got_.newEntries += crawl.entries;
        got_.newNames += crawl.nameBytes;
        for (const Listing& l : crawl.listings)
            noteLinks(l);
    }

    void noteLinks(std::uint8_t kind) {
        if ((kind & (Flag::kindMask | Flag::linked)) == Flag::linked) linksTouched_ = true;
    }
    void noteLinks(const Listing& listing) {
        for (const RawEnt& e : listing.ents)
            noteLinks(e.kind);
    }

    // The folders whose own entries a refresh rebuilds from the old index (each changed folder,
    // and every ancestor of one, whose parent is not listed again) are read from the disk for
    // their modification times: a folder listed again, or one whose entries changed below it,
    // has a new one, and the parent's block must show it as a fresh scan would.
    void readDates() {
        statNodes(old_, std::move(redated_), STATX_TYPE | STATX_MTIME,
                  [&](NodeId id, const struct statx& sx) {
                      if (S_ISDIR(sx.stx_mode) && (sx.stx_mask & STATX_MTIME))
                          dates_.emplace(id, storedSeconds(sx.stx_mtime.tv_sec));
                  });
        redated_.clear();
    }

    std::uint32_t dateOf(NodeId id) const {
        const auto it = dates_.find(id);
        return it != dates_.end() ? it->second : old_.mtime(id);
    }

    void relist(NodeId id) {
        const std::string path = old_.path(id);
        std::optional<Listing> listing = Scanner::listOne(path);
        if (!listing) {
            Listing denied;
            denied.denied = true;
            got_.relisted.emplace(id, std::move(denied));
            return;
        }
        got_.newEntries += listing->ents.size();
        got_.newNames += listing->names.size();
        noteLinks(*listing);
        const auto oldDirs = oldSubfolders(id);
        const bool mayHoldMounts = mounts_.mayHoldMounts(path);
        for (const RawEnt& e : listing->ents) {
            if ((e.kind & Flag::kindMask) != 1) continue;
            const std::string_view name = listing->name(e);
            const auto old = oldDirs.find(name);
            // What is mounted there is not what the old generation holds: what it holds now
            // is entered (or not) as a scan would, rather than copied.
            if (old != oldDirs.end() &&
                (((old_.kind(old->second) ^ e.kind) & Flag::mount) ||
                 (mayHoldMounts && mounts_.changedAt(joinPath(path, name))))) {
                remounted_.insert(old->second);
            }
            if ((e.kind & Flag::mount) ||
                (old != oldDirs.end() && !remounted_.contains(old->second))) {
                continue;
            }
            Crawl crawl(Scanner::crawl(joinPath(path, name), newFolderThreads, progress_));
            count(crawl);
            got_.newCrawls[id].emplace(std::string(name), std::move(crawl));
        }
        got_.relisted.emplace(id, std::move(*listing));
    }

    // Writes the children of old node `o` below new node `n`, and so on down, in the pre-order
    // the writer needs, with an explicit stack: paths can be thousands of folders deep.
    void emit(IndexWriter& writer) {
        struct Task {
            NodeId o;      // old node, or NONE for a crawl
            NodeId n;      // new node
            Crawl* crawl;  // the crawl to write below n when o is NONE
        };
        std::vector<Task> stack{{0, 0, nullptr}};
        std::vector<Task> group;
        while (!stack.empty()) {
            const Task t = stack.back();
            stack.pop_back();
            group.clear();
            if (t.o == NONE) {
                writeCrawl(writer, *t.crawl, 0, t.n);
            } else if (auto deep = got_.deepCrawls.find(t.o); deep != got_.deepCrawls.end()) {
                writeCrawl(writer, deep->second, 0, t.n);
            } else if (auto re = got_.relisted.find(t.o); re != got_.relisted.end()) {
                emitRelisted(writer, t.o, t.n, re->second, group);
            } else if (!touched_[t.o]) {
                writer.copySubtree(old_, t.o, t.n);
            } else {
                emitRebuilt(writer, t.o, t.n, group);
            }
            stack.insert(stack.end(), group.rbegin(), group.rend());
        }
    }

    template <typename Group>
    void emitRelisted(IndexWriter& writer, NodeId o, NodeId n, Listing& listing, Group& group) {
        const auto oldDirs = oldSubfolders(o);
        // An old folder that is copied whole keeps its denied flag; any other case sets the
        // flag from its own listing.
        for (RawEnt& e : listing.ents) {
            if ((e.kind & (Flag::kindMask | Flag::mount)) != 1) continue;
            if (auto old = oldDirs.find(listing.name(e));
                old != oldDirs.end() && !remounted_.contains(old->second)) {
                const std::uint8_t denied = old_.kind(old->second) & Flag::denied;
                e.kind = static_cast<std::uint8_t>(e.kind | denied);
            }
        }
        const auto pairs = writeListing(writer, listing, n);
        auto crawls = got_.newCrawls.find(o);
        std::size_t k = 0;
        for (const RawEnt& e : listing.ents) {
            if ((e.kind & Flag::kindMask) != 1) continue;
            const NodeId c = pairs[k++].first;
            if (e.kind & Flag::mount) continue;
            const std::string_view name = listing.name(e);
            if (auto old = oldDirs.find(name);
                old != oldDirs.end() && !remounted_.contains(old->second)) {
                group.push_back({old->second, c, nullptr});
            } else if (crawls != got_.newCrawls.end()) {
                if (auto crawl = crawls->second.find(std::string(name));
                    crawl != crawls->second.end()) {
                    group.push_back({NONE, c, &crawl->second});
                }
            }
        }
    }

    // An ancestor of a change that did not change itself: its block is rebuilt from the old
    // children that are not removed, each folder keeping its denied flag.
    template <typename Group>
    void emitRebuilt(IndexWriter& writer, NodeId o, NodeId n, Group& group) {
        Listing listing;
        listing.denied = old_.kind(o) & Flag::denied;
        std::vector<NodeId> oldDirs;
        for (NodeId c : old_.children(o)) {
            const std::uint8_t kind = old_.kind(c);
            if (kind & Flag::removed) continue;
            const bool dir = (kind & Flag::kindMask) == 1;
            const std::string_view name = old_.nameBytes(c);
            const auto at = static_cast<std::uint32_t>(listing.names.size());
            listing.names.insert(listing.names.end(), name.begin(), name.end());
            const std::uint8_t keep =
                dir ? static_cast<std::uint8_t>(~Flag::removed)
                    : static_cast<std::uint8_t>(~(Flag::removed | Flag::denied));
            listing.ents.push_back(RawEnt{
                at, static_cast<std::uint16_t>(name.size()), static_cast<std::uint8_t>(kind & keep),
                dir ? 0 : old_.size(c), dir ? dateOf(c) : old_.mtime(c), NONE});
            if (dir) oldDirs.push_back(c);
        }
        const auto pairs = writeListing(writer, listing, n);
        for (std::size_t k = 0; k < pairs.size(); ++k)
            group.push_back({oldDirs[k], pairs[k].first, nullptr});
    }

    const DiskIndex& old_;
    ScanProgress& progress_;
    const MountView& mounts_;
    std::set<NodeId> dirs_;
    std::set<NodeId> deep_;
    // Folders of listed folders scanned afresh rather than copied: what is mounted there is not
    // what the old generation holds (a file system came or went, or its mount flag changed).
    std::set<NodeId> remounted_;
    std::vector<bool> touched_;
    std::vector<NodeId> touchedList_;                  // the same nodes
    std::vector<NodeId> redated_;                      // touched folders whose dates are read
    std::unordered_map<NodeId, std::uint32_t> dates_;  // their modification times now
    Gathered got_;
    bool linksTouched_ = false;
};

}  // namespace

std::unique_ptr<DiskIndex> Refresher::refreshed(const DiskIndex& old, const Changes& changes,
                                                ScanProgress& progress,
                                                std::uint64_t oldestPending) {
    return refreshInto(old, changes, progress, oldestPending, nullptr, nullptr);
}

std::unique_ptr<DiskIndex> Refresher::refresh(DiskIndex& index, const Changes& changes,
                                              ScanProgress& progress, std::uint64_t oldestPending,
                                              bool* changed) {
    bool differs = true;
    auto next = refreshInto(index, changes, progress, oldestPending, &index, &differs);
    if (changed) *changed = differs;
    return next;
}

std::unique_ptr<DiskIndex> Refresher::refreshInto(const DiskIndex& old, const Changes& changes,
                                                  ScanProgress& progress,
                                                  std::uint64_t oldestPending, DiskIndex* patch,
                                                  bool* changed) {
    const std::uint64_t newEvent = currentEventID();
    auto stamp = [&](std::uint64_t id) {
        return oldestPending != 0 ? std::min(id, oldestPending) : id;
    };
    // A generation built for `patch` that holds what it holds already is not handed out: the
    // index only takes its event id. So a refresh that finds the disk as the index has it (the
    // catch-up after a fresh scan lists again what changed while the scan ran) changes nothing
    // that a save would have to write.
    auto unlessSame = [&](std::unique_ptr<DiskIndex> next) -> std::unique_ptr<DiskIndex> {
        if (!patch) return next;
        std::shared_lock read(old.lock());
        if (!sameNodes(old, *next)) return next;
        IndexWriter::setEventID(*patch, next->eventID());
        *changed = false;
        return nullptr;
    };
    std::shared_lock guard(old.lock());
    // Read before anything is listed: a mount made meanwhile shows at the next comparison.
    const MountView mounts(old, MountPolicy::parseMounts(MountPolicy::readMountTable()));
    Refresh refresh(old, progress, mounts);
    if (refresh.choose(changes)) {
        guard.unlock();
        auto fresh = Scanner::scan(old.rootPath(), progress, defaultScanThreads());
        IndexWriter::setEventID(*fresh, stamp(fresh->eventID()));
        return unlessSame(std::move(fresh));
    }
    refresh.gather();
    if (patch == &old && refresh.keepsShape()) {
        // A change of a few sizes and dates costs that, not a copy of the whole index.
        guard.unlock();
        std::unique_lock write(old.lock());
        // A removal may have come in between.
        if (refresh.keepsShape()) {
            bool any = false;
            for (const NodeChange& c : refresh.changesInPlace()) {
                const bool folder = (c.kind & Flag::kindMask) == 1;
                const std::uint64_t size = folder ? patch->size(c.id) : c.size;
                if (patch->kind(c.id) == c.kind && patch->size(c.id) == size &&
                    patch->mtime(c.id) == c.mtime) {
                    continue;
                }
                IndexWriter::setNode(*patch, c.id, c.kind, size, c.mtime);
                any = true;
            }
            IndexWriter::setEventID(*patch, stamp(newEvent));
            *changed = any;
            return nullptr;
        }
        write.unlock();
        guard.lock();
    }
    auto index = refresh.build();
    IndexWriter::setEventID(*index, stamp(newEvent));
    if (refresh.linksTouched()) {
        guard.unlock();
        // Each link counted once over the whole index, as a fresh scan counts it.
        for (const LinkPatch& p : linkPatches(*index))
            IndexWriter::setNode(*index, p.id, p.kind, p.size, p.mtime);
    } else {
        guard.unlock();
    }
    return unlessSame(std::move(index));
}

}  // namespace tamrel
