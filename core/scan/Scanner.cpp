#include "core/scan/Scanner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "core/index/DiskIndex.h"
#include "core/index/IndexWriter.h"
#include "core/scan/CrawlLayout.h"
#include "core/scan/DescriptorLimit.h"
#include "core/scan/DirReader.h"
#include "core/scan/EventID.h"
#include "core/scan/JobStack.h"
#include "core/scan/MountPolicy.h"
#include "core/scan/MountRecord.h"
#include "core/scan/ReadAhead.h"
#include "core/scan/ScanProgress.h"
#include "platform/LongPath.h"
#include "platform/UniqueFd.h"

namespace tamrel {

namespace {

// A folder that ran out of descriptors waits for others to close; after this many tries it
// counts as denied.
constexpr int maxOpenRetries = 100;

// An open folder descriptor shared by the pending jobs of its subfolders.
struct DirFD {
    DirFD(UniqueFd f, dev_t d, std::atomic<std::uint64_t>& releases)
        : fd(std::move(f)), device(d), releases(releases) {}
    ~DirFD() {
        fd.reset();
        releases.fetch_add(1, std::memory_order_relaxed);
    }
    UniqueFd fd;
    dev_t device;
    std::atomic<std::uint64_t>& releases;
};

struct Job {
    std::shared_ptr<DirFD> parent;
    std::string name;
    std::uint32_t id;
    dev_t device;
    int retries = 0;
};

using Jobs = JobStack<Job>;

// Reads in flight with the helpers of a cold scan at their deepest, scanning threads included:
// on the million-entry tree a cold walk with 64 threads took about 0.7 times as long as one with
// 8, on a machine busy with other work.
constexpr int deepestReads = 64;

struct ScanState {
    ScanState(ScanProgress& p, dev_t rootDevice, int threads, ReadAhead::Mode mode)
        : progress(p), mounts(rootDevice), readAhead(mode, std::max(deepestReads - threads, 0)) {}
    ScanProgress& progress;
    Jobs jobs;
    Hardlinks hardlinks;
    MountPolicy mounts;
    SlabPool listings;
    std::atomic<std::uint32_t> nextID{1};
    // Last: its helpers may let the root's descriptor go, which touches `jobs`.
    ReadAhead readAhead;
};

// Hands a wide folder's entries to the read-ahead helpers while a scanning thread lists it.
class ShareWide final : public DirentSink {
public:
    ShareWide(ReadAhead& ahead, const std::shared_ptr<DirFD>& dir)
        : ahead_(ahead), dir_(dir, &dir->fd), device_(dir->device) {}
    void filled(const char* dirents, std::size_t bytes) override {
        ahead_.share(dir_, device_, dirents, bytes);
    }

private:
    ReadAhead& ahead_;
    std::shared_ptr<const UniqueFd> dir_;
    dev_t device_;
};

// Lists an opened folder as listing `id`, counts its entries, gives each folder entry to be
// entered a listing id and pushes a job for it.
Listing listFolder(ScanState& state, DirReader& reader, const std::shared_ptr<DirFD>& dir,
                   std::uint32_t id, std::vector<Job>& group) {
    std::optional<ShareWide> share;
    if (state.readAhead.active()) share.emplace(state.readAhead, dir);
    Listing listing = reader.list(dir->fd.get(), dir->device, id, share ? &*share : nullptr);
    state.progress.files.fetch_add(reader.files(), std::memory_order_relaxed);
    state.progress.bytes.fetch_add(reader.bytes(), std::memory_order_relaxed);
    for (std::size_t k = 0; k < listing.ents.size(); ++k) {
        RawEnt& e = listing.ents[k];
        if ((e.kind & (Flag::kindMask | Flag::mount)) != 1) continue;
        e.child = state.nextID.fetch_add(1, std::memory_order_relaxed);
        group.push_back(Job{dir, std::string(listing.name(e)), e.child, reader.deviceOf(k), 0});
    }
    state.jobs.push(group);
    return listing;
}

void work(ScanState& state, std::vector<Listing>& out) {
    DirReader reader(state.hardlinks, state.mounts, state.listings);
    ReadAhead::Probe probe(state.readAhead);
    std::vector<Job> group;
    while (std::optional<Job> job = state.jobs.pop()) {
        if (state.progress.isCancelled()) {
            state.readAhead.stop();
            state.jobs.clear();
            state.jobs.done();
            continue;
        }
        UniqueFd fd(::openat(job->parent->fd.get(), job->name.c_str(), scanOpenFlags));
        if (!fd) {
            const int error = errno;
            if ((error == EMFILE || error == ENFILE) && job->retries < maxOpenRetries) {
                ++job->retries;
                state.jobs.defer(std::move(*job));
                state.jobs.done();
                continue;
            }
            Listing denied;
            denied.id = job->id;
            denied.denied = true;
            out.push_back(std::move(denied));
        } else {
            auto dir = std::make_shared<DirFD>(std::move(fd), job->device, state.jobs.releases);
            job->parent.reset();
            out.push_back(listFolder(state, reader, dir, job->id, group));
            probe.noteListed();
        }
        state.progress.dirs.fetch_add(1, std::memory_order_relaxed);
        job.reset();
        state.jobs.done();
    }
}

}  // namespace

std::vector<Listing> Scanner::crawl(const std::string& root, int threads, ScanProgress& progress) {
    return crawl(root, threads, progress, ReadAhead::defaultMode());
}

std::vector<Listing> Scanner::crawl(const std::string& root, int threads, ScanProgress& progress,
                                    ReadAhead::Mode readAhead) {
    raiseDescriptorLimit();
    threads = std::max(threads, 1);
    UniqueFd rootFd(openLongPath(root, scanOpenFlags));
    struct stat st {};
    if (!rootFd || ::fstat(rootFd.get(), &st) != 0) {
        std::vector<Listing> one(1);
        one[0].denied = true;
        return one;
    }

    ScanState state(progress, st.st_dev, threads, readAhead);
    std::vector<std::vector<Listing>> slots(threads);
    {
        DirReader reader(state.hardlinks, state.mounts, state.listings);
        auto dir = std::make_shared<DirFD>(std::move(rootFd), st.st_dev, state.jobs.releases);
        state.readAhead.start(std::shared_ptr<const UniqueFd>(dir, &dir->fd), st.st_dev);
        std::vector<Job> group;
        slots[0].push_back(listFolder(state, reader, dir, 0, group));
    }

    std::vector<std::thread> workers;
    workers.reserve(threads - 1);
    for (int i = 1; i < threads; ++i) {
        workers.emplace_back([&state, &slot = slots[i]] { work(state, slot); });
    }
    work(state, slots[0]);
    for (auto& t : workers)
        t.join();
    state.readAhead.stop();

    std::size_t total = 0;
    for (const auto& s : slots)
        total += s.size();
    std::vector<Listing> all;
    all.reserve(total);
    for (auto& s : slots) {
        all.insert(all.end(), std::make_move_iterator(s.begin()), std::make_move_iterator(s.end()));
        std::vector<Listing>().swap(s);  // one slot at a time, not all twice
    }
    return all;
}

std::optional<Listing> Scanner::listOne(const std::string& path) {
    UniqueFd fd(openLongPath(path, scanOpenFlags));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) return std::nullopt;
    Hardlinks hardlinks;
    MountPolicy mounts(st.st_dev);
    SlabPool listings;
    DirReader reader(hardlinks, mounts, listings);
    return reader.list(fd.get(), st.st_dev, 0);
}

std::unique_ptr<DiskIndex> Scanner::scan(const std::string& root, ScanProgress& progress,
                                         int threads) {
    const auto start = DiskIndex::Clock::now();
    const auto started = std::chrono::steady_clock::now();
    const std::uint64_t eventID = currentEventID();
    // Read before anything is listed, as the event id is.
    const std::vector<MountInfo> mounts = MountPolicy::parseMounts(MountPolicy::readMountTable());
    Crawl crawl(Scanner::crawl(root, threads, progress));
    IndexWriter writer(crawl.entries + 1, root.size() + crawl.nameBytes);
    writer.add(root, 1, 0, 0, NONE);
    writeCrawl(writer, crawl, 0, 0);
    std::unique_ptr<DiskIndex> index = writer.finish(root);
    IndexWriter::setScanTime(
        *index, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    IndexWriter::setEventID(*index, eventID);
    IndexWriter::setScannedAt(*index, start);
    IndexWriter::setMounts(*index, heldMounts(*index, mounts));
    return index;
}

}  // namespace tamrel
