#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/support/PrivateMounts.h"

// The model hops to the Qt main thread for some calls, so its tests run with a QCoreApplication
// on the main thread.
//
// With TAMREL_PRIVATE_MOUNTS set, the process first enters a mount namespace of its own (while
// it still has one thread, as the kernel asks), so that a test run this way can mount and
// unmount disks that nothing else on the machine sees (see MountFollowTest.cpp).
int main(int argc, char** argv) {
    if (std::getenv("TAMREL_PRIVATE_MOUNTS") != nullptr && !tamrel::test::enterPrivateMounts()) {
        std::fprintf(stderr, "cannot enter a mount namespace of its own\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
