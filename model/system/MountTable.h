#pragma once

#include <chrono>
#include <string>

#include "platform/UniqueFd.h"

namespace tamrel {

// This process's mount table (/proc/self/mountinfo) and its changes. The kernel tells of every
// change to the table (a mount, an unmount, a move, a remount) by making poll() on an open
// descriptor of the file report POLLPRI | POLLERR; the poll that reports a change also clears
// it, so the changes made between two polls are told once, together. Nothing is read until
// asked.
//
// Thread-safety: one thread at a time; the descriptor may be handed to an event loop (poll for
// POLLPRI only: POLLIN is always set) as long as only that loop polls it.
class MountTable {
public:
    // Opens the table; valid() is false where it cannot be opened (no /proc).
    MountTable();

    bool valid() const { return fd_.valid(); }
    // The descriptor an event loop polls for POLLPRI; -1 when not valid. Owned by this object.
    int fd() const { return fd_.get(); }
    // Whether the table changed since it was opened or since the last poll of the descriptor,
    // waiting up to `timeout` for a change. False when not valid.
    bool changed(std::chrono::milliseconds timeout) const;
    // The whole table as it is now (empty when not valid or unreadable).
    std::string read() const;

private:
    UniqueFd fd_;
};

}  // namespace tamrel
