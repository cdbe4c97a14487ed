// Which row the pointer over a graph names: the nearest on the horizontal scale, and of rows as
// near as each other the first.
#include "plot/readout.h"

#include <gtest/gtest.h>

#include <vector>

#include "plot/renderer.h"
#include "tests/plot/plot_test_support.h"

namespace zarn {
namespace {

TEST(Readout, PointerBetweenRowsAsNearAsEachOtherNamesTheFirst) {
  const PlotArea area = PlotAreaFor(2);  // the horizontal column and one curve
  // The largest value is the area's width: column px then stands for px - Left exactly.
  const double W = area.Width, m = (area.Width - 1) / 2;
  const struct {
    std::vector<double> t;  // rows 1.. of the horizontal column
    int Expected;
  } cases[] = {
      {{0, m, m, W}, 2},                                          // the same value twice
      {{0, m - 5, m + 5, W}, 2},                                  // 5 below and 5 above the pointer
      {{0, W, m, m, m}, 3},                                       // the first of three, not the last
      {{0, m - 1, m + 1, W}, 2}, {{0, m - 0.5, m + 0.25, W}, 3},  // nearer wins over earlier
  };
  for (const auto& c : cases) {
    auto table = test::MakeTable();
    for (std::size_t i = 0; i < c.t.size(); ++i) table->Cell(kColT, static_cast<int>(i) + 1) = c.t[i];
    const int px = area.Left + (area.Width - 1) / 2;
    EXPECT_EQ(RowAtPixel(*table, test::Select({kColT, kColH}), static_cast<int>(c.t.size()), px), c.Expected)
        << c.t[1] - m << " " << c.t[2] - m;
  }
}

}  // namespace
}  // namespace zarn
