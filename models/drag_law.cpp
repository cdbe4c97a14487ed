#include "models/drag_law.h"

#include <cmath>

namespace zarn {

void V2DragCoefficient(double AeroModel, double Mach, double& CxCur) noexcept {
  if (std::nearbyint(AeroModel) != 1.0) return;
  // Three independent tests, as the law is written; for a finite Mach exactly one applies.
  if (Mach < 0.8) CxCur = 0.29;
  if (Mach >= 0.8 && Mach < 1.068) CxCur = Mach - 0.51;
  if (Mach >= 1.068) CxCur = 0.5 / Mach + 0.091;
}

}  // namespace zarn
