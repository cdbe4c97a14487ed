#pragma once
// The start form's five presets and the parameter side of the calculation form's activation.
#include <array>
#include <string_view>

#include "records/flight_data.h"

namespace zarn {

struct Preset {
  std::string_view Label;  // UTF-8, German in every language
  double Mass;             //!< [kg] slot 5
  double S0;               //!< [m^2] slot 6
  double Cx;               //!< slot 7
  double Cy;               //!< slot 8
  double H0;               //!< [m] slot 11
  double V0;               //!< [m/s] slot 12
  double Angle;            //!< [deg] slot 13
  double Tk;               //!< [s] slot 18
  double dt0;              //!< [s] slot 19
};

extern const std::array<Preset, 5> kPresets;

// Writes slots 0..29 of the record for preset index 0..4 (every other slot of that range 0);
// any other index changes nothing.
void WritePresetRecord(int index, std::array<double, 60>& record) noexcept;

// The pure computations of the activation for the buoyant body (task 3).
struct Buoyancy {
  double Auftrieb;  //!< [N] the weight MassaStart * 9.8
  double Volumen;   //!< [m^3] Auftrieb / (sea-level density - gas density)
  double Area;      //!< [m^2] cross-section 3.14 r^2 of the sphere of that volume
};
Buoyancy ComputeBuoyancy(double MassaStart, double GasDensity);

// Level-flight speed (task 5): (2 MassaStart 9.8 / Cy / Roh(H0) / S0)^0.5.
double LevelFlightSpeed(double MassaStart, double Cy, double H0, double S0);

// base^exponent by the program's rule: exponent 0 gives 1, base 0 with a positive exponent 0, a
// whole exponent by repeated multiplication, else exp(exponent ln base) (a fault for base < 0).
double Power(double base, double exponent);

// Applies d.PresetRecord to the parameters and state as the calculation form's activation does,
// without any texts (the headless runner uses it; the window does the same through its fields).
void ApplyPresetRecord(ZarnData& d);

}  // namespace zarn
