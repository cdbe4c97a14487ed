#pragma once
// The events of a run for scripts: JSON and CSV.
#include <array>
#include <string>
#include <vector>

#include "flight/events.h"
#include "records/constants.h"

namespace zarn {

// The columns of an event after its name, as JSON keys and CSV names; the angle in degrees of the
// run's own measure (DegreesPerRadian: 57.3 over the flat Earth).
struct EventColumn {
  const char* Key;
  double (*Of)(const FlightEvent&, double degPerRad);
};
inline constexpr std::array<EventColumn, 5> kEventColumns{{
    {"t_s", [](const FlightEvent& e, double) { return e.t; }},
    {"X_m", [](const FlightEvent& e, double) { return e.X; }},
    {"H_m", [](const FlightEvent& e, double) { return e.H; }},
    {"V_m_s", [](const FlightEvent& e, double) { return e.V; }},
    {"Q_deg", [](const FlightEvent& e, double degPerRad) { return e.Theta * degPerRad; }},
}};

// [{"event": "launch", "t_s": 0, "X_m": 0, "H_m": 1, "V_m_s": 100, "Q_deg": 45}, ...] in time
// order; numbers as the shortest text that reads back to the same double, the angle in degrees
// (Theta * degPerRad). `place`, for a flight in three dimensions: each event with its place after
// the others ("Z_m", "Lat_deg", "Lon_deg").
std::string EventsJson(const std::vector<FlightEvent>& events, bool place = false,
                       double degPerRad = kDegPerRad);
// The same as CSV: "event,t_s,X_m,H_m,V_m_s,Q_deg" (and the place's names) and a line per event.
std::string EventsCsv(const std::vector<FlightEvent>& events, bool place = false,
                      double degPerRad = kDegPerRad);

}  // namespace zarn
