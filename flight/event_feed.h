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
  EventFeed(EventLog& log, double dt0, AirModel air) : log_(log), dt0_(dt0), air_(air) {}

  // Before each motion step, the state it takes (after the step's propulsion, staging and hold).
  void Entry(const FlightState& s) { entry_ = {s.t, s.X, s.H, s.V, s.Theta, s.Mach, 0.0}; }
  // After it.
  void After(const FlightState& s);
  // After the last step, with the state it left: the flight's last point.
  void Finish(const FlightState& last);

 private:
  struct Point {
    double t, X, H, V, Theta, Mach, q;
  };
  struct Rates {
    double X, H, V, Theta;
  };
  void Emit(const Point& p, const Rates& r);

  EventLog& log_;
  const double dt0_;  //!< [s]
  const AirModel air_;
  Point entry_{};
  Point prev_{};         // the entry of the previous step: the point waiting for its rate
  Rates prevRates_{};    // the previous step's rates
  Rates beforeRates_{};  // those of the step before it
  int64_t steps_ = 0;
  bool started_ = false;
};

}  // namespace zarn
