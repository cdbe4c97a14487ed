#pragma once
// Finding a parameter's row (records/parameters.h) by its name or its member.
#include <array>
#include <string_view>

#include "models/vehicle_tables.h"
#include "records/parameters.h"

namespace zarn {

// The names of kParamNames alone, in the same order (for hints and listings).
const std::array<std::string_view, kParamNames.size()>& ParamNameList();

// The entry of that name (exact spelling), or nullptr.
const ParamName* FindParamName(std::string_view name);

// The entry of the parameter held in that member, or nullptr.
const ParamName* ParamOf(double FlightParameters::*member);

// Whether p flies in three dimensions: over a round Earth, or with a wind across the azimuth (its
// own or a wind profile's). Otherwise the path lies in the vertical plane of the launch, as ever.
inline bool FliesInThreeDimensions(const FlightParameters& p) {
  return p.EarthModel != 0.0 || p.VwindCross != 0.0 || (p.Vehicle && p.Vehicle->WindAcross);
}

}  // namespace zarn
