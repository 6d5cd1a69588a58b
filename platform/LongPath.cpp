#include "platform/LongPath.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/UniqueFd.h"

namespace tamrel {

namespace {

// The longest piece handed to one call, its terminating NUL included.
constexpr std::size_t maxPiece = PATH_MAX - 1;

// Opens every piece of `path` but the last as a folder (O_PATH), and returns that folder with
// the rest of the path, which fits one call. For a short path: AT_FDCWD and the path itself.
int walkToLast(const std::string& path, UniqueFd& held, std::string& rest) {
    if (path.size() < maxPiece) {
        rest = path;
        return AT_FDCWD;
    }
    std::size_t at = 0;
    int dir = AT_FDCWD;
    while (path.size() - at >= maxPiece) {
        // The longest piece that ends at a "/" and fits; a component is never that long.
        std::size_t end = path.rfind('/', at + maxPiece - 1);
        if (end == std::string::npos || end < at) {
            errno = ENAMETOOLONG;
            return -1;
        }
        // A piece is empty only for the leading "/" of an absolute path.
        const std::string piece(path, at, end - at);
        UniqueFd next(::openat(dir, piece.empty() ? "/" : piece.c_str(),
                               O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!next) return -1;
        held = std::move(next);
        dir = held.get();
        at = end + 1;
        while (at < path.size() && path[at] == '/')
            ++at;
    }
    rest.assign(path, at, std::string::npos);
    if (rest.empty()) rest.push_back('.');
    return dir;
}

}  // namespace

int openLongPath(const std::string& path, int flags) {
    UniqueFd held;
    std::string rest;
    const int dir = walkToLast(path, held, rest);
    if (dir == -1) return -1;
    return ::openat(dir, rest.c_str(), flags | O_CLOEXEC);
}

int statxLongPath(const std::string& path, int flags, unsigned mask, struct statx* out) {
    UniqueFd held;
    std::string rest;
    const int dir = walkToLast(path, held, rest);
    if (dir == -1) return -1;
    return ::statx(dir, rest.c_str(), flags, mask, out);
}

}  // namespace tamrel
