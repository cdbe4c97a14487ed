// The raster rules of the QImage canvas, read back pixel by pixel: the graphs' layout counts on
// them to the pixel, and QPainter's own conventions differ (a rectangle one pixel larger, a line
// that drops its bottom-right end whichever way it runs).
#include <gtest/gtest.h>

#include <QImage>
#include <vector>

#include "plot/qpainter_canvas.h"
#include "tests/plot/plot_test_support.h"

namespace zarn {
namespace {

using test::IsBlack;
using test::IsColor;
using test::IsWhite;

QImage Blank(int w = 40, int h = 40) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(Qt::white);
  return img;
}

// Every pixel that is not white, as (x, y) pairs in scan order.
std::vector<std::pair<int, int>> Ink(const QImage& img) {
  std::vector<std::pair<int, int>> ink;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (!IsWhite(img, x, y)) ink.emplace_back(x, y);
  return ink;
}

struct Bounds {
  int Left = 1 << 20, Top = 1 << 20, Right = -1, Bottom = -1;
};
Bounds InkBounds(const QImage& img) {
  Bounds b;
  for (auto [x, y] : Ink(img)) {
    b.Left = std::min(b.Left, x);
    b.Right = std::max(b.Right, x);
    b.Top = std::min(b.Top, y);
    b.Bottom = std::max(b.Bottom, y);
  }
  return b;
}

TEST(QPainterCanvas, RectangleCoversItsBoxWithoutRightAndBottomEdgeInPenAndBrush) {
  for (bool reversed : {false, true}) {
    QImage img = Blank();
    {
      QPainterCanvas c(img);
      c.SetPenColor(kRed);
      c.SetBrushColor(kYellow);
      if (reversed)
        c.Rectangle(7, 9, 2, 3);
      else
        c.Rectangle(2, 3, 7, 9);
    }
    SCOPED_TRACE(reversed ? "corners given bottom-right first" : "corners given top-left first");
    const Bounds b = InkBounds(img);
    EXPECT_EQ(b.Left, 2);
    EXPECT_EQ(b.Top, 3);
    EXPECT_EQ(b.Right, 6);
    EXPECT_EQ(b.Bottom, 8);
    for (int x = 2; x <= 6; ++x) {
      EXPECT_TRUE(IsColor(img, x, 3, qRgb(255, 0, 0)));
      EXPECT_TRUE(IsColor(img, x, 8, qRgb(255, 0, 0)));
    }
    for (int y = 4; y <= 7; ++y) {
      EXPECT_TRUE(IsColor(img, 2, y, qRgb(255, 0, 0)));
      EXPECT_TRUE(IsColor(img, 6, y, qRgb(255, 0, 0)));
      for (int x = 3; x <= 5; ++x) EXPECT_TRUE(IsColor(img, x, y, qRgb(255, 255, 0)));
    }
  }
}

TEST(QPainterCanvas, EmptyRectangleDrawsNothing) {
  QImage img = Blank();
  {
    QPainterCanvas c(img);
    c.Rectangle(5, 5, 5, 12);
    c.Rectangle(5, 5, 12, 5);
  }
  EXPECT_TRUE(Ink(img).empty());
}

TEST(QPainterCanvas, LineToLeavesOutItsEndPointInEveryDirection) {
  struct Case {
    int X0, Y0, X1, Y1;
  };
  // Horizontal, vertical and diagonal, each both ways, and two steep and flat slopes.
  const Case cases[] = {{10, 20, 30, 20}, {30, 20, 10, 20}, {20, 10, 20, 30}, {20, 30, 20, 10},
                        {10, 10, 30, 30}, {30, 30, 10, 10}, {10, 30, 30, 10}, {30, 10, 10, 30},
                        {12, 14, 27, 22}, {27, 22, 12, 14}, {15, 33, 19, 6}};
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "(" << k.X0 << "," << k.Y0 << ")->(" << k.X1 << "," << k.Y1 << ")");
    QImage img = Blank();
    {
      QPainterCanvas c(img);
      c.MoveTo(k.X0, k.Y0);
      c.LineTo(k.X1, k.Y1);
    }
    EXPECT_TRUE(IsBlack(img, k.X0, k.Y0));
    EXPECT_TRUE(IsWhite(img, k.X1, k.Y1));
    const int dx = std::abs(k.X1 - k.X0), dy = std::abs(k.Y1 - k.Y0);
    EXPECT_EQ(static_cast<int>(Ink(img).size()), std::max(dx, dy)) << "one pixel per step of the longer side";
    // Every pixel lies within half a pixel of the ideal segment.
    for (auto [x, y] : Ink(img)) {
      const double cross = (k.X1 - k.X0) * (y - k.Y0) - (k.Y1 - k.Y0) * (x - k.X0);
      EXPECT_LE(std::abs(cross) / std::max(dx, dy), 0.5 + 1e-9) << x << "," << y;
    }
  }
}

TEST(QPainterCanvas, ConsecutiveLineTosJoinWithoutGapOrDoubleEnd) {
  QImage img = Blank();
  {
    QPainterCanvas c(img);
    c.MoveTo(5, 5);
    c.LineTo(15, 5);
    c.LineTo(15, 15);
    c.LineTo(5, 15);
  }
  EXPECT_TRUE(IsBlack(img, 15, 5)) << "the corner is the next segment's start";
  EXPECT_TRUE(IsBlack(img, 15, 15));
  EXPECT_TRUE(IsWhite(img, 5, 15)) << "the last end point stays out";
  EXPECT_EQ(Ink(img).size(), 30u);
}

TEST(QPainterCanvas, EllipseFillsItsBoxWithoutRightAndBottomEdge) {
  QImage img = Blank();
  {
    QPainterCanvas c(img);
    c.SetPenColor(kBlack);
    c.SetBrushColor(kAqua);
    c.Ellipse(8, 10, 20, 22);  // the legend circle's box, 12 x 12
  }
  const Bounds b = InkBounds(img);
  EXPECT_EQ(b.Left, 8);
  EXPECT_EQ(b.Top, 10);
  EXPECT_EQ(b.Right, 19);
  EXPECT_EQ(b.Bottom, 21);
  EXPECT_TRUE(IsColor(img, 14, 16, qRgb(0, 255, 255)));
  EXPECT_TRUE(IsBlack(img, 8, 16));
  EXPECT_TRUE(IsWhite(img, 8, 10)) << "a corner of the box is outside the ellipse";
}

TEST(QPainterCanvas, PolygonIsFilledWithTheBrushAndOutlinedThroughEveryVertex) {
  QImage img = Blank();
  {
    QPainterCanvas c(img);
    c.SetPenColor(kBlack);
    c.SetBrushColor(kYellow);
    const CanvasPoint tri[] = {{10, 30}, {30, 30}, {20, 10}};
    c.Polygon(tri);
  }
  EXPECT_TRUE(IsBlack(img, 10, 30));
  EXPECT_TRUE(IsBlack(img, 30, 30));
  EXPECT_TRUE(IsBlack(img, 20, 10));
  for (int x = 10; x <= 30; ++x) EXPECT_TRUE(IsBlack(img, x, 30)) << x;
  EXPECT_TRUE(IsColor(img, 20, 25, qRgb(255, 255, 0)));
  const Bounds b = InkBounds(img);
  EXPECT_EQ(b.Left, 10);
  EXPECT_EQ(b.Right, 30);
  EXPECT_EQ(b.Top, 10);
  EXPECT_EQ(b.Bottom, 30);
}

TEST(QPainterCanvas, TextStandsBlackOnAWhiteTwelvePixelCellFromItsTopLeftCorner) {
  QImage img = Blank(80, 40);
  img.fill(qRgb(128, 128, 128));
  {
    QPainterCanvas c(img);
    c.SetPenColor(kRed);  // text is black whatever the pen
    c.SetFontSize(12);
    c.SetFontHeight(12);
    c.TextOut(10, 10, "H,km");
  }
  EXPECT_TRUE(IsWhite(img, 10, 10));
  EXPECT_TRUE(IsWhite(img, 10, 21));
  EXPECT_TRUE(IsColor(img, 10, 9, qRgb(128, 128, 128)));
  EXPECT_TRUE(IsColor(img, 10, 22, qRgb(128, 128, 128))) << "the cell is 12 rows high";
  EXPECT_TRUE(IsColor(img, 9, 15, qRgb(128, 128, 128)));
  int ink = 0, other = 0, top = 99, bottom = -1;
  for (int y = 10; y < 22; ++y)
    for (int x = 10; x < 80; ++x) {
      if (IsBlack(img, x, y)) {
        ++ink;
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      } else if (!IsWhite(img, x, y) && !IsColor(img, x, y, qRgb(128, 128, 128))) {
        ++other;
      }
    }
  EXPECT_GT(ink, 20);
  EXPECT_EQ(other, 0) << "no antialiasing: only black letters on white";
  EXPECT_GE(top, 11) << "letters leave a row of leading above them";
  EXPECT_LE(bottom, 21);
  // The ascender-free "H" stands on the base line 2 to 3 rows above the cell's foot.
  int hBottom = -1;
  for (int y = 10; y < 22; ++y)
    if (IsBlack(img, 11, y) || IsBlack(img, 12, y)) hBottom = y;
  EXPECT_GE(hBottom, 18);
  EXPECT_LE(hBottom, 19);
}

}  // namespace
}  // namespace zarn
