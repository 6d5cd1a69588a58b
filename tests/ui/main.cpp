#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include "ui/shell/TamrelApp.h"
#include "ui/theme/SpringAnimator.h"

// The screens are tested headless: the offscreen platform (also when ctest lists the tests),
// US English, and springs that jump to their targets unless a test runs one itself.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  QApplication app(argc, argv);
  tamrel::applyLightAppearance(app);
  tamrel::SpringAnimator::setInstant(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
