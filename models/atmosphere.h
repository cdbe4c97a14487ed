#pragma once
// Standard atmosphere: 38 tabulated heights from -5000 m to 1000 km, linear in between.

#include "records/flight_data.h"

namespace zarn {

// Air at height H [m]. Never fails; see the .cpp for the treatment of very low and non-finite heights.
AtmosphereState StandardAtmosphere(double H) noexcept;

}  // namespace zarn
