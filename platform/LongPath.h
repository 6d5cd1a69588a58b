#pragma once

#include <sys/stat.h>

#include <string>

namespace tamrel {

// Opens `path` like open(path, flags) (no O_CREAT), also when it is longer than the kernel takes
// in one call (PATH_MAX, 4096 bytes): the path is then opened in pieces, each below that limit
// and relative to the folder the previous piece opened (with O_PATH). Symbolic links inside the
// path are followed as open() follows them; `flags` apply to the last piece alone (O_NOFOLLOW
// guards only the last component, as with open). Returns the descriptor, or -1 with errno set.
int openLongPath(const std::string& path, int flags);

// statx of `path` (flags and mask as statx takes them), by pieces as openLongPath when the
// path is too long for one call. Returns 0, or -1 with errno set.
int statxLongPath(const std::string& path, int flags, unsigned mask, struct statx* out);

}  // namespace tamrel
