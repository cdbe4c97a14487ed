#include "flight/event_feed.h"

namespace zarn {

void EventFeed::Emit(const Point& p, const Rates& r) {
  const FlightNode n{p.t, p.X, p.H, p.V, p.Theta, r.X, r.H, r.V, r.Theta, p.Mach, p.q};
  if (started_) {
    log_.Next(n);
  } else {
    log_.Start(n);
    started_ = true;
  }
}

namespace {

// (a + b) / 2 and (3a - b) / 2 of each rate.
template <typename Rates>
Rates Mean(const Rates& a, const Rates& b) {
  return {(a.X + b.X) / 2, (a.H + b.H) / 2, (a.V + b.V) / 2, (a.Theta + b.Theta) / 2};
}
template <typename Rates>
Rates OneSided(const Rates& a, const Rates& b) {
  return {(3 * a.X - b.X) / 2, (3 * a.H - b.H) / 2, (3 * a.V - b.V) / 2, (3 * a.Theta - b.Theta) / 2};
}

}  // namespace

void EventFeed::After(const FlightState& s) {
  const Point& e = entry_;
  const Rates step{(s.X - e.X) / dt0_, (s.H - e.H) / dt0_, (s.V - e.V) / dt0_, (s.Theta - e.Theta) / dt0_};
  const Point here{e.t, e.X, e.H, e.V, e.Theta, e.Mach, s.q};  // the step's q is that of its entry
  if (++steps_ >= 2) {
    if (steps_ == 2) Emit(prev_, OneSided(prevRates_, step));
    Emit(here, Mean(prevRates_, step));
  }
  prev_ = here;
  beforeRates_ = prevRates_;
  prevRates_ = step;
}

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
