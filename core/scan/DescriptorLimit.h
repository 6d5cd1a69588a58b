#pragma once

#include <sys/resource.h>

#include <algorithm>

namespace tamrel {

// Raises the soft limit of open descriptors to min(hard limit, 65536), once for the process:
// scans and walks keep a folder's descriptor open until its subfolders are opened.
inline void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const rlim_t want = std::min<rlim_t>(limit.rlim_max, 65536);
    if (limit.rlim_cur >= want) return;
    limit.rlim_cur = want;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace tamrel
