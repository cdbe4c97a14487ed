#pragma once
// Standard atmosphere: 38 tabulated heights from -5000 m to 1000 km, linear in between.

#include <cstddef>

#include "records/flight_data.h"

namespace zarn {

constexpr double kSeaLevelPbar = 1.013;  //!< [bar] the table's pressure at H = 0

// Air at height H [m]. Never fails; see the .cpp for the treatment of very low and non-finite heights.
AtmosphereState StandardAtmosphere(double H) noexcept;
// The same air, found faster along a flight: `band` keeps the table band of the previous call (0
// at first) and is updated.
AtmosphereState StandardAtmosphere(double H, std::size_t& band) noexcept;

}  // namespace zarn
