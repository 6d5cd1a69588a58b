#include "model/system/MountTable.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace tamrel {

MountTable::MountTable() : fd_(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC)) {}

bool MountTable::changed(std::chrono::milliseconds timeout) const {
    if (!valid()) return false;
    pollfd p{fd_.get(), POLLPRI, 0};
    int n;
    do {
        n = ::poll(&p, 1, static_cast<int>(timeout.count()));
    } while (n < 0 && errno == EINTR);
    return n > 0 && (p.revents & (POLLPRI | POLLERR));
}

std::string MountTable::read() const {
    std::string text;
    if (!valid()) return text;
    // The kernel builds the text afresh for a read from offset 0; a large table takes several.
    char buffer[16384];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd_.get(), buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    return text;
}

}  // namespace tamrel
