// Flights over a round Earth, flown by zarn-batch as a user flies them: NASA's check cases for
// flight simulations (NASA/TM-2015-218675), a circular orbit and a lob against Kepler's ellipse,
// and the Earth's parameters that no run can mean.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "batch_program.h"

namespace zarn::runner {
namespace {

using namespace test_support;

constexpr double kFt = 0.3048;
constexpr double kPi = std::numbers::pi;

std::string Number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

class BatchGlobe : public BatchProgram {
 protected:
  struct Row {
    double t, V, H, AngleDeg, X;
  };
  // Every stored row of a run of preset 0 with the changes.
  std::vector<Row> Rows(const std::vector<std::pair<std::string, double>>& set) {
    std::vector<std::string> args{"--preset", "0", "--csv", "-"};
    for (const auto& [name, value] : set) args.insert(args.end(), {"--set", name + "=" + Number(value)});
    const Outcome r = Batch(args);
    EXPECT_EQ(r.Exit, 0) << r.Err;
    const auto rows = CsvRows(r.Out);
    std::vector<Row> out;
    if (rows.size() < 2) return out;
    const std::vector<std::string>& head = rows.at(0);
    auto at = [&](const std::vector<std::string>& row, const char* name) {
      for (std::size_t i = 0; i < head.size(); ++i)
        if (head[i] == name) return std::stod(row.at(i));
      ADD_FAILURE() << "no column " << name;
      return 0.0;
    };
    for (std::size_t i = 1; i < rows.size(); ++i)
      out.push_back({at(rows[i], "t_s"), at(rows[i], "V_m_s"), at(rows[i], "H_m"), at(rows[i], "Q_deg"),
                     at(rows[i], "X_m")});
    return out;
  }
};

// The check cases' sphere of 1 slug, Cd 0.1 and 0.1963495 ft^2, dropped at rest from 30 000 ft at
// latitude and longitude 0 into the 1976 atmosphere, flown 30 s.
std::vector<std::pair<std::string, double>> CheckCase(double earth, double cd, double wind = 0.0) {
  std::vector<std::pair<std::string, double>> set{{"EarthModel", earth},
                                                  {"AtmosphereModel", 1},
                                                  {"Integrator", 1},
                                                  {"dt0", 0.01},
                                                  {"Tk", 30},
                                                  {"Hk", -1000},
                                                  {"H0", 30000 * kFt},
                                                  {"V0", 0},
                                                  {"MassaStart", 14.5939},
                                                  {"Cx", cd},
                                                  {"S0", 0.1963495 * kFt * kFt},
                                                  {"Cy", 0},
                                                  {"Azimuth", 90},
                                                  {"Vwind", wind * kFt}};
  if (earth != 3) {  // the cases' own sphere; the ellipsoid's figures are WGS-84's, the default
    set.push_back({"EarthRadius", 20902255.199 * kFt});
    set.push_back({"EarthMu", 1.407644311e16 * kFt * kFt * kFt});
    set.push_back({"EarthRate", 7.292115e-5});
  }
  return set;
}

TEST_F(BatchGlobe, NasaCheckCasesAtThirtySecondsWithinAFootAndATenthOfAFootPerSecond) {
  struct Case {
    const char* Name;
    double Earth, Cd, HeightFt, DownFtS;
  };
  for (const Case& c : {Case{"case 4: sphere, not rotating", 1, 0.1, 16231.307, 867.1048},
                        Case{"case 5: sphere, rotating", 2, 0.1, 16276.386, 864.4800},
                        Case{"case 1: WGS-84 and J2, rotating, no drag", 3, 0.0, 15598.904, 960.2931},
                        Case{"case 6: WGS-84 and J2, rotating", 3, 0.1, 16284.445, 864.0108}}) {
    SCOPED_TRACE(c.Name);
    const std::vector<Row> rows = Rows(CheckCase(c.Earth, c.Cd));
    ASSERT_FALSE(rows.empty());
    const Row& end = rows.back();
    EXPECT_DOUBLE_EQ(end.t, 30.0);
    EXPECT_NEAR(end.H / kFt, c.HeightFt, 1.0);
    const double down = -end.V * std::sin(end.AngleDeg * kPi / 180.0) / kFt;  // true degrees
    EXPECT_NEAR(down, c.DownFtS, 0.1);
  }
}

// Case 4 by each method: Euler needs a tenth of the step for its first order.
TEST_F(BatchGlobe, NasaCheckCaseFourByEachMethod) {
  struct Method {
    double Integrator, Dt0, Rtol;
  };
  for (const Method& m : {Method{0, 0.001, 0}, Method{1, 0.01, 0}, Method{2, 1.0, 1e-10}}) {
    SCOPED_TRACE(m.Integrator);
    auto set = CheckCase(1, 0.1);
    for (auto& [name, value] : set) {
      if (name == "Integrator") value = m.Integrator;
      if (name == "dt0") value = m.Dt0;
    }
    set.push_back({"Rtol", m.Rtol});
    const std::vector<Row> rows = Rows(set);
    ASSERT_FALSE(rows.empty());
    EXPECT_NEAR(rows.back().H / kFt, 16231.307, 1.0);
    EXPECT_NEAR(rows.back().V / kFt, 867.1048, 0.1);
  }
}

// Case 7 is case 6 in a steady wind of 20 ft/s toward the east: the wind's share of the drift.
TEST_F(BatchGlobe, NasaCheckCaseSevenTheSteadyEastWindDriftsTheSphereAsCaseSixWithin1Percent) {
  const std::vector<Row> calm = Rows(CheckCase(3, 0.1));
  const std::vector<Row> windy = Rows(CheckCase(3, 0.1, 20.0));
  ASSERT_FALSE(calm.empty());
  ASSERT_FALSE(windy.empty());
  EXPECT_NEAR(calm.back().X / kFt, 19.51, 0.2);  // the Earth's turn alone (case 6)
  EXPECT_NEAR(windy.back().H / kFt, 16285.162, 1.0);
  EXPECT_NEAR((windy.back().X - calm.back().X) / kFt, 27.47, 0.2747);
}

// Kepler: in vacuum over the sphere, a body at 200 km with the circular speed stays at 200 km for
// a whole revolution, and the range is the circle's length.
TEST_F(BatchGlobe, ACircularOrbitAt200KmKeepsItsHeightWithinAMetreOverOneRevolution) {
  const double mu = 3.986004418e14, R = 6371008.8, r = R + 200000.0;
  const double period = 2 * kPi * std::sqrt(r * r * r / mu);
  const std::vector<Row> rows = Rows({{"EarthModel", 1},
                                      {"Integrator", 2},
                                      {"Rtol", 1e-10},
                                      {"dt0", 10},
                                      {"H0", 200000},
                                      {"V0", std::sqrt(mu / r)},
                                      {"TTO", 0},
                                      {"Cx", 0},
                                      {"Tk", period},
                                      {"Hk", 0}});
  ASSERT_EQ(rows.size(), 500U);
  for (const Row& row : rows) EXPECT_NEAR(row.H, 200000.0, 1.0) << "t = " << row.t;
  EXPECT_NEAR(rows.back().t, period, 1e-6);
  EXPECT_NEAR(rows.back().X, 2 * kPi * R, 1.0);
}

// A lob of 3 km/s at 45 degrees from the surface of the sphere in vacuum: an arc of the ellipse
// with the focus at the Earth's centre, its apex and range from the launch's energy and angular
// momentum.
TEST_F(BatchGlobe, AVacuumLobOverTheSphereMeetsTheKeplerEllipsesRangeAndApex) {
  const double mu = 3.986004418e14, R = 6371008.8, v = 3000.0, gamma = kPi / 4;
  const double h = R * v * std::cos(gamma);
  const double a = -mu / (2 * (v * v / 2 - mu / R));
  const double p = h * h / mu;
  const double e = std::sqrt(1 - p / a);
  const double apex = a * (1 + e) - R;
  const double range = R * 2 * (kPi - std::acos((p / R - 1) / e));
  const std::vector<Row> rows = Rows({{"EarthModel", 1},
                                      {"Integrator", 2},
                                      {"Rtol", 1e-10},
                                      {"dt0", 5},
                                      {"H0", 0},
                                      {"V0", v},
                                      {"TTO", 45},
                                      {"Cx", 0},
                                      {"Tk", 2000},
                                      {"Hk", 0}});
  ASSERT_FALSE(rows.empty());
  double top = 0.0;
  for (const Row& row : rows) top = std::max(top, row.H);
  EXPECT_NEAR(rows.back().X, range, 1.0);
  EXPECT_NEAR(rows.back().H, 0.0, 1e-6);
  EXPECT_NEAR(rows.back().AngleDeg, -45.0, 1e-6);  // the ellipse's symmetry: it lands as it left
  EXPECT_NEAR(top, apex, 0.5);                     // the rows pass within a row's time of the apex
}

TEST_F(BatchGlobe, EarthParametersThatNoRunCanMeanAreRefusedByName) {
  struct Refusal {
    std::vector<std::string> Set;
    const char* Says;
  };
  for (const Refusal& c :
       {Refusal{{"EarthModel=4"}, "EarthModel = 4 is no Earth model (0 flat"},
        Refusal{{"EarthModel=1.5"}, "EarthModel = 1.5 is no Earth model"},
        Refusal{{"EarthModel=1", "EarthRadius=-6e6"}, "EarthRadius = -6000000 cannot be negative"},
        Refusal{{"EarthModel=1", "EarthMu=-1"}, "EarthMu = -1 cannot be negative"},
        Refusal{{"EarthModel=2", "EarthRate=-7e-5"}, "EarthRate = -7E-5 cannot be negative"},
        Refusal{{"EarthModel=1", "LaunchLat=90.5"}, "LaunchLat = 90.5 must be from -90 to 90"},
        Refusal{{"LaunchLat=-91"}, "LaunchLat = -91 must be from -90 to 90"},
        Refusal{{"VwindCross=3"}, "VwindCross = 3 needs the wind as the air's motion, not WindModel = 0"}}) {
    std::vector<std::string> args{"--preset", "0", "--quiet"};
    for (const std::string& s : c.Set) args.insert(args.end(), {"--set", s});
    SCOPED_TRACE(c.Says);
    const Outcome r = Batch(args);
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
    EXPECT_FALSE(fs::exists(work_ / "Zarn Daten.txt"));
  }
  // Under a round Earth the wind is the air's motion whatever WindModel says.
  EXPECT_EQ(Batch({"--preset", "0", "--quiet", "--set", "EarthModel=1", "--set", "VwindCross=3"}).Exit, 0);
}

}  // namespace
}  // namespace zarn::runner
