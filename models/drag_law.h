#pragma once
// Mach-dependent drag law of the V-2 ("V-2 Cl,Cd=f(M,alfa)"); changes the drag coefficient only.

namespace zarn {

// Rounds AeroModel to the nearest integer (halves to even); unless that is 1, CxCur is left as it
// is. Otherwise CxCur follows the three-piece law of the Mach number.
void V2DragCoefficient(double AeroModel, double Mach, double& CxCur) noexcept;

}  // namespace zarn
