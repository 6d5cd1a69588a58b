#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <string>

#include "platform/UniqueFd.h"

namespace tamrel::test {

// Counts how often a file is opened, by anyone, through an inotify watch on it. The kernel
// queues the event inside the open call itself, so count() after a call returns sees every
// open that call made. inotify merges an event into an unread identical one before it: the
// reads and closes are watched too, so two opens count twice as long as something is read or
// closed between them. valid() is false when the watch could not be set (the file is missing).
class FileOpens {
public:
    explicit FileOpens(const std::string& file) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        valid_ = fd_ &&
                 ::inotify_add_watch(fd_.get(), file.c_str(), IN_OPEN | IN_ACCESS | IN_CLOSE) >= 0;
    }

    bool valid() const { return valid_; }

    // The opens since the watch was set or since the last count().
    int count() {
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
            if (n <= 0) return opens;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & IN_OPEN) ++opens;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    UniqueFd fd_;
    bool valid_ = false;
};

}  // namespace tamrel::test
