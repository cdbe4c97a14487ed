// The key figures of --json against figures computed here from the step file "Zarn Daten.txt"
// alone, in the units their names state, and the figures each task has and has not.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "batch_program.h"
#include "output/result_files.h"

namespace zarn::runner {
namespace {

using namespace test_support;

// {"key": number, ...} as numbers by key; texts and the events that follow the figures are left out.
std::map<std::string, double> JsonNumbers(std::string json) {
  json = json.substr(0, json.find(", \"events\": "));
  std::map<std::string, double> numbers;
  for (std::size_t at = json.find('"'); at != std::string::npos; at = json.find('"', at)) {
    const std::size_t keyEnd = json.find('"', at + 1);
    if (json[keyEnd + 3] == '"') {
      at = json.find(',', json.find('"', keyEnd + 4));
      continue;
    }
    numbers[json.substr(at + 1, keyEnd - at - 1)] = std::stod(json.substr(keyEnd + 2));
    at = json.find(',', keyEnd);
  }
  return numbers;
}

// The step lines of the recording pass, as the README describes them: t [s], X [km], H [km],
// V [m/s], angle [deg], density [kg/m3], nx, ny [g], mass [kg], ...; and the rows it stored.
struct RecordingPass {
  std::vector<std::vector<double>> Steps;
  int Samples = 0;
};

RecordingPass ReadRecordingPass(const std::string& file) {
  std::vector<std::vector<double>> all;
  std::size_t firstRecorded = std::string::npos;
  RecordingPass pass;
  std::istringstream lines(file);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("(", 0) == 0) {  // "(n)" after the step that stored row n
      const int row = std::stoi(line.substr(1));
      if (row == 1 && firstRecorded == std::string::npos) firstRecorded = all.size() - 1;
      pass.Samples = std::max(pass.Samples, row);
      continue;
    }
    std::istringstream fields(line);
    std::vector<double> values;
    for (double v; values.size() < 9 && fields >> v;) values.push_back(v);
    if (values.size() == 9) all.push_back(values);  // headers and blank lines read no number
  }
  if (firstRecorded != std::string::npos) pass.Steps.assign(all.begin() + firstRecorded, all.end());
  return pass;
}

enum Col { kT, kX, kH, kV, kAngle, kRho, kNx, kNy, kMass };

// Each --json figure against the step file, within the rounding of its fields. A step line holds
// the density where the step began and the speed where it ended; the dynamic pressure of a step is
// that of the speed it began with (V0 for the first).
void ExpectFiguresOfTheStepFile(const std::map<std::string, double>& json, const RecordingPass& pass,
                                double V0) {
  ASSERT_FALSE(pass.Steps.empty());
  const std::vector<double>& last = pass.Steps.back();
  double apex = -1e300, maxQ = 0, peakNx = 0, speed = V0;
  for (const auto& s : pass.Steps) {
    apex = std::max(apex, s[kH] * 1000);
    maxQ = std::max(maxQ, s[kRho] * speed * speed / 2 / 1000);  // [kPa]
    speed = s[kV];
    if (std::fabs(s[kNx]) > std::fabs(peakNx)) peakNx = s[kNx];
  }
  EXPECT_EQ(json.at("steps_per_pass"), static_cast<double>(pass.Steps.size()));
  EXPECT_EQ(json.at("samples_stored"), pass.Samples);
  EXPECT_NEAR(json.at("t_s"), last[kT], 0.0051);
  EXPECT_NEAR(json.at("X_m"), last[kX] * 1000, 0.51);
  // The located apex lies above the highest step by no more than the rounding and the step's rise.
  if (json.count("apex_H_m") != 0) {
    EXPECT_NEAR(json.at("apex_H_m"), apex, 0.51);
  }
  EXPECT_NEAR(json.at("H_m"), last[kH] * 1000, 0.51);
  EXPECT_NEAR(json.at("V_m_s"), last[kV], 0.00051);
  EXPECT_NEAR(json.at("Q_deg"), last[kAngle], 0.051);
  EXPECT_NEAR(json.at("Mass_kg"), last[kMass], 0.051);
  // The density has 4 decimals: a relative error of 1e-4 of air at sea level, more higher up.
  EXPECT_NEAR(json.at("max_q_kPa"), maxQ, 0.005 * maxQ + 0.01);
  EXPECT_NEAR(json.at("peak_nx_g"), peakNx, 0.0051);
}

class BatchFigures : public BatchProgram {
 protected:
  std::map<std::string, double> Json(const std::vector<std::string>& sets, int preset) {
    std::vector<std::string> args{"--preset", std::to_string(preset), "--json"};
    for (const std::string& s : sets) args.insert(args.end(), {"--set", s});
    const Outcome r = Batch(args);
    EXPECT_EQ(r.Exit, 0) << r.Err;
    return JsonNumbers(r.Out);
  }
};

TEST_F(BatchFigures, JsonFiguresAreThoseOfTheStepFileInTheirStatedUnits) {
  const struct {
    int Preset;
    std::vector<std::string> Sets;
    double V0;  // [m/s]
  } runs[] = {
      {0, {}, 100},
      {1, {}, 0},            // falls from 10 km: the apex is its first step's height, below H0
      {1, {"V0=200"}, 200},  // falls fast: its first step already 2 m down
      {2, {"Vwind=0"}, 40},  // a ball
      {3, {}, 18000},        // 18 km/s out of the barrel: the largest pressures
      {4, {}, 14000},
      {0, {"TTO=90", "V0=600"}, 600},  // straight up, past 10 km: the table switches to km
  };
  for (const auto& run : runs) {
    SCOPED_TRACE("preset " + std::to_string(run.Preset) + (run.Sets.empty() ? "" : " " + run.Sets[0]));
    const auto json = Json(run.Sets, run.Preset);
    ExpectFiguresOfTheStepFile(json, ReadRecordingPass(ReadFile(work_ / kStepFileName)), run.V0);
  }
  // A body that only descends has no apex, as it has no apex event.
  for (const auto& sets : {std::vector<std::string>{"V0=200"}, std::vector<std::string>{}}) {
    const auto falling = Json(sets, 1);
    EXPECT_EQ(falling.count("apex_H_m") + falling.count("apex_t_s"), 0u);
  }
}

// Which figures a task has: the buoyant volume only with the gas block (task 3), the level-flight
// speed only for task 5; each computed here from its formula.
TEST_F(BatchFigures, EachTaskHasItsOwnFiguresAndNoOthers) {
  constexpr double kSeaLevelDensity = 1.225;  // [kg/m3] of the standard atmosphere
  const struct {
    std::vector<std::string> Sets;
    double Volume;      // [m3]; 0: none
    double LevelSpeed;  // [m/s]; 0: none
  } tasks[] = {
      {{"TaskKind=1"}, 0, 0},
      {{"TaskKind=3", "GasDensity=0.2"}, 0.41 / (kSeaLevelDensity - 0.2), 0},  // neutral buoyancy
      {{"TaskKind=4"}, 0, 0},
      {{"TaskKind=5", "Cy=0.8", "H0=0"}, 0, std::sqrt(2 * 0.41 * 9.8 / 0.8 / kSeaLevelDensity / 0.038)},
      {{"TaskKind=7"}, 0, 0},
  };
  for (const auto& task : tasks) {
    SCOPED_TRACE(task.Sets[0]);
    const auto json = Json(task.Sets, 2);
    EXPECT_EQ(json.count("buoyant_volume_m3"), task.Volume > 0 ? 1u : 0u);
    EXPECT_EQ(json.count("level_flight_speed_m_s"), task.LevelSpeed > 0 ? 1u : 0u);
    if (task.Volume > 0) {
      EXPECT_NEAR(json.at("buoyant_volume_m3"), task.Volume, task.Volume * 1e-3);
    }
    if (task.LevelSpeed > 0) {
      EXPECT_NEAR(json.at("level_flight_speed_m_s"), task.LevelSpeed, task.LevelSpeed * 1e-3);
    }
    // Besides the figures at the impact and apex, which a buoyant body that stays where it is lacks.
    const std::size_t events = json.count("impact_X_m") * 4 + json.count("apex_t_s") * 3;
    EXPECT_EQ(json.size() - events, 10u + (task.Volume > 0) + (task.LevelSpeed > 0));
  }
}

// A sweep's rows hold the same figures in the same units: max_q_kPa in kPa.
TEST_F(BatchFigures, SweepRowsGiveTheFiguresInTheUnitsOfTheirColumns) {
  const Outcome r = Batch({"--preset", "0", "--case", "V0=100", "--case", "V0=200", "--keep", "k"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const auto rows = CsvRows(r.Out);
  ASSERT_EQ(rows.size(), 3u);
  for (std::size_t i = 1; i < rows.size(); ++i) {
    std::map<std::string, double> figures;
    for (std::size_t c = 2; c + 1 < rows[0].size(); ++c)
      if (!rows[i][c].empty()) figures[rows[0][c]] = std::stod(rows[i][c]);
    const fs::path steps = work_ / "k" / ("case-000" + std::to_string(i)) / kStepFileName;
    ExpectFiguresOfTheStepFile(figures, ReadRecordingPass(ReadFile(steps)), i == 1 ? 100.0 : 200.0);
  }
}

}  // namespace
}  // namespace zarn::runner
