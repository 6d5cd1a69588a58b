#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <type_traits>
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

// How a scan opens a folder (relative to its parent's descriptor) and what it asks statx of each
// entry. Symbolic links are never followed.
inline constexpr int scanOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;
inline constexpr unsigned scanStatxMask =
    STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_MTIME | STATX_BLOCKS;
inline constexpr int scanStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;

// Calls `each(name, length, type)` for every entry of one getdents64 result, `bytes` long at
// `dirents`, but "." and ".."; `name` ends with a NUL, `type` is the d_type. An `each` that also
// takes an ino64_t is given the entry's inode number as well. An `each` that returns bool ends
// the listing by returning false; forEachDirent then returns false too. Names longer than 65535
// bytes are skipped.
template <typename Each>
bool forEachDirent(const char* dirents, std::size_t bytes, Each&& each) {
    for (std::size_t at = 0; at < bytes;) {
        const auto* d = reinterpret_cast<const struct dirent64*>(dirents + at);
        at += d->d_reclen;
        const char* name = d->d_name;
        const std::size_t length = std::strlen(name);
        if (length == 0 || length > 65535) continue;
        if (name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.'))) continue;
        auto call = [&] {
            if constexpr (std::is_invocable_v<Each&, const char*, std::size_t, unsigned char,
                                              ino64_t>) {
                return each(name, length, d->d_type, static_cast<ino64_t>(d->d_ino));
            } else {
                return each(name, length, d->d_type);
            }
        };
        if constexpr (std::is_same_v<decltype(call()), bool>) {
            if (!call()) return false;
        } else {
            call();
        }
    }
    return true;
}

// Calls `each`, as forEachDirent does, for every entry of the open folder `fd`, with getdents64
// through `buffer` of `bytes` (aligned for dirent64); before the entries of each filled buffer,
// calls `filled(buffer, used)`. A read error, or `each` returning false, ends the listing. Any
// thread may call it.
template <typename Each, typename Filled>
void readEntries(int fd, char* buffer, std::size_t bytes, Each&& each, Filled&& filled) {
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer, bytes);
        if (n <= 0) break;
        filled(static_cast<const char*>(buffer), static_cast<std::size_t>(n));
        if (!forEachDirent(buffer, static_cast<std::size_t>(n), each)) break;
    }
}

template <typename Each>
void readEntries(int fd, char* buffer, std::size_t bytes, Each&& each) {
    readEntries(fd, buffer, bytes, each, [](const char*, std::size_t) {});
}

// Told of each getdents64 result a DirReader reads, before it statx's the entries.
class DirentSink {
public:
    virtual void filled(const char* dirents, std::size_t bytes) = 0;

protected:
    ~DirentSink() = default;
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
    // 0 and mtime 0. Folders not to be entered (MountPolicy) get Flag::mount. `sink`, when
    // given, hears of every getdents64 result first.
    Listing list(int fd, dev_t device, std::uint32_t id, DirentSink* sink = nullptr);

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
