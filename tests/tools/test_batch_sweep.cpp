// Sweeps as a script uses them: each row the figures of the same single run, failed cases as rows
// with their error, shards that add up to the whole, and parameter files that reopen to the same
// run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "batch_program.h"
#include "output/result_files.h"
#include "output/table_csv.h"
#include "runner/runner.h"
#include "tests/support/scratch.h"

namespace zarn::runner {
namespace {

using namespace test_support;

using Row = std::vector<std::string>;

// The fields of a JSON object of numbers, {"key": number, ...}, in their order; the events that
// follow the figures are left out.
std::vector<std::pair<std::string, std::string>> JsonFields(std::string json) {
  std::vector<std::pair<std::string, std::string>> fields;
  json = json.substr(0, json.find(", \"events\": "));
  json = json.substr(1, json.rfind('}') == std::string::npos ? std::string::npos : json.rfind('}') - 1);
  for (std::size_t at = 0; at < json.size();) {
    const std::size_t keyEnd = json.find("\": ", at + 1);
    const std::size_t end = std::min(json.find(", \"", keyEnd), json.size());
    fields.emplace_back(json.substr(at + 1, keyEnd - at - 1), json.substr(keyEnd + 3, end - keyEnd - 3));
    at = end + 2;
  }
  return fields;
}

// Each row of a sweep holds what the same case run alone reports, and its kept files are those of
// the run alone, byte for byte; without --keep a sweep writes nothing but its summary.
TEST_F(BatchProgram, SweepRowsAreTheFiguresAndFilesOfSingleRunsInGridOrder) {
  const Outcome sweep = Batch({"--preset", "2", "--sweep", "TTO=20:60:20", "--sweep", "Vwind=-2.5:2.5:2.5",
                               "--jobs", "2", "--keep", "kept", "--csv", "t.csv", "--summary", "s.csv"});
  ASSERT_EQ(sweep.Exit, 0) << sweep.Err;
  EXPECT_EQ(sweep.Out, "");
  EXPECT_EQ(sweep.Err, "");
  const auto rows = CsvRows(ReadFile(work_ / "s.csv"));
  ASSERT_EQ(rows.size(), 10u);
  Row header{"case", "TTO", "Vwind"};
  for (const FigureRow& f : kFigures) header.emplace_back(f.Key);
  header.emplace_back("error");
  EXPECT_EQ(rows[0], header);

  const char* const angles[] = {"20", "40", "60"};
  const char* const winds[] = {"-2.5", "0", "2.5"};
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(i);
    // The grid's order: the last --sweep varies fastest.
    ASSERT_EQ(row.size(), header.size());
    EXPECT_EQ(row[0], std::to_string(i));
    EXPECT_EQ(row[1], angles[(i - 1) / 3]);
    EXPECT_EQ(row[2], winds[(i - 1) % 3]);
    EXPECT_EQ(row.back(), "");

    const std::string dir = "single" + std::to_string(i);
    fs::create_directories(work_ / dir);
    const Outcome single = Batch({"--preset", "2", "--set", "TTO=" + row[1], "--set", "Vwind=" + row[2],
                                  "--json", "--dir", dir, "--csv", dir + "/t.csv"});
    ASSERT_EQ(single.Exit, 0) << single.Err;
    // Every figure the run reports, as the same text; the task figures it lacks are empty.
    std::map<std::string, std::string> reported;
    for (const auto& [key, value] : JsonFields(single.Out)) reported[key] = value;
    for (std::size_t f = 0; f < kFigures.size(); ++f)
      EXPECT_EQ(row[3 + f], reported[std::string(kFigures[f].Key)]);

    const fs::path kept = work_ / "kept" / ("case-000" + std::to_string(i));
    EXPECT_EQ(Listing(kept), (std::set<std::string>{kStepFileName, kSampleFileName, "t.csv"}));
    for (const char* file : {kStepFileName, kSampleFileName, "t.csv"})
      EXPECT_TRUE(ReadFile(kept / file) == ReadFile(work_ / dir / file)) << file;
  }

  // Without --keep: the same rows, on stdout, and no file written.
  const std::set<std::string> before = Listing(work_);
  const Outcome bare = Batch({"--preset", "2", "--sweep", "TTO=20:60:20", "--sweep", "Vwind=-2.5:2.5:2.5"});
  ASSERT_EQ(bare.Exit, 0) << bare.Err;
  EXPECT_EQ(bare.Out, ReadFile(work_ / "s.csv"));
  EXPECT_EQ(Listing(work_), before);
}

TEST_F(BatchProgram, FailedCaseIsARowWithItsErrorAndTheSweepGoesOn) {
  const Outcome r = Batch({"--preset", "0", "--case", "MassaStart=1", "--case", "MassaStart=0", "--case",
                           "MassaStart=2,TTO=30", "--case", "dt0=-1", "--jobs", "3"});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Err, "zarn-batch: 2 of 4 cases failed (see the summary's error column)\n");
  const auto rows = CsvRows(r.Out);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ((Row{rows[0][0], rows[0][1], rows[0][2], rows[0][3]}), (Row{"case", "MassaStart", "TTO", "dt0"}));
  const struct {
    Row Values;
    const char* Error;
  } expected[] = {
      {{"1", "1", "45", "0.005"}, ""},
      {{"2", "0", "45", "0.005"}, "Invalid floating point operation (MassaStart = 0)"},
      {{"3", "2", "30", "0.005"}, ""},
      {{"4", "1", "45", "-1"}, "Integration step must be a positive number"},
  };
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i + 1);
    const Row& row = rows[i + 1];
    ASSERT_EQ(row.size(), rows[0].size());
    EXPECT_EQ(Row(row.begin(), row.begin() + 4), expected[i].Values);
    EXPECT_EQ(row.back(), expected[i].Error);
    const bool failed = *expected[i].Error != '\0';
    // A failed case has no figures; a good one every figure of its task (none of task 1's extras,
    // nor those of a rail and a parachute it has not).
    for (std::size_t f = 0; f < kFigures.size(); ++f)
      EXPECT_EQ(row[4 + f].empty(), failed || f == kFigLevelSpeed || f == kFigVolume || f >= kFigRailExitT)
          << kFigures[f].Key;
  }
  EXPECT_TRUE(Listing(work_).empty());  // no case wrote a file
}

// A kept sweep on a file system of 20 MB, all of it free (below the 256 MB reserve: half may be
// written), in-process with a probe that counts what the sweep wrote. The reserve is the sweep's:
// the cases together leave 10 MB free, and once one case has stopped for space no case starts.
TEST(BatchSweepSpace, OnceACaseStopsForSpaceNoCaseStartsAndTogetherTheyKeepTheReserve) {
  const zarn::test_support::ScratchDir scratch("zarn_sweep_space");
  const fs::path keep = scratch.path() / "k";
  constexpr uint64_t kSize = 20'000'000;
  auto written = [&] {
    uint64_t bytes = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(keep, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      if (it->is_regular_file(ec)) bytes += it->file_size(ec);
    return bytes;
  };
  const std::string keepText = keep.string();
  for (const char* jobs : {"1", "3"}) {
    SCOPED_TRACE(jobs);
    fs::remove_all(keep);
    // 1.4, 3.4 and 3.4 MB fit; the 6.6 MB of case 4 do not.
    BatchOptions o = ParseArguments(std::vector<std::string_view>{
        "--preset", "0", "--case", "dt0=0.005", "--case", "dt0=0.002", "--case", "dt0=0.002", "--case",
        "dt0=0.001", "--case", "dt0=0.005", "--case", "dt0=0.005", "--keep", keepText, "--jobs", jobs});
    uint64_t leastFree = kSize;
    std::mutex mutex;
    o.Space = [&](int, FileSystemSpace& space) {
      space.Size = kSize;
      space.Available = kSize - std::min(kSize, written());
      const std::lock_guard lock(mutex);
      leastFree = std::min(leastFree, space.Available);
      return true;
    };
    std::ostringstream out, err;
    EXPECT_EQ(runner::Run(o, out, err), 1);
    EXPECT_LE(written(), kSize / 2 + 300'000);  // the step files keep it; the small files add a little
    const auto rows = CsvRows(out.str());
    ASSERT_EQ(rows.size(), 7u);
    const std::string notRun = "Not run: an earlier case stopped for lack of disk space";
    std::size_t stopped = 0;
    for (std::size_t i = 1; i < rows.size(); ++i)
      if (rows[i].back().rfind("Stopped writing", 0) == 0 && stopped == 0) stopped = i;
    ASSERT_GT(stopped, 0u) << out.str();
    if (std::string(jobs) == "1") {
      EXPECT_EQ(stopped, 4u);
      for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(rows[i].back(), "") << i;
      EXPECT_EQ(
          rows[4].back().find("left on its file system (the run stops before less than 10 MB remain)") !=
              std::string::npos,
          true)
          << rows[4].back();
      EXPECT_EQ(rows[5].back(), notRun);
      EXPECT_EQ(rows[6].back(), notRun);
      EXPECT_EQ(fs::exists(keep / "case-0005"), false);
      EXPECT_NE(err.str().find("; the sweep started no case after that, 2 of 6 cases not run\n"),
                std::string::npos)
          << err.str();
      EXPECT_NE(err.str().find("zarn-batch: 3 of 6 cases failed"), std::string::npos) << err.str();
    }
  }
}

// Shards split the grid by case number, shard 0 alone writes the header, and the shards' rows
// together are the whole sweep's.
TEST_F(BatchProgram, ShardsAddUpToTheWholeSweep) {
  const std::vector<std::string> sweep{"--preset",    "0",       "--sweep",
                                       "TTO=5:85:10", "--sweep", "Cx=0:0.02:0.01"};
  auto with = [&](std::initializer_list<std::string> more) {
    std::vector<std::string> args = sweep;
    args.insert(args.end(), more);
    return args;
  };
  const Outcome whole = Batch(with({"--jobs", "1"}));
  ASSERT_EQ(whole.Exit, 0) << whole.Err;
  const auto all = CsvRows(whole.Out);
  ASSERT_EQ(all.size(), 1u + 27u);

  std::string joined;
  for (int k = 0; k < 4; ++k) {
    const Outcome part = Batch(with({"--shard", std::to_string(k) + "/4", "--jobs", k % 2 == 0 ? "2" : "1"}));
    ASSERT_EQ(part.Exit, 0) << part.Err;
    const auto rows = CsvRows(part.Out);
    // Shard k: cases k+1, k+5, ... (0-based indices k, k+4, ...), in that order.
    for (std::size_t i = k == 0 ? 1 : 0; i < rows.size(); ++i)
      EXPECT_EQ((std::stoi(rows[i][0]) - 1) % 4, k) << rows[i][0];
    joined += part.Out;
  }
  std::vector<Row> rows = CsvRows(joined);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], all[0]);  // one header, first
  std::sort(rows.begin() + 1, rows.end(),
            [](const Row& a, const Row& b) { return std::stoi(a[0]) < std::stoi(b[0]); });
  EXPECT_EQ(rows, all);

  // A shard past the last case runs nothing and writes nothing.
  const Outcome empty = Batch(with({"--shard", "30/31"}));
  EXPECT_EQ(empty.Exit, 0);
  EXPECT_EQ(empty.Out, "");
}

// What --save-params writes reopens with --params to the same run, byte for byte, for tasks whose
// activation derives values (the buoyant body's area and end height) and for the rocket's stages;
// --set after --params changes the file's value as it changes a preset's.
TEST_F(BatchProgram, SavedParametersReopenToTheSameFilesByteForByte) {
  const struct {
    const char* Name;
    std::vector<std::string> Args;
  } cases[] = {
      {"preset 4 at 30 degrees", {"--preset", "4", "--set", "TTO=30", "--set", "Tk=5"}},
      {"a two-stage rocket",
       {"--set", "TaskKind=8", "--set", "MassaStart=1200", "--set", "S0=0.3",     "--set", "Cx=0.3",
        "--set", "TTO=70",     "--set", "dt0=0.01",        "--set", "Tk=200",     "--set", "Mt=600",
        "--set", "Iud=2200",   "--set", "IudP0=2500",      "--set", "Mdv=150",    "--set", "Schub=30000",
        "--set", "Mt2=200",    "--set", "Iud2=2600",       "--set", "IudP2=2900", "--set", "Mdv2=50",
        "--set", "Schu2=6000", "--set", "S1=0.5"}},
      {"a helium balloon",
       {"--set", "TaskKind=3", "--set", "MassaStart=4", "--set", "GasDensity=0.1786", "--set", "Cx=0.47",
        "--set", "dt0=0.01", "--set", "Tk=20", "--set", "FlightAltitude=30000", "--set", "S0=99"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string number = std::to_string(n++);
    const std::string a = "a" + number, b = "b" + number, file = "p" + number + ".zarn";
    fs::create_directories(work_ / a);
    fs::create_directories(work_ / b);
    std::vector<std::string> first = c.Args;
    first.insert(first.end(), {"--save-params", file, "--dir", a, "--csv", a + "/t.csv", "--json"});
    const Outcome saved = Batch(first);
    ASSERT_EQ(saved.Exit, 0) << saved.Err;
    const Outcome opened = Batch({"--params", file, "--dir", b, "--csv", b + "/t.csv", "--json"});
    ASSERT_EQ(opened.Exit, 0) << opened.Err;
    EXPECT_EQ(opened.Out, saved.Out);
    for (const char* f : {kStepFileName, kSampleFileName, "t.csv"})
      EXPECT_TRUE(ReadFile(work_ / a / f) == ReadFile(work_ / b / f)) << f;

    std::vector<std::string> changed = c.Args;
    changed.insert(changed.end(), {"--set", "V0=3", "--json", "--dir", a});
    EXPECT_EQ(Batch({"--params", file, "--set", "V0=3", "--json", "--dir", b}).Out, Batch(changed).Out);
  }
  // The balloon's file names every parameter, with the values given.
  const std::string balloon = ReadFile(work_ / "p2.zarn");
  EXPECT_NE(balloon.find("\nGasDensity = 0.1786 "), std::string::npos) << balloon;
  EXPECT_NE(balloon.find("\nFlightAltitude = 30000 "), std::string::npos);
  for (const ParamName& p : kParamNames)
    EXPECT_NE(balloon.find(std::string(p.Name) + " = "), std::string::npos);
}

// A case that keeps no files computes exactly what a run that writes them does.
TEST_F(BatchProgram, WithoutFilesARunComputesTheSameTableAndFigures) {
  const char* const presets[] = {"0", "1", "4"};
  for (const char* preset : presets) {
    SCOPED_TRACE(preset);
    const BatchOptions o = ParseArguments(std::vector<std::string_view>{"--preset", preset});
    const FlightParameters p = ParametersOf(BaseRecord(o));
    ResultFiles written(io_);
    RunOptions files, none;
    files.Sink = &written;
    const Flight with = Fly(p, files), without = Fly(p, none);
    EXPECT_EQ(with.Values, without.Values);
    EXPECT_EQ(std::memcmp(&with.Result->Table, &without.Result->Table, sizeof with.Result->Table), 0);
    EXPECT_EQ(std::memcmp(&with.Result->Final, &without.Result->Final, sizeof with.Result->Final), 0);
    EXPECT_TRUE(Listing(work_).empty());
  }
}

// A case that keeps no file flies without its table's rows, into the result of the case its thread
// flew before: its row and the statistics are those of the same cases kept with their files, under
// every method, and it still counts the rows it would have stored.
TEST_F(BatchProgram, MonteCarloRowsAreTheSameWithTheirFilesAndWithout) {
  for (const char* method : {"0", "1", "2"}) {
    SCOPED_TRACE(method);
    const std::vector<std::string> run{"--preset",      "0",
                                       "--set",         std::string("Integrator=") + method,
                                       "--monte-carlo", "6",
                                       "--vary",        "TTO=normal(45,1)",
                                       "--vary",        "V0=uniform(95,105)",
                                       "--jobs",        "1"};
    std::vector<std::string> kept = run, bare = run;
    for (const char* a : {"--keep", "kept", "--summary", "kept.csv"}) kept.emplace_back(a);
    for (const char* a : {"--summary", "bare.csv"}) bare.emplace_back(a);
    const Outcome withFiles = Batch(kept), without = Batch(bare);
    ASSERT_EQ(withFiles.Exit, 0) << withFiles.Err;
    ASSERT_EQ(without.Exit, 0) << without.Err;
    EXPECT_EQ(ReadFile(work_ / "bare.csv"), ReadFile(work_ / "kept.csv"));
    EXPECT_EQ(without.Out, withFiles.Out);  // the statistics
    const auto rows = CsvRows(ReadFile(work_ / "bare.csv"));
    ASSERT_EQ(rows.size(), 7u);
    for (std::size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i][4], "500") << i;  // samples_stored
  }
}

}  // namespace
}  // namespace zarn::runner
