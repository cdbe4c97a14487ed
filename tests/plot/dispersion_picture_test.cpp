// The Monte Carlo picture: bars as high as their counts, the cases where their values put them and
// the sigma ellipses around them, saved like the graphs.
#include "plot/dispersion_picture.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

#include "plot/picture_file.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

// Pixels of about this colour (antialiasing blends the edges).
bool Near(QRgb pixel, QColor c) {
  return std::abs(qRed(pixel) - c.red()) < 8 && std::abs(qGreen(pixel) - c.green()) < 8 &&
         std::abs(qBlue(pixel) - c.blue()) < 8;
}

DispersionPicture Sample() {
  DispersionPicture d;
  d.BinLow = 900;
  d.BinWidth = 10;
  d.Counts = {10, 40, 20};
  for (int i = 0; i < 200; ++i) {
    d.X.push_back(915 + 10 * std::sin(i));
    d.Y.push_back(250 + 5 * std::cos(i * 1.3));
  }
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i <= 64; ++i) {
      d.EllipseX[static_cast<std::size_t>(k)].push_back(915 +
                                                        7 * (k + 1) * std::cos(i * 2 * 3.14159265 / 64));
      d.EllipseY[static_cast<std::size_t>(k)].push_back(250 +
                                                        3.5 * (k + 1) * std::sin(i * 2 * 3.14159265 / 64));
    }
  return d;
}

TEST(DispersionPicture, BarsStandAsHighAsTheirCountsAndTheEllipsesRightOfThem) {
  QImage image(800, 600, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter p(&image);
    DrawDispersion(p, Sample());
  }
  // The bars' heights in pixels, by the bar colour in columns across the left half.
  const QColor bars(0x56, 0xB4, 0xE9), ellipse(0xD5, 0x5E, 0x00);
  std::vector<int> heights;
  int previous = -1;
  for (int x = 0; x < 400; ++x) {
    int h = 0;
    for (int y = 0; y < 600; ++y) h += Near(image.pixel(x, y), bars) ? 1 : 0;
    if (h > 0 && (previous <= 0 || std::abs(h - heights.back()) > 3)) heights.push_back(h);
    previous = h;
  }
  ASSERT_EQ(heights.size(), 3u);
  EXPECT_NEAR(heights[1] / double(heights[0]), 4.0, 0.15);
  EXPECT_NEAR(heights[2] / double(heights[0]), 2.0, 0.1);
  // The ellipses only on the right.
  int left = 0, right = 0;
  for (int x = 0; x < 800; ++x)
    for (int y = 0; y < 600; ++y)
      if (Near(image.pixel(x, y), ellipse)) ++(x < 400 ? left : right);
  EXPECT_EQ(left, 0);
  EXPECT_GT(right, 300);
}

TEST(DispersionPicture, SavesAsABitmapOrADrawing) {
  const test_support::ScratchDir dir("dispersion");
  const DispersionPicture d = Sample();
  for (const char* format : {"PNG", "SVG"}) {
    const auto path = dir.path() / (std::string("mc.") + format);
    SavePictureOf([&d](QPainter& p) { DrawDispersion(p, d); }, path, format);
    const std::string bytes = test_support::ReadFile(path);
    EXPECT_GT(bytes.size(), 1000u) << format;
    if (std::string(format) == "SVG") {
      EXPECT_NE(bytes.find("<svg"), std::string::npos);
      EXPECT_NE(bytes.find("Impact range, m"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace zarn
