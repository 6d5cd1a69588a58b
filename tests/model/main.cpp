#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/support/PrivateMounts.h"
#include "tests/support/PrivateProcesses.h"

// The model hops to the Qt main thread for some calls, so its tests run with a QCoreApplication
// on the main thread.
//
// The process first enters a mount namespace of its own where it may (as root), while it still
// has one thread, as the kernel asks: disks that its tests mount and unmount are then seen by
// nothing else, and the models of other test processes running at the same time (which follow
// the mount table) never see them come and go. With TAMREL_PRIVATE_MOUNTS set it must succeed
// (see MountFollowTest.cpp). In that namespace it also runs its tests in a process namespace of
// its own, so that the programs other test processes start are not running programs here.
int main(int argc, char** argv) {
    if (tamrel::test::enterPrivateMounts()) {
        tamrel::test::enterPrivateProcesses();
    } else if (std::getenv("TAMREL_PRIVATE_MOUNTS") != nullptr) {
        std::fprintf(stderr, "cannot enter a mount namespace of its own\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
