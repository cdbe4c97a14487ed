// Which rows of a column the graph uses, read back from the rendered picture: the rows that carry
// a marker symbol, and the rows that set the scales.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <functional>

#include "plot/renderer.h"
#include "tests/plot/plot_test_support.h"

namespace zarn {
namespace {

using test::IsGrey;
using test::IsWhite;
using test::Select;
using test::TextAt;

TEST(CurveMarkers, StandOnEveryMultipleOfTheColumnsSpacingAndOnNoOtherRow) {
  // Row spacing of the symbols on a curve of each column: round(sqrt(500)) = 22 plus the column's
  // adjustment. Column 0 carries no symbols.
  constexpr int kAdjustment[TrajectoryTable::kColumns] = {0,  -3, -2, 0,  -1, -2, -2, 0,  0, 0,
                                                          -1, 1,  2,  1,  0,  0,  3,  -1, 1, -2,
                                                          -3, -3, -2, -1, -2, -3, -1, -2, 0, 1};
  // Rows 1..499 on a grid of 18-pixel cells, 34 to a line, snaking from left to right and back:
  // the curve passes each point level or upright, and no symbol reaches a neighbouring point. The
  // extremes 630 and 396 make both scales exactly 1 pixel per unit (W = 630, a = 396).
  auto place = [](int row, double& x, double& y) {
    const int line = (row - 1) / 34, cell = line % 2 == 0 ? (row - 1) % 34 : 33 - (row - 1) % 34;
    x = 630 - 18 * (33 - cell);
    y = 396 - 18 * line;
  };
  auto table = test::MakeTable();
  for (int J = 0; J < TrajectoryTable::kColumns; ++J) {
    const int horizontal = J == kColT ? kColX : kColT;
    for (int i = 1; i <= 499; ++i) place(i, table->Cell(horizontal, i), table->Cell(J, i));
    const QImage img = PlotGraph(*table, Select({horizontal, J}), 500, UnitFlags{}, '.');
    const int spacing = 22 + kAdjustment[J];
    int wrong = 0;
    for (int i = 1; i <= 499 && wrong < 3; ++i) {
      double x, y;
      place(i, x, y);
      // A symbol covers the pixel 2 left and 2 up or down of its point (a triangle only one of
      // them); the curve and the grid cover neither.
      const int px = 100 + static_cast<int>(x) - 2, py = 460 - static_cast<int>(y);
      auto inked = [&](int dy) { return !IsWhite(img, px, py + dy) && !IsGrey(img, px, py + dy); };
      const bool marked = inked(-2) || inked(2);
      const bool expected = J != kColT && i % spacing == 0;
      if (marked != expected) {
        ++wrong;
        ADD_FAILURE() << "column " << J << " row " << i << (expected ? ": no symbol" : ": a symbol");
      }
    }
    for (int i = 1; i <= 500; ++i) table->Cell(horizontal, i) = table->Cell(J, i) = 0;
  }
}

TEST(VerticalScale, RowsUpTo499SetTheScalesAndRow500CountsOnlyForTheZeroLine) {
  auto base = test::MakeTable();
  for (int i = 1; i <= 500; ++i) {
    base->Cell(kColT, i) = i * 400.0 / 499;
    base->Cell(kColH, i) = 700 * std::sin(3.14159265358979 * i / 500);  // 700 at row 250
  }
  auto plot = [](const TrajectoryTable& t) {
    return PlotGraph(t, Select({kColT, kColH}), 500, UnitFlags{}, '.');
  };
  const QImage unchanged = plot(*base);
  // With one curve: the height's top label (1.1 times its largest value) stands on the top grid
  // line, x = 37; the last time label at x = 92 + 8 * 79.
  struct Case {
    const char* What;
    int Column, Row;
    double Value;
    std::function<bool(const QImage&)> Shows;
  } const cases[] = {
      {"a height in row 500 beyond all others", kColH, 500, 5000,
       [&](const QImage& img) { return img == unchanged; }},
      {"a time in row 500 beyond all others", kColT, 500, 5000,
       [&](const QImage& img) { return img == unchanged; }},
      {"the largest height in row 499", kColH, 499, 1000,
       [](const QImage& img) { return TextAt(img, 37, 460 - 7 * 63 - 5, "1100"); }},
      {"the largest height in row 1", kColH, 1, 1000,
       [](const QImage& img) { return TextAt(img, 37, 460 - 7 * 63 - 5, "1100"); }},
      {"the largest time in row 499", kColT, 499, 800,
       [](const QImage& img) { return TextAt(img, 92 + 8 * 79, 469, "800"); }},
      {"the largest time in row 1", kColT, 1, 800,
       [](const QImage& img) { return TextAt(img, 92 + 8 * 79, 469, "800"); }},
      // The zero line rises to 313, the grid steps by 42, the scale still ends at 700 * 1.1.
      {"a negative height in row 500", kColH, 500, -1,
       [](const QImage& img) { return TextAt(img, 37, 313 - 7 * 42 - 5, "770") && IsGrey(img, 400, 313); }},
  };
  for (const Case& c : cases) {
    auto table = std::make_unique<TrajectoryTable>(*base);
    table->Cell(c.Column, c.Row) = c.Value;
    EXPECT_TRUE(c.Shows(plot(*table))) << c.What;
  }
}

}  // namespace
}  // namespace zarn
