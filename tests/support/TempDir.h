#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace tamrel::test {

// A folder made under $TMPDIR (or /tmp) for one test and removed with everything in it when the
// object goes. Only ever removes what it made itself.
class TempDir {
public:
    TempDir();
    // A folder named `name` right under $TMPDIR (or /tmp), for a process that has that folder to
    // itself (a tmpfs of its own there), so that its path is the same on every run. An empty
    // name, or one already taken, gives a uniquely named folder as TempDir() does.
    explicit TempDir(std::string_view name);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + relative.
    std::string operator/(std::string_view relative) const;

    // Helpers that create what a test describes; each fails the test on error.
    void mkdirs(std::string_view relative) const;
    // Writes `bytes` bytes of data (so the file has allocated blocks).
    void write(std::string_view relative, std::size_t bytes = 0) const;
    void symlink(std::string_view target, std::string_view relative) const;
    void hardlink(std::string_view existing, std::string_view relative) const;

private:
    std::string path_;
};

// A chain of `depth` folders named `level` made below `top` relative to descriptors, so that it
// may outgrow PATH_MAX: its bottom folder's path and an open descriptor of it.
struct Chain {
    std::string path;
    int fd = -1;  // owned: closed with the chain
    Chain() = default;
    Chain(Chain&& other) noexcept : path(std::move(other.path)), fd(other.fd) { other.fd = -1; }
    Chain& operator=(Chain&&) = delete;
    ~Chain();
};
Chain makeChain(const std::string& top, const std::string& level, int depth);

// Sets the modification time of `path` (a symbolic link itself, not what it names) to `seconds`
// since 1970, leaving its access time alone; fails the test on error.
void setMtime(const std::string& path, std::int64_t seconds);
// Seconds since 1970 now.
std::int64_t nowSeconds();

// Removes a tree made by a test (permissions restored first, links never followed).
void removeTree(const std::string& path);

}  // namespace tamrel::test
