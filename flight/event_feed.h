#pragma once
// The run's side of the event log: turns the states a run passes through into the log's points.
//
// The explicit Euler step holds the rates of a step's start across the whole step, so its points do
// not lie on a smooth curve with those rates at the points: a cubic through two points with their
// own step rates bulges, and a turning point located on it lands in the last third of its step
// whatever the flight, jumping by two thirds of a step as the turn passes a point. The points do lie,
// to second order, on a curve whose rate at a point is the mean of the rates of the steps before and
// after it (the central difference); at the first and last point the one-sided difference of second
// order stands in. The cubic Hermite segments on these rates are C1 and third order in the step, so
// that an event moves smoothly with the flight's parameters.
#include "flight/events.h"
#include "records/flight_data.h"

namespace zarn {

class EventFeed {
 public:
  // dt0 [s]: the run's step.
  // wind [m/s]: the air's speed where the forces act on the speed relative to it, else 0.
  EventFeed(EventLog& log, double dt0, AirModel air, double wind = 0.0)
      : log_(log), perStep_(1.0 / dt0), air_(air), wind_(wind) {}

  // Before each motion step, the state it takes (after the step's propulsion, staging and hold).
  void Entry(const FlightState& s) { entry_ = {s.t, s.X, s.H, s.V, s.Theta, s.Mach, 0.0}; }
  // After it.
  void After(const FlightState& s) {
    const Point& e = entry_;
    const double k = perStep_;
    const Rates step{(s.X - e.X) * k, (s.H - e.H) * k, (s.V - e.V) * k, (s.Theta - e.Theta) * k};
    const Point here{e.t, e.X, e.H, e.V, e.Theta, e.Mach, s.q};  // the step's q is that of its entry
    if (++steps_ >= 2) {
      if (steps_ == 2) Emit(prev_, OneSided(prevRates_, step));
      Emit(here, Mean(prevRates_, step));
    }
    prev_ = here;
    beforeRates_ = prevRates_;
    prevRates_ = step;
  }
  // After the last step, with the state it left: the flight's last point.
  void Finish(const FlightState& last);

 private:
  struct Point {
    double t, X, H, V, Theta, Mach, q;
  };
  struct Rates {
    double X, H, V, Theta;
  };
  // (a + b) / 2 and (3a - b) / 2 of each rate.
  static Rates Mean(const Rates& a, const Rates& b) {
    return {(a.X + b.X) / 2, (a.H + b.H) / 2, (a.V + b.V) / 2, (a.Theta + b.Theta) / 2};
  }
  static Rates OneSided(const Rates& a, const Rates& b) {
    return {(3 * a.X - b.X) / 2, (3 * a.H - b.H) / 2, (3 * a.V - b.V) / 2, (3 * a.Theta - b.Theta) / 2};
  }
  void Emit(const Point& p, const Rates& r) {
    const FlightNode n{p.t, p.X, p.H, p.V, p.Theta, r.X, r.H, r.V, r.Theta, p.Mach, p.q};
    if (started_) {
      log_.Next(n);
    } else {
      log_.Start(n);
      started_ = true;
    }
  }

  EventLog& log_;
  const double perStep_;  //!< [1/s] 1 / dt0
  const AirModel air_;
  const double wind_;  //!< [m/s]
  Point entry_{};
  Point prev_{};         // the entry of the previous step: the point waiting for its rate
  Rates prevRates_{};    // the previous step's rates
  Rates beforeRates_{};  // those of the step before it
  int64_t steps_ = 0;
  bool started_ = false;
};

}  // namespace zarn
