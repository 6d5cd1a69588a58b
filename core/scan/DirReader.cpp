#include "core/scan/DirReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstring>

#include "core/index/DiskIndex.h"
#include "core/scan/MountPolicy.h"

namespace tamrel {

namespace {

constexpr unsigned statxMask =
    STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_MTIME | STATX_BLOCKS;
constexpr int statxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;

std::uint8_t kindOfMode(unsigned mode) {
    switch (mode & S_IFMT) {
        case S_IFREG:
            return 0;
        case S_IFDIR:
            return 1;
        case S_IFLNK:
            return 2;
        default:
            return 3;
    }
}

std::uint8_t kindOfType(unsigned char type) {
    switch (type) {
        case DT_REG:
            return 0;
        case DT_DIR:
            return 1;
        case DT_LNK:
            return 2;
        default:
            return 3;
    }
}

}  // namespace

bool Hardlinks::firstSighting(dev_t device, ino_t inode) {
    std::lock_guard guard(lock_);
    return seen_.insert(Key{device, inode}).second;
}

DirReader::DirReader(Hardlinks& hardlinks, MountPolicy& mounts, SlabPool& pool)
    : hardlinks_(hardlinks), mounts_(mounts), buffer_(new char[bufferBytes]), listings_(pool) {}

void DirReader::addEntry(const char* name, std::size_t length, unsigned char type, dev_t device,
                         const struct statx* sx) {
    std::uint8_t kind = kindOfType(type);
    std::uint64_t size = 0;
    std::uint32_t mtime = 0;
    dev_t entryDevice = device;
    if (sx) {
        if (sx->stx_mask & STATX_TYPE) kind = kindOfMode(sx->stx_mode);
        if (sx->stx_mask & STATX_BLOCKS) size = sx->stx_blocks * 512;
        if (sx->stx_mask & STATX_MTIME) mtime = storedSeconds(sx->stx_mtime.tv_sec);
        entryDevice = makedev(sx->stx_dev_major, sx->stx_dev_minor);
        if (kind == 0 && (sx->stx_mask & STATX_NLINK) && sx->stx_nlink >= 2) {
            kind |= Flag::linked;
            if (!hardlinks_.firstSighting(entryDevice, sx->stx_ino)) size = 0;
        }
        if (kind == 1 && !mounts_.enterFolder(*sx, device)) kind |= Flag::mount;
    }
    if ((kind & Flag::kindMask) != 1) {
        ++files_;
        bytes_ += size;
    }
    const std::size_t off = names_.size();
    names_.insert(names_.end(), name, name + length);
    ents_.push_back(RawEnt{static_cast<std::uint32_t>(off), static_cast<std::uint16_t>(length),
                           kind, size, mtime, NONE});
    devices_.push_back(entryDevice);
}

void DirReader::reset() {
    names_.clear();
    ents_.clear();
    devices_.clear();
    files_ = 0;
    bytes_ = 0;
}

Listing DirReader::finished(std::uint32_t id) {
    SlabPool::Use use(listings_);
    Listing out;
    out.id = id;
    out.names.assign(names_.begin(), names_.end());
    out.ents.assign(ents_.begin(), ents_.end());
    return out;
}

namespace {

// Calls `each(name, length, type)` for every entry of the open folder `fd` but "." and "..".
template <typename Each>
void readEntries(int fd, char* buffer, std::size_t bytes, Each&& each) {
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer, bytes);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* d = reinterpret_cast<const struct dirent64*>(buffer + at);
            at += d->d_reclen;
            const char* name = d->d_name;
            const std::size_t length = std::strlen(name);
            if (length == 0 || length > 65535) continue;
            if (name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.'))) continue;
            each(name, length, d->d_type);
        }
    }
}

}  // namespace

Listing DirReader::list(int fd, dev_t device, std::uint32_t id) {
    reset();
    readEntries(fd, buffer_.get(), bufferBytes,
                [&](const char* name, std::size_t length, unsigned char type) {
                    struct statx sx;
                    const bool stated = ::statx(fd, name, statxFlags, statxMask, &sx) == 0;
                    addEntry(name, length, type, device, stated ? &sx : nullptr);
                });
    return finished(id);
}

Listing DirReader::list(const ReadFolder& folder, dev_t device, std::uint32_t id) {
    reset();
    for (const ReadFolder::Entry& e : folder.entries) {
        const char* name = folder.names.data() + e.nameOff;
        if (!e.stated) {
            addEntry(name, e.nameLen, e.type, device, nullptr);
            continue;
        }
        struct statx sx {};
        sx.stx_mask = e.mask;
        sx.stx_mode = e.mode;
        sx.stx_nlink = e.nlink;
        sx.stx_dev_major = e.devMajor;
        sx.stx_dev_minor = e.devMinor;
        sx.stx_mtime.tv_sec = e.mtime;
        sx.stx_ino = e.ino;
        sx.stx_blocks = e.blocks;
        sx.stx_attributes = e.attributes;
        sx.stx_attributes_mask = e.attributesMask;
        addEntry(name, e.nameLen, e.type, device, &sx);
    }
    return finished(id);
}

void ReadFolder::read(int fd, char* buffer, std::size_t bytes) {
    readEntries(fd, buffer, bytes, [&](const char* name, std::size_t length, unsigned char type) {
        Entry e{};
        e.nameOff = static_cast<std::uint32_t>(names.size());
        e.nameLen = static_cast<std::uint16_t>(length);
        e.type = type;
        struct statx sx;
        if (::statx(fd, name, statxFlags, statxMask, &sx) == 0) {
            e.stated = true;
            e.mode = sx.stx_mode;
            e.mask = sx.stx_mask;
            e.nlink = sx.stx_nlink;
            e.devMajor = sx.stx_dev_major;
            e.devMinor = sx.stx_dev_minor;
            e.mtime = sx.stx_mtime.tv_sec;
            e.ino = sx.stx_ino;
            e.blocks = sx.stx_blocks;
            e.attributes = sx.stx_attributes;
            e.attributesMask = sx.stx_attributes_mask;
        }
        names.insert(names.end(), name, name + length + 1);
        entries.push_back(e);
    });
}

}  // namespace tamrel
