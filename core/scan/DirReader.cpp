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

void DirReader::addEntry(int fd, const char* name, std::size_t length, unsigned char type,
                         dev_t device) {
    std::uint8_t kind = kindOfType(type);
    std::uint64_t size = 0;
    std::uint32_t mtime = 0;
    dev_t entryDevice = device;
    struct statx sx;
    if (::statx(fd, name, statxFlags, statxMask, &sx) == 0) {
        if (sx.stx_mask & STATX_TYPE) kind = kindOfMode(sx.stx_mode);
        if (sx.stx_mask & STATX_BLOCKS) size = sx.stx_blocks * 512;
        if (sx.stx_mask & STATX_MTIME) mtime = storedSeconds(sx.stx_mtime.tv_sec);
        entryDevice = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        if (kind == 0 && (sx.stx_mask & STATX_NLINK) && sx.stx_nlink >= 2) {
            kind |= Flag::linked;
            if (!hardlinks_.firstSighting(entryDevice, sx.stx_ino)) size = 0;
        }
        if (kind == 1 && !mounts_.enterFolder(sx, device)) kind |= Flag::mount;
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

Listing DirReader::list(int fd, dev_t device, std::uint32_t id) {
    names_.clear();
    ents_.clear();
    devices_.clear();
    files_ = 0;
    bytes_ = 0;
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer_.get(), bufferBytes);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* d = reinterpret_cast<const struct dirent64*>(buffer_.get() + at);
            at += d->d_reclen;
            const char* name = d->d_name;
            const std::size_t length = std::strlen(name);
            if (length == 0 || length > 65535) continue;
            if (name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.'))) continue;
            addEntry(fd, name, length, d->d_type, device);
        }
    }
    SlabPool::Use use(listings_);
    Listing out;
    out.id = id;
    out.names.assign(names_.begin(), names_.end());
    out.ents.assign(ents_.begin(), ents_.end());
    return out;
}

}  // namespace tamrel
