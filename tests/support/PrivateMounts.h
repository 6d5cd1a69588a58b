#pragma once

#include <sched.h>
#include <sys/mount.h>

#include "tests/support/Child.h"

namespace tamrel::test {

// Makes the machine look different to one forked child only: it enters a mount namespace of its
// own, whose mounts (bind mounts over files, file systems mounted inside a tree) neither
// propagate back nor outlive it, and mounts made outside no longer reach it. Call in a forked
// child, or at the start of a test process while it has one thread. False when the kernel or
// this process's rights do not allow it.
inline bool enterPrivateMounts() {
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Whether enterPrivateMounts() works here, tried in a child.
inline bool privateMountsWork() {
    return inChild([] { return enterPrivateMounts() ? 0 : 1; }) == 0;
}

}  // namespace tamrel::test
