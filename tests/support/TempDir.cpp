#include "tests/support/TempDir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tamrel::test {

namespace {

struct Frame {
    DIR* dir;
    std::string name;  // in the parent frame's folder
    int passes = 0;    // readings again of a folder that would not go
};

DIR* openFolder(int parentFd, const char* name) {
    ::fchmodat(parentFd, name, 0700, 0);
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    DIR* d = ::fdopendir(fd);
    if (!d) ::close(fd);
    return d;
}

std::string tempBase() {
    const char* base = std::getenv("TMPDIR");
    return base && *base ? base : "/tmp";
}

// A new folder of a unique name under tempBase(); empty (the test failed) when none is made.
std::string uniqueFolder() {
    std::string tmpl = tempBase() + "/tamrel-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) {
        ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
        return {};
    }
    return buf.data();
}

}  // namespace

TempDir::TempDir() : path_(uniqueFolder()) {}

TempDir::TempDir(std::string_view name) {
    const std::string named = tempBase() + "/" + std::string(name);
    path_ = !name.empty() && ::mkdir(named.c_str(), 0700) == 0 ? named : uniqueFolder();
}

TempDir::~TempDir() {
    if (!path_.empty()) removeTree(path_);
}

void setMtime(const std::string& path, std::int64_t seconds) {
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

std::int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Chain::~Chain() {
    if (fd >= 0) ::close(fd);
}

Chain makeChain(const std::string& top, const std::string& level, int depth) {
    Chain chain;
    chain.path = top;
    chain.fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < depth && chain.fd >= 0; ++i) {
        if (::mkdirat(chain.fd, level.c_str(), 0755) != 0) ADD_FAILURE() << "mkdir " << level;
        const int next = ::openat(chain.fd, level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(chain.fd);
        chain.fd = next;
        chain.path += "/" + level;
    }
    if (chain.fd < 0) ADD_FAILURE() << "cannot open the chain below " << top;
    return chain;
}

void removeTree(const std::string& path) {
    // Relative to open descriptors and without recursion, so trees deeper than PATH_MAX and
    // folders a test made unreadable go too. Links are removed, never followed.
    std::vector<Frame> stack;
    if (DIR* d = openFolder(AT_FDCWD, path.c_str())) stack.push_back({d, path});
    while (!stack.empty()) {
        Frame& top = stack.back();
        const int fd = ::dirfd(top.dir);
        errno = 0;
        if (const dirent* e = ::readdir(top.dir)) {
            const std::string_view n = e->d_name;
            if (n == "." || n == "..") continue;
            struct stat st {};
            if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
                if (DIR* d = openFolder(fd, e->d_name)) stack.push_back({d, e->d_name});
            } else {
                ::unlinkat(fd, e->d_name, 0);
            }
            continue;
        }
        if (stack.size() > 1) {
            const int parentFd = ::dirfd(stack[stack.size() - 2].dir);
            // Counted for the folder itself: one that holds what cannot go (a disk still mounted
            // in it) is read again a few times, not for ever.
            if (::unlinkat(parentFd, top.name.c_str(), AT_REMOVEDIR) != 0 && errno == ENOTEMPTY &&
                ++top.passes < 8) {
                ::rewinddir(top.dir);  // entries removed while reading may have been skipped
                continue;
            }
        }
        std::string name = top.name;
        ::closedir(top.dir);
        stack.pop_back();
        if (stack.empty()) ::rmdir(name.c_str());
    }
}

std::string TempDir::operator/(std::string_view relative) const {
    return path_ + "/" + std::string(relative);
}

void TempDir::mkdirs(std::string_view relative) const {
    std::string at = path_;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t slash = relative.find('/', start);
        const std::string_view part = relative.substr(start, slash - start);
        if (!part.empty()) {
            at += "/";
            at += part;
            if (::mkdir(at.c_str(), 0755) != 0 && errno != EEXIST) {
                ADD_FAILURE() << "mkdir " << at << ": " << std::strerror(errno);
                return;
            }
        }
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
}

void TempDir::write(std::string_view relative, std::size_t bytes) const {
    const std::string p = *this / relative;
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        ADD_FAILURE() << "open " << p << ": " << std::strerror(errno);
        return;
    }
    std::string chunk(4096, 'x');
    while (bytes > 0) {
        const std::size_t n = std::min(bytes, chunk.size());
        if (::write(fd, chunk.data(), n) != static_cast<ssize_t>(n)) {
            ADD_FAILURE() << "write " << p << ": " << std::strerror(errno);
            break;
        }
        bytes -= n;
    }
    ::close(fd);
}

void TempDir::symlink(std::string_view target, std::string_view relative) const {
    const std::string p = *this / relative;
    if (::symlink(std::string(target).c_str(), p.c_str()) != 0) {
        ADD_FAILURE() << "symlink " << p << ": " << std::strerror(errno);
    }
}

void TempDir::hardlink(std::string_view existing, std::string_view relative) const {
    const std::string a = *this / existing, b = *this / relative;
    if (::link(a.c_str(), b.c_str()) != 0) {
        ADD_FAILURE() << "link " << b << ": " << std::strerror(errno);
    }
}

}  // namespace tamrel::test
