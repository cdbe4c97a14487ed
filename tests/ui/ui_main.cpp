// GoogleTest entry for the window tests: a QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "assets/pictures.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  zarn::InitPictures();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
