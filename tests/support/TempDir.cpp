#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tamrel::test {

namespace {

int unlinkEntry(const char* path, const struct stat*, int type, struct FTW*) {
    if (type == FTW_DP || type == FTW_D || type == FTW_DNR) {
        ::rmdir(path);
    } else {
        ::unlink(path);
    }
    return 0;
}

int openUp(const char* path, const struct stat* st, int type, struct FTW*) {
    if (type == FTW_D || type == FTW_DNR) ::chmod(path, (st->st_mode & 07777) | 0700);
    return 0;
}

}  // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/tamrel-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) {
        ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
        return;
    }
    path_ = buf.data();
}

TempDir::~TempDir() {
    if (!path_.empty()) removeTree(path_);
}

void removeTree(const std::string& path) {
    // Folders made unreadable by a test are opened up again first.
    ::chmod(path.c_str(), 0700);
    ::nftw(path.c_str(), openUp, 64, FTW_PHYS);
    ::nftw(path.c_str(), unlinkEntry, 64, FTW_PHYS | FTW_DEPTH);
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
