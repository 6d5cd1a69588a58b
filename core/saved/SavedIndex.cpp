#include "core/saved/SavedIndex.h"

#include <dirent.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/index/IndexWriter.h"
#include "core/saved/SavedChecksum.h"
#include "core/saved/SavedIndexCheck.h"
#include "core/saved/SavedIndexHeader.h"
#include "platform/PathText.h"
#include "platform/UniqueFd.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

// The kernel moves at most about 2 GiB per write; pieces of 1 GiB stay clear of that.
constexpr std::size_t maxWrite = std::size_t{1} << 30;
// A save hashes and writes the region in pieces of this size, each hashed while it is in the
// cache for its write.
constexpr std::size_t checksumPiece = std::size_t{1} << 20;

[[noreturn]] void fail(int error, const char* what) {
    throw std::system_error(error, std::generic_category(), what);
}

// mkdir -p with mode 0700 for every folder it makes.
void makeFolders(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) == 0 || errno != ENOENT) return;
    const std::string parent = parentPath(dir);
    if (parent == "/") return;
    makeFolders(parent);
    ::mkdir(dir.c_str(), 0700);
}

std::string fileName(const std::string& root) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(root.data(), root.size(), digest, &length, EVP_sha256(), nullptr) != 1 ||
        length < 8) {
        return {};
    }
    char hex[17];
    for (int k = 0; k < 8; ++k)
        std::snprintf(hex + 2 * k, 3, "%02x", digest[k]);
    return std::string(hex, 16) + ".idx";
}

// Saves of one root run one at a time; roots that share a slot merely wait for each other.
std::mutex& saveLock(const std::string& path) {
    static std::array<std::mutex, 32> locks;
    return locks[std::hash<std::string>{}(path) % locks.size()];
}

// Whether `name` is one of the temporary files that saves of `target` (a file name) make:
// the name, ".", six characters, ".tmp"; or the name and ".tmp" as older saves wrote them.
bool isTempOf(std::string_view name, std::string_view target) {
    if (!name.starts_with(target) || !name.ends_with(".tmp")) return false;
    const std::size_t middle = name.size() - target.size() - 4;
    return middle == 0 || (middle == 7 && name[target.size()] == '.');
}

// Removes the temporary files of earlier saves of `target` that were cut short (the process
// killed mid-way): those no live save holds its lock on. A live save keeps an exclusive flock on
// its temporary file from creation to rename; a file locked here is unlinked only while held,
// so a save that created it but had not locked it yet finds it gone and starts over.
void removeStaleTemps(const std::string& target) {
    const std::string dir = parentPath(target);
    const std::string base = lastComponent(target);
    UniqueFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd) return;
    DIR* listing = ::fdopendir(::fcntl(dirFd.get(), F_DUPFD_CLOEXEC, 0));
    if (!listing) return;
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(listing)) {
        if (isTempOf(e->d_name, base)) stale.emplace_back(e->d_name);
    }
    ::closedir(listing);
    for (const std::string& name : stale) {
        UniqueFd fd(::openat(dirFd.get(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!fd || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
        struct stat held {
        }, named{};
        if (::fstat(fd.get(), &held) == 0 && S_ISREG(held.st_mode) &&
            ::fstatat(dirFd.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            ::unlinkat(dirFd.get(), name.c_str(), 0);
        }
    }
}

// Six random letters and digits, for names that must not clash.
std::string randomTag() {
    static constexpr char letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;  // read afresh: a forked child must not repeat its parent
    std::string tag(6, 'x');
    for (char& c : tag)
        c = letters[random() % (sizeof letters - 1)];
    return tag;
}

// The file being written. Where the file system can, it has no name until it is complete
// (O_TMPFILE): a save killed mid-way leaves nothing behind. It is linked under a temporary name
// beside the saved one only to be renamed over it at once; elsewhere it has that name from the
// start. Either way it holds an exclusive flock for its whole life, which tells later clean-ups
// that its name is not stale, and a name it still has when it goes is removed.
//
// Written directly (O_DIRECT), each write goes from memory to the disk without the page cache:
// data that is not on a page boundary, or not a whole number of pages long, goes through an
// aligned copy, and the last write may be padded to a page and cut back by finish(). A file
// system that takes no direct writes gets cached ones.
class TempFile {
public:
    TempFile(const std::string& target, bool direct) {
        const std::string dir = parentPath(target);
        if (direct)
            fd_.reset(::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC | O_DIRECT, 0600));
        direct_ = bool(fd_);
        if (!fd_) fd_.reset(::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        // Linking it needs /proc (without the rights linkat(AT_EMPTY_PATH) asks for).
        if (fd_ && ::access("/proc/self/fd", X_OK) != 0) fd_.reset();
        if (fd_) {
            if (::flock(fd_.get(), LOCK_EX) != 0) fail(errno, "cannot lock the saved index file");
            return;
        }
        direct_ = false;
        for (int tries = 0;; ++tries) {
            path_ = target + ".XXXXXX.tmp";
            fd_.reset(::mkostemps(path_.data(), 4, O_CLOEXEC));
            if (!fd_) fail(errno, "cannot create the saved index file");
            if (::flock(fd_.get(), LOCK_EX) != 0) fail(errno, "cannot lock the saved index file");
            // Another process's clean-up may have taken it between creation and lock.
            struct stat held {
            }, named{};
            if ((::fstat(fd_.get(), &held) == 0 && ::lstat(path_.c_str(), &named) == 0 &&
                 held.st_ino == named.st_ino && held.st_dev == named.st_dev) ||
                tries >= 8) {
                break;
            }
        }
    }
    ~TempFile() {
        // Unlinked while still locked, so no clean-up sees it unlocked first.
        if (!renamed_ && !path_.empty()) ::unlink(path_.c_str());
        fd_.reset();
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Appends `bytes` bytes. Written directly, only the last append may be shorter than a
    // whole number of pages.
    void write(const std::byte* data, std::size_t bytes) {
        writeAt(size_, data, bytes);
        size_ += bytes;
    }

    // Writes over bytes already written, at `offset` (a page boundary when written directly).
    void writeAt(std::uint64_t offset, const std::byte* data, std::size_t bytes) {
        while (bytes > 0) {
            const std::size_t most = std::min(bytes, maxWrite);
            const bool aligned =
                reinterpret_cast<std::uintptr_t>(data) % pageBytes == 0 && most % pageBytes == 0;
            const std::byte* from = data;
            std::size_t real = most;  // bytes of `data` this write takes
            std::size_t length = most;
            if (direct_ && !aligned) {
                real = std::min(most, bouncePieces * pageBytes);
                length = (real + pageBytes - 1) / pageBytes * pageBytes;
                bounce();
                std::memcpy(bounce_.get(), data, real);
                std::memset(bounce_.get() + real, 0, length - real);
                from = bounce_.get();
            }
            const ssize_t n = ::pwrite(fd_.get(), from, length, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EINVAL && direct_) {
                // The file system takes no direct writes after all.
                ::fcntl(fd_.get(), F_SETFL, ::fcntl(fd_.get(), F_GETFL) & ~O_DIRECT);
                direct_ = false;
                continue;
            }
            if (n <= 0) fail(n < 0 ? errno : EIO, "cannot write the saved index file");
            const std::size_t wrote = std::min<std::size_t>(static_cast<std::size_t>(n), real);
            data += wrote;
            offset += wrote;
            bytes -= wrote;
        }
    }

    // Cuts off the padding of a last direct write: the file is write()'s bytes long.
    void finish() {
        if (::ftruncate(fd_.get(), static_cast<off_t>(size_)) != 0)
            fail(errno, "cannot write the saved index file");
    }

    void renameTo(const std::string& target) {
        if (path_.empty()) link(target);
        // A close error can mean the data never reached the file system. The lock belongs to
        // the open file, so a duplicate keeps it held until the rename is done.
        UniqueFd held(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
        if (::close(fd_.release()) != 0) fail(errno, "cannot write the saved index file");
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            fail(errno, "cannot replace the saved index file");
        }
        renamed_ = true;
    }

private:
    // Gives the nameless file a temporary name beside `target`.
    void link(const std::string& target) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
        for (int tries = 0;; ++tries) {
            std::string name = target + "." + randomTag() + ".tmp";
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                path_ = std::move(name);
                return;
            }
            if (errno != EEXIST || tries >= 8) fail(errno, "cannot write the saved index file");
        }
    }

    static constexpr std::size_t pageBytes = 4096;
    static constexpr std::size_t bouncePieces = 256;  // an aligned copy holds 1 MiB at most

    void bounce() {
        if (bounce_) return;
        void* p = nullptr;
        if (::posix_memalign(&p, pageBytes, bouncePieces * pageBytes) != 0)
            fail(ENOMEM, "cannot write the saved index file");
        bounce_.reset(static_cast<std::byte*>(p));
    }

    std::string path_;  // the file's name; empty while it has none
    UniqueFd fd_;
    bool renamed_ = false;
    bool direct_ = false;
    std::uint64_t size_ = 0;  // bytes appended
    std::unique_ptr<std::byte, decltype(&std::free)> bounce_{nullptr, &std::free};
};

// Moves whatever is at `path` and is not a regular file (a folder, a FIFO, a symbolic link...)
// out of the way of a save, to the first free name of `path` + ".not-an-index", then ".1",
// ".2"...: nothing of it is removed, and the saved file can take its place.
void moveAside(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return;
    for (int k = 0; k < 100; ++k) {
        const std::string aside = path + ".not-an-index" + (k == 0 ? "" : "." + std::to_string(k));
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0 ||
            errno != EEXIST) {
            return;
        }
    }
}

// The mounts an index holds as its saved file keeps them after the region; no bytes at all for
// an index that does not know them (a known empty list takes four), so that it loads again not
// knowing them.
std::vector<std::byte> mountsOf(const DiskIndex& index) {
    if (!index.mounts().known) return {};
    return SavedIndexHeader::encodeMounts(index.mounts().mounts);
}

double secondsSinceEpoch(DiskIndex::Clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

DiskIndex::Clock::time_point fromSeconds(double seconds) {
    return DiskIndex::Clock::time_point(std::chrono::duration_cast<DiskIndex::Clock::duration>(
        std::chrono::duration<double>(seconds)));
}

bool readFully(int fd, std::byte* into, std::size_t bytes, std::uint64_t from = 0) {
    std::size_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::pread(fd, into + got, bytes - got, static_cast<off_t>(from + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string SavedIndex::cacheURL(const std::string& root) {
    const std::string dir = appDataDirectory();
    const std::string name = fileName(root);
    if (dir.empty() || name.empty()) return {};
    makeFolders(dir);
    return dir + "/" + name;
}

void SavedIndex::save(const DiskIndex& index, Write how) {
    const std::string& root = index.rootPath();
    if (root.size() > SavedIndexHeader::maxRootBytes) {
        fail(ENAMETOOLONG, "root path too long for a saved index");
    }
    const std::string path = cacheURL(root);
    if (path.empty()) fail(ENOENT, "no folder for saved indexes");
    std::lock_guard one(saveLock(path));
    removeStaleTemps(path);
    moveAside(path);
    TempFile tmp(path, how == Write::direct);
    {
        std::shared_lock guard(index.lock());
        const Layout& layout = index.layout();
        SavedIndexHeader header;
        header.count = index.count();
        header.cap = layout.cap;
        header.nameCap = layout.nameCap;
        header.eventID = index.eventID();
        header.scanTime = index.scanTime();
        header.scannedAt = secondsSinceEpoch(index.scannedAt());
        header.rootPath = root;
        const std::vector<std::byte> mounts = mountsOf(index);
        header.mountBytes = mounts.size();
        // The checksum is taken piece by piece as the pieces are written, while each is still
        // in the cache, and the header page that holds it is written last.
        const auto blank = header.encode();
        SavedChecksum sum;
        sum.add(blank);
        tmp.write(blank.data(), blank.size());
        const std::byte* at = index.region().data() + Layout::headerBytes;
        std::uint64_t left = layout.total - Layout::headerBytes;
        for (; left > checksumPiece; left -= checksumPiece, at += checksumPiece) {
            sum.add(std::span(at, checksumPiece));
            tmp.write(at, checksumPiece);
        }
        // The region's last piece and the mounts in one write: only the last write of a file
        // written directly may end off a page boundary.
        std::vector<std::byte> tail(at, at + left);
        tail.insert(tail.end(), mounts.begin(), mounts.end());
        sum.add(tail);
        tmp.write(tail.data(), tail.size());
        header.checksum = sum.value();
        const auto page = header.encode();
        tmp.writeAt(0, page.data(), page.size());
        tmp.finish();
    }
    tmp.renameTo(path);
}

namespace {

// Opens `path` for reading only when it is a regular file: never waits on a FIFO (O_NONBLOCK)
// and never follows a symbolic link. -1 for anything else.
int openRegular(const std::string& path, struct stat& st) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return fd.release();
}

}  // namespace

std::unique_ptr<DiskIndex> SavedIndex::load(const std::string& root, bool* damaged) {
    if (damaged) *damaged = false;
    const std::string path = cacheURL(root);
    if (path.empty()) return nullptr;
    removeStaleTemps(path);
    struct stat st {};
    UniqueFd fd(openRegular(path, st));
    std::array<std::byte, SavedIndexHeader::pageBytes> page{};
    const std::size_t got = fd ? std::min<std::uint64_t>(st.st_size, page.size()) : 0;
    if (!fd || !readFully(fd.get(), page.data(), got)) return nullptr;
    // From here on a file of this format that is refused is a damaged one; a file of another
    // format, or of another root whose path has the same hash prefix, is merely not this one.
    if (!SavedIndexHeader::hasMagic(std::span(page.data(), got))) return nullptr;
    const auto header = SavedIndexHeader::decode(std::span(page.data(), got));
    // Only a file whose stored root has the same name as `root` can be another root's.
    if (header && header->rootPath != root && fileName(header->rootPath) == fileName(root)) {
        return nullptr;
    }
    auto refuse = [&]() -> std::unique_ptr<DiskIndex> {
        if (damaged) *damaged = true;
        return nullptr;
    };
    if (!header || header->rootPath != root || got < page.size()) return refuse();
    // Capacities past 32-bit ids and name offsets cannot come from a writer; below them the
    // layout arithmetic cannot overflow.
    if (header->cap >= NONE || header->nameCap > 0xFFFFFFFFu || header->count < 1 ||
        header->count > header->cap) {
        return refuse();
    }
    const Layout layout(header->cap, header->nameCap);
    if (header->mountBytes > SavedIndexHeader::maxMountBytes ||
        layout.total + header->mountBytes != static_cast<std::uint64_t>(st.st_size)) {
        return refuse();
    }
    HeldMounts mounts;
    if (header->mountBytes > 0) {
        std::vector<std::byte> bytes(header->mountBytes);
        if (!readFully(fd.get(), bytes.data(), bytes.size(), layout.total)) return nullptr;
        auto held = SavedIndexHeader::decodeMounts(bytes);
        if (!held) return refuse();
        mounts = HeldMounts{true, std::move(*held)};
    }

    void* map = ::mmap(nullptr, layout.total, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd.get(), 0);
    if (map == MAP_FAILED) return nullptr;
    MappedRegion region(map, layout.total);
    if (!checkSavedTree(region.data(), layout, header->count, root)) return refuse();

    auto index = IndexWriter::adopt(std::move(region), layout, static_cast<NodeId>(header->count),
                                    root, std::move(fd));
    IndexWriter::setEventID(*index, header->eventID);
    IndexWriter::setScanTime(*index, header->scanTime);
    IndexWriter::setScannedAt(*index, fromSeconds(header->scannedAt));
    IndexWriter::setMounts(*index, std::move(mounts));
    return index;
}

bool SavedIndex::savedFileIntact(const DiskIndex& index) {
    // A file is as long as its region and its mounts (as loaded, which encode as they were).
    return index.savedFile() < 0 ||
           tamrel::savedFileIntact(index.savedFile(),
                                   index.layout().total + mountsOf(index).size());
}

std::optional<DiskIndex::Clock::time_point> SavedIndex::cachedDate(const std::string& root) {
    const std::string path = cacheURL(root);
    if (path.empty()) return std::nullopt;
    struct stat st {};
    UniqueFd fd(openRegular(path, st));
    std::array<std::byte, SavedIndexHeader::fixedBytes> first;
    if (!fd || !readFully(fd.get(), first.data(), first.size())) return std::nullopt;
    const auto seconds = SavedIndexHeader::decodeDate(first);
    if (!seconds) return std::nullopt;
    return fromSeconds(*seconds);
}

}  // namespace tamrel
