// PlotGraph read back pixel by pixel: grid, frame, axes, tick labels, captions and curve points
// at the positions the layout gives them.
#include "plot/renderer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>

#include "flight/integrator.h"
#include "flight/presets.h"
#include "plot/catalogue.h"
#include "tests/plot/plot_test_support.h"
#include "tests/support/flights.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

using test::IsBlack;
using test::IsColor;
using test::IsGrey;
using test::IsWhite;
using test::Select;
using test::TextAt;

constexpr double kPi = 3.14159265358979323846;

class PlotGraphTest : public testing::Test {
 protected:
  void SetUp() override {
    table_ = test::MakeTable();
    // Time 0.8 .. 400 s over rows 1..499 (row 500 takes part in the sign scan only).
    for (int i = 1; i <= 500; ++i) table_->Cell(kColT, i) = i * 400.0 / 499;
  }
  // Height rising to exactly 700 at row 250 and back.
  void FillHeight() {
    for (int i = 1; i <= 500; ++i) table_->Cell(kColH, i) = 700 * std::sin(kPi * i / 500);
  }
  // A column with only positive values, peaking at `top`.
  void FillPositive(int column, double top) {
    for (int i = 1; i <= 500; ++i) table_->Cell(column, i) = top * (0.5 + 0.5 * std::sin(kPi * i / 250));
  }
  QImage Plot(const GraphSelection& sel, char sep = '.') { return PlotGraph(*table_, sel, 500, units_, sep); }

  std::unique_ptr<TrajectoryTable> table_;
  UnitFlags units_{};
};

int CountGrey(const QImage& img, int y, int x0, int x1) {
  int n = 0;
  for (int x = x0; x < x1; ++x) n += IsGrey(img, x, y) ? 1 : 0;
  return n;
}

// Vertical axis line at x: black between its ticks, nothing beside it.
void ExpectAxisAt(const QImage& img, int x, int y) {
  EXPECT_TRUE(IsBlack(img, x, y)) << "axis at x = " << x;
  EXPECT_TRUE(IsWhite(img, x - 1, y)) << "left of the axis at x = " << x;
  EXPECT_TRUE(IsWhite(img, x + 1, y)) << "right of the axis at x = " << x;
}

TEST_F(PlotGraphTest, ImageIs800By600) {
  FillHeight();
  const QImage img = Plot(Select({kColT, kColH}));
  EXPECT_EQ(img.width(), 800);
  EXPECT_EQ(img.height(), 600);
}

TEST_F(PlotGraphTest, GridWithoutNegativeValuesStandsOnTheBottomLineInStepsOf63) {
  FillHeight();
  const QImage img = Plot(Select({kColT, kColH}));  // L = 100, W = 630
  for (int y : {460, 397, 334, 271, 208, 145, 82, 19})
    EXPECT_GE(CountGrey(img, y, 100, 730), 600) << "row " << y;
  for (int y : {461, 459, 398, 396, 20, 18}) EXPECT_LE(CountGrey(img, y, 100, 730), 9) << "row " << y;
  // Vertical lines at L + round(C * 630 / 8): 157.5 gives 158 and 472.5 gives 472.
  for (int x : {179, 258, 336, 415, 494, 572, 651, 730}) {
    EXPECT_TRUE(IsGrey(img, x, 450)) << "column " << x;
    EXPECT_TRUE(IsWhite(img, x + 1, 450)) << "column " << x + 1;
  }
  EXPECT_TRUE(IsGrey(img, 729, 19));
  EXPECT_TRUE(IsWhite(img, 730, 19)) << "lines leave out their end point: top-right corner open";
  EXPECT_TRUE(IsWhite(img, 730, 461)) << "no frame without negative values";
}

TEST_F(PlotGraphTest, NegativeValueRaisesTheZeroLineAndFramesTheStripBelow) {
  FillHeight();
  table_->Cell(kColT, 500) = -1;  // the horizontal column's last row counts in the sign scan
  const QImage img = Plot(Select({kColT, kColH}));
  for (int y : {313, 271, 229, 187, 145, 103, 61, 19})
    EXPECT_GE(CountGrey(img, y, 100, 730), 600) << "row " << y;
  for (int y : {355, 397, 460})
    EXPECT_LE(CountGrey(img, y, 100, 730), 0) << "no grid below the zero line, row " << y;
  // Frame (L, 460, L + W + 1, 313): x 100..730, y 313..459.
  EXPECT_TRUE(IsBlack(img, 730, 400));
  EXPECT_TRUE(IsWhite(img, 731, 400));
  EXPECT_TRUE(IsBlack(img, 100, 400));
  EXPECT_TRUE(IsBlack(img, 400, 459));
  EXPECT_TRUE(IsWhite(img, 400, 460));
  // Labels and caption of the horizontal axis stay below the bottom line.
  EXPECT_TRUE(TextAt(img, 92, 469, "0"));
  EXPECT_TRUE(TextAt(img, 415, 490, "t,s"));
  // The positive curve's scale: 0.9 * 293 = 264 px above the raised zero line.
  EXPECT_TRUE(TextAt(img, 37, 313 - 5, "0"));
  EXPECT_TRUE(TextAt(img, 37, 313 - 7 * 42 - 5, "770"));
}

TEST_F(PlotGraphTest, OneCurveLabelsStandOnTheGridAndBelowTheBottomLine) {
  FillHeight();
  const QImage img = Plot(Select({kColT, kColH}));  // L = 100, W = 630, N = 89
  // First curve: x = 100 - 19 - round(44.5) = 37, one label per grid line, 1.1 times the top.
  const char* left[] = {"0", "110", "220", "330", "440", "550", "660", "770"};
  for (int I = 0; I <= 7; ++I) EXPECT_TRUE(TextAt(img, 37, 460 - I * 63 - 5, left[I])) << left[I];
  EXPECT_FALSE(TextAt(img, 38, 455, "0")) << "the probe tells one pixel apart";
  // Horizontal: x = 100 + I * round(630 / 8) - 8 = 92, 171, 250, ...; plain fractions of 400.
  const char* bottom[] = {"0", "50", "100", "150", "200", "250", "300", "350", "400"};
  for (int I = 0; I <= 8; ++I) EXPECT_TRUE(TextAt(img, 92 + I * 79, 469, bottom[I])) << bottom[I];
  // Ticks of the first curve reach 3 pixels left of the grid's edge.
  EXPECT_TRUE(IsBlack(img, 98, 397));
  EXPECT_TRUE(IsWhite(img, 97, 397));
}

TEST_F(PlotGraphTest, CurvePointsFollowTheScaleAndStartOnTheAxis) {
  FillHeight();
  const QImage img = Plot(Select({kColT, kColH}));
  // ky = round(0.9 * 440) / 700; kx = 630 / 400.
  const int a = 396;
  for (int i : {50, 123, 250, 301, 477}) {  // row 250 holds the largest value: the top of the scale
    const int x = 100 + static_cast<int>(std::nearbyint(table_->Cell(kColT, i) * 630 / 400));
    const int y = 460 - static_cast<int>(std::nearbyint(table_->Cell(kColH, i) * a / 700));
    EXPECT_TRUE(IsBlack(img, x, y)) << "row " << i << " at " << x << "," << y;
  }
  EXPECT_TRUE(IsBlack(img, 100, 458)) << "first point moved onto the axis";
  for (int x = 101; x < 730; ++x) EXPECT_FALSE(IsBlack(img, x, 460 - a - 5)) << "nothing above it, x = " << x;
}

TEST_F(PlotGraphTest, FiveCurvesStandOnAxesBandsOf47Pixels) {
  FillHeight();
  for (int c : {kColV, kColAngle, kColQkPa, kColNx}) FillPositive(c, 50);
  const GraphSelection sel = Select({kColT, kColH, kColV, kColAngle, kColQkPa, kColNx});  // L 248, N 47
  const QImage positive = Plot(sel);
  EXPECT_TRUE(IsWhite(positive, 201, 430)) << "a positive first curve has no axis of its own";
  for (int x : {154, 107, 60, 13}) ExpectAxisAt(positive, x, 430);
  EXPECT_TRUE(TextAt(positive, 248 - 19 - 24, 455, "0"));
  EXPECT_TRUE(TextAt(positive, 154 + 6, 460 - 7 * 57, "50"));  // later curves: labels right of the axis

  table_->Cell(kColH, 250) = -5;
  const QImage negative = Plot(sel);
  ExpectAxisAt(negative, 201, 300);
  EXPECT_TRUE(IsBlack(negative, 201, 167));
  EXPECT_TRUE(IsWhite(negative, 201, 166)) << "the axis ends 2 * 147 pixels above the bottom line";
}

TEST_F(PlotGraphTest, SevenCurvesPutTheSeventhAxisAt14) {
  FillHeight();
  for (int c : {kColV, kColAngle, kColThrust, kColMass, kColThrustPerMass, kColIsp}) FillPositive(c, 10);
  const QImage img = Plot(Select({kColT, kColH, kColV, kColAngle, kColThrust, kColMass, kColThrustPerMass,
                                  kColIsp}));  // L = 322, W = 408, N = 44
  for (int x : {234, 190, 146, 102, 58, 14}) ExpectAxisAt(img, x, 430);
  EXPECT_GE(CountGrey(img, 460, 322, 730), 380);
  EXPECT_TRUE(IsGrey(img, 729, 19));
  EXPECT_TRUE(TextAt(img, 322 + 51 - 8, 469, "50"));
}

TEST_F(PlotGraphTest, NegativeCurveSharesOneScaleAndShowsMagnitudesBelowZero) {
  // ymax = 40, ymin = -10: R = 40, labels 10..40 on both sides of "0.0".
  for (int i = 1; i <= 500; ++i) table_->Cell(kColAngle, i) = 40 - 50.0 * (i - 1) / 498;
  const QImage img = Plot(Select({kColT, kColAngle}));  // axis at L - N = 11
  ExpectAxisAt(img, 11, 300);
  EXPECT_TRUE(IsBlack(img, 11, 460));
  EXPECT_TRUE(IsBlack(img, 11, 175));
  EXPECT_TRUE(TextAt(img, 9, 313 - 132 - 20, "Q,*")) << "the caption covers the axis's top";
  EXPECT_TRUE(TextAt(img, 20, 313, "0.0"));
  const char* labels[] = {"10", "20", "30", "40"};
  for (int I = 1; I <= 4; ++I) {
    EXPECT_TRUE(TextAt(img, 17, 313 - I * 33, labels[I - 1])) << "above " << labels[I - 1];
    EXPECT_TRUE(TextAt(img, 17, 313 + I * 33, labels[I - 1])) << "below " << labels[I - 1];
    EXPECT_TRUE(IsBlack(img, 13, 313 - I * 33));  // 3-pixel ticks on both sides
    EXPECT_TRUE(IsBlack(img, 13, 313 + I * 33));
    EXPECT_TRUE(IsWhite(img, 14, 313 + I * 33));
  }
  EXPECT_TRUE(IsBlack(img, 100, 313 - 132)) << "40 reaches 132 pixels above the zero line";
}

TEST_F(PlotGraphTest, LargerNegativeExtremeReaches132PixelsBelowZero) {
  // ymin = -50 at row 100, ymax = 20 at row 200, zero elsewhere: R = 50, ky = 2.64.
  table_->Cell(kColAngle, 100) = -50;
  table_->Cell(kColAngle, 200) = 20;
  const QImage img = Plot(Select({kColT, kColAngle}));
  auto px = [&](int i) { return 100 + static_cast<int>(std::nearbyint(table_->Cell(kColT, i) * 630 / 400)); };
  EXPECT_TRUE(IsBlack(img, px(100), 313 + 132));
  EXPECT_TRUE(IsBlack(img, px(200), 313 - 53));
  for (int x = 101; x < 730; ++x) {
    for (int y = 446; y < 459; ++y) EXPECT_FALSE(IsBlack(img, x, y)) << x << "," << y;
    for (int y = 161; y < 260; ++y) EXPECT_FALSE(IsBlack(img, x, y)) << x << "," << y;
  }
  const char* labels[] = {"12.5", "25", "37.5", "50"};
  for (int I = 1; I <= 4; ++I) EXPECT_TRUE(TextAt(img, 17, 313 + I * 33, labels[I - 1]));
}

TEST_F(PlotGraphTest, CaptionsFollowTheUnitFlags) {
  FillHeight();
  FillPositive(kColV, 80);
  const QImage metres = Plot(Select({kColT, kColH}));
  EXPECT_TRUE(TextAt(metres, 13, 460 - 396 - 18, "H,m")) << "first curve: 18 pixels above its scale";
  EXPECT_TRUE(TextAt(metres, 415, 490, "t,s"));
  units_.HeightInKm = 1;
  units_.TimeUnit = 2;
  const QImage km = Plot(Select({kColT, kColH}));
  EXPECT_TRUE(TextAt(km, 13, 46, "H,km"));
  EXPECT_FALSE(TextAt(km, 13, 46, "H,m"));
  EXPECT_TRUE(TextAt(km, 415, 490, "t,min"));
  units_.TimeUnit = 3;
  // Height as the second curve: L = 137, N = 63, axis at 11, caption 20 pixels above.
  const QImage second = Plot(Select({kColT, kColV, kColH}));
  EXPECT_TRUE(TextAt(second, 13, 460 - 396 - 20, "H,km"));
  EXPECT_TRUE(TextAt(second, 137 - 63 + 2, 460 - 396 - 42, "V,m/s")) << "speed first: 42 pixels above";
  EXPECT_TRUE(TextAt(second, 137 + 296, 490, "t,h"));

  for (int i = 1; i <= 500; ++i) table_->Cell(kColX, i) = 30.0 * i;
  units_.RangeInKm = 0;
  EXPECT_TRUE(TextAt(Plot(Select({kColX, kColH})), 415, 490, "X,m"));
  units_.RangeInKm = 1;
  EXPECT_TRUE(TextAt(Plot(Select({kColX, kColH})), 415, 490, "X,km"));
  EXPECT_TRUE(TextAt(Plot(Select({kColV, kColH})), 415, 490, "V,m/s"));
  const QImage none = Plot(Select({kColQkPa, kColH}));
  for (int y = 490; y < 502; ++y)
    for (int x = 400; x < 480; ++x) EXPECT_TRUE(IsWhite(none, x, y)) << "no caption for column 2";
}

TEST_F(PlotGraphTest, AllZeroDataDrawsFlatCurvesOnAScaleOf1) {
  // No positive horizontal value and an all-zero curve: both extremes count as 1.
  for (int i = 1; i <= 500; ++i) table_->Cell(kColT, i) = 0;
  const QImage flat = Plot(Select({kColT, kColLift}));
  EXPECT_TRUE(TextAt(flat, 171, 469, "0.125"));
  EXPECT_TRUE(TextAt(flat, 92 + 8 * 79, 469, "1"));
  EXPECT_TRUE(TextAt(flat, 37, 460 - 63 - 5, "0.1571"));

  for (int i = 1; i <= 500; ++i) table_->Cell(kColT, i) = i * 400.0 / 499;
  const QImage lift = Plot(Select({kColT, kColLift}), ',');
  for (int x = 102; x < 729; ++x)
    EXPECT_TRUE(IsBlack(lift, x, 460)) << "flat curve on the zero line at x = " << x;
  EXPECT_TRUE(TextAt(lift, 37, 460 - 63 - 5, "0,1571")) << "the locale's separator";
  EXPECT_TRUE(TextAt(lift, 13, 460 - 396 - 20, "L,N"));
}

TEST_F(PlotGraphTest, LegendCircleAndSymbolSitAtTheFootOfEachAxis) {
  FillHeight();
  FillPositive(kColV, 80);
  const QImage img = Plot(Select({kColT, kColH, kColV}));  // L = 137, second axis at 137 - 2 * 63 = 11
  // Circle box (xl - 6, 454, xl + 6, 466); kind 6 (red square) for height, 7 (lime) for speed.
  EXPECT_TRUE(IsBlack(img, 131, 460));
  EXPECT_TRUE(IsWhite(img, 130, 460));
  EXPECT_TRUE(IsBlack(img, 137, 465));
  EXPECT_TRUE(IsColor(img, 138, 461, qRgb(255, 0, 0)));
  EXPECT_TRUE(IsBlack(img, 5, 460));
  EXPECT_TRUE(IsWhite(img, 4, 460));
  EXPECT_TRUE(IsColor(img, 12, 461, qRgb(0, 255, 0)));
}

int BlackPixels(const QImage& img, int x0, int x1, int y0, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += IsBlack(img, x, y) ? 1 : 0;
  return n;
}

TEST(ShortFlightGraph, DrawsOnlyTheStoredRowsWithNoLineBackToTheOrigin) {
  // The first preset thrown at 3 degrees: 248 steps, each stored; rows 249..500 hold 0.
  test_support::ScratchDir scratch("zarn_short_graph");
  FlightParameters p = test_support::PresetParameters(0);
  p.TTO = 3;
  const auto d = test_support::FlyWithFiles(p, scratch.path());
  ASSERT_EQ(d->Summary.SamplesStored, 248);
  EXPECT_EQ(GraphRows(d->Table, d->Summary.SamplesStored), 249);

  // Speed over time: between 98.6 and 100 m/s the curve and its markers stay in the top 80 pixels
  // of the plot (L = 100, W = 630); below them only the grey grid, down to the legend at the foot.
  const GraphSelection sel = Select({kColT, kColV});  // the graph of Button27
  const QImage run = PlotGraph(d->Table, sel, 249, d->Units, '.');
  EXPECT_GT(BlackPixels(run, 101, 730, 60, 75), 600) << "the curve";
  EXPECT_EQ(BlackPixels(run, 101, 730, 100, 453), 0) << "a line towards the origin";
  // All 500 rows: the zero rows pull the curve back to (L, 460).
  EXPECT_GT(BlackPixels(PlotGraph(d->Table, sel, 500, d->Units, '.'), 101, 730, 100, 453), 300);
  // A table the run filled draws as it always did.
  EXPECT_EQ(GraphRows(d->Table, 500), 500);
}

TEST(ShortFlightGraph, AFewRowsCarryAMarkerOnEveryPoint) {
  // Four rows of speed: round(sqrt(5)) - 3 is below 1, so the spacing is held at 1.
  auto table = test::MakeTable();
  for (int i = 1; i <= 4; ++i) {
    table->Cell(kColT, i) = i;
    table->Cell(kColV, i) = 50 + 10 * i;
  }
  const QImage img = PlotGraph(*table, test::Select({kColT, kColV}), 5, UnitFlags{}, '.');
  for (int i = 1; i <= 4; ++i) {
    const int x = 100 + static_cast<int>(std::nearbyint(i * 630 / 4.0));
    const int y = 460 - static_cast<int>(std::nearbyint((50 + 10 * i) * 396 / 90.0));
    EXPECT_TRUE(IsColor(img, x, y, qRgb(0, 255, 0))) << "lime square of row " << i;
  }
}

const GraphEntry& Graph(std::string_view component) {
  const GraphEntry* e = FindGraph(component);
  if (e == nullptr) throw std::invalid_argument(std::string(component));
  return *e;
}

TEST(GraphCatalogue, Button10AndTheEndOfRunGraphGiveTheSamePicture) {
  auto table = test::MakeTable();
  UnitFlags units{};
  test::FillFlight({}, *table, units);
  GraphSelection fromButton{}, fromRun{};
  SelectGraph(Graph("Button10"), fromButton);
  SelectGraph(DefaultGraph(), fromRun);
  const QImage a = PlotGraph(*table, fromButton, 500, units, '.');
  EXPECT_EQ(a, PlotGraph(*table, fromRun, 500, units, '.'));
  EXPECT_EQ(a, PlotGraph(*table, fromButton, 500, units, '.')) << "pressing twice draws the same";
  GraphSelection overRange{};
  SelectGraph(Graph("Button9"), overRange);
  EXPECT_NE(a, PlotGraph(*table, overRange, 500, units, '.'));
}

TEST(GraphCatalogue, AShorterSelectionIgnoresWhatALongerOneLeftBehind) {
  auto table = test::MakeTable();
  UnitFlags units{};
  test::FillFlight({}, *table, units);
  GraphSelection fresh{}, reused{};
  SelectGraph(Graph("Button3"), fresh);
  SelectGraph(Graph("Button13"), reused);
  SelectGraph(Graph("Button3"), reused);
  EXPECT_EQ(reused.Count, 3);
  EXPECT_EQ(reused.Columns[2], 1);
  EXPECT_EQ(reused.Columns[6], 29);
  EXPECT_EQ(PlotGraph(*table, fresh, 500, units, '.'), PlotGraph(*table, reused, 500, units, '.'));
}

TEST(GraphCatalogue, EveryGraphOfAFlightAndOfARocketDraws) {
  auto table = test::MakeTable();
  UnitFlags units{};
  const test::FlightSetup rocket{.H0 = 0,
                                 .V0 = 10,
                                 .AngleDeg = 80,
                                 .Mass = 20000,
                                 .S0 = 2,
                                 .Cx = 0.3,
                                 .Cy = 0,
                                 .Thrust = 400000,
                                 .Isp = 2500,
                                 .Fuel = 12000,
                                 .Tk = 400,
                                 .dt = 0.01};
  for (const test::FlightSetup& setup : {test::FlightSetup{}, rocket}) {
    test::FillFlight(setup, *table, units);
    for (const GraphEntry& e : kGraphCatalogue) {
      GraphSelection sel{};
      SelectGraph(e, sel);
      const QImage img = PlotGraph(*table, sel, 500, units, '.');
      EXPECT_EQ(img.size(), QSize(800, 600)) << e.Component;
      EXPECT_GE(CountGrey(img, 19, 100, 700), 300) << e.Component << ": grid drawn";
    }
  }
}

}  // namespace
}  // namespace zarn
