// GoogleTest entry for the window tests: a QApplication on the offscreen platform, with one screen
// of ZARN_TEST_SCREEN ("1280x1024"; default 1600x1000, where the form stands where it was drawn).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "assets/pictures.h"

int main(int argc, char** argv) {
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  std::filesystem::path config;
  if (platform.isEmpty() || platform == "offscreen") {
    QByteArray size = qgetenv("ZARN_TEST_SCREEN");
    if (size.isEmpty()) size = "1600x1000";
    const qsizetype x = size.indexOf('x');
    // A file of this process's own: ctest runs the window tests side by side, and one that read
    // another's file half written would end in a parse error of the platform.
    config =
        std::filesystem::temp_directory_path() / ("zarn-test-screen-" + std::to_string(::getpid()) + ".json");
    std::ofstream(config) << R"({"screens": [{"name": "test", "x": 0, "y": 0, "width": )"
                          << size.left(x).toStdString() << R"(, "height": )" << size.mid(x + 1).toStdString()
                          << R"(, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QByteArray::fromStdString(config.string()));
  }
  QApplication app(argc, argv);
  if (!config.empty()) std::filesystem::remove(config);  // read by the platform as the application starts
  zarn::InitPictures();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
