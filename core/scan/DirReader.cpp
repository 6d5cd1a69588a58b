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
        if ((kind & Flag::kindMask) == 0 && (sx->stx_mask & STATX_MODE) && (sx->stx_mode & 0111))
            kind |= Flag::executable;
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

Listing DirReader::list(int fd, dev_t device, std::uint32_t id, DirentSink* sink) {
    reset();
    readEntries(
        fd, buffer_.get(), bufferBytes,
        [&](const char* name, std::size_t length, unsigned char type) {
            struct statx sx;
            const bool stated = ::statx(fd, name, scanStatxFlags, scanStatxMask, &sx) == 0;
            addEntry(name, length, type, device, stated ? &sx : nullptr);
        },
        [&](const char* dirents, std::size_t bytes) {
            if (sink) sink->filled(dirents, bytes);
        });
    return finished(id);
}

}  // namespace tamrel
