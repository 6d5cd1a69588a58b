#include <gtest/gtest.h>

#include "tests/ui/Headless.h"

// The screens are tested headless (also when ctest lists the tests); springs jump to their
// targets unless a test runs one itself.
int main(int argc, char** argv) {
    const auto app = tamrel::test::headlessApp(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
