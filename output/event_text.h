#pragma once
// The events of a run for scripts: JSON and CSV.
#include <string>
#include <vector>

#include "flight/events.h"

namespace zarn {

// [{"event": "launch", "t_s": 0, "X_m": 0, "H_m": 1, "V_m_s": 100, "Q_deg": 45}, ...] in time
// order; numbers as the shortest text that reads back to the same double, the angle in degrees
// (Theta * 57.3).
std::string EventsJson(const std::vector<FlightEvent>& events);
// The same as CSV: "event,t_s,X_m,H_m,V_m_s,Q_deg" and a line per event.
std::string EventsCsv(const std::vector<FlightEvent>& events);

}  // namespace zarn
