#pragma once
// Runs in three dimensions: over a round Earth (a sphere, the turning sphere, the turning WGS-84
// ellipsoid), or over the flat Earth where a wind blows across the azimuth. The body is a point
// mass whose position and velocity are integrated in the Earth's own frame; the table and the
// events report it as a person reads a flight: the distance along the surface from the launch
// site, the cross range, the height above the surface, the speed over the ground and the path
// angle against the local horizontal.
#include "flight/integrator.h"
#include "models/earth.h"
#include "records/flight_data.h"

namespace zarn {

// The Earth a run of p flies over: the shape EarthModel names, with the standard radius,
// gravitational parameter and rotation rate where p gives 0.
Earth EarthOf(const FlightParameters& p);

// Refuses an EarthModel other than 0 to 3, a negative EarthRadius, EarthMu or EarthRate, a
// LaunchLat outside -90..90, a launch site or azimuth that is not a finite number, and under the
// flat Earth a VwindCross with the classic wind, each naming the value.
void ValidateEarth(const FlightParameters& p, char decimalSeparator = '.');

// Flies p (FliesInThreeDimensions(p)) by the method of p: explicit Euler or Runge-Kutta 4 with
// the step dt0, or Dormand-Prince with Rtol and dt0 as its largest step; both passes into result,
// feeding the sink as every run does. Its events carry their cross range, latitude and longitude.
void FlyInThreeDimensions(const FlightParameters& p, RunResult& result, const RunOptions& options,
                          StepSink& sink, bool rows = true);

}  // namespace zarn
