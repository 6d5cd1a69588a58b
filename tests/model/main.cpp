#include <QCoreApplication>

#include <gtest/gtest.h>

// The model hops to the Qt main thread for some calls, so its tests run with a QCoreApplication
// on the main thread.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
