#pragma once
// Where a flight in three dimensions is: its cross range, latitude and longitude, as the exports
// name them (the CSV, --json, the events, Python). A flight in the vertical plane has none to
// report, and its exports stay as they always were.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "flight/events.h"
#include "flight/integrator.h"
#include "records/flight_data.h"

namespace zarn {

// One figure of the place: its key with the unit, its table column and its member of the state.
struct PlaceRow {
  std::string_view Key;
  int Column;
  double FlightState::*Member;
};
inline constexpr std::array<PlaceRow, 3> kPlaceRows{{
    {"Z_m", kColZ, &FlightState::Z},
    {"Lat_deg", kColLat, &FlightState::Lat},
    {"Lon_deg", kColLon, &FlightState::Lon},
}};

// The figures in the order of kPlaceRows: [m] cross range, [deg] latitude, [deg] longitude.
using PlaceFigures = std::array<double, kPlaceRows.size()>;

// At a located moment of the flight.
PlaceFigures PlaceOfEvent(const FlightEvent& e);
// After the last step, where the figures X_m and H_m are read.
PlaceFigures PlaceAtLastStep(const RunResult& run);
// At the impact, where the flight has one.
std::optional<PlaceFigures> ImpactPlace(const RunResult& run);

// The figures that --json adds for a flight in three dimensions, in its order: the place after the
// last step ("Z_m", "Lat_deg", "Lon_deg"), then at the impact ("impact_Z_m", ...) where there is one.
std::vector<std::pair<std::string, double>> PlaceKeys(const RunResult& run);

// PlaceKeys as --json writes them, each after ", "; numbers as the shortest text that reads back to the same
// double. Throws FloatingPointError rather than write inf or nan.
std::string PlaceJson(const RunResult& run);

}  // namespace zarn
