#include "flight/event_feed.h"

namespace zarn {

void EventFeed::Finish(const FlightState& last) {
  if (steps_ == 0) return;
  const AirAt air = air_(last.H);
  const double v = AirSpeedOf(last.V, last.Theta, wind_);
  const Point end{last.t, last.X, last.H, last.V, last.Theta, v / air.Vsound, air.Roh * v * v / 2};
  if (steps_ == 1) {
    Emit(prev_, prevRates_);
    Emit(end, prevRates_);
  } else {
    Emit(end, OneSided(prevRates_, beforeRates_));
  }
}

}  // namespace zarn
