#include "flight/event_feed.h"

namespace zarn {

void EventFeed::Finish(const FlightState& last) {
  if (steps_ == 0) return;
  const AirAt air = air_(last.H);
  const Point end{
      last.t, last.X, last.H, last.V, last.Theta, last.V / air.Vsound, air.Roh * last.V * last.V / 2};
  if (steps_ == 1) {
    Emit(prev_, prevRates_);
    Emit(end, prevRates_);
  } else {
    Emit(end, OneSided(prevRates_, beforeRates_));
  }
}

}  // namespace zarn
