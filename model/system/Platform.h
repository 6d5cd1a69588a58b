#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/TrashMover.h"

namespace tamrel {

// An item to move into the Trash with administrator rights.
struct ElevatedItem {
    std::string path;
    // Stop the launch job this file defines before moving it.
    bool unload = false;
    // What the item must still be, as the pick recorded it (its kind, size, time, device and
    // inode, and the mounts of the path's last components); nothing: not compared.
    std::optional<ExpectedItem> expected{};
};

// The few services of the system that cannot run inside a test: asking which application holds
// a bundle identifier, running launch-job tools, and moving items with administrator rights.
// Platform::system() is the real one; tests hand the model a fake.
//
// Thread safety: every call may come from any thread.
class Platform {
public:
    virtual ~Platform() = default;

    // The path of the installed application registered under `bundleID`, or nothing.
    virtual std::optional<std::string> applicationPath(const std::string& bundleID) = 0;

    // Runs `program` with `args` (stdout and stderr to /dev/null) and waits; its exit status, or
    // -1 when it cannot be started (a program that does not exist is never run).
    virtual int run(const std::string& program, const std::vector<std::string>& args) = 0;

    // Moves every item into the user's Trash with administrator rights after at most one prompt.
    // True when the privileged mover ran, even if some items stayed (callers look at the disk);
    // false when the prompt was dismissed or no privileged mover is available. Blocks until done
    // or until `stop` is set (from any thread, as at quit): then a prompt still asking is
    // withdrawn, a privileged mover that has started either ends after the item it is moving or
    // runs to its end on its own (each item is moved whole or not at all), and the call returns
    // false without waiting for it; callers that still care look at the disk.
    virtual bool trashAsAdministrator(const std::vector<ElevatedItem>& items,
                                      const std::atomic<bool>& stop) = 0;

    // The real services of this machine; lives for the whole process.
    static Platform& system();
};

}  // namespace tamrel
