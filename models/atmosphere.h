#pragma once
// Standard atmosphere: 38 tabulated heights from -5000 m to 1000 km, linear in between.

namespace zarn {

// The air at one height.
struct AtmosphereState {
  double T;       //!< [K] temperature
  double Pbar;    //!< [bar] static pressure (1.013 at sea level)
  double Vsound;  //!< [m/s] speed of sound
  double Roh;     //!< [kg/m^3] density
  double Mu;      //!< [poise] dynamic viscosity
};

// Air at height H [m]. Never fails; see the .cpp for the treatment of very low and non-finite heights.
AtmosphereState StandardAtmosphere(double H) noexcept;

}  // namespace zarn
