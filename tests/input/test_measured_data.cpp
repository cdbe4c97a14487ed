// Measured data read from CSV and compared with a run: figures computed by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "input/measured_data.h"
#include "records/errors.h"

namespace zarn {
namespace {

// A run of four stored rows: t = 0, 1, 2, 3 s; H = 0, 10, 20, 10 m; X = 0, 30, 60, 90 m; apex 20 m,
// range 100 m (the last step went past the last row).
std::unique_ptr<RunResult> FourRowRun(const UnitFlags& units = {}) {
  auto run = std::make_unique<RunResult>();
  run->Table.RowsPerColumn = 500;  // as a run leaves it
  const double t[] = {0, 1, 2, 3}, h[] = {0, 10, 20, 10}, x[] = {0, 30, 60, 90};
  for (int i = 0; i < 4; ++i) {
    run->Table.Cell(kColT, i + 1) = t[i];
    run->Table.Cell(kColH, i + 1) = h[i] / (units.HeightInKm == 1 ? 1000.0 : 1.0);
    run->Table.Cell(kColX, i + 1) = x[i];
  }
  run->Units = units;
  run->Summary.SamplesStored = 4;
  run->Summary.ApexH = 20;
  run->Events.push_back({EventKind::Apex, 0, 2, 60, 20, 5, 0});
  run->Final.X = 100;
  return run;
}

// The same flight ending at the ground: its last row (t = 3 s) lies 4 m below it, after the impact
// at t = 2.8 s, X = 80 m, V = 12 m/s.
std::unique_ptr<RunResult> ImpactRun() {
  auto run = FourRowRun();
  run->Table.Cell(kColH, 4) = -4;
  run->Table.Cell(kColV, 3) = 10;
  run->Table.Cell(kColV, 4) = 13;
  run->Events.push_back({EventKind::Impact, 0, 2.8, 80, 0, 12, -0.5});
  return run;
}

TEST(MeasuredData, AFlightThatEndsAtTheGroundIsComparedUpToItsImpact) {
  // At t = 2.35 s, 0.35/0.8 of the way from the row at 2 s to the impact: H 20 + (0 - 20) * 0.4375 =
  // 11.25 m, V 10 + (12 - 10) * 0.4375 = 10.875 m/s, X 60 + (80 - 60) * 0.4375 = 68.75 m (the last
  // row would have given 12.125 m, 11.05 m/s and 70.5 m). At t = 2.9 s, after the impact, nothing
  // is compared; the range is measured against the impact's 80 m, not the last step's 100 m.
  const MeasuredData data = ParseMeasuredData("t_s,H_m,V_m_s,X_m\n2.35,12,11,71\n2.9,0,0,85\n", "m.csv");
  const Deviation d = CompareWithRun(data, *ImpactRun());
  ASSERT_EQ(d.Columns.size(), 3u);
  EXPECT_EQ(d.Columns[0].Compared, 1);
  EXPECT_EQ(d.Columns[0].Outside, 1);
  EXPECT_NEAR(d.Columns[0].MaxDiff, 12 - 11.25, 1e-12);
  EXPECT_NEAR(d.Columns[1].MaxDiff, 11 - 10.875, 1e-12);
  EXPECT_NEAR(d.Columns[2].MaxDiff, 71 - 68.75, 1e-12);
  EXPECT_NEAR(*d.RangeX, 85 - 80.0, 1e-12);
  EXPECT_FALSE(RunValueAt(*ImpactRun(), kColH, 2.81));
  EXPECT_EQ(*RunValueAt(*ImpactRun(), kColH, 2.8), 0.0);
}

TEST(MeasuredData, AMeasurementAtTheLastStoredTimeIsCompared) {
  // A flight that ends by time: its last row, t = 3 s, H = 10 m, is inside it.
  const MeasuredData data = ParseMeasuredData("t_s,H_m\n3,12\n", "m.csv");
  const Deviation d = CompareWithRun(data, *FourRowRun());
  EXPECT_EQ(d.Columns[0].Compared, 1);
  EXPECT_EQ(d.Columns[0].Outside, 0);
  EXPECT_DOUBLE_EQ(d.Columns[0].MaxDiff, 2.0);
}

TEST(MeasuredData, DeviationAtTheMeasuredTimesAgreesWithAHandComputation) {
  // t = 0.5: computed H 5, measured 6 (+1); t = 2.5: 15 against 14 (-1); t = 1: 10 against 13 (+3);
  // t = 5 lies after the flight. RMS = sqrt((1 + 1 + 9) / 3) = 1.9148542155126762.
  const MeasuredData data = ParseMeasuredData("t_s,H_m,X_m\n0.5,6,\n2.5,14,70\n1,13,31\n5,9,95\n", "m.csv");
  for (const UnitFlags units : {UnitFlags{}, UnitFlags{1, 0, 0, 0, 0}}) {
    const Deviation d = CompareWithRun(data, *FourRowRun(units));
    ASSERT_EQ(d.Columns.size(), 2u);
    EXPECT_EQ(d.Columns[0].Column, kColH);
    EXPECT_EQ(d.Columns[0].Compared, 3);
    EXPECT_EQ(d.Columns[0].Outside, 1);
    EXPECT_NEAR(d.Columns[0].Rms, 1.9148542155126762, 1e-12);
    EXPECT_DOUBLE_EQ(d.Columns[0].MaxDiff, 3.0);
    // X: 70 against 75 (-5) at 2.5 s, 31 against 30 (+1) at 1 s; the empty cell is no measurement.
    EXPECT_EQ(d.Columns[1].Compared, 2);
    EXPECT_NEAR(d.Columns[1].Rms, std::sqrt(13.0), 1e-12);
    EXPECT_DOUBLE_EQ(d.Columns[1].MaxDiff, -5.0);
    EXPECT_DOUBLE_EQ(*d.ApexH, 14.0 - 20.0);    // the largest measured H against the apex
    EXPECT_DOUBLE_EQ(*d.RangeX, 95.0 - 100.0);  // X measured last against the range
  }
  EXPECT_EQ(DeviationText(CompareWithRun(data, *FourRowRun()), '.'),
            "H_m: RMS 1.915, largest +3 (3 times; 1 outside the flight skipped)\n"
            "X_m: RMS 3.606, largest -5 (2 times; 1 outside the flight skipped)\n"
            "apex H_m: -6\nrange X_m: -5\n");
}

TEST(MeasuredData, ErrorsNameTheFileTheLineAndTheColumn) {
  using namespace std::string_view_literals;
  const struct {
    std::string_view Text;
    const char* Message;
  } cases[] = {
      {"t_s,Hm\n", "m.csv:1: column 2: unknown name 'Hm' (did you mean 'H_m'?)"},
      {"H_m,X_m\n1,2\n", "m.csv:1: no t_s column: the measured times are needed"},
      {"t_s,H_m,H_m\n", "m.csv:1: column 3: 'H_m' is named twice"},
      {"t_s,H_m\n\n1,2\n2,x\n",
       "m.csv:4: column 2 (H_m): 'x' is not a number (the decimal separator is '.')"},
      {"t_s,H_m\r\n1,2,3\r\n", "m.csv:2: 3 fields, but the header names 2"},
      {"t_s,H_m\n,2\n", "m.csv:2: column 1 (t_s): the time is empty"},
      {"t_s,H_m\n1,1e999\n",
       "m.csv:2: column 2 (H_m): '1e999' is not a number (the decimal separator is '.')"},
      {"", "m.csv: empty: a header row with t_s is needed"},
      // What a terminal or Python would take for something else is shown escaped.
      {"t_s,H\x1b[2J\r\n",
       "m.csv:1: column 2: unknown name 'H\\x1b[2J' (the table CSV's column names: t_s, H_m, X_m, V_m_s, "
       "...)"},
      {"t_s,H\rX\n",
       "m.csv:1: column 2: unknown name 'H\\rX' (the table CSV's column names: t_s, H_m, X_m, V_m_s, ...)"},
      {"t_s,\xff\xfeH\n",
       "m.csv:1: column 2: unknown name '\\xff\\xfeH' (the table CSV's column names: t_s, H_m, X_m, V_m_s, "
       "...)"},
      {"t_s,\xc2\x9b"
       "31m,H\xc3\xb6he\n",
       "m.csv:1: column 2: unknown name '\\xc2\\x9b"
       "31m' (the table CSV's column names: t_s, H_m, X_m, V_m_s, ...)"},
      {"t_s,H\xc3\xb6he\n",
       "m.csv:1: column 2: unknown name 'H\xc3\xb6he' (the table CSV's column names: t_s, H_m, X_m, V_m_s, "
       "...)"},
      {"t_s,H_m\n1,2\0003\n"sv,
       "m.csv:2: column 2 (H_m): '2\\x003' is not a number (the decimal separator is '.')"},
      // Beyond 1e150 the squares of the differences would overflow.
      {"t_s,H_m\n1,1e155\n",
       "m.csv:2: column 2 (H_m): '1e155' lies beyond 1E150 in size: not a measured value"},
      {"t_s,H_m\n-1e151,2\n",
       "m.csv:2: column 1 (t_s): '-1e151' lies beyond 1E150 in size: not a measured value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Text));
    try {
      ParseMeasuredData(c.Text, "m.csv");
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), c.Message);
    }
  }
}

}  // namespace
}  // namespace zarn
