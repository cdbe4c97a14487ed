// A flight in three dimensions (a round Earth, or a wind across the azimuth) as zarn-batch reports
// it: its place in the CSV, --json, the events and the summary; every other flight's exports as
// they always were.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "batch_program.h"

namespace zarn::runner {
namespace {

using namespace test_support;

// The CSV's header of a flight in the vertical plane, as scripts have read it all along.
constexpr const char* kPlaneHeader =
    "t_s,V_m_s,q_kPa,H_m,Q_deg,X_m,nx_g,ny_g,Vwind_m_s,Isp_Ns_kg,Thrust_N,Mass_kg,ThrustPerMass_N_kg,"
    "Drag_N,Lift_N,Cx,Cy,Mach,T_K,P_bar,rho_kg_m3,Re_1e3";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(BatchProgram, OnlyAFlightInThreeDimensionsReportsItsPlaceAndItsEarth) {
  struct Case {
    std::vector<std::string> Settings;
    const char* Earth;  //!< the summary's line; nullptr: a flight in the vertical plane
    bool Impact;
  };
  const std::vector<Case> cases = {
      {{}, nullptr, true},
      {{"WindModel=1", "Vwind=3"}, nullptr, true},  // a wind along the azimuth keeps to the plane
      {{"Integrator=2", "AtmosphereModel=1"}, nullptr, true},
      {{"EarthModel=1"}, "Earth: sphere, not rotating\n", true},
      {{"EarthModel=2", "LaunchLat=45", "Azimuth=90"}, "Earth: rotating sphere\n", true},
      {{"EarthModel=3", "Integrator=1"}, "Earth: rotating WGS-84 ellipsoid with J2\n", true},
      {{"EarthModel=2", "Tk=3"}, "Earth: rotating sphere\n", false},  // ends in the air
      {{"WindModel=1", "VwindCross=2"}, "Earth: flat with g = 9.8\n", true},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"--preset", "0"};
    for (const std::string& s : c.Settings) args.insert(args.end(), {"--set", s});
    SCOPED_TRACE(::testing::PrintToString(c.Settings));
    const bool place = c.Earth != nullptr;
    auto run = [&](std::vector<std::string> more) {
      more.insert(more.begin(), args.begin(), args.end());
      Outcome r = Batch(more);
      EXPECT_EQ(r.Exit, 0) << r.Err;
      return r.Out;
    };

    // The table: the place's three columns after the others, a number in each on every row.
    const auto rows = CsvRows(run({"--csv", "-"}));
    ASSERT_EQ(rows.size(), 501u);
    std::string header;
    for (const std::string& name : rows[0]) header += (header.empty() ? "" : ",") + name;
    EXPECT_EQ(header, std::string(kPlaneHeader) + (place ? ",Z_m,Lat_deg,Lon_deg" : ""));
    for (const auto& row : rows) ASSERT_EQ(row.size(), rows[0].size());

    // The figures: the place after the last step, and at the impact where there is one, after the
    // other figures and before the events; each event with its place.
    const std::string json = run({"--json"});
    const std::size_t maxima = json.find(", \"maxima\": ");
    ASSERT_NE(maxima, std::string::npos) << json;
    const std::size_t figures = json.find(", \"Z_m\": ");
    EXPECT_EQ(figures < maxima, place) << json;
    EXPECT_EQ(Has(json, ", \"Lat_deg\": ") && Has(json, ", \"Lon_deg\": "), place) << json;
    EXPECT_EQ(Has(json, ", \"impact_Z_m\": ") && Has(json, ", \"impact_Lat_deg\": ") &&
                  Has(json, ", \"impact_Lon_deg\": "),
              place && c.Impact)
        << json;
    const std::size_t launch = json.find("{\"event\": \"launch\"");
    ASSERT_NE(launch, std::string::npos) << json;
    EXPECT_EQ(Has(json.substr(launch, json.find('}', launch) - launch), ", \"Z_m\": "), place) << json;
    std::ofstream(io_ / "run.json") << json;
    if (std::ifstream("/usr/bin/python3").good()) {
      const std::string check = "/usr/bin/python3 -c 'import json,sys; json.load(open(sys.argv[1]))' '" +
                                (io_ / "run.json").string() + "'";
      EXPECT_EQ(std::system(check.c_str()), 0);
    }

    const std::string events = run({"--events", "-"});
    EXPECT_EQ(events.substr(0, events.find('\n')),
              std::string("event,t_s,X_m,H_m,V_m_s,Q_deg") + (place ? ",Z_m,Lat_deg,Lon_deg" : ""));
    for (const auto& row : CsvRows(events)) EXPECT_EQ(row.size(), place ? 9u : 6u);

    const std::string summary = run({});
    if (place)
      EXPECT_TRUE(Has(summary, c.Earth)) << summary;
    else
      EXPECT_FALSE(Has(summary, "Earth")) << summary;
  }
}

// The number after "key": in a JSON text, or nan where the key is missing.
double JsonNumber(const std::string& json, const std::string& key) {
  const std::size_t at = json.find("\"" + key + "\": ");
  return at == std::string::npos ? std::nan("") : std::stod(json.substr(at + key.size() + 4));
}

// Preset 0 over the sphere, launched east from where the equator meets the prime meridian: the
// track is the equator, so each moment lies at latitude 0 and at its range over the radius in
// longitude; the drag brings the apex a little past half the range. The impact in the events is
// the one the figures report; the angles are in true degrees, the launch's 45 as given.
TEST_F(BatchProgram, EachEventCarriesItsPlaceOnTheGlobeAndItsAngleInTrueDegrees) {
  const std::vector<std::string> args{"--preset",   "0",     "--set",       "EarthModel=1", "--set",
                                      "Azimuth=90", "--set", "LaunchLat=0", "--set",        "LaunchLon=0"};
  auto run = [&](std::vector<std::string> more) {
    more.insert(more.begin(), args.begin(), args.end());
    const Outcome r = Batch(more);
    EXPECT_EQ(r.Exit, 0) << r.Err;
    return r.Out;
  };
  const std::string json = run({"--json"});
  const auto rows = CsvRows(run({"--events", "-"}));
  ASSERT_FALSE(rows.empty());
  ASSERT_EQ(rows[0].size(), 9u);
  auto event = [&](const std::string& name) {
    for (const auto& row : rows)
      if (row[0] == name) return row;
    ADD_FAILURE() << name;
    return std::vector<std::string>(9, "nan");
  };
  const double degreesPerMetre = 180.0 / 3.141592653589793 / 6371008.8;
  const auto launch = event("launch"), apex = event("apex"), impact = event("impact");
  EXPECT_NEAR(std::stod(launch[5]), 45.0, 1e-12);  // 45 / 57.3 * (180 / pi) would be 45.0033
  EXPECT_EQ(launch[8], "0");
  // By hand: about 933 m of range, 0.00839 degrees of longitude.
  const double x = std::stod(impact[2]), lon = std::stod(impact[8]);
  EXPECT_NEAR(lon, 0.00839, 5e-5);
  EXPECT_NEAR(lon, x * degreesPerMetre, 1e-12);
  EXPECT_NEAR(std::stod(impact[7]), 0.0, 1e-12);
  EXPECT_NEAR(std::stod(impact[6]), 0.0, 1e-6);
  const double apexLon = std::stod(apex[8]);
  EXPECT_NEAR(apexLon, std::stod(apex[2]) * degreesPerMetre, 1e-12);
  EXPECT_GT(apexLon, 0.5 * lon);
  EXPECT_LT(apexLon, 0.6 * lon);
  EXPECT_EQ(JsonNumber(json, "impact_Z_m"), std::stod(impact[6])) << json;
  EXPECT_EQ(JsonNumber(json, "impact_Lat_deg"), std::stod(impact[7])) << json;
  EXPECT_EQ(JsonNumber(json, "impact_Lon_deg"), lon) << json;
  EXPECT_EQ(JsonNumber(json, "impact_Q_deg"), std::stod(impact[5])) << json;
  const std::size_t launchInJson = json.find("{\"event\": \"launch\"");
  ASSERT_NE(launchInJson, std::string::npos) << json;
  EXPECT_NEAR(JsonNumber(json.substr(launchInJson), "Q_deg"), 45.0, 1e-12) << json;
}

// In three dimensions the wind is the air's motion whatever WindModel says, as --help tells: over
// the sphere the classic choice flies exactly as the physical one, and the wind does move the body.
TEST_F(BatchProgram, InThreeDimensionsTheWindIsTheAirsMotionWhateverWindModelSays) {
  auto json = [&](const std::string& windModel, const std::string& wind) {
    const Outcome r = Batch({"--preset", "0", "--set", "EarthModel=1", "--set", "Vwind=" + wind, "--set",
                             "VwindCross=" + wind, "--set", "WindModel=" + windModel, "--json"});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    return r.Out;
  };
  const std::string physical = json("1", "5");
  EXPECT_EQ(json("0", "5"), physical);
  EXPECT_NE(json("0", "0"), physical);
  EXPECT_GT(JsonNumber(physical, "impact_Z_m"), 1.0) << physical;
  const Outcome help = Batch({"--help"});
  EXPECT_TRUE(
      Has(help.Out,
          "In three dimensions (EarthModel 1 to 3, or a VwindCross) the wind is always the air's motion,\n"
          "whatever WindModel says"))
      << help.Out;
}

TEST_F(BatchProgram, EarthAndLaunchSiteParametersPassThroughSetSweepHelpAndFiles) {
  const std::vector<std::string> names = {"EarthModel", "EarthRadius", "EarthMu", "EarthRate",
                                          "LaunchLat",  "LaunchLon",   "Azimuth", "VwindCross"};
  const Outcome help = Batch({"--help"});
  ASSERT_EQ(help.Exit, 0) << help.Err;
  for (const std::string& name : names) EXPECT_TRUE(Has(help.Out, "\n  " + name + " ")) << name;
  EXPECT_TRUE(Has(help.Out, "  EarthMu        [m3/s2] ")) << help.Out;

  // Each --set reaches the record: a file saved from them says so and reads back the same.
  const std::vector<std::string> values = {
      "2", "6400000", "398600441800000", "7.2921159e-05", "-33.5", "151.25", "37.5", "1.5"};
  std::vector<std::string> args{"--preset",      "0",         "--set", "WindModel=1", "--quiet",
                                "--save-params", "saved.zarn"};
  for (std::size_t i = 0; i < names.size(); ++i)
    args.insert(args.end(), {"--set", names[i] + "=" + values[i]});
  Outcome r = Batch(args);
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const std::string saved = ReadFile(work_ / "saved.zarn");
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::size_t at = saved.find("\n" + names[i] + " = ");
    ASSERT_NE(at, std::string::npos) << names[i];
    EXPECT_EQ(saved.substr(at + names[i].size() + 4, values[i].size() + 1), values[i] + " ") << names[i];
  }
  r = Batch({"--params", "saved.zarn", "--quiet", "--save-params", "again.zarn"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(ReadFile(work_ / "again.zarn"), saved);

  // A sweep over the launch site: its columns and values in the summary, the last varying fastest.
  r = Batch({"--preset", "0", "--sweep", "LaunchLat=0:60:30", "--sweep", "Azimuth=0:90:90"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const auto rows = CsvRows(r.Out);
  ASSERT_EQ(rows.size(), 7u) << r.Out;
  ASSERT_GE(rows[0].size(), 3u);
  EXPECT_EQ(rows[0][1], "LaunchLat");
  EXPECT_EQ(rows[0][2], "Azimuth");
  const char* grid[6][2] = {{"0", "0"}, {"0", "90"}, {"30", "0"}, {"30", "90"}, {"60", "0"}, {"60", "90"}};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(rows[i + 1][1], grid[i][0]);
    EXPECT_EQ(rows[i + 1][2], grid[i][1]);
  }
}

}  // namespace
}  // namespace zarn::runner
