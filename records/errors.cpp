#include "records/errors.h"

namespace zarn {

void RaiseFp(FpFault fault) {
  throw FloatingPointError(fault);
}

}  // namespace zarn
