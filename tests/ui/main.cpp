#include <QApplication>

#include <gtest/gtest.h>

// The screens are tested headless: ctest sets QT_QPA_PLATFORM=offscreen, and a run by hand falls
// back to it too.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
