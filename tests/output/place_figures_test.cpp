// The place of a flight in three dimensions in the exports, from a result filled by hand: the
// columns beyond the result files' 30, the state after the last step and the impact's event.
#include "output/place_figures.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "output/event_text.h"
#include "output/run_note.h"
#include "output/table_csv.h"

namespace zarn {
namespace {

// Two rows of a rocket's flight that switched its range to km: the place's columns keep their units.
std::unique_ptr<RunResult> TwoRows() {
  auto run = std::make_unique<RunResult>();
  run->Table.Elements.fill(0.0);
  run->Table.RowsPerColumn = 500;
  run->Summary.SamplesStored = 2;
  run->Units.RangeInKm = 1;
  const double place[2][3] = {{-12.5, 28.5, -80.75}, {1250.25, 28.625, -79.5}};
  for (int row = 1; row <= 2; ++row) {
    run->Table.Cell(kColX, row) = 15.5 * row;  // [km]
    run->Table.Cell(kColZ, row) = place[row - 1][0];
    run->Table.Cell(kColLat, row) = place[row - 1][1];
    run->Table.Cell(kColLon, row) = place[row - 1][2];
  }
  run->Final.Z = 1300.5;
  run->Final.Lat = 28.75;
  run->Final.Lon = -79.25;
  return run;
}

TEST(PlaceFigures, TheCsvAddsThePlaceAfterTheOtherColumnsInItsOwnUnits) {
  const std::unique_ptr<RunResult> run = TwoRows();
  const std::string plane = TableCsvText(run->Table, run->Units, 2);
  const std::string text = TableCsvText(run->Table, run->Units, 2, true);
  const std::string header = text.substr(0, text.find('\n'));
  EXPECT_EQ(header, plane.substr(0, plane.find('\n')) + ",Z_m,Lat_deg,Lon_deg");
  EXPECT_EQ(header, TableCsvHeader(true));
  // Each row as the plane's row with the place after it; X back in m.
  EXPECT_EQ(text.substr(header.size() + 1),
            "0,0,0,0,0,15500,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,-12.5,28.5,-80.75\n"
            "0,0,0,0,0,31000,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1250.25,28.625,-79.5\n");
}

TEST(PlaceFigures, JsonHasThePlaceAfterTheLastStepAndAtTheImpactWhereThereIsOne) {
  const std::unique_ptr<RunResult> run = TwoRows();
  const std::string last = R"(, "Z_m": 1300.5, "Lat_deg": 28.75, "Lon_deg": -79.25)";
  EXPECT_EQ(PlaceJson(*run), last);
  run->Events = {{EventKind::Launch, 0, 0.0, 0.0, 1.0, 100.0, 0.5},
                 {EventKind::Apex, 0, 7.2, 500.125, 255.5, 60.0, 0.0}};
  EXPECT_EQ(PlaceJson(*run), last);  // ended in the air: no impact
  run->Events.push_back({EventKind::Impact, 0, 14.1, 933.0625, 0.0, 80.0, -0.8, 1250.5, 28.625, -79.375});
  EXPECT_EQ(PlaceJson(*run),
            last + R"(, "impact_Z_m": 1250.5, "impact_Lat_deg": 28.625, "impact_Lon_deg": -79.375)");

  // Each event with its place, in both texts; without `place` as they always were.
  EXPECT_EQ(EventsCsv(run->Events).substr(0, 30), "event,t_s,X_m,H_m,V_m_s,Q_deg\n");
  const std::string csv = EventsCsv(run->Events, true);
  EXPECT_EQ(csv.substr(0, 50), "event,t_s,X_m,H_m,V_m_s,Q_deg,Z_m,Lat_deg,Lon_deg\n");
  EXPECT_EQ(csv.substr(50, csv.find('\n', 50) - 50).rfind("launch,0,0,1,100,28.65,", 0), 0u) << csv;
  const std::string events = EventsJson({run->Events[2]}, true);
  EXPECT_EQ(events.rfind(R"([{"event": "impact", "t_s": 14.1, "X_m": 933.0625, "H_m": 0, "V_m_s": 80, )"
                         R"("Q_deg": -45.84, "Z_m": 1250.5, "Lat_deg": 28.625, "Lon_deg": -79.375}])",
                         0),
            0u)
      << events;
  EXPECT_EQ(EventsJson({run->Events[2]}).find("Z_m"), std::string::npos);
  // Over a round Earth the angle is in true degrees: -0.8 rad is -45.8366 of them, not -45.84.
  const double trueDegrees = 57.29577951308232;
  EXPECT_NE(EventsJson({run->Events[2]}, true, trueDegrees).find(R"("Q_deg": -45.836623610465864, )"),
            std::string::npos);
  EXPECT_NE(EventsCsv({run->Events[2]}, true, trueDegrees).find(",-45.836623610465864,"), std::string::npos);
}

TEST(PlaceFigures, TheSummaryNamesEachEarth) {
  const struct {
    double Model;
    const char* Name;
  } cases[] = {{0, "flat with g = 9.8"},
               {1, "sphere, not rotating"},
               {2, "rotating sphere"},
               {3, "rotating WGS-84 ellipsoid with J2"},
               {4, ""},
               {1.5, ""},
               {-1, ""}};
  for (const auto& c : cases) {
    FlightParameters p{};
    p.EarthModel = c.Model;
    EXPECT_EQ(EarthModelName(p), c.Name) << c.Model;
  }
}

}  // namespace
}  // namespace zarn
