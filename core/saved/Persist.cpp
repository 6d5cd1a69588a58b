#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <system_error>

#include "core/index/DiskIndex.h"
#include "core/saved/SavedIndexCheck.h"
#include "core/saved/SavedIndexHeader.h"
#include "platform/UniqueFd.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

// The kernel moves at most about 2 GiB per write; pieces of 1 GiB stay clear of that.
constexpr std::size_t maxWrite = std::size_t{1} << 30;

[[noreturn]] void fail(int error, const char* what) {
    throw std::system_error(error, std::generic_category(), what);
}

// mkdir -p with mode 0700 for every folder it makes.
void makeFolders(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) == 0 || errno != ENOENT) return;
    const std::size_t slash = dir.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    makeFolders(dir.substr(0, slash));
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

// A temporary file beside the saved one, removed unless it was renamed into place.
class TempFile {
public:
    explicit TempFile(const std::string& target) : path_(target + ".XXXXXX.tmp") {
        fd_.reset(::mkostemps(path_.data(), 4, O_CLOEXEC));
        if (!fd_) fail(errno, "cannot create the saved index file");
    }
    ~TempFile() {
        fd_.reset();
        if (!renamed_) ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    void write(const std::byte* data, std::size_t bytes) {
        while (bytes > 0) {
            const ssize_t n = ::write(fd_.get(), data, std::min(bytes, maxWrite));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) fail(errno, "cannot write the saved index file");
            if (n == 0) fail(EIO, "cannot write the saved index file");
            data += n;
            bytes -= static_cast<std::size_t>(n);
        }
    }

    void renameTo(const std::string& target) {
        // A close error can mean the data never reached the file system.
        if (::close(fd_.release()) != 0) fail(errno, "cannot write the saved index file");
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            fail(errno, "cannot replace the saved index file");
        }
        renamed_ = true;
    }

private:
    std::string path_;
    UniqueFd fd_;
    bool renamed_ = false;
};

double secondsSinceEpoch(DiskIndex::Clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

DiskIndex::Clock::time_point fromSeconds(double seconds) {
    return DiskIndex::Clock::time_point(std::chrono::duration_cast<DiskIndex::Clock::duration>(
        std::chrono::duration<double>(seconds)));
}

bool readFully(int fd, std::byte* into, std::size_t bytes) {
    std::size_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::pread(fd, into + got, bytes - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string DiskIndex::cacheURL(const std::string& root) {
    const std::string dir = appDataDirectory();
    const std::string name = fileName(root);
    if (dir.empty() || name.empty()) return {};
    makeFolders(dir);
    return dir + "/" + name;
}

void DiskIndex::save() const {
    if (rootPath_.size() > SavedIndexHeader::maxRootBytes) {
        fail(ENAMETOOLONG, "root path too long for a saved index");
    }
    const std::string path = cacheURL(rootPath_);
    if (path.empty()) fail(ENOENT, "no folder for saved indexes");
    std::lock_guard one(saveLock(path));
    TempFile tmp(path);
    {
        std::shared_lock guard(lock_);
        SavedIndexHeader header;
        header.count = count_;
        header.cap = layout_.cap;
        header.nameCap = layout_.nameCap;
        header.eventID = eventID_;
        header.scanTime = scanTime_;
        header.scannedAt = secondsSinceEpoch(scannedAt_);
        header.rootPath = rootPath_;
        const auto page = header.encode();
        tmp.write(page.data(), page.size());
        tmp.write(region_.data() + Layout::headerBytes, layout_.total - Layout::headerBytes);
    }
    tmp.renameTo(path);
}

std::unique_ptr<DiskIndex> DiskIndex::load(const std::string& root) {
    const std::string path = cacheURL(root);
    if (path.empty()) return nullptr;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size < static_cast<off_t>(SavedIndexHeader::pageBytes)) {
        return nullptr;
    }
    std::array<std::byte, SavedIndexHeader::pageBytes> page;
    if (!readFully(fd.get(), page.data(), page.size())) return nullptr;
    const auto header = SavedIndexHeader::decode(page);
    if (!header || header->rootPath != root) return nullptr;
    // Capacities past 32-bit ids and name offsets cannot come from a writer; below them the
    // layout arithmetic cannot overflow.
    if (header->cap >= NONE || header->nameCap > 0xFFFFFFFFu || header->count < 1 ||
        header->count > header->cap) {
        return nullptr;
    }
    const Layout layout(header->cap, header->nameCap);
    if (layout.total != static_cast<std::uint64_t>(st.st_size)) return nullptr;

    void* map = ::mmap(nullptr, layout.total, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd.get(), 0);
    if (map == MAP_FAILED) return nullptr;
    MappedRegion region(map, layout.total);
    if (!checkSavedTree(region.data(), layout, header->count, root)) return nullptr;

    auto index = std::make_unique<DiskIndex>(std::move(region), layout,
                                             static_cast<NodeId>(header->count), root);
    index->setEventID(header->eventID);
    index->setScanTime(header->scanTime);
    index->setScannedAt(fromSeconds(header->scannedAt));
    return index;
}

std::optional<DiskIndex::Clock::time_point> DiskIndex::cachedDate(const std::string& root) {
    const std::string path = cacheURL(root);
    if (path.empty()) return std::nullopt;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    std::array<std::byte, SavedIndexHeader::fixedBytes> first;
    if (!fd || !readFully(fd.get(), first.data(), first.size())) return std::nullopt;
    const auto seconds = SavedIndexHeader::decodeDate(first);
    if (!seconds) return std::nullopt;
    return fromSeconds(*seconds);
}

}  // namespace tamrel
