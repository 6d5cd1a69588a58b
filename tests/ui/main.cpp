#include <gtest/gtest.h>

#include "tests/support/PrivateMounts.h"
#include "tests/support/PrivateProcesses.h"
#include "tests/ui/Headless.h"

// The screens are tested headless (also when ctest lists the tests); springs jump to their
// targets unless a test runs one itself. Where it may (as root), the process first enters a
// mount namespace of its own, while it still has one thread: disks that other test processes
// mount and unmount meanwhile then never reach the models here, which follow the mount table;
// and in a process namespace of its own, where the programs other test processes start are not
// running programs.
int main(int argc, char** argv) {
    if (tamrel::test::enterPrivateMounts()) tamrel::test::enterPrivateProcesses();
    const auto app = tamrel::test::headlessApp(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
