// The answers as a script meets them in the built program: events as CSV and JSON, solving for
// both angles of a range and for the longest one, a target out of reach, and Monte Carlo rows and
// statistics that do not depend on threads or shards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "batch_program.h"
#include "runner/runner.h"
#include "tests/support/scratch.h"

namespace zarn::runner {
namespace {

using namespace test_support;
using Row = std::vector<std::string>;

// The column of that name in rows whose first row is the header.
std::size_t Column(const std::vector<Row>& rows, const std::string& name) {
  const auto it = std::find(rows[0].begin(), rows[0].end(), name);
  EXPECT_NE(it, rows[0].end()) << name;
  return static_cast<std::size_t>(it - rows[0].begin());
}

TEST_F(BatchProgram, EventsAreListedAsCsvAndLeftOutWhereTheFlightHasNone) {
  Outcome r = Batch({"--preset", "0", "--events", "-"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const std::vector<Row> rows = CsvRows(r.Out);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], (Row{"event", "t_s", "X_m", "H_m", "V_m_s", "Q_deg"}));
  EXPECT_EQ(rows[1], (Row{"launch", "0", "0", "1", "100", "45"}));
  EXPECT_EQ(rows[2][0], "max_q");  // at the launch: the ball only slows down
  EXPECT_EQ(rows[3][0], "apex");
  EXPECT_EQ(rows[4][0], "impact");
  EXPECT_EQ(rows[4][3], "0");
  // The impact's figures are those of its event.
  r = Batch({"--preset", "0", "--json", "--events", "ev.csv"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_NE(r.Out.find("\"impact_X_m\": " + rows[4][2] + ", "), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("\"apex_t_s\": " + rows[3][1] + ", "), std::string::npos) << r.Out;
  EXPECT_EQ(ReadFile(work_ / "ev.csv"), Batch({"--preset", "0", "--events", "-"}).Out);

  // Ended by time while still climbing: no impact or apex, in JSON and in a sweep's row, never nan.
  r = Batch({"--preset", "0", "--set", "Tk=5", "--json"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(r.Out.find("impact_"), std::string::npos);
  EXPECT_EQ(r.Out.find("apex_t_s"), std::string::npos);
  EXPECT_EQ(r.Out.find("nan"), std::string::npos);
  r = Batch({"--preset", "0", "--case", "Tk=5", "--case", "Tk=20"});
  const std::vector<Row> sweep = CsvRows(r.Out);
  ASSERT_EQ(sweep.size(), 3u);
  EXPECT_EQ(sweep[1][Column(sweep, "impact_X_m")], "");
  EXPECT_EQ(sweep[2][Column(sweep, "impact_X_m")], rows[4][2]);

  r = Batch({"--preset", "0", "--events", "-", "--json"});
  EXPECT_EQ(r.Exit, 2);
  EXPECT_EQ(r.Err.rfind("zarn-batch: --events - and --json both want stdout\n", 0), 0u) << r.Err;
}

// The number after "key": in a JSON text, or nan where the key is missing.
double JsonNumber(const std::string& json, const std::string& key) {
  const std::size_t at = json.find("\"" + key + "\": ");
  return at == std::string::npos ? std::nan("") : std::stod(json.substr(at + key.size() + 4));
}

TEST_F(BatchProgram, TheHigherOrderMethodsGiveTheImpactAndApexFigures) {
  // Preset 0's flight to the ground: the step that ends it ends at the impact, so its range is the
  // impact's; the apex lies between launch and impact, at the top height.
  for (const char* method : {"Integrator=1", "Integrator=2"}) {
    SCOPED_TRACE(method);
    const Outcome r = Batch({"--preset", "0", "--set", method, "--json"});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_NEAR(JsonNumber(r.Out, "impact_X_m"), 932.943, 5e-4) << r.Out;
    EXPECT_NEAR(JsonNumber(r.Out, "impact_X_m"), JsonNumber(r.Out, "X_m"), 1e-9);
    EXPECT_NEAR(JsonNumber(r.Out, "impact_t_s"), JsonNumber(r.Out, "t_s"), 1e-9);
    EXPECT_GT(JsonNumber(r.Out, "apex_t_s"), 0.0);
    EXPECT_LT(JsonNumber(r.Out, "apex_t_s"), JsonNumber(r.Out, "impact_t_s"));
    EXPECT_NE(r.Out.find("{\"event\": \"apex\""), std::string::npos) << r.Out;
  }
}

TEST_F(BatchProgram, SolvingFindsTheLowAndTheHighAngleOfARangeToAMillimetre) {
  struct Case {
    std::vector<std::string> Base;
    const char* Over;
    double Target;  //!< [m]
    double Top;     //!< [deg] between the two angles
  } const cases[] = {
      {{"--preset", "0"}, "TTO=0:90", 800, 44.3},
      {{"--params", ZARN_SOURCE_DIR "/examples/sounding-rocket-2-stage.zarn"}, "TTO=50:89", 265000, 55.5},
  };
  // The independent check of a solution: the run alone at its value gives its figure.
  auto alone = [this](std::vector<std::string> args, const std::string& set, const std::string& key) {
    args.insert(args.end(), {"--set", set, "--json"});
    const Outcome r = Batch(args);
    const std::size_t at = r.Out.find("\"" + key + "\": ");
    EXPECT_NE(at, std::string::npos) << r.Out;
    return std::stod(r.Out.substr(at + key.size() + 4));
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Over);
    std::vector<std::string> args = c.Base;
    args.insert(args.end(), {"--solve", c.Over, "--for", "impact_X_m=" + NumberText(c.Target)});
    const Outcome r = Batch(args);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    const std::vector<Row> rows = CsvRows(r.Out);
    ASSERT_EQ(rows.size(), 3u) << r.Out;
    EXPECT_EQ(rows[0][1], "TTO");
    EXPECT_EQ(rows[0].back(), "runs");
    const std::size_t x = Column(rows, "impact_X_m");
    for (std::size_t i = 1; i <= 2; ++i) {
      EXPECT_EQ(rows[i][0], std::to_string(i));
      EXPECT_NEAR(std::stod(rows[i][x]), c.Target, 1e-3);
      EXPECT_EQ(alone(c.Base, "TTO=" + rows[i][1], "impact_X_m"), std::stod(rows[i][x]));
      EXPECT_LE(std::stoi(rows[i].back()), 30);
    }
    EXPECT_LT(std::stod(rows[1][1]), c.Top);
    EXPECT_GT(std::stod(rows[2][1]), c.Top);
  }
  // The same as JSON: one object per solution with the same keys.
  const Outcome json = Batch({"--preset", "0", "--solve", "TTO=0:90", "--for", "impact_X_m=800", "--json"});
  ASSERT_EQ(json.Exit, 0) << json.Err;
  EXPECT_EQ(json.Out.rfind("[{\"case\": 1, \"TTO\": ", 0), 0u) << json.Out;
  EXPECT_NE(json.Out.find("}, {\"case\": 2, \"TTO\": "), std::string::npos);
  EXPECT_EQ(json.Out.substr(json.Out.size() - 3), "}]\n");
}

TEST_F(BatchProgram, TheLongestRangeIsFoundToAHundredthOfADegreeAndAFartherOneIsRefused) {
  const Outcome r = Batch({"--preset", "0", "--maximize", "impact_X_m", "--over", "TTO=0:90"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const std::vector<Row> rows = CsvRows(r.Out);
  ASSERT_EQ(rows.size(), 2u);
  const double best = std::stod(rows[1][1]), longest = std::stod(rows[1][Column(rows, "impact_X_m")]);
  EXPECT_LE(std::stoi(rows[1].back()), 40);
  // Against a sweep around it in steps of 0.002 degrees: no angle goes farther, by more than the
  // curve's flatness over 0.01 degrees, and the best of the sweep lies within 0.01 degrees.
  const Outcome sweep = Batch({"--preset", "0", "--sweep", "TTO=44.1:44.5:0.002"});
  const std::vector<Row> swept = CsvRows(sweep.Out);
  const std::size_t x = Column(swept, "impact_X_m");
  std::size_t top = 1;
  for (std::size_t i = 1; i < swept.size(); ++i)
    if (std::stod(swept[i][x]) > std::stod(swept[top][x])) top = i;
  EXPECT_GT(top, 1u);
  EXPECT_LT(top, swept.size() - 1);
  EXPECT_NEAR(std::stod(swept[top][1]), best, 0.01);
  EXPECT_GE(longest, std::stod(swept[top][x]) - 1e-5);

  // 1000 m is out of reach: exit 1 with what the range reaches at most, and where.
  const Outcome far = Batch({"--preset", "0", "--solve", "TTO=0:90", "--for", "impact_X_m=1000"});
  EXPECT_EQ(far.Exit, 1);
  EXPECT_EQ(far.Out, "");
  EXPECT_EQ(far.Err.rfind("zarn-batch: impact_X_m reaches at most 933.26", 0), 0u) << far.Err;
  EXPECT_NE(far.Err.find(" m over TTO 0..90, at TTO = 44.2"), std::string::npos) << far.Err;
}

const std::vector<std::string> kMonteCarlo = {
    "--preset",         "0",      "--monte-carlo",      "60",     "--vary",
    "TTO=normal(45,2)", "--vary", "V0=uniform(90,110)", "--vary", "Cx=triangular(0.008,0.01,0.014)",
    "--seed",           "2024"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST_F(BatchProgram, MonteCarloRowsAreTheSameOnAnyThreadsAndFromJoinedShards) {
  const Outcome one = Batch(With(kMonteCarlo, {"--jobs", "1", "--stats", "one.csv"}));
  ASSERT_EQ(one.Exit, 0) << one.Err;
  const Outcome two = Batch(With(kMonteCarlo, {"--jobs", "2"}));
  EXPECT_EQ(two.Out, one.Out);
  std::string joined;
  for (const char* shard : {"0/3", "1/3", "2/3"}) {
    const std::string name = std::string("s") + shard[0] + ".csv";
    ASSERT_EQ(Batch(With(kMonteCarlo, {"--shard", shard, "--summary", name})).Exit, 0);
    joined += ReadFile(work_ / name);
  }
  // The shards' rows are those of the whole run; their joined statistics are its statistics.
  std::vector<Row> rows = CsvRows(one.Out), shardRows = CsvRows(joined);
  std::sort(shardRows.begin() + 1, shardRows.end(),
            [](const Row& a, const Row& b) { return std::stoi(a[0]) < std::stoi(b[0]); });
  EXPECT_EQ(shardRows, rows);
  const Outcome stats = Batch({"--stats-of", "s1.csv", "s0.csv", "s2.csv"});
  ASSERT_EQ(stats.Exit, 0) << stats.Err;
  EXPECT_EQ(stats.Out, ReadFile(work_ / "one.csv"));
  EXPECT_NE(stats.Err.find("60 cases, 0 failed"), std::string::npos) << stats.Err;

  // Each row holds the drawn values within their laws, and another seed draws others.
  ASSERT_EQ(rows.size(), 61u);
  EXPECT_EQ(rows[0][1], "TTO");
  EXPECT_EQ(rows[0][2], "V0");
  EXPECT_EQ(rows[0][3], "Cx");
  for (std::size_t i = 1; i < rows.size(); ++i) {
    EXPECT_GE(std::stod(rows[i][2]), 90.0);
    EXPECT_LE(std::stod(rows[i][2]), 110.0);
    EXPECT_GE(std::stod(rows[i][3]), 0.008);
    EXPECT_LE(std::stod(rows[i][3]), 0.014);
  }
  std::vector<std::string> other = kMonteCarlo;
  other.back() = "2025";
  EXPECT_NE(CsvRows(Batch(other).Out)[1], rows[1]);
}

TEST_F(BatchProgram, StatisticsOfAFigureThatFollowsOneInputLinearlyGiveItTheWholeShare) {
  // The end mass of a ball is its launch mass: uniform over 1..2 kg, mean 1.5, SD 1/sqrt(12)
  // * 1 kg; the range depends on the mass too, but not linearly.
  const Outcome r = Batch({"--preset", "0", "--monte-carlo", "400", "--vary", "MassaStart=uniform(1,2)",
                           "--vary", "Vwind=normal(0,1)", "--stats", "-", "--summary", "rows.csv"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const std::vector<Row> stats = CsvRows(r.Out);
  EXPECT_EQ(stats[0], (Row{"figure", "cases", "failed", "absent", "mean", "sd", "min", "p2.5", "p50", "p97.5",
                           "max", "r2", "share_MassaStart", "share_Vwind"}));
  const Row* mass = nullptr;
  for (const Row& row : stats)
    if (row[0] == "Mass_kg") mass = &row;
  ASSERT_TRUE(mass);
  EXPECT_EQ((*mass)[1], "400");
  EXPECT_NEAR(std::stod((*mass)[4]), 1.5, 4 * 0.2887 / 20);
  EXPECT_NEAR(std::stod((*mass)[5]), 1 / std::sqrt(12.0), 0.02);
  EXPECT_GE(std::stod((*mass)[6]), 1.0);
  EXPECT_LE(std::stod((*mass)[10]), 2.0);
  EXPECT_NEAR(std::stod((*mass)[11]), 1.0, 1e-12);
  EXPECT_NEAR(std::stod((*mass)[12]), 1.0, 2e-3);
  EXPECT_NEAR(std::stod((*mass)[13]), 0.0, 2e-3);
  EXPECT_NE(r.Err.find("linear\nleast-squares fit"), std::string::npos) << r.Err;

  // Draws the run refuses (a negative mass) are error rows, counted apart.
  const Outcome refused = Batch(
      {"--preset", "0", "--monte-carlo", "50", "--vary", "MassaStart=uniform(-1,1)", "--stats", "s.csv"});
  EXPECT_EQ(refused.Exit, 1);
  const std::vector<Row> rows = CsvRows(refused.Out);
  int errors = 0;
  for (const Row& row : rows) errors += row.back().find("must be more than 0") != std::string::npos ? 1 : 0;
  EXPECT_GT(errors, 10);
  const std::vector<Row> s = CsvRows(ReadFile(work_ / "s.csv"));
  EXPECT_EQ(s[1][0], "steps_per_pass");
  EXPECT_EQ(std::stoi(s[1][1]) + std::stoi(s[1][2]), 50);
  EXPECT_EQ(std::stoi(s[1][2]), errors);
}

TEST_F(BatchProgram, MonteCarloPictureIsSavedAndRefusedWithoutImpacts) {
  const Outcome r = Batch(With(kMonteCarlo, {"--plot", "mc.png", "--summary", "rows.csv"}));
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const std::string png = ReadFile(work_ / "mc.png");
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_GT(png.size(), 5000u);
  const Outcome none = Batch({"--preset", "0", "--set", "Tk=3", "--monte-carlo", "5", "--vary",
                              "TTO=uniform(40,50)", "--plot", "none.png"});
  EXPECT_EQ(none.Exit, 1);
  EXPECT_NE(none.Err.find("--plot draws the impact range: no case has an impact"), std::string::npos)
      << none.Err;
}

TEST(BatchAnswerArguments, RefusesWhatDoesNotGoTogether) {
  const struct {
    std::vector<std::string_view> Args;
    const char* Message;
  } cases[] = {
      {{"--preset", "0", "--solve", "TTO=0:90"}, "--solve needs --for FIGURE=VALUE"},
      {{"--preset", "0", "--for", "X_m=9"},
       "--for only applies to solving (--solve, --maximize or --minimize)"},
      {{"--preset", "0", "--maximize", "X_m"}, "--maximize needs --over NAME=FROM:TO"},
      {{"--preset", "0", "--maximize", "X_m", "--minimize", "t_s", "--over", "TTO=0:9"},
       "--maximize and --minimize cannot be mixed"},
      {{"--preset", "0", "--solve", "TTO=0:90", "--for", "impakt_X_m=9"},
       "--for: unknown figure 'impakt_X_m' (did you mean 'impact_X_m'?)"},
      {{"--preset", "0", "--sweep", "TTO=1:2:1", "--solve", "TTO=0:9", "--for", "X_m=1"},
       "--sweep and --solve cannot be mixed"},
      {{"--preset", "0", "--solve", "TTO=0:9", "--for", "X_m=1", "--jobs", "2"},
       "--jobs does not apply to solving"},
      {{"--preset", "0", "--solve", "TTO=0:9", "--for", "X_m=1", "--tol", "0"},
       "--tol needs a number above 0"},
      {{"--preset", "0", "--monte-carlo", "10"}, "--monte-carlo needs at least one --vary NAME=LAW"},
      {{"--preset", "0", "--monte-carlo", "0", "--vary", "TTO=normal(1,1)"},
       "--monte-carlo needs a whole number"},
      {{"--preset", "0", "--monte-carlo", "9", "--vary", "TTO=normal(1,1)", "--vary", "TTO=normal(1,2)"},
       "--vary gives TTO twice"},
      {{"--preset", "0", "--monte-carlo", "9", "--vary", "TTO=gauss(1,1)"},
       "--vary TTO: a law is normal(MEAN,SD)"},
      {{"--preset", "0", "--monte-carlo", "9", "--vary", "TTO=normal(1,1)", "--shard", "0/2", "--stats",
        "s.csv"},
       "--stats and --plot need every case: join the shards' summaries with --stats-of"},
      {{"--preset", "0", "--monte-carlo", "9", "--vary", "TTO=normal(1,1)", "--json"},
       "--json does not apply to a Monte Carlo run"},
      {{"--preset", "0", "--seed", "3"}, "--seed only applies to a Monte Carlo run (--monte-carlo)"},
      {{"--stats-of", "a.csv", "--preset", "0"}, "--preset does not apply to --stats-of"},
      {{"--preset", "0", "--monte-carlo", "9", "--vary", "TTO=normal(1,1)", "--plot", "p.gif"},
       "--plot FILE must end in .png, .jpg, .bmp, .svg or .pdf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Message);
    try {
      ParseArguments(c.Args);
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& e) {
      EXPECT_EQ(std::string_view(e.what()).substr(0, std::strlen(c.Message)), c.Message);
    }
  }
}

}  // namespace
}  // namespace zarn::runner
