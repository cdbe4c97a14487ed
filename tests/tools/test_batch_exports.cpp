// What zarn-batch hands on to other tools: the table as CSV, the graph as PNG, and a quiet mode
// for scripts; each checked against the same run in-process.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <tuple>

#include "batch_program.h"
#include "flight/presets.h"
#include "output/result_files.h"
#include "output/table_csv.h"
#include "plot/catalogue.h"
#include "plot/renderer.h"
#include "runner/runner.h"

namespace zarn::runner {
namespace {

using namespace test_support;

// A lob of some 67 minutes up to thousands of km: time in minutes, height and range in km.
const std::vector<std::string> kLongLob{"--preset", "0",    "--set", "V0=20000",  "--set", "TTO=80",
                                        "--set",    "Cx=0", "--set", "Tk=100000", "--set", "dt0=1"};
void LongLob(FlightParameters& p) {
  p.V0 = 20000;
  p.TTO = 80;
  p.Cx = 0;
  p.Tk = 100000;
  p.dt0 = 1;
}

std::vector<std::string> With(std::vector<std::string> args, std::initializer_list<std::string> more) {
  args.insert(args.end(), more);
  return args;
}

TEST_F(BatchProgram, CsvIsTheTableInFixedUnitsAndGoesWhereItIsNamed) {
  fs::create_directories(work_ / "out");
  const Outcome r = Batch(With(kLongLob, {"--dir", "out", "--csv", "lob.csv"}));
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  // Relative to the current directory, not to --dir.
  EXPECT_EQ(Listing(work_), (std::set<std::string>{"out", "lob.csv"}));

  const auto d = RunInProcess(0, LongLob, io_);
  ASSERT_EQ(d->Units.TimeUnit, 2);
  ASSERT_EQ(d->Units.HeightInKm, 1);
  const std::string csv = ReadFile(work_ / "lob.csv");
  EXPECT_TRUE(csv == TableCsvText(d->Table, d->Units, 500));
  EXPECT_EQ(csv.substr(0, csv.find('\n')), TableCsvHeader());
}

// A script reading a sweep finds the same columns in the same units whatever each flight did:
// the header never changes, and the numbers are in the header's units. Each flight is checked
// against its own figures: the last stored row lies within a sample interval of the last step,
// and the highest stored row just below the apex.
TEST_F(BatchProgram, CsvHeaderAndUnitsStayTheSameWhateverTheFlightPasses) {
  const struct Flight {
    const char* Name;
    std::vector<std::string> Args;
    UnitFlags Units;  // what the run switched the table to
  } flights[] = {
      {"a short throw", {"--preset", "0"}, {}},
      {"a lob past 10 km and 3600 s", kLongLob, {1, 2, 1, 0, 0}},
      {"a lob past 36000 s",
       {"--preset", "0", "--set", "V0=180000", "--set", "TTO=89", "--set", "Cx=0", "--set", "Tk=1e6", "--set",
        "dt0=10"},
       {1, 3, 1, 0, 0}},
      {"a rocket past 10 kN and 10 t",
       {"--set", "TaskKind=8",  "--set", "MassaStart=30000", "--set", "S0=2",       "--set", "Cx=0.3",
        "--set", "TTO=60",      "--set", "dt0=0.01",         "--set", "Tk=60",      "--set", "H0=0",
        "--set", "Mt=20000",    "--set", "Iud=2500",         "--set", "IudP0=2900", "--set", "Mdv=2000",
        "--set", "Schub=600000"},
       {1, 0, 0, 1, 1}},
  };
  for (const Flight& f : flights) {
    SCOPED_TRACE(f.Name);
    const Outcome r = Batch(With(f.Args, {"--csv", "-"}));
    ASSERT_EQ(r.Exit, 0) << r.Err;
    std::vector<std::string_view> args(f.Args.begin(), f.Args.end());
    const InProcessRun run = RunArgs(args, io_);
    const UnitFlags& u = run.Data->Units;
    EXPECT_EQ(std::tie(u.HeightInKm, u.TimeUnit, u.RangeInKm, u.ThrustInKn, u.MassInTonnes),
              std::tie(f.Units.HeightInKm, f.Units.TimeUnit, f.Units.RangeInKm, f.Units.ThrustInKn,
                       f.Units.MassInTonnes));

    const auto rows = CsvRows(r.Out);
    ASSERT_EQ(rows.size(), 501u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"t_s",
                                                 "V_m_s",
                                                 "q_kPa",
                                                 "H_m",
                                                 "Q_deg",
                                                 "X_m",
                                                 "nx_g",
                                                 "ny_g",
                                                 "Vwind_m_s",
                                                 "Isp_Ns_kg",
                                                 "Thrust_N",
                                                 "Mass_kg",
                                                 "ThrustPerMass_N_kg",
                                                 "Drag_N",
                                                 "Lift_N",
                                                 "Cx",
                                                 "Cy",
                                                 "Mach",
                                                 "T_K",
                                                 "P_bar",
                                                 "rho_kg_m3",
                                                 "Re_1e3"}));
    auto cell = [&](std::size_t row, const char* name) {
      const auto at = std::find(rows[0].begin(), rows[0].end(), name) - rows[0].begin();
      return std::stod(rows[row].at(static_cast<std::size_t>(at)));
    };
    const Figures& fig = run.Result;
    const double interval = *fig[kFigTime] / 500;
    EXPECT_NEAR(cell(500, "t_s"), *fig[kFigTime], interval);
    EXPECT_NEAR(cell(500, "X_m"), *fig[kFigRange], std::abs(*fig[kFigRange]) * 0.01 + 1);
    EXPECT_NEAR(cell(500, "Mass_kg"), *fig[kFigEndMass], *fig[kFigEndMass] * 0.01);
    double top = 0;
    for (std::size_t row = 1; row <= 500; ++row) top = std::max(top, cell(row, "H_m"));
    if (fig[kFigApex]) {  // a flight that climbs and turns
      EXPECT_LE(top, *fig[kFigApex] + 1e-6 * *fig[kFigApex]);
      EXPECT_GT(top, *fig[kFigApex] * 0.99);
    }
    // Thrust and mass per mass in N and kg: their quotient is the column of N/kg.
    EXPECT_DOUBLE_EQ(cell(1, "Thrust_N") / cell(1, "Mass_kg"), cell(1, "ThrustPerMass_N_kg"));
  }
}

TEST_F(BatchProgram, JsonIsOneObjectOfTheFiguresOrTheError) {
  Outcome r = Batch({"--preset", "2", "--json"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const InProcessRun run = RunArgs({"--preset", "2"}, io_);
  // The figures, which kind of maxima they hold, then the events: launch first, impact last.
  std::string figures = FiguresJson(run.Result);
  figures.pop_back();
  EXPECT_EQ(
      r.Out.rfind(figures + ", \"maxima\": \"step ends\", \"events\": [{\"event\": \"launch\", \"t_s\": 0, ",
                  0),
      0u)
      << r.Out;
  EXPECT_NE(r.Out.find("{\"event\": \"impact\", \"t_s\": " + NumberText(*run.Result[kFigImpactT])),
            std::string::npos);
  EXPECT_EQ(r.Out.substr(r.Out.size() - 4), "}]}\n");
  EXPECT_EQ(
      r.Out.rfind("{\"steps_per_pass\": 3759, \"samples_stored\": 500, \"t_s\": 3.758999999999697, ", 0), 0u)
      << r.Out;
  std::ofstream(io_ / "good.json") << r.Out;

  r = Batch({"--preset", "2", "--set", "MassaStart=0", "--json"});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Out, "{\"error\": \"Invalid floating point operation (MassaStart = 0)\"}\n");
  EXPECT_EQ(r.Err, "zarn-batch: Invalid floating point operation (MassaStart = 0)\n");

  // The task's own figure where it has one: a glider's level-flight speed.
  r = Batch({"--preset", "2", "--set", "TaskKind=5", "--set", "Cy=0.8", "--json"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_NE(r.Out.find(
                ", \"level_flight_speed_m_s\": " + NumberText(LevelFlightSpeed(0.41, 0.8, 0.1, 0.038)) + ","),
            std::string::npos)
      << r.Out;
  std::ofstream(io_ / "glider.json") << r.Out;

  // Any JSON reader takes them: the system's Python as one.
  const std::string check =
      "/usr/bin/python3 -c 'import json,sys; [json.load(open(f)) for f in sys.argv[1:]]' '" +
      (io_ / "good.json").string() + "' '" + (io_ / "glider.json").string() + "'";
  if (fs::exists("/usr/bin/python3")) {
    EXPECT_EQ(std::system(check.c_str()), 0);
  }
}

TEST_F(BatchProgram, CsvThatCannotBeWrittenIsARunErrorWithThePlatformsMessage) {
  const Outcome r = Batch({"--preset", "0", "--csv", "missing/t.csv"});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Err,
            std::string("zarn-batch: Cannot create \"missing/t.csv\": ") + std::strerror(ENOENT) + "\n");
  EXPECT_EQ(r.Out, "");  // no summary: the run did not do all it was asked
  // The run itself was through: its files are complete.
  EXPECT_EQ(Listing(work_), (std::set<std::string>{kStepFileName, kSampleFileName}));

  const Outcome empty = Batch({"--preset", "0", "--csv", ""});
  EXPECT_EQ(empty.Exit, 2);
  EXPECT_EQ(empty.Err.rfind("zarn-batch: --csv needs a file name", 0), 0u) << empty.Err;
}

TEST_F(BatchProgram, QuietPrintsNothingOnSuccessButStillReportsErrors) {
  Outcome r = Batch({"--preset", "2", "--quiet", "--csv", "t.csv"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(Listing(work_), (std::set<std::string>{kStepFileName, kSampleFileName, "t.csv"}));

  r = Batch({"--quiet", "--preset", "0", "--set", "MassaStart=0"});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, "zarn-batch: Invalid floating point operation (MassaStart = 0)\n");
}

// Both as 32-bit ARGB, so that only the pixels can differ.
int DifferingPixels(const QImage& a, const QImage& b);

TEST_F(BatchProgram, FewStepFlightNotesItOnStderrAndExportsOnlyItsRows) {
  const Outcome r = Batch({"--preset", "0", "--set", "TTO=3", "--csv", "t.csv", "--png", "g.png"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(r.Err,
            "zarn-batch: 248 of 500 samples: the flight took 248 steps; a step of 0.0024 s or less fills all "
            "500\n");

  const auto d = RunInProcess(
      0, [](FlightParameters& p) { p.TTO = 3; }, io_);
  ASSERT_EQ(d->Summary.SamplesStored, 248);
  EXPECT_EQ(r.Out, SummaryText(RunArgs({"--preset", "0", "--set", "TTO=3"}, io_).Result));
  const std::string csv = ReadFile(work_ / "t.csv");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 248);
  EXPECT_TRUE(csv == TableCsvText(d->Table, d->Units, 248));
  GraphSelection selection{};
  SelectGraph(DefaultGraph(), selection);
  const QImage saved(QString::fromStdString((work_ / "g.png").string()), "PNG");
  EXPECT_EQ(DifferingPixels(saved, PlotGraph(d->Table, selection, 249, d->Units, '.')), 0);
  EXPECT_TRUE(ReadFile(work_ / kSampleFileName) == ReadFile(io_ / kSampleFileName))
      << "500 lines all the same";
}

int DifferingPixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return -1;
  const QImage x = a.convertToFormat(QImage::Format_ARGB32);
  const QImage y = b.convertToFormat(QImage::Format_ARGB32);
  int differing = 0;
  for (int row = 0; row < x.height(); ++row)
    for (int col = 0; col < x.width(); ++col) differing += x.pixel(col, row) != y.pixel(col, row);
  return differing;
}

TEST_F(BatchProgram, SavedPngIsTheRenderersImagePixelForPixel) {
  const auto d = RunInProcess(0, LongLob, io_);
  for (const char* graph : {"", "Button15", "ButtonP"}) {
    SCOPED_TRACE(graph);
    std::vector<std::string> args = With(kLongLob, {"--png", "g.png"});
    if (*graph != '\0') args.insert(args.end(), {"--graph", graph});
    const Outcome r = Batch(args);
    ASSERT_EQ(r.Exit, 0) << r.Err;

    GraphSelection selection{};
    SelectGraph(*graph != '\0' ? *FindGraph(graph) : DefaultGraph(), selection);
    const QImage expected = PlotGraph(d->Table, selection, 500, d->Units, '.');
    const QImage saved(QString::fromStdString((work_ / "g.png").string()), "PNG");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(kGraphWidth, kGraphHeight));
    EXPECT_EQ(DifferingPixels(saved, expected), 0);
  }
}

}  // namespace
}  // namespace zarn::runner
