#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "core/index/DiskIndex.h"

namespace tamrel::test {

// Takes every descriptor the process may still open but `spare`, and gives them back `after` a
// while on a thread of its own; the destructor waits for that. For tests that run out of
// descriptors, in a child process with a low RLIMIT_NOFILE.
class DescriptorHog {
public:
    DescriptorHog(int spare, std::chrono::milliseconds after) {
        for (;;) {
            const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (fd < 0) break;
            fds_.push_back(fd);
        }
        for (int i = 0; i < spare && !fds_.empty(); ++i) {
            ::close(fds_.back());
            fds_.pop_back();
        }
        release_ = std::thread([this, after] {
            std::this_thread::sleep_for(after);
            for (int fd : fds_)
                ::close(fd);
        });
    }
    ~DescriptorHog() { release_.join(); }
    DescriptorHog(const DescriptorHog&) = delete;
    DescriptorHog& operator=(const DescriptorHog&) = delete;

private:
    std::vector<int> fds_;
    std::thread release_;
};

// Whether any node of the index is denied; names the first on stderr (for a forked child,
// which cannot use the test framework's assertions).
inline bool anyDenied(const DiskIndex& index) {
    for (NodeId i = 0; i < index.count(); ++i) {
        if (index.isDenied(i)) {
            std::fprintf(stderr, "denied: %s\n", index.path(i).c_str());
            return true;
        }
    }
    return false;
}

}  // namespace tamrel::test
