#include "tests/gallery/FixedPaths.h"

#include <sys/mount.h>

#include <cstdlib>

#include "tests/support/PrivateMounts.h"
#include "tests/support/PrivateProcesses.h"

namespace tamrel {
namespace {

bool gFixed = false;

}  // namespace

bool enterFixedPaths() {
    if (!test::enterPrivateMounts()) return false;
    // Below a mount namespace of its own the tmpfs hides the machine's /tmp from this process
    // alone, and goes with it.
    const unsigned long flags = MS_NOSUID | MS_NODEV;
    if (::mount("tamrel-gallery", "/tmp", "tmpfs", flags, "mode=1777,size=256m") != 0) return false;
    ::setenv("TMPDIR", "/tmp", 1);
    gFixed = true;
    test::enterPrivateProcesses();
    return true;
}

std::string_view fixedName(std::string_view name) {
    return gFixed ? name : std::string_view();
}

}  // namespace tamrel
