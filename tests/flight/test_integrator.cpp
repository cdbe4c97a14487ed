#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "flight/integrator.h"
#include "flight/presets.h"
#include "models/atmosphere.h"
#include "models/motion_step.h"
#include "output/result_files.h"
#include "output/run_note.h"
#include "records/errors.h"
#include "records/flight_data.h"
#include "tests/support/flights.h"
#include "tests/support/scratch.h"
#include "tests/support/threads.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using test_support::Ballistic;
using test_support::OneStageRocket;
using test_support::ReadFile;
using test_support::TwoStageRocket;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// A step line is every line of the step file that is neither blank, a header nor a marker.
bool IsStepLine(const std::string& line) {
  return line != " " && line.rfind("    t,s", 0) != 0 && line.rfind("(", 0) != 0;
}

// A flight that takes exactly one step per pass: it starts at its end height and does not climb.
FlightParameters OneStep() {
  FlightParameters p = Ballistic();
  p.H0 = p.Hk = 50;
  p.dt0 = 1;
  p.Tk = 1e6;
  return p;
}

// State after each step of the probe pass, observed through the progress report.
struct StepLog {
  std::vector<FlightState> States;
  std::vector<double> StartTimes;  // [s] t at the start of each step
};

class IntegratorTest : public ::testing::Test {
 protected:
  // The result files of a run, and every state the run gave them.
  class LoggedFiles final : public StepSink {
   public:
    LoggedFiles(const fs::path& dir, std::vector<FlightState>& states) : files_(dir), states_(states) {}
    void Begin() override { files_.Begin(); }
    void Step(const FlightState& s) override {
      states_.push_back(s);
      files_.Step(s);
    }
    void Sampled(int32_t row) override { files_.Sampled(row); }
    void End(const RunResult& r) override { files_.End(r); }
    void Abandon() noexcept override { files_.Abandon(); }

   private:
    ResultFiles files_;
    std::vector<FlightState>& states_;
  };

  // Flies p with its files in dir_; the result stays in R() when the run ends well.
  void Fly(const FlightParameters& p, RunOptions o = {}) {
    params_ = p;
    states_.clear();
    LoggedFiles files(dir_, states_);
    o.Sink = &files;
    result_ = ComputeTrajectory(p, o);
  }
  void Run(const FlightParameters& p) { Fly(p); }
  void RunPreset(int index) { Fly(zarn::test_support::PresetParameters(index)); }
  // Runs and keeps the probe pass's states.
  StepLog RunLogged(const FlightParameters& p) {
    Fly(p);
    StepLog log;
    double start = 0;
    for (int64_t i = 0; i < R().Summary.StepsPerPass; ++i) {
      log.StartTimes.push_back(start);
      log.States.push_back(states_[static_cast<std::size_t>(i)]);
      start = log.States.back().t;
    }
    return log;
  }
  const RunResult& R() const { return *result_; }
  double Cell(int column, int row) const { return R().Table.Cell(column, row); }
  std::string StepFile() const { return ReadFile(dir_ / kStepFileName); }
  fs::path SampleFilePath() const { return dir_ / kSampleFileName; }

  test_support::ScratchDir scratch_{"zarn_integrator"};
  const fs::path dir_ = scratch_.path();
  FlightParameters params_{};
  std::vector<FlightState> states_;  // every step of the last run, both passes
  std::unique_ptr<RunResult> result_;
};

// --- The run outline --------------------------------------------------------------------------

TEST_F(IntegratorTest, StartingAtTheEndHeightWithoutClimbTakesOneStepPerPass) {
  for (double angle : {0.0, -10.0}) {
    SCOPED_TRACE(angle);
    FlightParameters p = OneStep();
    p.TTO = angle;
    p.dt0 = 0.02;
    p.V0 = 30;
    const StepLog log = RunLogged(p);
    EXPECT_EQ(log.States.size(), 1u);
    EXPECT_EQ(R().Final.t, 0.02);
    EXPECT_EQ(R().Summary.SampleInterval, 0.02 / 500);
    EXPECT_EQ(Cell(kColT, 1), 0.02);  // row 1 holds the state after the step, not the start
    EXPECT_EQ(R().Summary.SamplesStored, 1);
    const std::vector<std::string> lines = Lines(StepFile());
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), IsStepLine), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "(1)"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "(2)"), 0);
  }
  // A positive angle lifts the body above the end height and the flight goes on.
  FlightParameters p = OneStep();
  p.TTO = 10;
  p.dt0 = 0.02;
  p.V0 = 30;
  EXPECT_GT(RunLogged(p).States.size(), 1u);
}

TEST_F(IntegratorTest, RunWritesA503LineSampleFile) {
  Run(OneStep());
  EXPECT_EQ(Lines(ReadFile(SampleFilePath())).size(), 503u);
}

// --- Sampling ---------------------------------------------------------------------------------

// A drag-free flight high above the ground that ends at Tk = 100 s.
FlightParameters HundredSeconds(double dt0) {
  FlightParameters p = Ballistic();
  p.H0 = 200000;
  p.V0 = 1000;
  p.dt0 = dt0;
  return p;
}

TEST_F(IntegratorTest, StepsOfAnySizeBelowTheIntervalStoreOneRowPerCrossingAndTheLastStepInRow500) {
  // 10000 and 100000 steps: below a hundredth of the interval as well as above it.
  for (double dt0 : {0.01, 0.001}) {
    SCOPED_TRACE(dt0);
    Run(HundredSeconds(dt0));
    const double duration = R().Final.t, interval = R().Summary.SampleInterval;
    EXPECT_NEAR(duration, 100, 1.5 * dt0);
    EXPECT_EQ(interval, duration / 500);
    EXPECT_EQ(R().Summary.StepsPerPass, std::llround(duration / dt0));
    EXPECT_EQ(R().Summary.SamplesStored, 500);
    EXPECT_EQ(Cell(kColT, 1), dt0);  // the first step
    for (int row = 2; row <= 499; ++row) {
      // The first step at or past the (row-1)-th multiple of the interval.
      const double crossing = (row - 1) * interval;
      ASSERT_GE(Cell(kColT, row), crossing - 1e-9) << "row " << row;
      ASSERT_LT(Cell(kColT, row), crossing + dt0 + 1e-9) << "row " << row;
    }
    EXPECT_EQ(Cell(kColT, 500), duration);  // the last step, which reaches the 500th multiple
    // One marker per row; only the last crossing may name row 500 a second time.
    const std::vector<std::string> lines = Lines(StepFile());
    for (int row = 1; row <= 499; ++row)
      ASSERT_EQ(std::count(lines.begin(), lines.end(), "(" + std::to_string(row) + ")"), 1) << "row " << row;
    EXPECT_GE(std::count(lines.begin(), lines.end(), "(500)"), 1);
    EXPECT_LE(std::count(lines.begin(), lines.end(), "(500)"), 2);
  }
}

TEST_F(IntegratorTest, FlightOfFewerStepsThanRowsStoresEveryStepAndZeroBeyond) {
  // The first preset thrown at 3 degrees lands after 248 steps of 5 ms.
  params_ = zarn::test_support::PresetParameters(0);
  params_.TTO = 3;
  const StepLog log = RunLogged(params_);
  ASSERT_EQ(log.States.size(), 248u);
  EXPECT_EQ(R().Summary.StepsPerPass, 248);
  EXPECT_EQ(R().Summary.SamplesStored, 248);
  for (int row = 1; row <= 248; ++row) {
    const FlightState& s = log.States[static_cast<std::size_t>(row - 1)];
    ASSERT_EQ(Cell(kColT, row), s.t) << "row " << row;
    ASSERT_EQ(Cell(kColH, row), std::max(s.H, 0.0)) << "row " << row;
    ASSERT_EQ(Cell(kColV, row), s.V) << "row " << row;
  }
  for (int column = 0; column < TrajectoryTable::kColumns; ++column)
    for (int row = 249; row <= 500; ++row) ASSERT_EQ(Cell(column, row), 0.0) << column << ", " << row;
  const std::vector<std::string> samples = Lines(ReadFile(SampleFilePath()));
  ASSERT_EQ(samples.size(), 503u);
  EXPECT_EQ(samples[3 + 248],
            "  249.00      0.00    0.00    0.0    0.0    0.0    0.0         0.0           0.0    0.0  ");
}

// The summary against the states of the steps themselves.
TEST_F(IntegratorTest, SummaryHoldsTheStepsTheLargestHeightAndPressureAndThePeakLoadFactor) {
  params_ = zarn::test_support::PresetParameters(0);
  const StepLog log = RunLogged(params_);
  double apex = -kInf, maxQ = -kInf, peakNx = 0;
  for (const FlightState& s : log.States) {
    apex = std::max(apex, s.H);
    maxQ = std::max(maxQ, s.q);
    if (std::fabs(s.nx) > std::fabs(peakNx)) peakNx = s.nx;
  }
  EXPECT_EQ(R().Summary.StepsPerPass, static_cast<int64_t>(log.States.size()));
  EXPECT_EQ(R().Summary.ApexH, apex);
  EXPECT_EQ(R().Summary.MaxQ, maxQ);
  EXPECT_EQ(R().Summary.PeakNx, peakNx);
  EXPECT_LT(peakNx, -0.1);  // drag only: the peak is the strongest deceleration, at the start
  EXPECT_GT(apex, 100);
}

TEST_F(IntegratorTest, RepeatedRunGivesIdenticalFilesAndTable) {
  RunPreset(0);
  ASSERT_GT(R().Final.t / params_.dt0, 2000);  // many more steps than rows
  const std::string steps = StepFile();
  const std::string samples = ReadFile(SampleFilePath());
  const TrajectoryTable table = R().Table;
  Fly(params_);
  EXPECT_TRUE(StepFile() == steps);
  EXPECT_TRUE(ReadFile(SampleFilePath()) == samples);
  EXPECT_TRUE(R().Table.Elements == table.Elements);
}

// A run that stops half-way leaves no sample file of an earlier run beside its step file: a plain
// one is gone, and one that is not a plain file of its own is emptied and stays what it was.
TEST_F(IntegratorTest, AStoppedRunLeavesNoEarlierSampleFileBesideItsStepFile) {
  const fs::path elsewhere = dir_ / "elsewhere.txt";
  const struct {
    const char* Kind;
    std::function<void(const fs::path&)> Make;
    bool Stays;
  } kKinds[] = {
      {"plain file", [](const fs::path& f) { std::ofstream(f) << "earlier rows\r\n"; }, false},
      {"link to a file",
       [&](const fs::path& f) {
         std::ofstream(elsewhere) << "earlier rows\r\n", fs::create_symlink(elsewhere, f);
       },
       true},
      {"file of two links",
       [&](const fs::path& f) {
         std::ofstream(elsewhere) << "earlier rows\r\n", fs::create_hard_link(elsewhere, f);
       },
       true},
      {"link to /dev/null", [](const fs::path& f) { fs::create_symlink("/dev/null", f); }, true},
  };
  for (const auto& kind : kKinds) {
    SCOPED_TRACE(kind.Kind);
    fs::remove(SampleFilePath());
    fs::remove(elsewhere);
    kind.Make(SampleFilePath());
    const fs::file_status before = fs::symlink_status(SampleFilePath());
    RunOptions o;
    o.ProgressEvery = 1000;
    o.Progress = [](const RunProgress&) { return false; };
    EXPECT_THROW(Fly(zarn::test_support::PresetParameters(0), o), Error);
    EXPECT_GT(StepFile().size(), 1000u);
    ASSERT_EQ(fs::exists(fs::symlink_status(SampleFilePath())), kind.Stays);
    if (!kind.Stays) continue;
    EXPECT_EQ(fs::symlink_status(SampleFilePath()).type(), before.type());
    if (fs::exists(elsewhere)) {
      EXPECT_EQ(ReadFile(elsewhere), "");
      EXPECT_EQ(fs::hard_link_count(elsewhere), fs::is_symlink(SampleFilePath()) ? 1u : 2u);
    }
  }
}

TEST_F(IntegratorTest, ALongRunThenAShortOneGiveTheShortRunsFilesTableAndSummaryAlone) {
  // The third preset climbs past 10 km, so both runs convert heights to km: rows of the long run
  // left in the table would be divided a second time.
  RunPreset(3);
  ASSERT_EQ(R().Summary.SamplesStored, 500);
  params_.dt0 = 0.05;  // 101 steps: 100 of them add up to a little less than Tk
  Fly(params_);
  ASSERT_EQ(R().Units.HeightInKm, 1);

  FlightParameters p = zarn::test_support::PresetParameters(3);
  p.dt0 = 0.05;
  const fs::path alone = dir_ / "alone";
  fs::create_directories(alone);
  const auto fresh = zarn::test_support::FlyWithFiles(p, alone);
  ASSERT_EQ(fresh->Summary.SamplesStored, 101);

  EXPECT_TRUE(StepFile() == ReadFile(alone / kStepFileName));
  EXPECT_TRUE(ReadFile(SampleFilePath()) == ReadFile(alone / kSampleFileName));
  EXPECT_TRUE(R().Table.Elements == fresh->Table.Elements);
  const RunSummary &a = R().Summary, &b = fresh->Summary;
  EXPECT_EQ(a.StepsPerPass, b.StepsPerPass);
  EXPECT_EQ(a.SamplesStored, b.SamplesStored);
  EXPECT_EQ(a.ApexH, b.ApexH);
  EXPECT_EQ(a.MaxQ, b.MaxQ);
  EXPECT_EQ(a.PeakNx, b.PeakNx);
}

TEST_F(IntegratorTest, NoteSaysHowManySamplesAFewStepFlightStoredAndWhichStepFillsAll) {
  struct Case {
    const char* What;
    std::function<void(FlightParameters&)> Set;
    char Separator;
    const char* Note;
  } const cases[] = {
      // 1.24 s: the interval 0.00248 s rounds down to 0.0024, never up.
      {"248 steps", [](FlightParameters& p) { p.TTO = 3; }, '.',
       "248 of 500 samples: the flight took 248 steps; a step of 0.0024 s or less fills all 500"},
      {"142 steps", [](FlightParameters& p) { p.dt0 = 0.1; }, ',',
       "142 of 500 samples: the flight took 142 steps; a step of 0,028 s or less fills all 500"},
      {"one step", [](FlightParameters& p) { p = OneStep(); }, '.',
       "1 of 500 samples: the flight ended at its first step"},
      {"a full table", [](FlightParameters&) {}, '.', ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    params_ = zarn::test_support::PresetParameters(0);
    c.Set(params_);
    Fly(params_);
    EXPECT_EQ(FewSamplesNote(R(), c.Separator), c.Note);
  }
}

// --- One step ---------------------------------------------------------------------------------

TEST_F(IntegratorTest, MachUses290MetresPerSecondOnlyAbove120km) {
  struct Case {
    double H0;      // [m]
    double Vsound;  // [m/s] expected
  } const cases[] = {
      {110000, StandardAtmosphere(110000).Vsound},
      {120000, StandardAtmosphere(120000).Vsound},  // at the limit: the table
      {120000.5, 290},
      {150000, 290},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.H0);
    FlightParameters p = OneStep();
    p.H0 = p.Hk = c.H0;
    p.V0 = 2900;
    Run(p);
    EXPECT_EQ(Cell(kColMach, 1), 2900 / c.Vsound);
  }
}

TEST_F(IntegratorTest, DragLawIsCalledWhenAeroModelRoundsToNonZeroAndActsOnlyAtOne) {
  struct Case {
    double AeroModel;
    double CxCur;
  } const cases[] = {
      {0, 0.7}, {0.4, 0.7}, {0.6, 0.5 / 2 + 0.091}, {1, 0.5 / 2 + 0.091}, {1.4, 0.5 / 2 + 0.091}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.AeroModel);
    FlightParameters p = OneStep();
    p.H0 = p.Hk = 0;
    p.V0 = 2 * 340.3;  // Mach 2
    p.Cx = 0.7;
    p.Cy = 0.3;
    p.AeroModel = c.AeroModel;
    Run(p);
    EXPECT_DOUBLE_EQ(Cell(kColCx, 1), c.CxCur);
    EXPECT_EQ(Cell(kColCy, 1), 0.3);
  }
}

// Values a run cannot mean are refused before it, naming the parameter: a code that rounds to no
// drag law (it flew as the constant Cx), a speed below 0 (it flew backwards: "Range: -1.06 m"),
// an end time of 0 or less (it ran one step and reported figures).
TEST_F(IntegratorTest, MeaninglessValuesAreRefusedNamingTheParameter) {
  struct Case {
    double FlightParameters::*Field;
    double Value;
    const char* Message;
  } const cases[] = {
      {&FlightParameters::AeroModel, 3, "AeroModel = 3 is no drag law"},
      {&FlightParameters::AeroModel, 1.6, "AeroModel = 1.6 is no drag law"},
      {&FlightParameters::AeroModel, -0.6, "AeroModel = -0.6 is no drag law"},
      {&FlightParameters::V0, -100, "V0 = -100 cannot be negative"},
      {&FlightParameters::Tk, -5, "Tk = -5 s must be more than 0"},
      {&FlightParameters::Tk, 0, "Tk = 0 s must be more than 0"},
  };
  for (const Case& c : cases) {
    FlightParameters p = OneStep();
    p.*c.Field = c.Value;
    try {
      ValidateRun(p);
      ADD_FAILURE() << c.Message << ": accepted";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.Message, 0), 0u) << e.what();
    }
  }
  FlightParameters p = OneStep();
  p.V0 = 0, p.AeroModel = 0.4;
  EXPECT_NO_THROW(ValidateRun(p));  // at rest, and a code that rounds to 0
}

TEST_F(IntegratorTest, UnitFlagsRiseOnlyStrictlyAboveTheirThresholds) {
  struct Case {
    const char* What;
    std::function<void(FlightParameters&)> Set;
    int32_t UnitFlags::*Flag;
    int32_t Expected;
    int Column;
    double Stored;  // in row 1 after the conversion
  };
  auto rocket = [](FlightParameters& p, double thrust) {
    p = OneStageRocket(p, 100, 10, 1000, thrust);  // with Isp 1000 at every pressure, the thrust exactly
  };
  const Case cases[] = {
      {"height 10000 m", [](FlightParameters& p) { p.H0 = p.Hk = 10000; }, &UnitFlags::HeightInKm, 0, kColH,
       10000},
      {"height 10000.5 m", [](FlightParameters& p) { p.H0 = p.Hk = 10000.5; }, &UnitFlags::HeightInKm, 1,
       kColH, 10.0005},
      {"time 3600 s", [](FlightParameters& p) { p.dt0 = 3600; }, &UnitFlags::TimeUnit, 0, kColT, 3600},
      {"time 3600.5 s", [](FlightParameters& p) { p.dt0 = 3600.5; }, &UnitFlags::TimeUnit, 2, kColT,
       3600.5 / 60},
      {"time 36000 s", [](FlightParameters& p) { p.dt0 = 36000; }, &UnitFlags::TimeUnit, 2, kColT, 600},
      {"time 36000.5 s", [](FlightParameters& p) { p.dt0 = 36000.5; }, &UnitFlags::TimeUnit, 3, kColT,
       36000.5 / 3600},
      {"range 10000 m", [](FlightParameters& p) { p.V0 = 10000; }, &UnitFlags::RangeInKm, 0, kColX, 10000},
      {"range 10000.5 m", [](FlightParameters& p) { p.V0 = 10000.5; }, &UnitFlags::RangeInKm, 1, kColX,
       10.0005},
      {"thrust 10000 N", [&](FlightParameters& p) { rocket(p, 10000); }, &UnitFlags::ThrustInKn, 0,
       kColThrust, 10000},
      {"thrust 10000.5 N", [&](FlightParameters& p) { rocket(p, 10000.5); }, &UnitFlags::ThrustInKn, 1,
       kColThrust, 10.0005},
      {"mass 10000 kg", [](FlightParameters& p) { p.MassaStart = 10000; }, &UnitFlags::MassInTonnes, 0,
       kColMass, 10000},
      {"mass 10000.5 kg", [](FlightParameters& p) { p.MassaStart = 10000.5; }, &UnitFlags::MassInTonnes, 1,
       kColMass, 10.0005},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    FlightParameters p = OneStep();
    c.Set(p);
    Run(p);
    ASSERT_EQ(R().Summary.SamplesStored, 1);  // one step, one sample
    EXPECT_EQ(R().Units.*c.Flag, c.Expected);
    // No other flag moves.
    const UnitFlags others = [&] {
      UnitFlags u = R().Units;
      u.*c.Flag = 0;
      return u;
    }();
    EXPECT_EQ(
        others.HeightInKm + others.TimeUnit + others.RangeInKm + others.ThrustInKn + others.MassInTonnes, 0);
    EXPECT_DOUBLE_EQ(Cell(c.Column, 1), c.Stored);
  }
}

TEST_F(IntegratorTest, NegativeHeightIsStoredAsZeroButWrittenToTheStepFile) {
  FlightParameters p = OneStep();
  p.H0 = p.Hk = -1.2;
  Run(p);
  EXPECT_EQ(R().Final.H, -1.2);
  EXPECT_EQ(Cell(kColH, 1), 0);
  EXPECT_NE(StepFile().find("-0.001"), std::string::npos);
}

// --- The rocket -------------------------------------------------------------------------------

TEST_F(IntegratorTest, TwoStageRocketDropsTheFirstEngineAtTheSecondBurnAndKeepsTheSecond) {
  const StepLog log = RunLogged(TwoStageRocket());
  ASSERT_GT(log.States.size(), 200u);
  auto after = [&](int step) -> const FlightState& { return log.States[static_cast<std::size_t>(step - 1)]; };
  // Step 81 starts at t = 10, the end of stage 1's window: still stage 1.
  EXPECT_EQ(log.StartTimes[80], 10);
  EXPECT_EQ(after(81).Mass, 500 - 81 * 1.25);
  EXPECT_EQ(after(81).Stage, 1);
  EXPECT_EQ(after(81).Thrust, 20000);
  // Step 82 starts past it: the first engine leaves, then stage 2 burns its first 5/8 kg.
  EXPECT_EQ(after(82).Mass, 398.75 - 30 - 0.625);
  EXPECT_EQ(after(82).Stage, 2);
  EXPECT_EQ(after(82).Thrust, 12500);
  // Step 161 starts at t = 20 and still burns a full step.
  EXPECT_EQ(after(161).Mass, 368.125 - 79 * 0.625);
  EXPECT_EQ(after(161).Thrust, 12500);
  // From then on no thrust, and the second engine stays on board.
  for (std::size_t i = 161; i < log.States.size(); ++i) {
    ASSERT_EQ(log.States[i].Mass, 318.75);
    ASSERT_EQ(log.States[i].Thrust, 0);
    ASSERT_EQ(log.States[i].Isp, 0);
  }
}

TEST_F(IntegratorTest, ThreeStageRocketDropsTheSecondEngineAndKeepsTheThird) {
  FlightParameters p = TwoStageRocket();
  p.Mt3 = 20, p.Iud3 = p.IudP3 = 2000, p.Schu3 = 8000, p.Mdv3 = 10;  // 4 kg/s for 5 s
  const StepLog log = RunLogged(p);
  auto after = [&](int step) -> const FlightState& { return log.States[static_cast<std::size_t>(step - 1)]; };
  EXPECT_EQ(after(162).Mass, 318.75 - 20 - 0.5);
  EXPECT_EQ(after(162).Stage, 3);
  EXPECT_EQ(after(201).Mass, 278.75);  // step 201 starts at t = 25, the last of stage 3
  EXPECT_EQ(after(202).Thrust, 0);
  EXPECT_EQ(log.States.back().Mass, 278.75);
  EXPECT_EQ(log.States.back().Stage, 3);
}

TEST_F(IntegratorTest, WeakRocketClimbsVerticallyUntil50sThenTurnsToTheLaunchAngleOnce) {
  // 60000 N against 5000 kg falling to 4000 kg at 50 s: 12 to 15 N/kg, below 25 throughout.
  FlightParameters p = OneStageRocket(Ballistic(), 5000, 3000, 3000, 60000);
  p.TTO = 45;
  p.dt0 = 0.125;
  p.Tk = 60;
  const StepLog log = RunLogged(p);
  ASSERT_EQ(log.States.size(), 480u);
  for (std::size_t i = 0; i < 400; ++i) {  // steps starting before 50 s
    ASSERT_EQ(log.States[i].AngleHold, 0) << "step " << i + 1;
    ASSERT_GT(log.States[i].Theta, 90 / 57.3 - 1e-3) << "step " << i + 1;
  }
  EXPECT_EQ(log.StartTimes[400], 50);
  EXPECT_EQ(log.States[400].AngleHold, 1);
  EXPECT_NEAR(log.States[400].Theta, 45 / 57.3, 0.01);
  // After the release the path bends freely under gravity; the angle is not set again.
  EXPECT_LT(log.States.back().Theta, 45 / 57.3 - 0.1);
  EXPECT_EQ(log.States.back().AngleHold, 1);
}

// --- Refusals, faults and cancelling ----------------------------------------------------------

TEST_F(IntegratorTest, StepOrEndTimeThatCouldNeverEndIsRefusedBeforeAnythingIsTouched) {
  struct Case {
    double dt0, Tk;
    const char* Message;
  } const cases[] = {
      {0, 10, "Integration step must be a positive number"},
      {-0.01, 10, "Integration step must be a positive number"},
      {kNaN, 10, "Integration step must be a positive number"},
      {kInf, 10, "Integration step must be a positive number"},
      {0.01, kInf, "End time must be a finite number"},
      {0.01, -kInf, "End time must be a finite number"},
      {0.01, kNaN, "End time must be a finite number"},
      // A step below half a unit in the last place of Tk leaves t where it is.
      {1e-320, 100,
       "Integration step dt0 = 9.99988867182683E-321 s cannot advance the time up to the end time Tk = 100 "
       "s"},
      {1e-14, 1000, "Integration step dt0 = 1E-14 s cannot advance the time up to the end time Tk = 1000 s"},
      {1e-13, 100,
       "Integration step dt0 = 1E-13 s would take 1E15 steps up to the end time Tk = 100 s (at most "
       "1000000000)"},
      {0.5, 500000000.5,
       "Integration step dt0 = 0.5 s would take 1000000001 steps up to the end time Tk = 500000000.5 s (at "
       "most 1000000000)"},
  };
  { std::ofstream(dir_ / kStepFileName) << "earlier run"; }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Message);
    params_ = Ballistic();
    params_.dt0 = c.dt0;
    params_.Tk = c.Tk;
    try {
      Fly(params_);
      ADD_FAILURE() << "run not refused";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), c.Message);
    }
    EXPECT_TRUE(states_.empty());
    EXPECT_EQ(StepFile(), "earlier run");
    EXPECT_FALSE(fs::exists(SampleFilePath()));
  }
}

TEST(RunParameters, AStepThatReachesTheEndTimeInABillionStepsOrAnEndAtTheFirstStepIsAccepted) {
  const struct {
    double dt0, Tk;
  } cases[] = {{0.5, 500000000}, {1e-7, 100}, {1e-320, 0}, {1e-320, -5}, {0.01, 1e7}};
  for (const auto& c : cases) {
    FlightParameters p = Ballistic();
    p.dt0 = c.dt0;
    p.Tk = c.Tk;
    EXPECT_NO_THROW(ValidateRunParameters(p)) << c.dt0 << " " << c.Tk;
  }
  FlightParameters p = Ballistic();
  p.dt0 = 0.5;
  p.Tk = 1000000000.5;
  try {
    ValidateRunParameters(p, ',');
    ADD_FAILURE() << "not refused";
  } catch (const Error& e) {  // in the window's own numbers
    EXPECT_STREQ(
        e.what(),
        "Integration step dt0 = 0,5 s would take 2000000001 steps up to the end time Tk = 1000000000,5 s "
        "(at most 1000000000)");
  }
}

// Values without a meaning are refused before the run, named with their value; a start mass with
// which the first step fails names that fault first, as the run did.
TEST_F(IntegratorTest, MeaninglessValuesAreRefusedByNameBeforeAnythingIsTouched) {
  auto rocket = [](FlightParameters& p) {
    p.TaskKind = 8;
    p.MassaStart = 1000;
    p.Mt = 500, p.Iud = 2000, p.IudP0 = 2300, p.Mdv = 100, p.Schub = 20000;
  };
  struct Case {
    const char* What;
    std::function<void(FlightParameters&)> Set;
    const char* Message;
  } const cases[] = {
      {"area", [](FlightParameters& p) { p.S0 = -0.02; }, "S0 = -0.02 cannot be negative"},
      {"drag", [](FlightParameters& p) { p.Cx = -1; }, "Cx = -1 cannot be negative"},
      {"gas", [](FlightParameters& p) { p.TaskKind = 3, p.GasDensity = -0.1; },
       "GasDensity = -0.1 cannot be negative"},
      {"fuel 1", [&](FlightParameters& p) { rocket(p), p.Mt = -5; }, "Mt = -5 cannot be negative"},
      {"fuel 3", [&](FlightParameters& p) { rocket(p), p.Mt3 = -5; }, "Mt3 = -5 cannot be negative"},
      {"engine 2", [&](FlightParameters& p) { rocket(p), p.Mdv2 = -1; }, "Mdv2 = -1 cannot be negative"},
      {"thrust 1", [&](FlightParameters& p) { rocket(p), p.Schub = -1e4; },
       "Schub = -10000 cannot be negative"},
      {"thrust 2", [&](FlightParameters& p) { rocket(p), p.Schu2 = -1; }, "Schu2 = -1 cannot be negative"},
      {"no mass", [](FlightParameters& p) { p.MassaStart = 0; },
       "Invalid floating point operation (MassaStart = 0)"},
      {"no mass, buoyant", [](FlightParameters& p) { p.TaskKind = 4, p.MassaStart = 0; },
       "Floating point division by zero (MassaStart = 0)"},
      {"negative mass", [](FlightParameters& p) { p.MassaStart = -1; },
       "MassaStart = -1 must be more than 0"},
  };
  { std::ofstream(dir_ / kStepFileName) << "earlier run"; }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    FlightParameters p = Ballistic();
    p.V0 = 100;
    p.TTO = 45;
    p.Cx = 0.5;
    c.Set(p);
    try {
      Fly(p);
      ADD_FAILURE() << "run not refused";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), c.Message);
    }
    EXPECT_TRUE(states_.empty());
    EXPECT_EQ(StepFile(), "earlier run");
  }
  // Odd but meaningful values fly as before: an end height below the ground, an angle past the
  // vertical, no drag at all; stage values count only for a rocket.
  const std::function<void(FlightParameters&)> flying[] = {
      [](FlightParameters& p) { p.Hk = -50; },
      [](FlightParameters& p) { p.TTO = 120; },
      [](FlightParameters& p) { p.Cx = 0, p.S0 = 0; },
      [](FlightParameters& p) { p.Mt = p.Schub = p.Mdv3 = -1; },
  };
  for (const auto& set : flying) {
    FlightParameters p = Ballistic();
    set(p);
    EXPECT_NO_THROW(Fly(p));
  }
}

TEST_F(IntegratorTest, ProgressComesEveryNStepsAndAtTheEndOfEachPass) {
  params_ = zarn::test_support::PresetParameters(0);
  std::vector<RunProgress> reports;
  RunOptions o;
  o.ProgressEvery = 1200;  // a pass takes about 2900 steps
  o.Progress = [&](const RunProgress& r) {
    reports.push_back(r);
    return true;
  };
  Fly(params_, o);
  ASSERT_EQ(reports.size(), 6u);
  const int64_t n = reports[2].Steps;  // steps per pass
  const std::vector<int64_t> expected{1200, 2400, n, n + 1200, n + 2400, 2 * n};
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].Steps, expected[i]);
    EXPECT_EQ(reports[i].Pass, i < 3 ? 0 : 1);
    EXPECT_EQ(reports[i].Tk, 100);
    EXPECT_EQ(reports[i].Duration, i < 3 ? 0 : R().Final.t);
  }
  EXPECT_NEAR(reports[1].t, 2400 * 0.005, 1e-9);  // the model time reached
}

TEST_F(IntegratorTest, CancelStopsTheRunAndLeavesTheStepFileFlushed) {
  params_ = zarn::test_support::PresetParameters(0);
  RunOptions o;
  o.ProgressEvery = 100;
  o.Progress = [](const RunProgress&) { return false; };
  try {
    Fly(params_, o);
    ADD_FAILURE() << "run not cancelled";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Run cancelled");
  }
  const std::vector<std::string> lines = Lines(StepFile());
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), IsStepLine), 100);
  EXPECT_EQ(lines.back().substr(0, 8), "    0.50");
  EXPECT_FALSE(fs::exists(SampleFilePath()));
}

// Cancelled while the step file's writer thread writes (some 9 MB into the probe pass): the file
// holds exactly the lines of the steps done, as the whole run writes them, and no thread is left.
TEST_F(IntegratorTest, CancelWhileTheStepFileIsWrittenKeepsTheStepsDoneAndLeavesNoThread) {
  params_ = zarn::test_support::PresetParameters(1);
  params_.dt0 = 0.001;  // 100 000 steps a pass
  Fly(params_);
  const std::string whole = StepFile();

  constexpr int64_t kStepsDone = 40000;
  RunOptions o;
  o.ProgressEvery = kStepsDone;
  o.Progress = [](const RunProgress&) { return false; };
  const int before = test_support::ThreadsNow();
  try {
    Fly(params_, o);
    ADD_FAILURE() << "run not cancelled";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Run cancelled");
  }
  EXPECT_LE(test_support::ThreadsSettlingTo(before), before);
  const std::string kept = StepFile();
  ASSERT_GT(kept.size(), std::size_t{8} << 20);  // well past the buffers written without the thread
  EXPECT_TRUE(kept == whole.substr(0, kept.size())) << "the kept bytes are not the file's first ones";
  const std::vector<std::string> lines = Lines(kept);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), IsStepLine), kStepsDone);
  EXPECT_EQ(kept.substr(kept.size() - 2), "\r\n");
}

TEST_F(IntegratorTest, ArithmeticFaultStopsTheRunWithItsMessageAndLeavesNothingNonFinite) {
  auto rocket = [](FlightParameters& p) {
    p = OneStageRocket(p, 10, 10, 1000, 10000);  // 10 kg/s for 1 s
    p.dt0 = 0.25;
  };
  RunPreset(0);  // a summary that a failed run must not leave standing
  struct Case {
    const char* What;
    std::function<void(FlightParameters&)> Set;
    const char* Message;
  } const cases[] = {
      {"stage without vacuum Isp", [&](FlightParameters& p) { rocket(p), p.IudP0 = 0; },
       "Floating point division by zero"},
      {"stage without thrust", [&](FlightParameters& p) { rocket(p), p.Schub = 0; },
       "Floating point division by zero"},
      {"rocket that burns all its mass", [&](FlightParameters& p) { rocket(p); },
       "Floating point division by zero"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    fs::remove(SampleFilePath());
    FlightParameters p = Ballistic();
    p.V0 = 100;
    p.TTO = 45;
    c.Set(p);
    try {
      Run(p);
      ADD_FAILURE() << "no fault";
    } catch (const FloatingPointError& e) {
      EXPECT_STREQ(e.what(), c.Message);
    }
    // The step file is closed with everything written before the fault; no sample file.
    const std::string steps = StepFile();
    ASSERT_GE(steps.size(), 170u);
    EXPECT_EQ(steps.substr(steps.size() - 2), "\r\n");
    EXPECT_EQ(steps.find("nan"), std::string::npos);
    EXPECT_EQ(steps.find("inf"), std::string::npos);
    EXPECT_FALSE(fs::exists(SampleFilePath()));
    // No step that reached the files holds a value that is not finite.
    for (const FlightState& s : states_)
      for (double v : {s.t, s.X, s.H, s.V, s.Theta, s.Mass, s.Thrust, s.Isp, s.Mach, s.q, s.Drag, s.Lift,
                       s.nx, s.ny, s.dVdt})
        ASSERT_TRUE(std::isfinite(v));
  }
}

TEST_F(IntegratorTest, UnwritableDirectoryStopsTheRunWithAFileError) {
  EXPECT_THROW(zarn::test_support::FlyWithFiles(OneStep(), dir_ / "missing"), FileError);
}

// --- Against physics --------------------------------------------------------------------------

// Without drag the Euler path approaches the vacuum parabola: range v^2 sin(2a)/g and peak
// height v^2 sin^2(a)/(2g), for the angle a = 45/57.3 rad that the program flies. The range is
// read where the last step crosses the ground, so that the overshoot of that step does not count.
TEST_F(IntegratorTest, DragFreeFlightApproachesTheVacuumRangeAndPeak) {
  const double v = 100, a = 45 / 57.3, g = 9.8;
  const double range = v * v * std::sin(2 * a) / g;
  const double peak = v * v * std::sin(a) * std::sin(a) / (2 * g);
  std::vector<double> rangeErrors, peakErrors;
  for (double dt0 : {0.01, 0.001, 0.0001}) {
    FlightParameters p = Ballistic();
    p.V0 = v;
    p.TTO = 45;
    p.Tk = 1000;
    p.dt0 = dt0;
    const StepLog log = RunLogged(p);
    ASSERT_LT(log.States.back().H, 0);
    double top = 0;
    for (const FlightState& s : log.States) top = std::max(top, s.H);
    const FlightState& above = log.States[log.States.size() - 2];
    const FlightState& below = log.States.back();
    const double landing = above.X + (below.X - above.X) * above.H / (above.H - below.H);
    rangeErrors.push_back(std::fabs(landing - range) / range);
    peakErrors.push_back(std::fabs(top - peak) / peak);
    std::cout << "dt0 " << dt0 << ": range " << landing << " m (exact " << range << ", rel. error "
              << rangeErrors.back() << "), peak " << top << " m (exact " << peak << ", rel. error "
              << peakErrors.back() << ")\n";
  }
  for (std::size_t i = 1; i < 3; ++i) {
    EXPECT_LT(rangeErrors[i], rangeErrors[i - 1] / 5);
    EXPECT_LT(peakErrors[i], peakErrors[i - 1] / 5);
  }
  EXPECT_LT(rangeErrors.back(), 1e-4);
  EXPECT_LT(peakErrors.back(), 1e-4);
}

// Far above the air a vertical burn gains Isp ln(m0/m1) less gravity's 9.8 t. The run ends at the
// burn's end time; m1 and t are the mass and time it reached there (a last step may end a little
// past 60 s and burn its full mass flow).
TEST_F(IntegratorTest, VacuumVerticalBurnApproachesTheRocketEquation) {
  const double v0 = 100, isp = 3000, m0 = 1000, m1 = 400, burn = 60;
  std::vector<double> errors;
  for (double dt0 : {0.1, 0.01, 0.001}) {
    FlightParameters p = OneStageRocket(Ballistic(), m0, m0 - m1, isp, isp * 10);  // 10 kg/s for 60 s
    p.H0 = 400000;
    p.V0 = v0;
    p.TTO = 90;
    p.S0 = 1;
    p.Cx = 0.2;  // in air of 1e-10 kg/m^3 drag does not matter
    p.dt0 = dt0;
    p.Tk = burn;
    Run(p);
    const FlightState& s = R().Final;
    ASSERT_GT(s.Thrust, 0);  // still burning in the last step
    const double expected = v0 + isp * std::log(m0 / s.Mass) - 9.8 * s.t;
    errors.push_back(std::fabs(s.V - expected) / expected);
    std::cout << "dt0 " << dt0 << ": burn-out speed " << s.V << " m/s at t " << s.t << " s, mass " << s.Mass
              << " kg (expected " << expected << ", rel. error " << errors.back() << ")\n";
  }
  EXPECT_LT(errors[1], errors[0] / 5);
  EXPECT_LT(errors[2], errors[1] / 5);
  EXPECT_LT(errors[2], 1e-4);
}

}  // namespace
}  // namespace zarn

namespace zarn {
namespace {

// Runs share nothing: the five presets flown at once on threads of their own, each with its own
// result files, give the table, summary, final state and files that each gives flown alone.
TEST(SideBySideRuns, FlyAsTheyFlyAlone) {
  test_support::ScratchDir scratch("zarn_side_by_side");
  constexpr int kRuns = 5;
  std::vector<std::unique_ptr<RunResult>> alone(kRuns), together(kRuns);
  for (int i = 0; i < kRuns; ++i) {
    fs::create_directories(scratch.path() / "alone" / std::to_string(i));
    alone[i] = test_support::FlyWithFiles(test_support::PresetParameters(i),
                                          scratch.path() / "alone" / std::to_string(i));
  }
  std::vector<std::thread> threads;
  for (int i = 0; i < kRuns; ++i) {
    const fs::path dir = scratch.path() / "together" / std::to_string(i);
    fs::create_directories(dir);
    threads.emplace_back([&together, i, dir] {
      together[i] = test_support::FlyWithFiles(test_support::PresetParameters(i), dir);
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kRuns; ++i) {
    SCOPED_TRACE(i);
    ASSERT_NE(together[i], nullptr);
    EXPECT_EQ(std::memcmp(&alone[i]->Table, &together[i]->Table, sizeof(TrajectoryTable)), 0);
    EXPECT_EQ(std::memcmp(&alone[i]->Summary, &together[i]->Summary, sizeof(RunSummary)), 0);
    EXPECT_EQ(std::memcmp(&alone[i]->Final, &together[i]->Final, sizeof(FlightState)), 0);
    for (const char* file : {kStepFileName, kSampleFileName})
      EXPECT_TRUE(test_support::ReadFile(scratch.path() / "alone" / std::to_string(i) / file) ==
                  test_support::ReadFile(scratch.path() / "together" / std::to_string(i) / file))
          << file;
  }
  // Preset 3 climbs past 10 km and converts its heights; the others keep metres.
  EXPECT_EQ(together[3]->Units.HeightInKm, 1);
  EXPECT_EQ(together[0]->Units.HeightInKm, 0);
}

}  // namespace
}  // namespace zarn
