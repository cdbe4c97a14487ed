// Marker symbols drawn on the real canvas and read back at known pixels.
#include "plot/markers.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>

#include "plot/qpainter_canvas.h"
#include "plot/round_even.h"
#include "tests/plot/plot_test_support.h"

namespace zarn {
namespace {

using test::IsBlack;
using test::IsColor;
using test::IsWhite;

constexpr int kX = 20, kY = 20;  // marker centre in a 40 x 40 image

QImage Marker(int kind, int size) {
  QImage img(40, 40, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainterCanvas c(img);
  DrawMarker(c, kX, kY, size, kind);
  return img;
}

int RightmostInk(const QImage& img, int y) {
  for (int x = img.width() - 1; x >= 0; --x)
    if (!IsWhite(img, x, y)) return x;
  return -1;
}

bool Blank(const QImage& img) {
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (!IsWhite(img, x, y)) return false;
  return true;
}

const QRgb kYellowRgb = qRgb(255, 255, 0), kLimeRgb = qRgb(0, 255, 0), kAquaRgb = qRgb(0, 255, 255),
           kRedRgb = qRgb(255, 0, 0), kSilverRgb = qRgb(192, 192, 192);

TEST(DrawMarker, CrossedYellowSquareOfKind1) {
  const QImage img = Marker(1, 6);  // h = 3: box 17..22
  EXPECT_TRUE(IsBlack(img, 17, 17));
  EXPECT_TRUE(IsBlack(img, 22, 17));
  EXPECT_TRUE(IsBlack(img, 22, 22));
  EXPECT_TRUE(IsWhite(img, 23, 19));
  EXPECT_TRUE(IsColor(img, 20, 18, kYellowRgb));
  EXPECT_TRUE(IsBlack(img, 19, 19)) << "diagonal down";
  EXPECT_TRUE(IsBlack(img, 21, 19)) << "diagonal up";
  EXPECT_TRUE(IsBlack(img, 17, 23)) << "the rising diagonal starts below the square";
}

TEST(DrawMarker, Kind2ReachesOnePixelFurtherRightThanKind1) {
  const QImage one = Marker(1, 6), two = Marker(2, 6);
  EXPECT_EQ(RightmostInk(one, 18), 22);
  EXPECT_EQ(RightmostInk(two, 18), 23);
  EXPECT_EQ(RightmostInk(two, kY), 23) << "horizontal stroke (x-h, y)->(x+h+1, y)";
  EXPECT_TRUE(IsColor(two, 18, 18, kLimeRgb));
  EXPECT_TRUE(IsColor(two, 22, 18, kLimeRgb));
  for (int x = 17; x <= 23; ++x) EXPECT_TRUE(IsBlack(two, x, kY)) << x;
  EXPECT_TRUE(IsBlack(two, kX, 23)) << "vertical stroke starts at y+h, below the square";
}

TEST(DrawMarker, HalfSizesRoundHalvesToEven) {
  // size 5: h = round(2.5) = 2, box 18..21; size 7: h = round(3.5) = 4, box 16..23.
  const QImage five = Marker(6, 5), seven = Marker(6, 7);
  EXPECT_TRUE(IsBlack(five, 18, 18));
  EXPECT_TRUE(IsBlack(five, 21, 21));
  EXPECT_TRUE(IsWhite(five, 22, 20));
  EXPECT_TRUE(IsWhite(five, 17, 20));
  EXPECT_TRUE(IsColor(five, 20, 20, kRedRgb));
  EXPECT_TRUE(IsBlack(seven, 16, 16));
  EXPECT_TRUE(IsBlack(seven, 23, 23));
  EXPECT_TRUE(IsWhite(seven, 24, 20));
  // Upright bar, size 6: q = round(1.5) = 2, box x 18..21, y 17..22.
  const QImage bar = Marker(10, 6);
  EXPECT_TRUE(IsBlack(bar, 18, 17));
  EXPECT_TRUE(IsBlack(bar, 21, 22));
  EXPECT_TRUE(IsWhite(bar, 22, 20));
  EXPECT_TRUE(IsColor(bar, 19, 20, kRedRgb));
}

TEST(DrawMarker, SilverSquareWithYellowInsetOfKind4) {
  const QImage img = Marker(4, 8);  // h = 4: outer 16..23, inner 18..21
  EXPECT_TRUE(IsColor(img, 17, 17, kSilverRgb));
  EXPECT_TRUE(IsBlack(img, 18, 18));
  EXPECT_TRUE(IsColor(img, 19, 19, kYellowRgb));
  EXPECT_TRUE(IsBlack(img, 23, 23));
}

TEST(DrawMarker, TrianglesPointUpAndDown) {
  const QImage up = Marker(12, 6), down = Marker(13, 6);  // h = 3, t = 2
  EXPECT_TRUE(IsBlack(up, 17, 22));
  EXPECT_TRUE(IsBlack(up, 23, 22));
  EXPECT_TRUE(IsBlack(up, 20, 17));
  EXPECT_TRUE(IsColor(up, 20, 20, kYellowRgb));
  EXPECT_TRUE(IsWhite(up, 20, 16));
  EXPECT_TRUE(IsBlack(down, 17, 18));
  EXPECT_TRUE(IsBlack(down, 23, 18));
  EXPECT_TRUE(IsBlack(down, 20, 23));
  EXPECT_TRUE(IsColor(down, 20, 20, kAquaRgb));
  EXPECT_TRUE(IsWhite(down, 20, 24));
}

// The triangle as the canvas outlines it: the closed run of its three sides.
QImage Outline(int kind, int size) {
  const int h = RoundEven(size / 2.0), t = RoundEven(size / 3.0);
  const int tipY = kind == 8 || kind == 12 ? kY - h : kY + h,
            baseY = kind == 8 || kind == 12 ? kY + t : kY - t;
  QImage img(40, 40, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainterCanvas c(img);
  c.MoveTo(kX - h, baseY);
  c.LineTo(kX + h, baseY);
  c.LineTo(kX, tipY);
  c.LineTo(kX - h, baseY);
  return img;
}

TEST(DrawMarker, FilledTrianglesFillExactlyTheInsideOfTheirBlackOutline) {
  // Per row, the outline's leftmost to rightmost pixel is the triangle; the outline is black, the
  // rest of it the fill colour, and nothing lies outside it: no fill beside the outline, no hole.
  for (int kind : {8, 9, 12, 13}) {
    for (int size = 3; size <= 30; ++size) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << ", size " << size);
      const QImage marker = Marker(kind, size), outline = Outline(kind, size);
      const QRgb fill = kind == 12 ? kYellowRgb : kind == 13 ? kAquaRgb : qRgb(0, 0, 0);
      int outside = 0, holes = 0, wrongOutline = 0, inside = 0;
      for (int y = 0; y < 40; ++y) {
        int left = 40, right = -1;
        for (int x = 0; x < 40; ++x) {
          if (IsBlack(outline, x, y)) left = std::min(left, x), right = std::max(right, x);
        }
        for (int x = 0; x < 40; ++x) {
          const bool onOutline = IsBlack(outline, x, y), within = x >= left && x <= right;
          if (!within && !IsWhite(marker, x, y)) ++outside;
          if (onOutline && !IsBlack(marker, x, y)) ++wrongOutline;
          if (within && !onOutline) {
            ++inside;
            if (!IsColor(marker, x, y, fill)) ++holes;
          }
        }
      }
      EXPECT_EQ(outside, 0) << "pixels outside the outline";
      EXPECT_EQ(holes, 0) << "pixels inside the outline that are not the fill";
      EXPECT_EQ(wrongOutline, 0) << "outline pixels that are not black";
      EXPECT_GT(inside, size >= 6 ? 0 : -1) << "a fill to check";
    }
  }
}

TEST(DrawMarker, FixedSizeKindsIgnoreSizeExceptTheStrokesOf17And18) {
  // Circle of radius round(15 / 4) = 4: box 16..23 whatever the size.
  for (int size : {2, 8, 30}) {
    const QImage circle = Marker(16, size);
    EXPECT_TRUE(IsBlack(circle, 16, 20)) << size;
    EXPECT_TRUE(IsWhite(circle, 15, 20)) << size;
    EXPECT_TRUE(IsBlack(circle, 23, 20)) << size;
    EXPECT_TRUE(IsWhite(circle, 24, 20)) << size;
    EXPECT_TRUE(IsColor(circle, 20, 20, kAquaRgb)) << size;
  }
  const QImage wide = Marker(17, 20);  // stroke (10, 20)->(30, 20)
  EXPECT_TRUE(IsBlack(wide, 10, kY));
  EXPECT_TRUE(IsBlack(wide, 29, kY));
  EXPECT_TRUE(IsWhite(wide, 30, kY));
  const QImage tall = Marker(18, 20);  // stroke (20, 30)->(20, 10)
  EXPECT_TRUE(IsBlack(tall, kX, 30));
  EXPECT_TRUE(IsBlack(tall, kX, 11));
  EXPECT_TRUE(IsWhite(tall, kX, 10));
  // Lettered square of half-size 8: box 12..27, letter at (17, 13).
  const QImage lettered = Marker(31, 3);
  EXPECT_TRUE(IsBlack(lettered, 12, 12));
  EXPECT_TRUE(IsBlack(lettered, 27, 27));
  EXPECT_TRUE(IsWhite(lettered, 28, 20));
  EXPECT_TRUE(IsColor(lettered, 14, 25, kYellowRgb));
  EXPECT_TRUE(test::TextAt(lettered, 17, 13, "1"));
}

TEST(DrawMarker, KindsOutsideTheTableDrawNothing) {
  for (int kind : {0, 19, 20, 23, 24, 25, 26, 27, 28, 29, 30, 35, 100, -1})
    EXPECT_TRUE(Blank(Marker(kind, 8))) << kind;
}

TEST(DrawMarker, LeavesABlackPenAndASilverBrush) {
  for (int kind : {4, 6, 21, 0}) {
    QImage img(40, 40, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
      QPainterCanvas c(img);
      c.SetPenColor(kRed);
      c.SetBrushColor(kYellow);
      DrawMarker(c, 8, 8, 6, kind);
      c.Rectangle(25, 25, 35, 35);
    }
    EXPECT_TRUE(IsBlack(img, 25, 25)) << kind;
    EXPECT_TRUE(IsColor(img, 30, 30, kSilverRgb)) << kind;
  }
}

}  // namespace
}  // namespace zarn
