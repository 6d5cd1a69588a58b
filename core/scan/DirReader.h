#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "core/scan/Listing.h"
#include "core/scan/SlabPool.h"

namespace tamrel {

class MountPolicy;

// The files with several links already counted in one scan, keyed by (device, inode): two file
// systems reuse inode numbers. Thread safety: shared by the scanning threads, one lock held for
// one insert.
class Hardlinks {
public:
    // True the first time a file is seen; that sighting carries its bytes.
    bool firstSighting(dev_t device, ino_t inode);

private:
    struct Key {
        dev_t device;
        ino_t inode;
        bool operator==(const Key&) const = default;
    };
    struct Hash {
        std::size_t operator()(const Key& k) const {
            return std::hash<std::uint64_t>{}(k.inode * 0x9E3779B97F4A7C15ull ^ k.device);
        }
    };
    std::mutex lock_;
    std::unordered_set<Key, Hash> seen_;
};

// One folder read ahead of the thread that lists it: the names as getdents64 gave them and what
// statx said of each, not yet interpreted (hard links, mount points and counts are the lister's).
// About 70 bytes an entry, names included; it lives only until its folder is listed.
struct ReadFolder {
    struct Entry {
        std::uint32_t nameOff;  // in names, where each name ends with a NUL
        std::uint16_t nameLen;
        std::uint8_t type;  // d_type
        bool stated;        // statx succeeded and the fields below hold what it said
        std::uint16_t mode;
        std::uint32_t mask;
        std::uint32_t nlink;
        std::uint32_t devMajor;
        std::uint32_t devMinor;
        std::int64_t mtime;
        std::uint64_t ino;
        std::uint64_t blocks;
        std::uint64_t attributes;
        std::uint64_t attributesMask;
    };
    std::vector<char> names;
    std::vector<Entry> entries;

    // Reads the open folder `fd` with the scan's own calls, through `buffer` of `bytes`. A read
    // error ends it, keeping what was read. Nothing else is shared: any thread may call it.
    void read(int fd, char* buffer, std::size_t bytes);
};

// Lists folders with getdents64 and one statx per entry, relative to the folder's descriptor.
// Each reader owns one 256 KiB buffer and scratch arrays it reuses for every folder, so nothing
// is allocated per entry; the finished listing is copied out at its exact size.
//
// Thread safety: one reader per thread; the Hardlinks, MountPolicy and SlabPool it borrows are
// shared and must outlive it.
class DirReader {
public:
    // Finished listings live in `pool`'s slabs.
    DirReader(Hardlinks& hardlinks, MountPolicy& mounts, SlabPool& pool);

    // Lists the open folder `fd`, which lies on `device`, as listing `id`. A read error ends the
    // listing, keeping what was read. An entry whose statx fails stays with its d_type kind, size
    // 0 and mtime 0. Folders not to be entered (MountPolicy) get Flag::mount.
    Listing list(int fd, dev_t device, std::uint32_t id);
    // The same for a folder another thread has read, as if it had been listed here now.
    Listing list(const ReadFolder& folder, dev_t device, std::uint32_t id);

    // For entry k of the last listing: the device it lies on (meaningful for folders).
    dev_t deviceOf(std::size_t k) const { return devices_[k]; }
    // Non-folder entries of the last listing and their allocated bytes.
    std::int64_t files() const { return files_; }
    std::uint64_t bytes() const { return bytes_; }

    static constexpr std::size_t bufferBytes = 256 * 1024;

private:
    void reset();
    // Adds one entry; `sx` is what statx said of it, or null when statx failed.
    void addEntry(const char* name, std::size_t length, unsigned char type, dev_t device,
                  const struct statx* sx);
    Listing finished(std::uint32_t id);

    Hardlinks& hardlinks_;
    MountPolicy& mounts_;
    std::unique_ptr<char[]> buffer_;
    SlabPool::Cursor listings_;  // where finished listings live
    std::vector<std::uint8_t> names_;
    std::vector<RawEnt> ents_;
    std::vector<dev_t> devices_;
    std::int64_t files_ = 0;
    std::uint64_t bytes_ = 0;
};

}  // namespace tamrel
