// The clear style: round ticks that cover the data, signed labels read back to their ticks, no
// two texts on top of each other or on the plot, a legend in each curve's colour, and every
// character of its three languages in the font.
#include "plot/clear_style.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <cmath>
#include <string>
#include <vector>

#include "flight/integrator.h"
#include "flight/presets.h"
#include "input/param_file.h"
#include "plot/catalogue.h"
#include "plot/picture_file.h"
#include "plot/renderer.h"
#include "tests/plot/plot_test_support.h"
#include "tests/support/flights.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Extremes {
  double Min, Max;
};

Extremes Over(const TrajectoryTable& t, int column, int rows) {
  Extremes e{t.Cell(column, 1), t.Cell(column, 1)};
  for (int i = 2; i < rows; ++i) {
    e.Min = std::min(e.Min, t.Cell(column, i));
    e.Max = std::max(e.Max, t.Cell(column, i));
  }
  return e;
}

// The tick a label shows, read back with the minus sign and the decimal separator it was given.
double ReadLabel(QString label, char sep, int exponent) {
  const bool negative = label.startsWith(QChar(0x2212));
  if (negative) label.remove(0, 1);
  label.replace(QLatin1Char(sep), QLatin1Char('.'));
  bool ok = false;
  const double v = label.toDouble(&ok);
  EXPECT_TRUE(ok) << label.toStdString();
  return (negative ? -v : v) * std::pow(10.0, exponent);
}

// An axis's ticks: a step of 1, 2 or 5 times a power of ten, the first and the last tick around
// the data, which fill at least 60 % of the axis, and one label per tick that reads back to it,
// with a minus sign exactly below zero.
void ExpectAxis(const ClearAxis& axis, Extremes data, char sep) {
  SCOPED_TRACE("column " + std::to_string(axis.Column));
  const AxisTicks& t = axis.Ticks;
  const double mantissa = t.Step / std::pow(10.0, std::floor(std::log10(t.Step) + 1e-12));
  EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 ||
              std::fabs(mantissa - 5) < 1e-9)
      << "step " << t.Step;
  EXPECT_EQ(t.First, std::floor(t.First));
  EXPECT_LE(t.Lo(), data.Min);
  EXPECT_GE(t.Hi(), data.Max);
  if (data.Max > data.Min) {
    EXPECT_GE((data.Max - data.Min) / (t.Hi() - t.Lo()), 0.6) << t.Lo() << " .. " << t.Hi();
  }
  ASSERT_EQ(axis.Labels.size(), static_cast<std::size_t>(t.Intervals + 1));
  for (int i = 0; i <= t.Intervals; ++i) {
    const double tick = t.Tick(i);
    const QString& label = axis.Labels[static_cast<std::size_t>(i)].Text;
    SCOPED_TRACE(label.toStdString());
    EXPECT_NEAR(ReadLabel(label, sep, axis.Exponent), tick, t.Step * 1e-6);
    EXPECT_EQ(label.startsWith(QChar(0x2212)), tick < -t.Step * 1e-6);
  }
  EXPECT_EQ(axis.Caption.Text.contains(QStringLiteral("×10")), axis.Exponent != 0);
}

// Every text, the legend's colour bars and the plot area: pairwise apart and inside the picture.
void ExpectNothingOverlaps(const ClearLayout& lay, QSizeF frame) {
  std::vector<PlacedText> boxes{{lay.Plot, QStringLiteral("(plot area)")}, lay.Horizontal.Caption};
  boxes.insert(boxes.end(), lay.Horizontal.Labels.begin(), lay.Horizontal.Labels.end());
  for (const ClearAxis& a : lay.Vertical) {
    boxes.insert(boxes.end(), a.Labels.begin(), a.Labels.end());
    boxes.push_back(a.Caption);
  }
  for (const LegendEntry& e : lay.Legend) {
    boxes.push_back(e.Name);
    boxes.push_back({e.Swatch, QStringLiteral("(bar of ") + e.Name.Text + ")"});
  }
  const QRectF picture(QPointF(0, 0), frame);
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_TRUE(picture.contains(boxes[i].Box)) << boxes[i].Text.toStdString();
    EXPECT_GT(boxes[i].Box.width(), 0) << boxes[i].Text.toStdString();
    for (std::size_t j = 0; j < i; ++j)
      EXPECT_FALSE(boxes[i].Box.intersects(boxes[j].Box))
          << '"' << boxes[i].Text.toStdString() << "\" runs into \"" << boxes[j].Text.toStdString() << '"';
  }
}

void ExpectClearLayout(const TrajectoryTable& table, const GraphSelection& sel, int rows,
                       const UnitFlags& units, char sep, int32_t language, QSizeF frame = kWholeGraph) {
  const ClearLayout lay = LayOutClearGraph(table, sel, rows, units, sep, language, frame);
  ExpectAxis(lay.Horizontal, Over(table, sel.Columns[0], rows), sep);
  ASSERT_EQ(lay.Vertical.size(), static_cast<std::size_t>(sel.Count - 2));
  ASSERT_EQ(lay.Legend.size(), lay.Vertical.size());
  for (std::size_t f = 0; f < lay.Vertical.size(); ++f) {
    ExpectAxis(lay.Vertical[f], Over(table, sel.Columns[f + 1], rows), sep);
    EXPECT_EQ(lay.Legend[f].Name.Text, LegendName(sel.Columns[f + 1], units, language));
    // Every axis reaches from the bottom of the plot area to its top.
    EXPECT_DOUBLE_EQ(lay.Vertical[f].TickPx.front(), lay.Plot.bottom());
    EXPECT_DOUBLE_EQ(lay.Vertical[f].TickPx.back(), lay.Plot.top());
  }
  ExpectNothingOverlaps(lay, frame);
}

// Seven curves of awkward ranges over a flight of 14.095 s.
class ClearStyleTest : public testing::Test {
 protected:
  void SetUp() override {
    table_ = test::MakeTable();
    for (int i = 1; i <= 500; ++i) {
      const double s = (i - 1) / 498.0;  // 0 at row 1, 1 at row 499
      table_->Cell(kColT, i) = 14.095 * i / 499;
      table_->Cell(kColH, i) = 250 * std::sin(kPi * s);          // 0 .. 250
      table_->Cell(kColNx, i) = -0.0537 + 0.0849 * s;            // -0.0537 .. 0.0312
      table_->Cell(kColCx, i) = 1e-9 * (1.3 + std::sin(9 * s));  // tiny
      table_->Cell(kColDrag, i) = 1.234e12 * s * s;              // huge
      table_->Cell(kColAngle, i) = -30 + 25 * s;                 // below zero only
      table_->Cell(kColV, i) = 5;                                // flat
      table_->Cell(kColTemp, i) = 288.15 - 71.5 * s;             // far from zero
    }
  }
  std::unique_ptr<TrajectoryTable> table_;
  UnitFlags units_{};
  const GraphSelection sel_ =
      test::Select({kColT, kColH, kColNx, kColCx, kColDrag, kColAngle, kColV, kColTemp});
};

TEST_F(ClearStyleTest, TicksCoverTheDataAndLabelsReadBackSignedWithoutOverlapInEveryLanguage) {
  for (const int32_t language : {1, 2, 3})
    for (const char sep : {'.', ','}) {
      SCOPED_TRACE(std::to_string(language) + sep);
      ExpectClearLayout(*table_, sel_, 500, units_, sep, language);
      ExpectClearLayout(*table_, sel_, 500, units_, sep, language, QSizeF(769, 513));  // the window's
    }
  // Each curve alone, and with the curves in another order (other axes side by side).
  for (int f = 1; f <= 7; ++f) {
    SCOPED_TRACE(f);
    ExpectClearLayout(*table_, test::Select({kColT, sel_.Columns[f]}), 500, units_, '.', 3);
  }
  ExpectClearLayout(*table_, test::Select({kColT, kColTemp, kColDrag, kColV, kColCx}), 500, units_, '.', 1);
}

TEST_F(ClearStyleTest, FlightOf14095MsHasTimeTicksEveryTwoSecondsTo16) {
  const ClearLayout lay = LayOutClearGraph(*table_, test::Select({kColT, kColH}), 500, units_, '.', 3);
  QStringList labels;
  for (const PlacedText& t : lay.Horizontal.Labels) labels << t.Text;
  EXPECT_EQ(labels, QStringList({"0", "2", "4", "6", "8", "10", "12", "14", "16"}));
  EXPECT_EQ(lay.Horizontal.Caption.Text, "t, s");

  const ClearLayout all = LayOutClearGraph(*table_, sel_, 500, units_, ',', 3);
  QStringList nx;
  for (const PlacedText& t : all.Vertical[1].Labels) nx << t.Text;
  EXPECT_EQ(nx.front(), QString::fromUtf8("−0,06"));
  EXPECT_EQ(nx.back(), "0,04");  // the first tick past the data
  EXPECT_TRUE(nx.contains("0"));
  EXPECT_EQ(all.Vertical[2].Caption.Text, QString::fromUtf8("Cx, ×10⁻⁹"));
  EXPECT_EQ(all.Vertical[3].Caption.Text, QString::fromUtf8("D, ×10¹² N"));
}

TEST(CoveringTicks, TakeTheSmallestRoundStepThatCoversTheRangeInFewEnoughIntervals) {
  const struct {
    double Min, Max;
    int Most;
    double Step, First;
    int Intervals;
  } cases[] = {
      {0.028, 14.095, 10, 2, 0, 8},       // not 1.755 apart, not ending at 14.04
      {-0.0537, 0.0312, 8, 0.02, -3, 5},  // 0.01 would take 10 intervals
      {0, 1e-9, 8, 2e-10, 0, 5},          // tiny
      {0, 1.234e12, 8, 2e11, 0, 7},       // huge
      {216.65, 288.15, 8, 10, 21, 8},     // zero far below
      {-30, -5, 8, 5, -6, 5},             // below zero only
      {5, 5, 8, 1, 5, 1},                 // flat: one interval above the value
      {0, 0, 8, 0.2, 0, 1},               // all zero
      {0, 700, 7, 100, 0, 7},             // ends on a tick
      {-1e-9, 1e12, 8, 2e11, -1, 6},      // both at once
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Min) + " .. " + std::to_string(c.Max));
    const AxisTicks t = CoveringTicks(c.Min, c.Max, c.Most);
    EXPECT_NEAR(t.Step, c.Step, c.Step * 1e-12);
    EXPECT_EQ(t.First, c.First);
    EXPECT_EQ(t.Intervals, c.Intervals);
  }
}

TEST(TickLabel, ShowsTheSignAndTheDecimalsTheStepNeeds) {
  const struct {
    double Value, Step;
    int Exponent;
    char Sep;
    const char* Text;
  } cases[] = {
      {-0.06, 0.02, 0, '.', "−0.06"}, {0.04, 0.02, 0, ',', "0,04"},
      {-2, 2, 0, '.', "−2"},          {2.0000000000000004e-17, 0.1, 0, '.', "0"},
      {4e11, 2e11, 12, '.', "0.4"},   {1e-9, 2e-10, -9, ',', "1,0"},
      {-1.5, 0.5, 0, '.', "−1.5"},    {12000, 2000, 0, '.', "12000"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TickLabel(c.Value, c.Step, c.Exponent, c.Sep), QString::fromUtf8(c.Text));
}

TEST_F(ClearStyleTest, LegendShowsEachCurvesColourBesideItsName) {
  const ClearLayout lay = LayOutClearGraph(*table_, sel_, 500, units_, '.', 2);
  const QImage img = GraphImage({*table_, sel_, 500, units_, '.', GraphStyle::Clear, 2});
  ASSERT_EQ(img.size(), QSize(kGraphWidth, kGraphHeight));
  std::vector<QRgb> seen;
  for (const LegendEntry& e : lay.Legend) {
    SCOPED_TRACE(e.Name.Text.toStdString());
    int bar = 0, ink = 0;
    const QRect swatch = e.Swatch.toAlignedRect(), name = e.Name.Box.toAlignedRect();
    for (int y = swatch.top(); y <= swatch.bottom(); ++y)
      for (int x = swatch.left(); x <= swatch.right(); ++x)
        bar += test::IsColor(img, x, y, e.Colour.rgb()) ? 1 : 0;
    for (int y = name.top(); y <= name.bottom(); ++y)
      for (int x = name.left(); x <= name.right(); ++x) ink += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_GE(bar, 24 * 4);
    EXPECT_GT(ink, 10 * e.Name.Text.size());  // the letters are drawn there
    for (const QRgb other : seen) EXPECT_NE(e.Colour.rgb(), other) << "two curves share a colour";
    seen.push_back(e.Colour.rgb());
  }
  EXPECT_EQ(seen.size(), 7u);
}

TEST(ClearStyleFont, HasEveryCharacterOfTheNamesInAllThreeLanguages) {
  const ClearLayout lay =
      LayOutClearGraph(*test::MakeTable(), test::Select({kColT, kColH}), 500, UnitFlags{}, '.', 1);
  EXPECT_TRUE(QFontInfo(lay.Font).family().startsWith("DejaVu Sans"))
      << QFontInfo(lay.Font).family().toStdString();
  const QFontMetrics fm(lay.Font);
  const UnitFlags big{1, 3, 1, 1, 1};
  for (int column = 0; column < TrajectoryTable::kColumns; ++column)
    for (const UnitFlags& units : {UnitFlags{}, big}) {
      QStringList texts{AxisCaption(column, units, -9), AxisCaption(column, units, 12)};
      for (const int32_t language : {1, 2, 3}) texts << LegendName(column, units, language);
      texts << TickLabel(-0.5, 0.5, 0, ',');
      for (const QString& text : texts)
        for (const uint c : text.toUcs4())
          EXPECT_TRUE(fm.inFontUcs4(c)) << text.toStdString() << ": U+" << std::hex << c;
    }
  EXPECT_EQ(LegendName(kColH, big, 1), QString::fromUtf8("Высота, km"));
  EXPECT_EQ(LegendName(kColT, big, 2), "Zeit, h");
  EXPECT_EQ(LegendName(kColMach, big, 3), "Mach number");
}

// The legend speaks the window's language; before one is chosen the window speaks German, the
// forms' own, and so does the legend.
TEST(ClearStyleLegend, SpeaksTheLanguageOfEachCodeAndGermanBeforeOneIsChosen) {
  struct Case {
    int32_t LangCode;
    const char* Name;
  };
  for (const Case c : {Case{0, "Zeit, s"}, Case{1, "Время, s"}, Case{2, "Zeit, s"}, Case{3, "Time, s"}})
    EXPECT_EQ(LegendName(kColT, UnitFlags{}, c.LangCode), QString::fromUtf8(c.Name)) << c.LangCode;
}

TEST(ClearStyleRocket, SevenAxesOfTheThreeStageRocketStandApart) {
  test_support::ScratchDir scratch("zarn_clear_rocket");
  const auto d = test_support::FlyWithFiles(
      ParametersOf(ReadParamFile(ZARN_EXAMPLES_DIR "/rocket-3-stage.zarn")), scratch.path());
  const int rows = GraphRows(d->Table, d->Summary.SamplesStored);
  GraphSelection selection{};
  for (const GraphEntry& graph : kGraphCatalogue) {
    SCOPED_TRACE(std::string(graph.Component));
    SelectGraph(graph, selection);
    for (const int32_t language : {1, 2, 3})
      ExpectClearLayout(d->Table, selection, rows, d->Units, ',', language);
  }
}

}  // namespace
}  // namespace zarn
