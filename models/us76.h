#pragma once
// The 1976 US Standard Atmosphere computed from its defining layers: temperature linear in
// geopotential height within each of seven layers up to 84.852 km geopotential (86 km geometric),
// pressure from the hydrostatic equation in each layer, density from the gas law with the sea-level
// molar mass. Above 86 km the standard is no longer a matter of layers: the table of
// atmosphere.h takes over there.
#include "records/flight_data.h"

namespace zarn {

inline constexpr double kUs76TopHeight = 86000.0;  //!< [m] geometric: the last defining layer's top

// The air at geometric height H [m] (the defining layers are extended downward below -5 km, as the
// first layer's gradient gives them). Pressure in bar, viscosity in poise, as the table gives them.
AtmosphereState Us76Atmosphere(double H) noexcept;

}  // namespace zarn
