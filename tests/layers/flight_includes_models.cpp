// The flight includes what lies below it.
#include "flight/integrator.h"
#include "models/motion_step.h"
#include "records/errors.h"
