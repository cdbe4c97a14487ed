#pragma once
// The events of a run for scripts: JSON and CSV.
#include <array>
#include <string>
#include <vector>

#include "flight/events.h"
#include "records/constants.h"

namespace zarn {

// The columns of an event after its name, as JSON keys and CSV names.
struct EventColumn {
  const char* Key;
  double (*Of)(const FlightEvent&);
};
inline constexpr std::array<EventColumn, 5> kEventColumns{{
    {"t_s", [](const FlightEvent& e) { return e.t; }},
    {"X_m", [](const FlightEvent& e) { return e.X; }},
    {"H_m", [](const FlightEvent& e) { return e.H; }},
    {"V_m_s", [](const FlightEvent& e) { return e.V; }},
    {"Q_deg", [](const FlightEvent& e) { return e.Theta * kDegPerRad; }},
}};

// [{"event": "launch", "t_s": 0, "X_m": 0, "H_m": 1, "V_m_s": 100, "Q_deg": 45}, ...] in time
// order; numbers as the shortest text that reads back to the same double, the angle in degrees
// (Theta * 57.3). `place`, for a flight in three dimensions: each event with its place after the
// others ("Z_m", "Lat_deg", "Lon_deg").
std::string EventsJson(const std::vector<FlightEvent>& events, bool place = false);
// The same as CSV: "event,t_s,X_m,H_m,V_m_s,Q_deg" (and the place's names) and a line per event.
std::string EventsCsv(const std::vector<FlightEvent>& events, bool place = false);

}  // namespace zarn
